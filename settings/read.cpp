/* Reading the record: its name in the current directory, its keys read and clamped into
   the craft records, and the load at start-up. The names are wide, so that a folder of any
   name works; the file itself stays 8-bit text. */
#include "settings/record.h"

#include <cmath>
#include <cstdlib>
#include <cwchar>

ScreenPoint StatusPosition;

const wchar_t *const craft_sections[CRAFT_COUNT] = { L"SMITH", L"TAILOR" };

/* The record's name; the draft a save builds beside it has a name of the same length,
   so that every folder that can hold the record can hold the draft as well. */
static const wchar_t record_name[] = L"Quorvel.ini";

/* Builds "<current directory>\<name>"; 0 when that would be longer than the path limit,
   so that nothing is ever read from or written to a cut-off name. */
int PathInCurrentDirectory(const wchar_t *name, wchar_t *path, size_t count)
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
FileState ProbeFile(const wchar_t *path)
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

/* Whether the file gives a key a value: a missing key and an empty one both do not. */
bool KeySet(const wchar_t *section, const wchar_t *key, const wchar_t *path)
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
void ReadOwned(const wchar_t *path, const OwnedValues *unset, OwnedValues *values)
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
OwnedValues MemoryValues()
{
    OwnedValues values;
    values.position = StatusPosition;
    for (int k = 0; k < CRAFT_COUNT; k++)
        values.craft[k] = { crafts[k].available, crafts[k].skill.load(), crafts[k].next_time };
    return values;
}

/* Puts owned values into memory; the alert flags are the shell's to settle. */
void SetMemory(const OwnedValues &values)
{
    StatusPosition = values.position;
    for (int k = 0; k < CRAFT_COUNT; k++) {
        crafts[k].available = values.craft[k].available;
        crafts[k].skill.store(values.craft[k].skill);
        crafts[k].next_time = values.craft[k].next_time;
    }
}

/* Reads every key of an existing file into the records, and remembers them as seen. */
void ReadFile(const wchar_t *path)
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
    ForgetSeen();
    ForgetCopies();
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
        ReadWhenFree();
        LoadDefaults();
        return 0;
    default:
        LoadDefaults();
        return 0;
    }
}
