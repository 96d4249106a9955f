/* Reads and writes Quorvel.ini through the platform's initialisation-file functions. The
   names are wide, so that a folder of any name works; the file itself stays 8-bit text. */
#include "settings.h"

#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cwchar>

ScreenPoint StatusPosition;

static const wchar_t *const craft_sections[CRAFT_COUNT] = { L"SMITH", L"TAILOR" };

/* The record, and the draft a save builds beside it before putting it in place. The two
   names are the same length, so that every folder that can hold the record can hold the
   draft as well. */
static const wchar_t record_name[] = L"Quorvel.ini";
static const wchar_t draft_name[] = L"Quorvel.new";

/* Set when the file was there at start-up but could not be read: until it has been
   read, saving would replace the player's record with defaults, so saves wait. */
static int load_pending;

enum FileState { FILE_MISSING, FILE_READABLE, FILE_UNREADABLE };

/* A save that finds the file being written by another program at that moment tries
   again a little later, a few times, before it gives up. One refused while the file is
   as last seen (a virus scanner or a sync client reading it just after a save) waits
   for it up to LOCK_PATIENCE_MS, the longest a save may hold the user's clicks. */
enum { SAVE_TRIES = 4, SAVE_RETRY_MS = 50, LOCK_PATIENCE_MS = 2000, LOCK_RETRY_MS = 100 };

/* A file's time of last write is kept to some resolution (two seconds on FAT drives), so
   a size and time matching the last look prove nothing while the file was written that
   recently before the look: another write in the same tick may keep both. */
const int64_t STAMP_SETTLED = 3 * 10000000LL;   /* in the file time's 100 ns units */

/* The file as a look found it: whether it was there, its size and time of last write. */
struct FileStamp {
    int exists;
    uint64_t size;
    FILETIME written;
};

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

void (*settings_step_hook)(int step);

/* Lets a test act at a step of a look or a save. */
static void Step(int step)
{
    if (settings_step_hook)
        settings_step_hook(step);
}

/* How many times values changed outside were taken into memory; the shell compares it
   with what its lamp and dialog last followed. */
static uint32_t changes_taken;

/* Builds "<current directory>\<name>"; 0 when that would be longer than the path limit,
   so that nothing is ever read from or written to a cut-off name. */
static int PathInCurrentDirectory(const wchar_t *name, wchar_t *path, size_t count)
{
    wchar_t dir[SETTINGS_PATH_MAX + 1];
    DWORD len = GetCurrentDirectoryW(SETTINGS_PATH_MAX + 1, dir);
    if (len == 0 || len > SETTINGS_PATH_MAX)
        return 0;
    size_t total = len + 1 + wcslen(name);
    if (total > SETTINGS_PATH_MAX || total >= count)
        return 0;
    wmemcpy(path, dir, len);
    path[len] = L'\\';
    wcscpy(path + len + 1, name);
    return 1;
}

/* Whether a name in the current directory, of the given length, is the record's. */
bool IsRecordName(const wchar_t *name, size_t length)
{
    return length == wcslen(record_name) && _wcsnicmp(name, record_name, length) == 0;
}

/* The full name of the record in the current directory of this moment. */
int SettingsPath(wchar_t *path, size_t count)
{
    return PathInCurrentDirectory(record_name, path, count);
}

/* A skill text as the player may have typed it: non-numbers read as 0.0, and the result
   lies within 0.0 to 120.0, rounded to the nearest tenth so that what is shown, what is
   waited and what is saved agree. A text half-way between two tenths (69.85) rounds up;
   the small allowance keeps the binary error of the parsed text from deciding that. */
double ParseSkill(const char *text)
{
    double skill = strtod(text, nullptr);
    if (std::isnan(skill))
        return SKILL_MIN;
    if (skill > SKILL_MAX)
        return SKILL_MAX;
    if (skill < SKILL_MIN)
        return SKILL_MIN;
    return std::floor(skill * 10.0 + 0.5 + 1e-9) / 10.0;
}

/* Whether the file is there and can be opened for reading. The probe shares the file
   with everyone, so another program merely having it open, even for writing, does not
   hide it. Only a directory that answers "no such file" proves there is none: when the
   directory itself is gone (moved away, a drive not yet back) the record may well be in it. */
static FileState ProbeFile(const wchar_t *path)
{
    HANDLE file = CreateFileW(path, GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return FILE_READABLE;
    }
    return GetLastError() == ERROR_FILE_NOT_FOUND ? FILE_MISSING : FILE_UNREADABLE;
}

