/* A sync engine's conflict copies of the record, merged into it once each and then put
   in the Recycle Bin (settings/bin.cpp). A copy goes only once its news is saved, only
   when it holds no line of the player's own, and only ever to the bin: if the bin cannot
   take it, it stays where it is. */
#include "settings/record.h"

#include <cstdlib>
#include <cwchar>

/* At most this many copies are moved to the bin in one look; more wait for the next.
   A copy or record larger than TEXT_MAX is not compared line by line: it stays. */
enum { COPIES_AT_ONCE = 16, TEXT_MAX = 65536 };

/* A copy as the last merge of it read it: its name, the file as read, the values it
   holds, whether it reads as a record at all, whether it holds lines of the player's own
   (it then stays, and a balloon names it once), whether it stays for another reason (a
   drive without hard links, a read-only file), the count of saves when it was merged,
   and whether the latest listing of the folder found it. */
struct KnownCopy {
    wchar_t name[MAX_PATH];
    FileStamp stamp;
    OwnedValues values;
    int record;
    int own_lines;
    int reported;
    int stays;
    uint32_t merged_at;
    int listed;
};
static KnownCopy *known;
static int known_count, known_room;

/* Set once the bin of the record's folder was seen deleting a copy outright (a drive
   with no bin): copies stay for the rest of the run instead of being tried at every look. */
static int bin_unusable;

/* The text of a copy and of the record, compared line by line. */
static char copy_text[TEXT_MAX], record_text[TEXT_MAX];

/* What a copy holds of a key it does not set: nothing a join would take. */
static const OwnedValues nothing_set = {};

/* Whether a file reads as a record: a craft section with a NEXT key. */
static bool ReadsAsRecord(const wchar_t *path)
{
    for (const wchar_t *section : craft_sections)
        if (KeySet(section, L"NEXT", path))
            return true;
    return false;
}

/* The copy of this name that a merge read, or null. */
static KnownCopy *Known(const wchar_t *name)
{
    for (int i = 0; i < known_count; i++)
        if (_wcsicmp(known[i].name, name) == 0)
            return &known[i];
    return nullptr;
}

/* A copy whose guard waits to give it its name back stays known, so that it is not
   merged again once it has. */
void KeepListed(const wchar_t *name)
{
    if (KnownCopy *copy = Known(name))
        copy->listed = 1;
}

/* A place for a copy not known yet; null when there is no memory for it (it is then
   merged at every look, as if new). */
static KnownCopy *AddKnown(const wchar_t *name)
{
    if (known_count == known_room) {
        int room = known_room ? 2 * known_room : 16;
        KnownCopy *grown = (KnownCopy *)realloc(known, room * sizeof *known);
        if (!grown)
            return nullptr;
        known = grown;
        known_room = room;
    }
    KnownCopy *copy = &known[known_count++];
    *copy = KnownCopy{};
    wcscpy(copy->name, name);
    return copy;
}

/* Forgets the copies the latest listing did not find: gone to the bin, or away. */
static void ForgetUnlisted()
{
    int kept = 0;
    for (int i = 0; i < known_count; i++)
        if (known[i].listed)
            known[kept++] = known[i];
    known_count = kept;
}

/* Reads at most TEXT_MAX bytes of a file's text, held open meanwhile; 0 when it cannot
   be read now, -1 when it is larger. */
static int ReadText(const wchar_t *path, char *text, DWORD *size)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    DWORD high = 0, low = GetFileSize(file, &high);
    int result = -1;
    if (low != INVALID_FILE_SIZE && !high && low <= TEXT_MAX)
        result = ReadFile(file, text, low, size, nullptr) && *size == low ? 1 : 0;
    CloseHandle(file);
    return result;
}

/* Whether a copy, still as stamped, holds lines of the player's own that the record on
   disk lacks: 1 or 0, or -1 when either file cannot be read now. A file too large to
   compare is taken as holding some. */
static int OwnLinesOf(const wchar_t *path, const FileStamp &stamp)
{
    wchar_t record[SETTINGS_PATH_MAX + 1];
    DWORD copy_size = 0, record_size = 0;
    FileStamp now;
    int copy_read = ReadText(path, copy_text, &copy_size);
    if (!copy_read || !StampOf(path, &now) || !SameStamp(now, stamp))
        return -1;
    if (!SettingsPath(record, SETTINGS_PATH_MAX + 1))
        return 1;
    int record_read = ReadText(record, record_text, &record_size);
    if (!record_read)
        return -1;
    if (copy_read < 0 || record_read < 0)
        return 1;
    return HoldsOwnLines(copy_text, copy_size, record_text, record_size) ? 1 : 0;
}

/* Reads a copy that is new, or changed since its last merge, and remembers it; its
   values join memory and the record on disk. Returns COPIES_LATER when it cannot be read
   whole now: it is not remembered, so the next look reads it again. */
