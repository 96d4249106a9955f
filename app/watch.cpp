/* Changes made to the settings file outside Quorvel, by an editor or by a sync tool
   that keeps the folder on several PCs, are taken in at once, and so are the conflict
   copies such a tool leaves beside the record. A small thread waits on the folder's
   changes and posts one message to the main window each time it wakes for a change of
   the record or of a copy; all reading is done on the user-interface thread, from the
   main loop or from a dialog's loop, so a change is seen while a dialog is open too.
   Idle, the thread sleeps in the wait and costs nothing. */
#include <ctime>
#include <cwchar>

#include "app/tray.h"
#include "model/craft.h"
#include "res/resource.h"
#include "settings/settings.h"

/* The watcher pauses a moment after each wake before it reads on and posts, so that a
   burst of writes (an editor's save, a rename, Quorvel's own save) is looked at once it
   has passed, and so that it wakes at most four times a second however busy the
   folder; the system keeps what changed meanwhile, and changes to other files in the
   folder (a log written many times a second) are not looked at. A file that cannot be
   read whole (held at start-up, say) is looked at again every LOOK_DELAY_MS for a few
   seconds, then every few seconds until it can be. A watch lost with its folder (a network or
   removable drive gone) is started again every half minute. A stale copy of the file
   is written over a moment after it was found. */
enum {
    LOOK_DELAY_MS = 250, LOOK_TRIES = 20, LOOK_SLOW_MS = 3000, WAKE_PAUSE_MS = 250,
    REWATCH_MS = 30000, REWRITE_DELAY_MS = 1000
};

/* The current folder opened for its changes, the event of the read of them in flight,
   the event that stops the thread, and the thread; all null while nothing is watched.
   The window the watch posts to, from the main window's creation to its destruction,
   also while the folder is away. */
static HANDLE watch_folder;
static HANDLE watch_change;
static HANDLE watch_stop;
static HANDLE watch_thread;
static HWND watch_window;

/* Looks made in a row that found the file unreadable; -1 while no look is due. */
static int look_tries = -1;

/* Set while a look is being made, and when another was asked for meanwhile. */
static int looking;
static int look_asked;

/* The counts of changes taken in and of stale copies found that the shell last followed. */
static uint32_t followed;
static uint32_t stale_followed;

/* The changes of the folder that one read brings, as the system lays them out; and the
   read in flight. Only the watcher thread touches them. */
static DWORD watch_changes[1024];
static OVERLAPPED watch_read;

const DWORD WATCH_FILTER = FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_FILE_NAME
                         | FILE_NOTIFY_CHANGE_SIZE;

/* Asks for the folder's next changes; 1 when the read is under way. */
static int ReadChanges()
{
    watch_read = OVERLAPPED{};
    watch_read.hEvent = watch_change;
    return ReadDirectoryChangesW(watch_folder, watch_changes, sizeof watch_changes, FALSE,
                                 WATCH_FILTER, nullptr, &watch_read, nullptr) ? 1 : 0;
}

/* Whether the changes read concern the record or a sync engine's conflict copy of it.
   A read of no changes means more came than the buffer holds, and so may hide one. */
static bool RecordAmong(DWORD size)
{
    if (size == 0)
        return true;
    for (const BYTE *at = (const BYTE *)watch_changes;;) {
        const FILE_NOTIFY_INFORMATION *change = (const FILE_NOTIFY_INFORMATION *)at;
        const size_t length = change->FileNameLength / sizeof(wchar_t);
        if (IsRecordName(change->FileName, length) || IsConflictCopyName(change->FileName, length))
            return true;
        if (!change->NextEntryOffset)
            return false;
        at += change->NextEntryOffset;
    }
}

/* The watcher thread: one message to the main window for each wake that concerns the
   record, posted once the next read is under way, so that the look it brings comes
   after every change that the next read does not report. Ends at the stop event, or
   when the watch is lost (the message then says so). */
