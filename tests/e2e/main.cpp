// Entry of the end-to-end tests: the first argument names Quorvel.exe (a Unix path when
// ctest passes it, which Wine sees under drive Z:).
#include <gtest/gtest.h>

#include "e2e/driver.h"

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 2) {
        fprintf(stderr, "usage: e2e_tests path\\to\\Quorvel.exe\n");
        return 2;
    }
    std::string path = argv[1];
    if (!path.empty() && path[0] == '/')
        path = "Z:" + path;
    for (char &c : path)
        if (c == '/')
            c = '\\';
    e2e::exe_path = path;
    return RUN_ALL_TESTS();
}
