/* Following the record: what Quorvel last saw of the file, the looks that take in what
   was changed there outside Quorvel, the read of a file held at start-up, and the NEXT
   values that make a copy stale. */
#include "settings/record.h"

#include <cstdio>

/* Set when the file was there at start-up but could not be read: until it has been
   read, saving would replace the player's record with defaults, so saves wait. */
static int load_pending;

/* A file's time of last write is kept to some resolution (two seconds on FAT drives), so
   a size and time matching the last look prove nothing while the file was written that
   recently before the look: another write in the same tick may keep both. */
const int64_t STAMP_SETTLED = 3 * 10000000LL;   /* in the file time's 100 ns units */

/* The file as Quorvel last saw it. values are the owned values it held when last read
   or written (known is 0 until then); stamp is what the last look found, so that a
   save can tell whether the file changed again while the new one was being built.
   settled is 1 when that look came long enough after the file's last write that a
   later write cannot share its stamp. A change made outside is told from Quorvel's own
   saves by these values, not by when it came. */
struct Seen {
    int known;
    OwnedValues values;
    FileStamp stamp;
    int settled;
};
static Seen seen;

/* The NEXT values each craft held before its latest order, and how many stale copies
   of the file have been found so far (the shell writes the record again after one). */
static SupersededNext superseded;
static uint32_t stale_copies;

/* How many times values changed outside were taken into memory; the shell compares it
   with what its lamp and dialog last followed. How many saves have put a record in
   place: a conflict copy merged before one of them has had its news saved. */
static uint32_t changes_taken;
static uint32_t saves_done;

void (*settings_step_hook)(int step);

/* Lets a test act at a step of a look or a save. */
void Step(int step)
{
    if (settings_step_hook)
        settings_step_hook(step);
}

/* The file's size and time of last write; exists is 0 when there is no such file.
   Returns 0 when the folder cannot tell (it is gone, or cannot be read). */
int StampOf(const wchar_t *path, FileStamp *stamp)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    *stamp = FileStamp{};
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data))
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    stamp->exists = 1;
    stamp->size = ((uint64_t)data.nFileSizeHigh << 32) | data.nFileSizeLow;
    stamp->written = data.ftLastWriteTime;
    return 1;
}

/* Whether two looks found the same file. */
bool SameStamp(const FileStamp &a, const FileStamp &b)
{
    return a.exists == b.exists && a.size == b.size
        && CompareFileTime(&a.written, &b.written) == 0;
}

/* Whether a look made now at a file last written at that time can trust its stamp
   from then on. A file time ahead of the clock (another PC's) is never trusted. */
static int Settled(const FILETIME &written)
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    int64_t age = (int64_t)((((uint64_t)now.dwHighDateTime << 32) | now.dwLowDateTime)
                            - (((uint64_t)written.dwHighDateTime << 32) | written.dwLowDateTime));
    return age >= STAMP_SETTLED;
}

/* Notes what the file holds now, as read or as written. */
void Remember(const OwnedValues &values, const FileStamp &stamp)
{
    seen.known = 1;
    seen.values = values;
    seen.stamp = stamp;
    seen.settled = stamp.exists && Settled(stamp.written);
}

/* At a load: nothing of the file has been seen yet, and no read is waiting. */
void ForgetSeen()
{
    load_pending = 0;
    seen = Seen{};
}

/* The file was there at start-up but held: the first look that can read it takes it in. */
void ReadWhenFree()
{
    load_pending = 1;
}

/* Reads a file that was held at start-up, now that it can be read. An order received
   since then is newer than anything stored, so a later next_time in memory is kept.
   A file that has gone meanwhile holds nothing to protect: memory is all there is. */
static int CatchUpLoad(const wchar_t *path)
{
    FileState state = ProbeFile(path);
    if (state == FILE_UNREADABLE)
        return LOOK_LATER;
    load_pending = 0;
    if (state == FILE_MISSING) {
        seen.stamp = FileStamp{};
        return LOOK_MISSING;
    }
    int32_t received[CRAFT_COUNT];
    for (int k = 0; k < CRAFT_COUNT; k++)
        received[k] = crafts[k].next_time;
    ReadFile(path);
    for (int k = 0; k < CRAFT_COUNT; k++)
        if (received[k] > crafts[k].next_time)
            crafts[k].next_time = received[k];
    changes_taken++;
    return LOOK_TAKEN;
}

/* Takes what the file holds now into memory, key by key: a key changed there since it
   was last seen takes the file's value, every other keeps what memory holds. */