static DWORD WINAPI WatchFolder(LPVOID)
{
    HANDLE waits[2] = { watch_stop, watch_change };
    int lost = !ReadChanges();
    while (!lost) {
        DWORD woke = WaitForMultipleObjects(2, waits, FALSE, INFINITE), size = 0;
        if (woke == WAIT_OBJECT_0)
            break;
        lost = woke != WAIT_OBJECT_0 + 1 || !GetOverlappedResult(watch_folder, &watch_read, &size, FALSE);
        bool record = lost || RecordAmong(size);
        if (WaitForSingleObject(watch_stop, WAKE_PAUSE_MS) == WAIT_OBJECT_0)
            return 0;
        lost = lost || !ReadChanges();
        if (record)
            PostMessageW(watch_window, WM_FOLDERCHANGED, lost, 0);
    }
    if (lost) {
        PostMessageW(watch_window, WM_FOLDERCHANGED, 1, 0);
        return 0;
    }
    DWORD size;
    CancelIo(watch_folder);
    GetOverlappedResult(watch_folder, &watch_read, &size, TRUE);
    return 0;
}

/* Stops the watcher thread, waiting for it to end, and lets go of the watch. */
static void DisarmWatch()
{
    if (watch_thread) {
        SetEvent(watch_stop);
        WaitForSingleObject(watch_thread, INFINITE);
        CloseHandle(watch_thread);
    }
    if (watch_stop)
        CloseHandle(watch_stop);
    if (watch_change)
        CloseHandle(watch_change);
    if (watch_folder)
        CloseHandle(watch_folder);
    watch_thread = watch_stop = watch_change = watch_folder = nullptr;
}

/* Watches the current folder, with its thread; 1 when watching. A folder that cannot
   be watched (gone, too deep for a settings file) is left unwatched. */
