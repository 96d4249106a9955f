/* Changes made to the settings file outside Quorvel, by an editor or by a sync tool
   that keeps the folder on several PCs, are taken in at once. A small thread waits on
   the folder's change notification and posts one message to the main window each time
   it wakes; all reading is done on the user-interface thread, from the main loop or
   from a dialog's loop, so a change is seen while a dialog is open too. Idle, the
   thread sleeps in the wait and costs nothing. */
#include <ctime>

#include "app/tray.h"
#include "model/craft.h"
#include "settings/settings.h"

/* A look waits a moment after the first wake, so that a burst of writes (an editor's
   save, a rename, Quorvel's own save) is read once it has passed. A file that cannot
   be read whole then is looked at again, a few times, at the same pace. */
enum { LOOK_DELAY_MS = 250, LOOK_TRIES = 20 };

/* The watch on the current folder, the event that stops the thread, the thread, and
   the window it posts to; all null while nothing is watched. */
static HANDLE watch_change;
static HANDLE watch_stop;
static HANDLE watch_thread;
static HWND watch_window;

/* Looks made in a row that found the file unreadable; -1 while no look is due. */
static int look_tries = -1;

/* The count of changes taken in that the lamp, the tip and the dialog last followed. */
static uint32_t followed;

/* The watcher thread: one message to the main window per change of the folder, until
   the stop event is set. */
static DWORD WINAPI WatchFolder(LPVOID)
{
    HANDLE waits[2] = { watch_stop, watch_change };
    while (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
        PostMessageW(watch_window, WM_FOLDERCHANGED, 0, 0);
        if (!FindNextChangeNotification(watch_change))
            break;
    }
    return 0;
}

/* Starts watching the current folder for the main window. A folder that cannot be
   watched (gone, too deep for a settings file) leaves Quorvel as it was without the
   watch: the file is still looked at before every save. Returns 1 when watching. */
int StartWatch(HWND window)
{
    wchar_t path[SETTINGS_PATH_MAX + 1], folder[SETTINGS_PATH_MAX + 1];
    if (!SettingsPath(path, SETTINGS_PATH_MAX + 1) || !GetCurrentDirectoryW(SETTINGS_PATH_MAX + 1, folder))
        return 0;
    HANDLE change = FindFirstChangeNotificationW(folder, FALSE,
                                                 FILE_NOTIFY_CHANGE_LAST_WRITE
                                                     | FILE_NOTIFY_CHANGE_FILE_NAME
                                                     | FILE_NOTIFY_CHANGE_SIZE);
    if (change == INVALID_HANDLE_VALUE)
        return 0;
    watch_change = change;
    watch_window = window;
    watch_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (watch_stop)
        watch_thread = CreateThread(nullptr, 0, WatchFolder, nullptr, 0, nullptr);
    if (!watch_thread) {
        StopWatch();
        return 0;
    }
    return 1;
}

/* Stops the watcher and waits for its thread to end, before the window it posts to is
   gone; a look still due is dropped. */
void StopWatch()
{
    if (watch_thread) {
        SetEvent(watch_stop);
        WaitForSingleObject(watch_thread, INFINITE);
        CloseHandle(watch_thread);
    }
    if (watch_stop)
        CloseHandle(watch_stop);
    if (watch_change)
        FindCloseChangeNotification(watch_change);
    if (watch_window)
        KillTimer(watch_window, LOOK_TIMER);
    watch_thread = watch_stop = watch_change = nullptr;
    watch_window = nullptr;
    look_tries = -1;
}

/* Timer 2: looks at the file. One that cannot be read whole right now is looked at
   again a moment later; what was taken in is followed at once. */
static void CALLBACK LookAgain(HWND window, UINT, UINT_PTR, DWORD)
{
    if (LookAtRecord() == LOOK_LATER && ++look_tries < LOOK_TRIES)
        return;
    KillTimer(window, LOOK_TIMER);
    look_tries = -1;
    FollowRecord();
}

/* A wake of the watcher: a look is due a moment later, unless one is due already. A
   wake still queued when the watch stopped at exit is dropped. */
LRESULT OnFolderChanged(HWND window)
{
    if (watch_thread && look_tries < 0 && SetTimer(window, LOOK_TIMER, LOOK_DELAY_MS, LookAgain))
        look_tries = 0;
    return 0;
}

/* After values were taken in from the file: an alert whose craft is no longer due is
   dropped, and the dialog, the lamp, the tip and the due check's next wake-up follow;
   a craft now due alerts through the due check, with its one beep. Returns 1 when
   there was something to follow. */
int FollowRecord()
{
    if (ChangesTaken() == followed)
        return 0;
    followed = ChangesTaken();
    SettleAlerts((int32_t)time(nullptr));
    ShowStatusRecords();
    RefreshTrayIcon();
    CheckDue(nullptr, WM_TIMER, DUE_TIMER, 0);
    return 1;
}
