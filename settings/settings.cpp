/* Reads and writes Quorvel.ini through the platform's initialisation-file functions. */
#include "settings.h"

#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "../model/craft.h"

ScreenPoint StatusPosition;

static const char *const craft_sections[CRAFT_COUNT] = { "SMITH", "TAILOR" };

/* Set when the file was there at start-up but could not be read: until it has been
   read, saving would replace the player's record with defaults, so saves wait. */
static int load_pending;

enum FileState { FILE_MISSING, FILE_READABLE, FILE_UNREADABLE };

/* Builds "<current directory>\Quorvel.ini"; 0 when that would not fit the path limit,
   so that nothing is ever read from or written to a cut-off name. */
int SettingsPath(wchar_t *path, size_t count)
{
    wchar_t dir[SETTINGS_PATH_MAX + 1];
    DWORD len = GetCurrentDirectoryW(SETTINGS_PATH_MAX + 1, dir);
    if (len == 0 || len > SETTINGS_PATH_MAX)
        return 0;
    int n = _snwprintf(path, count, L"%ls\\%ls", dir, L"Quorvel.ini");
    return n > 0 && (size_t)n < count && n <= SETTINGS_PATH_MAX;
}

/* The same name in the system code page, for the initialisation-file functions. */
static int SettingsPathA(char *path, size_t size)
{
    wchar_t wide[SETTINGS_PATH_MAX + 1];
    if (!SettingsPath(wide, SETTINGS_PATH_MAX + 1))
        return 0;
    return WideCharToMultiByte(CP_ACP, 0, wide, -1, path, (int)size, nullptr, nullptr) > 0;
}

/* A skill text as the player may have typed it: non-numbers read as 0.0, and the
   result always lies within 0.0 to 120.0. */
double ParseSkill(const char *text)
{
    double skill = strtod(text, nullptr);
    if (std::isnan(skill))
        return SKILL_MIN;
    if (skill > SKILL_MAX)
        return SKILL_MAX;
    if (skill < SKILL_MIN)
        return SKILL_MIN;
    return skill;
}

/* Whether the file is there and can be opened for reading. The probe shares the file
   with everyone, so another program merely having it open does not hide it. Only a
   directory that answers "no such file" proves there is none: when the directory itself
   is gone (moved away, a drive not yet back) the record may well be in it. */
static FileState ProbeFile(const char *path)
{
    HANDLE file = CreateFileA(path, GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return FILE_READABLE;
    }
    return GetLastError() == ERROR_FILE_NOT_FOUND ? FILE_MISSING : FILE_UNREADABLE;
}

/* Waits a moment for a file that another program holds, as backup or sync tools briefly do. */
static FileState ProbeFilePatiently(const char *path)
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
static void ReadFile(const char *path)
{
    GetPrivateProfileIntA("SYSTEM", "VERSION", 1, path);
    StatusPosition.x = (int32_t)GetPrivateProfileIntA("STATUS", "X", 0, path);
    StatusPosition.y = (int32_t)GetPrivateProfileIntA("STATUS", "Y", 0, path);
    for (int k = 0; k < CRAFT_COUNT; k++) {
        char text[20];
        GetPrivateProfileStringA(craft_sections[k], "SKILL", "50.0", text, sizeof text, path);
        crafts[k].skill.store(ParseSkill(text));
        crafts[k].next_time = (int32_t)GetPrivateProfileIntA(craft_sections[k], "NEXT", 0, path);
        crafts[k].available = (int32_t)GetPrivateProfileIntA(craft_sections[k], "AVAILABLE", 0, path);
    }
    for (CraftTimer &craft : crafts)
        craft.alerted = 0;
}

/* Fills the craft records and the dialog position from the file, or from the defaults
   when there is no file (or no usable path). Returns 1 when the file was read. */
int LoadSettings()
{
    char path[SETTINGS_PATH_MAX + 4];
    load_pending = 0;
    if (!SettingsPathA(path, sizeof path)) {
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
static int CatchUpLoad(const char *path)
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

/* Writes one key; 1 when the platform took it. */
static int WriteKey(const char *section, const char *key, const char *value, const char *path)
{
    return WritePrivateProfileStringA(section, key, value, path) ? 1 : 0;
}

/* Writes one integer key as signed decimal text. */
static int WriteInt(const char *section, const char *key, int32_t value, const char *path)
{
    char text[16];
    snprintf(text, sizeof text, "%d", (int)value);
    return WriteKey(section, key, text, path);
}

/* Writes the whole state. Returns 1 when every key was written; what could not be
   written stays in memory and goes out with the next save. */
int SaveSettings()
{
    char path[SETTINGS_PATH_MAX + 4];
    if (!SettingsPathA(path, sizeof path))
        return 0;
    if (load_pending && !CatchUpLoad(path))
        return 0;
    int ok = WriteKey("SYSTEM", "VERSION", "1", path);
    ok &= WriteInt("STATUS", "X", StatusPosition.x, path);
    ok &= WriteInt("STATUS", "Y", StatusPosition.y, path);
    for (int k = 0; k < CRAFT_COUNT; k++) {
        char skill[32];
        snprintf(skill, sizeof skill, "%.1f", crafts[k].skill.load());
        ok &= WriteInt(craft_sections[k], "AVAILABLE", crafts[k].available, path);
        ok &= WriteKey(craft_sections[k], "SKILL", skill, path);
        ok &= WriteInt(craft_sections[k], "NEXT", crafts[k].next_time, path);
    }
    return ok;
}
