/* Reads and writes Quorvel.ini through the platform's initialisation-file functions. The
   names are wide, so that a folder of any name works; the file itself stays 8-bit text. */
#include "settings.h"

#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "../model/craft.h"

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
    for (CraftTimer &craft : crafts) {
        craft.alerted = 0;
        craft.skill.store(SKILL_DEFAULT);
    }
}

/* Reads every key of an existing file into the records. */
static void ReadFile(const wchar_t *path)
{
    GetPrivateProfileIntW(L"SYSTEM", L"VERSION", 1, path);
    StatusPosition.x = (int32_t)GetPrivateProfileIntW(L"STATUS", L"X", 0, path);
    StatusPosition.y = (int32_t)GetPrivateProfileIntW(L"STATUS", L"Y", 0, path);
    for (int k = 0; k < CRAFT_COUNT; k++) {
        wchar_t wide[20];
        char text[20];
        GetPrivateProfileStringW(craft_sections[k], L"SKILL", L"50.0", wide, 20, path);
        // A number is plain ASCII: any other character ends it just as well as '?' does.
        int i = 0;
        for (; wide[i] && i < 19; i++)
            text[i] = wide[i] < 0x80 ? (char)wide[i] : '?';
        text[i] = 0;
        crafts[k].skill.store(ParseSkill(text));
        crafts[k].next_time = (int32_t)GetPrivateProfileIntW(craft_sections[k], L"NEXT", 0, path);
        crafts[k].available = (int32_t)GetPrivateProfileIntW(craft_sections[k], L"AVAILABLE", 0, path);
    }
    for (CraftTimer &craft : crafts)
        craft.alerted = 0;
}

/* Fills the craft records and the dialog position from the file, or from the defaults
   when there is no file (or no usable path). Returns 1 when the file was read. */
int LoadSettings()
{
    wchar_t path[SETTINGS_PATH_MAX + 1];
    load_pending = 0;
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
        return 0;
    load_pending = 0;
    if (state == FILE_MISSING)
        return 1;
    int32_t received[CRAFT_COUNT];
    for (int k = 0; k < CRAFT_COUNT; k++)
        received[k] = crafts[k].next_time;
    ReadFile(path);
    for (int k = 0; k < CRAFT_COUNT; k++)
        if (received[k] > crafts[k].next_time)
            crafts[k].next_time = received[k];
    return 1;
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
   the record open the rename is refused, and the save fails rather than wait. */
static int PutInPlace(const wchar_t *path, const wchar_t *draft)
{
    return MoveFileExW(draft, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ? 1 : 0;
}

/* Writes the whole state. The record is never written in place: the new one is built
   beside it and then takes its place in one step, so that a kill or a power cut at any
   moment leaves either the old record or the new one, complete. Returns 1 when every key
   was written and the new record is in place; what was not saved stays in memory and
   goes out with the next save. */
int SaveSettings()
{
    wchar_t path[SETTINGS_PATH_MAX + 1], draft[SETTINGS_PATH_MAX + 1];
    if (!SettingsPath(path, SETTINGS_PATH_MAX + 1)
        || !PathInCurrentDirectory(draft_name, draft, SETTINGS_PATH_MAX + 1))
        return 0;
    if (load_pending && !CatchUpLoad(path))
        return 0;
    if (StartDraft(path, draft) && WriteState(draft) && FlushDraft(draft) && PutInPlace(path, draft))
        return 1;
    DiscardDraft(draft);
    return 0;
}