static int ArmWatch()
{
    wchar_t path[SETTINGS_PATH_MAX + 1], folder[SETTINGS_PATH_MAX + 1];
    if (!SettingsPath(path, SETTINGS_PATH_MAX + 1) || !GetCurrentDirectoryW(SETTINGS_PATH_MAX + 1, folder))
        return 0;
    HANDLE opened = CreateFileW(folder, FILE_LIST_DIRECTORY,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
    if (opened == INVALID_HANDLE_VALUE)
        return 0;
    watch_folder = opened;
    watch_change = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    watch_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (watch_change && watch_stop)
        watch_thread = CreateThread(nullptr, 0, WatchFolder, nullptr, 0, nullptr);
    if (!watch_thread) {
        DisarmWatch();
        return 0;
    }
    return 1;
}

/* Timer 3: writes the record over a stale copy, so that a PC sharing the folder does
   not act on it; a failed save says so as any other. */
static void CALLBACK RewriteRecord(HWND window, UINT, UINT_PTR, DWORD)
{
    KillTimer(window, REWRITE_TIMER);
    SaveAndReport();
}

static void CALLBACK LookAgain(HWND window, UINT, UINT_PTR, DWORD);

/* A balloon for each conflict copy that holds lines of the player's own, once a run: its
   values are merged, but the copy stays where it is for the player to carry those lines
   over by hand. */
static void ReportCopiesWithOwnLines()
{
    wchar_t name[MAX_PATH];
    while (CopyToReport(name, MAX_PATH)) {
        wchar_t text[BALLOON_TEXT_SIZE] = L"";
        AddBalloonLine(text, IDS_COPY_OWN_LINES, name);
        if (text[0])
            ShowBalloon(text);
    }
}

/* Looks at the file and at the sync engine's conflict copies beside it, in one go, so
   that the lamp follows both together, and the hotkeys follow the file. What a copy adds
   is saved at once, and a copy whose news the record on disk holds goes to the Recycle
   Bin; a save asked for while the shell moved one is made right after. A stale copy of
   the record is written over soon, unless that save has written it already. Returns 1
   when the file, or a copy, could not be read or moved whole right now. */
static int LookAtRecordAndCopies()
{
    if (GlanceAtRecord() == LOOK_LATER)
        return 1;
    int copies = MergeCopies(), saved = 0;
    if (copies & COPIES_SAVE)
        saved = SaveAndReport();
    copies |= RecycleCopies() ? COPIES_LATER : 0;
    if (SaveAskedDuringMove())
        saved = SaveAndReport();
    FollowRecord();
    FollowHotkeys(watch_window);
    FollowAlertSettings(watch_window);
    ReportCopiesWithOwnLines();
    if (StaleCopiesFound() != stale_followed) {
        stale_followed = StaleCopiesFound();
        if (!saved)
            SetTimer(watch_window, REWRITE_TIMER, REWRITE_DELAY_MS, RewriteRecord);
    }
    return (copies & COPIES_LATER) != 0;
}

/* Looks. What cannot be read whole right now is looked at again by timer 2, a moment
   later and after a few tries every few seconds. The shell may dispatch messages while
   it moves a copy to the bin: a look asked for meanwhile is made after this one, never
   inside it. */
static void Look(HWND window)
{
    if (looking) {
        look_asked = 1;
        return;
    }
    looking = 1;
    int later;
    do {
        look_asked = 0;
        later = LookAtRecordAndCopies();
    } while (look_asked);
    looking = 0;
    if (later) {
        if (look_tries < 0 && SetTimer(window, LOOK_TIMER, LOOK_DELAY_MS, LookAgain))
            look_tries = 0;
        else if (look_tries >= 0 && ++look_tries == LOOK_TRIES)
            SetTimer(window, LOOK_TIMER, LOOK_SLOW_MS, LookAgain);
        return;
    }
    if (look_tries >= 0)
        KillTimer(window, LOOK_TIMER);
    look_tries = -1;
}

/* Timer 2: the next look at a file that could not be read whole. */
static void CALLBACK LookAgain(HWND window, UINT, UINT_PTR, DWORD)
{
    Look(window);
}

/* Looks at once, unless timer 2 is looking already. */
static void LookSoon(HWND window)
{
    if (look_tries < 0)
        Look(window);
}

/* Timer 4: tries to watch the folder again; once it can, looks at the file, which may
   have changed while nobody watched. */
static void CALLBACK Rewatch(HWND window, UINT, UINT_PTR, DWORD)
{
    if (!ArmWatch())
        return;
    KillTimer(window, REWATCH_TIMER);
    LookSoon(window);
}

/* Starts watching the current folder for the main window, and makes the first look,
   which reads a file held at start-up as soon as it is let go. A folder that cannot be
   watched now is tried again every half minute; meanwhile the file is still looked
   at before every save. Returns 1 when watching. */
int StartWatch(HWND window)
{
    watch_window = window;
    int armed = ArmWatch();
    if (!armed)
        SetTimer(window, REWATCH_TIMER, REWATCH_MS, Rewatch);
    LookSoon(window);
    return armed;
}

/* Stops the watcher before the window it posts to is gone; a look, a rewrite or a new
   watch still due is dropped (the last save looks at the file itself). */
void StopWatch()
{
    DisarmWatch();
    if (watch_window) {
        KillTimer(watch_window, LOOK_TIMER);
        KillTimer(watch_window, REWRITE_TIMER);
        KillTimer(watch_window, REWATCH_TIMER);
    }
    watch_window = nullptr;
    look_tries = -1;
}

/* A wake of the watcher: a look at once. A watch lost with its folder is
   let go and tried again later. A wake still queued when the watch stopped at exit is
   dropped. */
LRESULT OnFolderChanged(HWND window, WPARAM lost)
{
    if (!watch_window)
        return 0;
    if (lost) {
        DisarmWatch();
        SetTimer(window, REWATCH_TIMER, REWATCH_MS, Rewatch);
    }
    LookSoon(window);
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
