// One PC's Quorvel in the two-PC test (two_pcs.sh), run in that PC's shared folder:
//   pc Quorvel.exe FOLDER order|upskill  receives a blacksmith order or steps the tailor,
//                                        then exits
//   pc Quorvel.exe FOLDER watch          exits once the folder holds no conflict copy;
//                                        fails if meanwhile the lamp turned red or a
//                                        notice showed
//   pc Quorvel.exe FOLDER stepheld       steps the tailor and receives an order (which
//                                        saves), steps the tailor again without a save,
//                                        then exits once a conflict copy came and went,
//                                        as watch does
#include <windows.h>

#include <cstdio>
#include <string>

#include "e2e/balloons.h"
#include "e2e/driver.h"
#include "res/resource.h"

using namespace e2e;

// Whether the folder holds a conflict copy now.
static bool CopyThere(const std::string &copies)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(copies.c_str(), &found);
    return search != INVALID_HANDLE_VALUE && FindClose(search);
}

// Steps the tailor, then receives a blacksmith order, which saves; steps the tailor again
// and keeps that step in memory only. Waits up to a minute for a conflict copy to come;
// true when one came.
static bool StepAndHold(Quorvel &app, const std::string &copies)
{
    for (int command : { IDM_UPSKILL_TAILOR, IDM_RECEIVED_SMITH, IDM_UPSKILL_TAILOR })
        app.Command(command);
    for (DWORD start = GetTickCount(); GetTickCount() - start < 60000; Sleep(50))
        if (CopyThere(copies))
            return true;
    return false;
}

int main(int argc, char **argv)
{
    Quorvel app;
    if (argc != 4 || !app.Start(argv[2], SW_SHOWNORMAL, argv[1]))
        return 2;
    const std::string copies = std::string(argv[2]) + "\\Quorvel.sync-conflict-*", act = argv[3];
    bool alerted = false, copy = act == "watch";
    if (act == "order" || act == "upskill")
        app.Command(act == "order" ? IDM_RECEIVED_SMITH : IDM_UPSKILL_TAILOR);
    if (act == "stepheld")
        copy = StepAndHold(app, copies);
    for (DWORD start = GetTickCount(); copy && GetTickCount() - start < 30000; Sleep(50)) {
        alerted = alerted || TrayLamp() == LAMP_RED || !balloons::Shown().empty();
        copy = CopyThere(copies);
    }
    printf("pc %s: the copy is %s; the lamp %s\n", argv[3], copy ? "still there" : "gone",
           alerted ? "turned red or a notice showed" : "stayed green");
    app.Post(WM_COMMAND, IDM_EXIT);
    return app.WaitExit() == 0 && !copy && !alerted ? 0 : 1;
}