/* Waits a moment for a file that another program holds, as backup or sync tools briefly do. */
static FileState ProbeFilePatiently(const wchar_t *path)
{
    FileState state = ProbeFile(path);
    for (int tries = 0; state == FILE_UNREADABLE && tries < 10; tries++) {
        Sleep(100);
        state = ProbeFile(path);
    }
    return state;
}

/* The state of a first start: both skills at their default, nothing tracked or due. */
static void LoadDefaults()
{
    for (CraftTimer &craft : crafts)
        craft.skill.store(SKILL_DEFAULT);
}

/* The file's size and time of last write; exists is 0 when there is no such file.
   Returns 0 when the folder cannot tell (it is gone, or cannot be read). */
static int StampOf(const wchar_t *path, FileStamp *stamp)
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
static bool SameStamp(const FileStamp &a, const FileStamp &b)
{
    return a.exists == b.exists && a.size == b.size
        && CompareFileTime(&a.written, &b.written) == 0;
}

/* Whether the file gives a key a value: a missing key and an empty one both do not. */
static bool KeySet(const wchar_t *section, const wchar_t *key, const wchar_t *path)
{
    wchar_t text[2];
    return GetPrivateProfileStringW(section, key, L"", text, 2, path) != 0;
}

/* An integer key; one the file does not set reads as *unset when that is given, else
   as the reader's default 0. */
static int32_t ReadInt(const wchar_t *section, const wchar_t *key, const int32_t *unset,
                       const wchar_t *path)
{
    if (unset && !KeySet(section, key, path))
        return *unset;
    return (int32_t)GetPrivateProfileIntW(section, key, 0, path);
}

/* A skill key, parsed, clamped and rounded; one the file does not set reads as *unset
   when that is given, else as 50.0. */
static double ReadSkill(const wchar_t *section, const double *unset, const wchar_t *path)
{
    if (unset && !KeySet(section, L"SKILL", path))
        return *unset;
    wchar_t wide[20];
    char text[20];
    GetPrivateProfileStringW(section, L"SKILL", L"50.0", wide, 20, path);
    // A number is plain ASCII: any other character ends it just as well as '?' does.
    int i = 0;
    for (; wide[i] && i < 19; i++)
        text[i] = wide[i] < 0x80 ? (char)wide[i] : '?';
    text[i] = 0;
    return ParseSkill(text);
}

/* Reads the owned values from the file. A later look passes the values last seen as
   unset: a key that is missing or empty (an editor's file cut short while it was being
   written) tells nothing new, so it is never taken as a default. */
static void ReadOwned(const wchar_t *path, const OwnedValues *unset, OwnedValues *values)
{
    values->position.x = ReadInt(L"STATUS", L"X", unset ? &unset->position.x : nullptr, path);
    values->position.y = ReadInt(L"STATUS", L"Y", unset ? &unset->position.y : nullptr, path);
    for (int k = 0; k < CRAFT_COUNT; k++) {
        const CraftValues *was = unset ? &unset->craft[k] : nullptr;
        CraftValues &craft = values->craft[k];
        craft.skill = ReadSkill(craft_sections[k], was ? &was->skill : nullptr, path);
        craft.next_time = ReadInt(craft_sections[k], L"NEXT", was ? &was->next_time : nullptr, path);
        craft.available = ReadInt(craft_sections[k], L"AVAILABLE", was ? &was->available : nullptr, path);
    }
}

/* What memory holds of the owned values. */
static OwnedValues MemoryValues()
{
    OwnedValues values;
    values.position = StatusPosition;
    for (int k = 0; k < CRAFT_COUNT; k++)
        values.craft[k] = { crafts[k].available, crafts[k].skill.load(), crafts[k].next_time };
    return values;
}

