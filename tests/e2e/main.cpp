// Entry of the end-to-end tests: the arguments name Quorvel.exe and its setup program
// (Unix paths when ctest passes them, which Wine sees under drive Z:).
#include <gtest/gtest.h>

#include "e2e/driver.h"

// A path as Wine sees it: Unix paths lie under drive Z:.
static std::string WinePath(std::string path)
{
    if (!path.empty() && path[0] == '/')
        path = "Z:" + path;
    for (char &c : path)
        if (c == '/')
            c = '\\';
    return path;
}

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 3) {
        fprintf(stderr, "usage: e2e_tests path\\to\\Quorvel.exe path\\to\\setup.exe\n");
        return 2;
    }
    e2e::exe_path = WinePath(argv[1]);
    e2e::setup_path = WinePath(argv[2]);
    return RUN_ALL_TESTS();
}
