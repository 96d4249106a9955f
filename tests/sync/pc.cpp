// One PC's Quorvel in the two-PC test (two_pcs.sh), run in that PC's shared folder:
//   pc Quorvel.exe FOLDER order|upskill  receives a blacksmith order or steps the tailor,
//                                        then exits
//   pc Quorvel.exe FOLDER watch          exits once the folder holds no conflict copy;
//                                        fails if meanwhile the lamp turned red or a
//                                        notice showed
#include <windows.h>

#include <cstdio>
#include <string>

#include "e2e/balloons.h"
#include "e2e/driver.h"
#include "res/resource.h"

using namespace e2e;

int main(int argc, char **argv)
{
    Quorvel app;
    if (argc != 4 || !app.Start(argv[2], SW_SHOWNORMAL, argv[1]))
        return 2;
    const std::string copies = std::string(argv[2]) + "\\Quorvel.sync-conflict-*", act = argv[3];
    WIN32_FIND_DATAA found;
    bool alerted = false, copy = act == "watch";
    if (!copy)
        app.Command(act == "order" ? IDM_RECEIVED_SMITH : IDM_UPSKILL_TAILOR);
    for (DWORD start = GetTickCount(); copy && GetTickCount() - start < 30000; Sleep(50)) {
        alerted = alerted || TrayLamp() == LAMP_RED || !balloons::Shown().empty();
        HANDLE search = FindFirstFileA(copies.c_str(), &found);
        copy = search != INVALID_HANDLE_VALUE && FindClose(search);
    }
    printf("pc %s: the copy is %s; the lamp %s\n", argv[3], copy ? "still there" : "gone",
           alerted ? "turned red or a notice showed" : "stayed green");
    app.Post(WM_COMMAND, IDM_EXIT);
    return app.WaitExit() == 0 && !copy && !alerted ? 0 : 1;
}
