/* Moving a conflict copy to the Recycle Bin, and only there. The shell's word proves
   nothing, so while it works a second name of the copy's own, its guard, keeps the file;
   a guard left behind is settled at the next look, before anything else is done to
   copies. The shell may dispatch messages during a move: a save asked for meanwhile is
   made right after it. */
#include "settings/record.h"

#include <shellapi.h>

#include <cwchar>

/* The name a copy's guard takes beside it: the copy's with this added, which no save
   touches and which is no copy's name. */
static const wchar_t guard_suffix[] = L".guard";

/* Set while the shell moves a copy to the bin, which may dispatch messages meanwhile;
   a save asked for then waits until the move is over. */
static int moving;
static int save_asked;

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

/* Whether the folder says there is no file of that name: a file it cannot tell about
   (held, about to be deleted, or in a folder that went away) may still be there. */
static bool Gone(const wchar_t *path)
{
    FileStamp stamp;
    return StampOf(path, &stamp) && !stamp.exists;
}

/* Settles a guard: where its file has another name (the copy in place, or in the bin)
   the guard goes, with the file's attributes untouched; where the guard is the file's
   only name and the copy's name is free, it takes the copy's name again. A guard whose
   file has no other name is never deleted, nor one while the copy's name cannot be told
   about (deleted while another program holds it open, Windows keeps that name pending
   until it lets go, and it then goes). Returns 0 while that cannot be done now: the
   copy's name is taken, or the rename is refused. */
static int SettleGuard(const wchar_t *guard, const wchar_t *path)
{
    const DWORD links = LinkCount(guard);
    if (links == 0)
        return Gone(guard);
    const bool there = GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
    if (!there && !Gone(path))
        return 0;
    if (links >= 2)
        return DeleteFileW(guard) || GetLastError() == ERROR_FILE_NOT_FOUND;
    return !there && MoveFileExW(guard, path, MOVEFILE_WRITE_THROUGH);
}

/* The full name of a copy's guard; 0 when it would not fit the path limit. */
static int GuardPath(const wchar_t *name, wchar_t *guard)
{
    wchar_t guard_name[MAX_PATH + 8];
    if (wcslen(name) + wcslen(guard_suffix) >= MAX_PATH)
        return 0;
    wcscpy(guard_name, name);
    wcscat(guard_name, guard_suffix);
    return PathInCurrentDirectory(guard_name, guard, SETTINGS_PATH_MAX + 1);
}

/* Settles the guards an earlier move left (the shell deleted a copy outright and its
   name could not be given back, or the program ended half-way), before anything else is
   done to copies. A copy whose guard waits counts as listed, so that it is not merged
   again once it is back. Returns COPIES_LATER while one cannot be settled. */
int SettleGuards()
{
    wchar_t pattern[SETTINGS_PATH_MAX + 1], guard[SETTINGS_PATH_MAX + 1], path[SETTINGS_PATH_MAX + 1];
    WIN32_FIND_DATAW found;
    HANDLE search = PathInCurrentDirectory(L"Quorvel*.guard", pattern, SETTINGS_PATH_MAX + 1)
        ? FindFirstFileW(pattern, &found) : INVALID_HANDLE_VALUE;
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    int result = 0;
    do {
        size_t length = wcslen(found.cFileName), suffix = wcslen(guard_suffix);
        wchar_t name[MAX_PATH];
        if (length <= suffix || _wcsicmp(found.cFileName + length - suffix, guard_suffix) != 0)
            continue;
        wcsncpy(name, found.cFileName, length - suffix);
        name[length - suffix] = 0;
        if (!IsConflictCopyName(name, length - suffix) || !GuardPath(name, guard)
            || !PathInCurrentDirectory(name, path, SETTINGS_PATH_MAX + 1) || SettleGuard(guard, path))
            continue;
        result = COPIES_LATER;
        KeepListed(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return result;
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
    moving = 1;
    SHFileOperationW(&operation);
    moving = 0;
    Step(STEP_COPY_MOVED);
}

/* Whether a hard link failed because the drive cannot make one at all (FAT, some shares),
   rather than for a passing reason. */
static bool NoLinksHere(DWORD error)
{
    return error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION || error == ERROR_CALL_NOT_IMPLEMENTED
        || error == ERROR_NOT_SAME_DEVICE || error == ERROR_INVALID_PARAMETER || error == ERROR_TOO_MANY_LINKS;
}

/* Moves a copy to the Recycle Bin, or leaves it where it is; it is never deleted outright.
   The shell's answer proves nothing: where a drive has no bin it deletes the file and
   reports success (so does Wine without the desktop's data folder). So the file first
   gets a second name, its guard, which keeps it while the shell works. A move to the bin
   keeps every name the file had; a deletion takes one away, and the guard then gives the
   copy its name back, now or at the next look. A copy the shell left in place, or whose
   fate cannot be told, is tried again later. A read-only copy stays: letting go of its
   guard would take the mark off the file. */
int RecycleGuarded(const wchar_t *path, const wchar_t *name)
{
    wchar_t guard[SETTINGS_PATH_MAX + 1];
    DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return RECYCLE_LATER;
    if ((attributes & FILE_ATTRIBUTE_READONLY) || !GuardPath(name, guard))
        return RECYCLE_STAYS;
    if (!Gone(guard))
        return SettleGuard(guard, path), RECYCLE_LATER;
    if (!CreateHardLinkW(guard, path, nullptr))
        return NoLinksHere(GetLastError()) ? RECYCLE_STAYS : RECYCLE_LATER;
    const DWORD links = LinkCount(guard);
    if (links < 2)
        return SettleGuard(guard, path), RECYCLE_LATER;
    AskShellToRecycle(path);
    if (!Gone(path))
        return SettleGuard(guard, path), RECYCLE_LATER;
    const DWORD now = LinkCount(guard);
    if (now == 0)
        return RECYCLE_LATER;
    SettleGuard(guard, path);
    return now == links ? RECYCLE_DONE : RECYCLE_NO_BIN;
}

/* A save asked for while the shell moves a copy waits until the move is over; 1 when it
   was put off. */
int PostponeSave()
{
    if (!moving)
        return 0;
    save_asked = 1;
    return 1;
}

/* Whether a save was put off during a move, which the caller is now to make. */
int SaveAskedDuringMove()
{
    int asked = save_asked;
    save_asked = 0;
    return asked;
}

