/* The skill display refresher: a second thread, alive while the status dialog is open,
   that shows every change of a craft's skill in its skill box a few milliseconds
   after it was made, whoever made it (the dialog's arrows or the tray menu). */
#include <windows.h>

#include <atomic>

#include "dialogs/status.h"
#include "res/resource.h"

enum { REFRESH_PERIOD_MS = 5 };

/* Set by the dialog's close to end the thread; tested once per pass. */
static std::atomic<int> refresher_stop;

/* The thread: compares each skill with what it last wrote and rewrites the box on a
   change. Setting the text waits for the user-interface thread, which owns the box. */
DWORD WINAPI SkillRefresher(LPVOID param)
{
    HWND dialog = (HWND)param;
    static const int boxes[CRAFT_COUNT] = { IDC_SMITH_SKILL, IDC_TAILOR_SKILL };
    double shown_skill[CRAFT_COUNT] = { 0.0, 0.0 };
    while (!refresher_stop.load()) {
        for (int k = 0; k < CRAFT_COUNT; k++) {
            double current = crafts[k].skill.load();
            if (current != shown_skill[k]) {
                ShowSkill(dialog, boxes[k], current);
                shown_skill[k] = current;
            }
        }
        Sleep(REFRESH_PERIOD_MS);
    }
    return 0;
}

/* Starts the refresher for an open dialog; its handle, or null when it could not start. */
HANDLE StartSkillRefresher(HWND dialog)
{
    refresher_stop.store(0);
    return CreateThread(nullptr, 0, SkillRefresher, dialog, 0, nullptr);
}

/* Ends the refresher and releases its handle. While waiting, this thread keeps
   answering the text update the refresher may be waiting on, so neither waits for
   the other; once this returns the thread is gone and touches nothing more. */
void StopSkillRefresher(HANDLE thread)
{
    if (!thread)
        return;
    refresher_stop.store(1);
    for (;;) {
        MSG msg;
        /* Handles sent messages only: nothing posted to the dialog runs in the middle
           of its close. */
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        DWORD woke = MsgWaitForMultipleObjectsEx(1, &thread, 100, QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
        if (woke != WAIT_OBJECT_0 + 1 && woke != WAIT_TIMEOUT)
            break;
    }
    CloseHandle(thread);
}