static int TakeIn(const OwnedValues &base, const OwnedValues &file, const FileStamp &stamp)
{
    OwnedValues memory = MemoryValues();
    int stale = 0;
    OwnedValues merged = MergeOwned(base, file, memory, superseded, &stale);
    stale_copies += stale;
    Remember(file, stamp);
    if (SameOwned(merged, memory))
        return LOOK_SAME;
    SetMemory(merged);
    changes_taken++;
    return LOOK_TAKEN;
}

/* Reads the owned values of a file, held open meanwhile and sharing everything, so that
   no other program can lock it half-way through the reads; a key the file does not set
   reads as the one in unset. A file that cannot be opened, or whose size or time moved
   during the reads (written at that very moment), is FILE_UNREADABLE: never taken as an
   empty one. *stamp is the file as read. */
FileState ReadSteadily(const wchar_t *path, const OwnedValues &unset, OwnedValues *values,
                       FileStamp *stamp)
{
    HANDLE file = CreateFileW(path, GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND ? FILE_MISSING : FILE_UNREADABLE;
    FileStamp after;
    int steady = StampOf(path, stamp) && stamp->exists;
    if (steady) {
        ReadOwned(path, &unset, values);
        Step(STEP_LOOK_READ);
    }
    steady = steady && StampOf(path, &after) && SameStamp(*stamp, after);
    CloseHandle(file);
    return steady ? FILE_READABLE : FILE_UNREADABLE;
}

/* Looks at the file as it is now and takes in what was changed there since Quorvel
   last read or wrote it; Quorvel's own saves find nothing new. A file that cannot be
   read whole right now is left for a later look. Returns a RecordLook. */
int LookAtRecord()
{
    wchar_t path[SETTINGS_PATH_MAX + 1];
    if (!SettingsPath(path, SETTINGS_PATH_MAX + 1))
        return LOOK_MISSING;
    if (load_pending)
        return CatchUpLoad(path);
    /* A file that appeared where there was none: every key it sets is news. */
    OwnedValues base = seen.known ? seen.values : MemoryValues(), now;
    FileStamp stamp;
    switch (ReadSteadily(path, base, &now, &stamp)) {
    case FILE_MISSING:
        seen.stamp = FileStamp{};
        return LOOK_MISSING;
    case FILE_UNREADABLE:
        return LOOK_LATER;
    default:
        return TakeIn(base, now, stamp);
    }
}

/* A look for the folder watch, which may wake for nothing new: a file whose size and
   time are those of the last look, made long enough after its last write, is not read
   again. A save always looks in full. Returns a RecordLook. */
int GlanceAtRecord()
{
    wchar_t path[SETTINGS_PATH_MAX + 1];
    FileStamp now;
    if (!load_pending && seen.settled && SettingsPath(path, SETTINGS_PATH_MAX + 1)
        && StampOf(path, &now) && SameStamp(now, seen.stamp))
        return LOOK_SAME;
    return LookAtRecord();
}

/* How many times values changed outside have been taken in so far. */
uint32_t ChangesTaken()
{
    return changes_taken;
}

/* Counts values taken into memory from outside the record (a conflict copy beside it). */
void CountTaken()
{
    changes_taken++;
}

/* What the record on disk holds, as Quorvel last read or wrote it; 0 when the last look
   found no record there. */
int RecordOnDisk(OwnedValues *values)
{
    if (!seen.known || !seen.stamp.exists)
        return 0;
    *values = seen.values;
    return 1;
}

/* Before an order for craft k replaces its NEXT: from now on a copy of the file that
   brings that value back is stale. */
void OrderReceived(int k)
{
    NoteSuperseded(&superseded, k, crafts[k].next_time);
}

/* The NEXT values each craft held before its latest order: a copy that brings one back is old news. */
const SupersededNext &ReplacedNext()
{
    return superseded;
}

/* How many saves have put a record in place so far. */
uint32_t SavesDone()
{
    return saves_done;
}

/* How many stale copies of the file looks have found so far. */
uint32_t StaleCopiesFound()
{
    return stale_copies;
}

/* After a save: the file holds memory's values as written, skills with one decimal. */
void RememberWritten(const wchar_t *path)
{
    OwnedValues written = MemoryValues();
    for (CraftValues &craft : written.craft) {
        char text[32];
        snprintf(text, sizeof text, "%.1f", craft.skill);
        craft.skill = ParseSkill(text);
    }
    FileStamp stamp;
    StampOf(path, &stamp);
    Remember(written, stamp);
    saves_done++;
}

/* Whether the file is still as the last look found it. */
bool StillAsLooked(const wchar_t *path)
{
    FileStamp now;
    return StampOf(path, &now) && SameStamp(now, seen.stamp);
}