static int TakeCopy(const wchar_t *name, OwnedValues *joined, OwnedValues *disk_joined)
{
    wchar_t path[SETTINGS_PATH_MAX + 1];
    OwnedValues values;
    FileStamp stamp;
    if (!PathInCurrentDirectory(name, path, SETTINGS_PATH_MAX + 1))
        return 0;
    FileState state = ReadSteadily(path, nothing_set, &values, &stamp);
    if (state != FILE_READABLE)
        return state == FILE_UNREADABLE ? COPIES_LATER : 0;
    const int record = ReadsAsRecord(path), own_lines = record ? OwnLinesOf(path, stamp) : 0;
    if (own_lines < 0)
        return COPIES_LATER;
    KnownCopy *copy = Known(name);
    if (!copy)
        copy = AddKnown(name);
    if (copy) {
        *copy = KnownCopy{ {}, stamp, values, record, own_lines, copy->reported, 0, SavesDone(), 1 };
        wcscpy(copy->name, name);
    }
    if (record) {
        *joined = JoinCopy(*joined, values, ReplacedNext());
        *disk_joined = JoinCopy(*disk_joined, values, ReplacedNext());
    }
    return 0;
}

/* The file as the folder's listing gives it. */
static FileStamp StampOfListed(const WIN32_FIND_DATAW &found)
{
    FileStamp stamp = { 1, ((uint64_t)found.nFileSizeHigh << 32) | found.nFileSizeLow, found.ftLastWriteTime };
    return stamp;
}

/* Merges the conflict copies in the record's folder into memory, where the lamp, the tip
   and the dialog follow them. Every copy is considered at every look, but only one that
   is new or changed since its last merge is read: one merged already costs its entry in
   the folder's listing, and the player's later changes to what it held stand. A name
   that is a copy's but whose file does not read as a record is left alone. Returns
   COPIES_SAVE when the record on disk lacks what a copy read now adds (never while there
   is no record: a sync engine puts the winner in place a moment after it renamed the
   old record to a copy), COPIES_LATER when a copy or a guard wants another look. */
int MergeCopies()
{
    wchar_t pattern[SETTINGS_PATH_MAX + 1];
    for (int i = 0; i < known_count; i++)
        known[i].listed = 0;
    int result = SettleGuards();
    WIN32_FIND_DATAW found;
    HANDLE search = PathInCurrentDirectory(L"Quorvel*", pattern, SETTINGS_PATH_MAX + 1)
        ? FindFirstFileW(pattern, &found) : INVALID_HANDLE_VALUE;
    if (search == INVALID_HANDLE_VALUE) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND)
            ForgetUnlisted();
        return result;
    }
    const OwnedValues memory = MemoryValues();
    OwnedValues joined = memory, disk = {}, disk_joined;
    const int on_disk = RecordOnDisk(&disk);
    disk_joined = disk;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            || !IsConflictCopyName(found.cFileName, wcslen(found.cFileName)))
            continue;
        KnownCopy *copy = Known(found.cFileName);
        if (copy && SameStamp(copy->stamp, StampOfListed(found)))
            copy->listed = 1;
        else
            result |= TakeCopy(found.cFileName, &joined, &disk_joined);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    ForgetUnlisted();
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

/* Puts in the Recycle Bin each listed copy whose news the record on disk holds (it adds
   nothing, or a save has put a record in place since it was merged), that holds no line
   of its own, and that is still as it was read (a copy changed since is read again at the
   next look). Returns how many wait for a later look: the shell could not move them now,
   or more than one look moves. */
int RecycleCopies()
{
    OwnedValues disk;
    int waiting = 0, moved = 0;
    for (int i = 0; i < known_count && !bin_unusable && RecordOnDisk(&disk); i++) {
        wchar_t path[SETTINGS_PATH_MAX + 1], name[MAX_PATH];
        FileStamp now;
        const KnownCopy &copy = known[i];
        if (!copy.listed || !copy.record || copy.own_lines || copy.stays
            || (copy.merged_at == SavesDone() && !SameOwned(JoinCopy(disk, copy.values, ReplacedNext()), disk))
            || !PathInCurrentDirectory(copy.name, path, SETTINGS_PATH_MAX + 1)
            || !StampOf(path, &now) || !SameStamp(now, copy.stamp))
            continue;
        if (moved == COPIES_AT_ONCE) {
            waiting++;
            continue;
        }
        wcscpy(name, copy.name);
        switch (RecycleGuarded(path, name)) {
        case RECYCLE_DONE:
            moved++;
            break;
        case RECYCLE_LATER:
            waiting++;
            break;
        case RECYCLE_STAYS:
            if (KnownCopy *stays = Known(name))
                stays->stays = 1;
            break;
        case RECYCLE_NO_BIN:
            bin_unusable = 1;
            break;
        }
    }
    return waiting;
}

/* At a load, a new run: no copy is known and the bin is given a chance. */
void ForgetCopies()
{
    known_count = 0;
    bin_unusable = 0;
}

/* The name of a copy that holds lines of the player's own and has not been named to the
   player yet in this run; 0 when there is none. */
int CopyToReport(wchar_t *name, size_t count)
{
    for (int i = 0; i < known_count; i++) {
        KnownCopy &copy = known[i];
        if (copy.listed && copy.record && copy.own_lines && !copy.reported) {
            copy.reported = 1;
            lstrcpynW(name, copy.name, (int)count);
            return 1;
        }
    }
    return 0;
}
