// One PC's part in the two-PC test (two_pcs.sh): runs Quorvel in that PC's shared folder
// as its player would, and says what its lamp did.
//   pc Quorvel.exe FOLDER order    receives a blacksmith order, then exits
//   pc Quorvel.exe FOLDER upskill  steps the tailor's skill, then exits
//   pc Quorvel.exe FOLDER watch    waits until the folder holds no conflict copy, then
//                                  exits; fails if the lamp turned red or a notice showed
#include <windows.h>

#include <cstdio>
#include <string>

#include "e2e/balloons.h"
#include "e2e/driver.h"
#include "res/resource.h"

using namespace e2e;

// Whether the folder holds a conflict copy of the record, by the peer-to-peer engine's name.
static bool HoldsCopy(const std::string &folder)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\Quorvel.sync-conflict-*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    return true;
}

int main(int argc, char **argv)
{
    if (argc != 4)
        return 2;
    const std::string folder = argv[2], act = argv[3];
    Quorvel app;
    if (!app.Start(folder, SW_SHOWNORMAL, argv[1]))
        return 3;
    int failed = 0;
    if (act == "order" || act == "upskill") {
        app.Command(act == "order" ? IDM_RECEIVED_SMITH : IDM_UPSKILL_TAILOR);
    } else {
        const DWORD start = GetTickCount();
        while (HoldsCopy(folder) && GetTickCount() - start < 30000 && !failed) {
            failed = TrayLamp() == LAMP_RED || !balloons::Shown().empty();
            Sleep(50);
        }
        Sleep(1000);
        failed = failed || HoldsCopy(folder) || TrayLamp() != LAMP_GREEN || !balloons::Shown().empty();
        printf("pc: after %lu ms the copy is %s; lamp %s\n", GetTickCount() - start,
               HoldsCopy(folder) ? "still there" : "gone", failed ? "turned red or a notice showed" : "green throughout");
    }
    app.Post(WM_COMMAND, IDM_EXIT);
    return app.WaitExit() == 0 && !failed ? 0 : 1;
}