/* Puts owned values into memory; the alert flags are the shell's to settle. */
static void SetMemory(const OwnedValues &values)
{
    StatusPosition = values.position;
    for (int k = 0; k < CRAFT_COUNT; k++) {
        crafts[k].available = values.craft[k].available;
        crafts[k].skill.store(values.craft[k].skill);
        crafts[k].next_time = values.craft[k].next_time;
    }
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
static void Remember(const OwnedValues &values, const FileStamp &stamp)
{
    seen.known = 1;
    seen.values = values;
    seen.stamp = stamp;
    seen.settled = stamp.exists && Settled(stamp.written);
}

/* Reads every key of an existing file into the records, and remembers them as seen. */
static void ReadFile(const wchar_t *path)
{
    GetPrivateProfileIntW(L"SYSTEM", L"VERSION", 1, path);
    OwnedValues values;
    FileStamp stamp;
    StampOf(path, &stamp);
    ReadOwned(path, nullptr, &values);
    SetMemory(values);
    Remember(values, stamp);
}

/* Fills the craft records and the dialog position from the file, or from the defaults
   when there is no file (or no usable path). Returns 1 when the file was read. */
int LoadSettings()
{
    wchar_t path[SETTINGS_PATH_MAX + 1];
    load_pending = 0;
    seen = Seen{};
    for (CraftTimer &craft : crafts)
        craft.alerted = 0;
    if (!SettingsPath(path, SETTINGS_PATH_MAX + 1)) {
        LoadDefaults();
        return 0;
    }
    switch (ProbeFilePatiently(path)) {
    case FILE_READABLE:
        ReadFile(path);
        return 1;
    case FILE_UNREADABLE:
        load_pending = 1;
        LoadDefaults();
        return 0;
    default:
        LoadDefaults();
        return 0;
    }
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

/* Looks at the file as it is now and takes in what was changed there since Quorvel
   last read or wrote it; Quorvel's own saves find nothing new. The file is held open,
   sharing everything, while it is read, so that no other program can lock it half-way
   through the reads, and a file whose size or time moved during them (written at that
   very moment) is left for a later look. A file that cannot be opened is never taken
   as an empty one. Returns a RecordLook. */
int LookAtRecord()
{
    wchar_t path[SETTINGS_PATH_MAX + 1];
    if (!SettingsPath(path, SETTINGS_PATH_MAX + 1))
        return LOOK_MISSING;
    if (load_pending)
        return CatchUpLoad(path);
    HANDLE file = CreateFileW(path, GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        if (GetLastError() != ERROR_FILE_NOT_FOUND)
            return LOOK_LATER;
        seen.stamp = FileStamp{};
        return LOOK_MISSING;
    }
    /* A file that appeared where there was none: every key it sets is news. */
    OwnedValues base = seen.known ? seen.values : MemoryValues(), now;
    FileStamp before, after;
    int steady = StampOf(path, &before) && before.exists;
    if (steady) {
        ReadOwned(path, &base, &now);
        Step(STEP_LOOK_READ);
    }
    steady = steady && StampOf(path, &after) && SameStamp(before, after);
    CloseHandle(file);
    if (!steady)
        return LOOK_LATER;
    return TakeIn(base, now, before);
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

/* Before an order for craft k replaces its NEXT: from now on a copy of the file that
   brings that value back is stale. */
void OrderReceived(int k)
{
    NoteSuperseded(&superseded, k, crafts[k].next_time);
}

/* How many stale copies of the file looks have found so far. */
uint32_t StaleCopiesFound()
{
    return stale_copies;
}

/* Removes a draft, also one that was copied from a read-only record; 1 when none is left. */
static int DiscardDraft(const wchar_t *draft)
{
    SetFileAttributesW(draft, FILE_ATTRIBUTE_NORMAL);
    return DeleteFileW(draft) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

/* Starts the draft as a copy of the record, so that the sections, keys and comments
   Quorvel does not own survive; with no record yet it starts empty. A draft left behind
   by a save that never finished is thrown away first, never read. A record that cannot
   be copied (another program holds it) fails the save rather than lose those lines. */
static int StartDraft(const wchar_t *path, const wchar_t *draft)
{
    if (!DiscardDraft(draft))
        return 0;
    if (CopyFileW(path, draft, FALSE))
        return 1;
    return GetLastError() == ERROR_FILE_NOT_FOUND;
}

/* Writes one key into the draft; 1 when the platform took it. */
static int WriteKey(const wchar_t *section, const wchar_t *key, const char *value,
                    const wchar_t *draft)
{
    wchar_t wide[32];
    int i = 0;
    for (; value[i] && i < 31; i++)
        wide[i] = (unsigned char)value[i];
    wide[i] = 0;
    return WritePrivateProfileStringW(section, key, wide, draft) ? 1 : 0;
}

/* Writes one integer key as signed decimal text. */
static int WriteInt(const wchar_t *section, const wchar_t *key, int32_t value, const wchar_t *draft)
{
    char text[16];
    snprintf(text, sizeof text, "%d", (int)value);
    return WriteKey(section, key, text, draft);
}

/* Writes every key of the state into the draft. */
static int WriteState(const wchar_t *draft)
{
    int ok = WriteKey(L"SYSTEM", L"VERSION", "1", draft);
    ok &= WriteInt(L"STATUS", L"X", StatusPosition.x, draft);
    ok &= WriteInt(L"STATUS", L"Y", StatusPosition.y, draft);
    for (int k = 0; k < CRAFT_COUNT; k++) {
        char skill[32];
        snprintf(skill, sizeof skill, "%.1f", crafts[k].skill.load());
        ok &= WriteInt(craft_sections[k], L"AVAILABLE", crafts[k].available, draft);
        ok &= WriteKey(craft_sections[k], L"SKILL", skill, draft);
        ok &= WriteInt(craft_sections[k], L"NEXT", crafts[k].next_time, draft);
    }
    return ok;
}

/* Makes sure the draft's bytes are on the disk before it becomes the record, so that a
   power cut after the swap cannot leave a record whose contents never arrived. The
   platform's cached copy of the draft is let go as well: the next draft is a copy that
   carries the record's time stamp, which that cache would take for its own. */
static int FlushDraft(const wchar_t *draft)
{
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, draft);
    HANDLE file = CreateFileW(draft, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    int ok = FlushFileBuffers(file) ? 1 : 0;
    CloseHandle(file);
    return ok;
}

/* Puts the finished draft in the record's place in one step: a rename over the record,
   which the file system does whole or not at all. (ReplaceFileW is no such step under
   Wine: a kill in the middle of it has left an empty record.) While another program has
   the record open without sharing its deletion the rename is refused. */
static int PutInPlace(const wchar_t *path, const wchar_t *draft)
{
    return MoveFileExW(draft, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ? 1 : 0;
}

/* After a save: the file holds memory's values as written, skills with one decimal. */
static void RememberWritten(const wchar_t *path)
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
}

/* Whether the file is still as the last look found it. */
static bool StillAsLooked(const wchar_t *path)
{
    FileStamp now;
    return StampOf(path, &now) && SameStamp(now, seen.stamp);
}

enum SaveTry { TRY_SAVED, TRY_FAILED, TRY_REFUSED, TRY_CHANGED };

/* One try of a save, after its look: builds the draft and puts it in place. A draft
   or a rename that another program's hold refuses is TRY_REFUSED, a file that changed
   meanwhile TRY_CHANGED; neither leaves a draft behind. */
static int SaveOnce(const wchar_t *path, const wchar_t *draft)
{
    if (!StartDraft(path, draft)) {
        DiscardDraft(draft);
        return StillAsLooked(path) ? TRY_REFUSED : TRY_CHANGED;
    }
    if (!WriteState(draft) || !FlushDraft(draft)) {
        DiscardDraft(draft);
        return TRY_FAILED;
    }
    Step(STEP_SAVE_BUILT);
    if (StillAsLooked(path) && PutInPlace(path, draft)) {
        RememberWritten(path);
        return TRY_SAVED;
    }
    DiscardDraft(draft);
    return StillAsLooked(path) ? TRY_REFUSED : TRY_CHANGED;
}

/* Writes the whole state. The record is never written in place: the new one is built
   beside it and then takes its place in one step, so that a kill or a power cut at any
   moment leaves either the old record or the new one, complete. Each try first takes in
   what was changed in the file outside Quorvel, and a file that changes again while the
   new one is being built is looked at anew, so a save never writes back a value over
   one changed since Quorvel last saw it. A record that another program holds a moment
   is waited for, up to about two seconds. Returns 1 when every key was written and the
   new record is in place; what was not saved stays in memory and goes out with the
   next save. */
int SaveSettings()
{
    wchar_t path[SETTINGS_PATH_MAX + 1], draft[SETTINGS_PATH_MAX + 1];
    if (!SettingsPath(path, SETTINGS_PATH_MAX + 1)
        || !PathInCurrentDirectory(draft_name, draft, SETTINGS_PATH_MAX + 1))
        return 0;
    const DWORD started = GetTickCount();
    for (int changed = 0;;) {
        int result = TRY_REFUSED;
        if (LookAtRecord() != LOOK_LATER)
            result = SaveOnce(path, draft);
        else if (!StillAsLooked(path))
            result = TRY_CHANGED;
        if (result == TRY_SAVED)
            return 1;
        if (result == TRY_FAILED || GetTickCount() - started >= LOCK_PATIENCE_MS)
            return 0;
        if (result == TRY_CHANGED && ++changed >= SAVE_TRIES)
            return 0;
        Sleep(result == TRY_REFUSED ? LOCK_RETRY_MS : SAVE_RETRY_MS);
    }
}
