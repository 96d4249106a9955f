/* A sync engine's conflict copies of the record, merged into it and then put in the
   Recycle Bin. A copy goes only once the record on disk holds everything it adds, and
   only ever to the bin: if the bin cannot take it, it stays where it is, and merging it
   again later changes nothing. */
#include "settings/record.h"

#include <shellapi.h>

#include <cwchar>

/* At most this many copies are merged in one look; more wait for the looks after the
   first ones have gone. */
enum { COPIES_AT_ONCE = 16 };

/* A copy as the last merge read it: its name in the folder, the file as read, and the
   values it holds. */
struct MergedCopy {
    wchar_t name[MAX_PATH];
    FileStamp stamp;
    OwnedValues values;
};
static MergedCopy merged[COPIES_AT_ONCE];
static int merged_count;

/* Set once the bin of the record's folder proved unable to take a copy (a drive with no
   bin, or none that a file can be kept safe on while it goes there): copies stay for the
   rest of the run instead of being tried at every look. */
static int bin_unusable;

/* What a copy holds of a key it does not set: nothing a join would take. */
static const OwnedValues nothing_set = {};

enum RecycleResult { RECYCLE_LATER, RECYCLE_DONE, RECYCLE_NO_BIN };

/* Whether a file reads as a record: a craft section with a NEXT key. */
static bool ReadsAsRecord(const wchar_t *path)
{
    for (const wchar_t *section : craft_sections)
        if (KeySet(section, L"NEXT", path))
            return true;
    return false;
}

/* Merges the conflict copies in the record's folder into memory, where the lamp, the tip
   and the dialog follow them. A name that is a copy's but whose file does not read as a
   record is left alone. Returns COPIES_SAVE when the record on disk lacks what a copy
   adds (never while there is no record: a sync engine puts the winner in place a moment
   after it renamed the old record to a copy), COPIES_LATER when a copy could not be read
   whole now. */
int MergeCopies()
{
    wchar_t pattern[SETTINGS_PATH_MAX + 1], path[SETTINGS_PATH_MAX + 1];
    merged_count = 0;
    WIN32_FIND_DATAW found;
    HANDLE search = PathInCurrentDirectory(L"Quorvel*", pattern, SETTINGS_PATH_MAX + 1)
        ? FindFirstFileW(pattern, &found) : INVALID_HANDLE_VALUE;
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    const OwnedValues memory = MemoryValues();
    OwnedValues joined = memory, disk = {}, disk_joined;
    const int on_disk = RecordOnDisk(&disk);
    disk_joined = disk;
    int result = 0;
    do {
        MergedCopy &copy = merged[merged_count];
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            || !IsConflictCopyName(found.cFileName, wcslen(found.cFileName))
            || !PathInCurrentDirectory(found.cFileName, path, SETTINGS_PATH_MAX + 1))
            continue;
        FileState state = ReadSteadily(path, nothing_set, &copy.values, &copy.stamp);
        if (state == FILE_UNREADABLE)
            result |= COPIES_LATER;
        if (state != FILE_READABLE || !ReadsAsRecord(path))
            continue;
        joined = JoinCopy(joined, copy.values);
        disk_joined = JoinCopy(disk_joined, copy.values);
        wcscpy(copy.name, found.cFileName);
        merged_count++;
    } while (merged_count < COPIES_AT_ONCE && FindNextFileW(search, &found));
    FindClose(search);
    if (!SameOwned(joined, memory)) {
        /* An order from the other PC replaces this one's as one received here would. */
        for (int k = 0; k < CRAFT_COUNT; k++)
            if (joined.craft[k].next_time != memory.craft[k].next_time)
                OrderReceived(k);
        SetMemory(joined);
        CountTaken();
    }
    if (on_disk && !SameOwned(disk_joined, disk))
        result |= COPIES_SAVE;
    return result;
}

/* How many names a file has; 0 when it cannot be opened. */
static DWORD LinkCount(const wchar_t *path)
{
    HANDLE file = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    BY_HANDLE_FILE_INFORMATION information;
    DWORD links = GetFileInformationByHandle(file, &information) ? information.nNumberOfLinks : 0;
    CloseHandle(file);
    return links;
}

/* Asks the shell to move a file to the Recycle Bin, without a dialog or a sound. */
static void AskShellToRecycle(const wchar_t *path)
{
    wchar_t from[SETTINGS_PATH_MAX + 2] = {};   /* a list, ended by an empty name */
    wcscpy(from, path);
    SHFILEOPSTRUCTW operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from;
    operation.fFlags = FOF_ALLOWUNDO | FOF_NO_UI;
    SHFileOperationW(&operation);
}

/* Moves a file to the Recycle Bin, or leaves it where it is; it is never deleted outright.
   The shell's answer proves nothing: where a drive has no bin it deletes the file and
   reports success (so does Wine without the desktop's data folder). So the file first
   gets a second name, the draft's, which keeps it while the shell works. A move to the
   bin keeps every name the file had; a deletion takes one away, and the second name then
   puts it back. A file the shell left in place (another program holds it) is tried again
   later. */
static int RecycleGuarded(const wchar_t *path)
{
    wchar_t guard[SETTINGS_PATH_MAX + 1];
    if (!DraftPath(guard, SETTINGS_PATH_MAX + 1) || !DiscardDraft(guard))
        return RECYCLE_LATER;
    if (!CreateHardLinkW(guard, path, nullptr)) {
        DWORD error = GetLastError();
        /* A drive that cannot give a file a second name cannot keep it safe. */
        return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION
                || error == ERROR_ACCESS_DENIED || error == ERROR_FILE_NOT_FOUND
            ? RECYCLE_LATER : RECYCLE_NO_BIN;
    }
    const DWORD links = LinkCount(guard);
    AskShellToRecycle(path);
    if (GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES) {
        DiscardDraft(guard);
        return RECYCLE_LATER;
    }
    if (links >= 2 && LinkCount(guard) == links) {
        DiscardDraft(guard);
        return RECYCLE_DONE;
    }
    MoveFileExW(guard, path, MOVEFILE_WRITE_THROUGH);
    return RECYCLE_NO_BIN;
}

/* Puts in the Recycle Bin each copy the last merge read whose every value the record on
   disk now holds, and that is still as it was read (a copy changed since is merged again
   at the next look). Returns how many the shell could not move now (another program
   holds them), to be tried again at a later look. */
int RecycleCopies()
{
    OwnedValues disk;
    int waiting = 0;
    for (int i = 0; i < merged_count && !bin_unusable && RecordOnDisk(&disk); i++) {
        wchar_t path[SETTINGS_PATH_MAX + 1];
        FileStamp now;
        const MergedCopy &copy = merged[i];
        if (!SameOwned(JoinCopy(disk, copy.values), disk)
            || !PathInCurrentDirectory(copy.name, path, SETTINGS_PATH_MAX + 1)
            || !StampOf(path, &now) || !SameStamp(now, copy.stamp))
            continue;
        switch (RecycleGuarded(path)) {
        case RECYCLE_LATER:
            waiting++;
            break;
        case RECYCLE_NO_BIN:
            bin_unusable = 1;
            break;
        }
    }
    merged_count = 0;
    return waiting;
}
