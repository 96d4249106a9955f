/* The sections of the record that the player writes and Quorvel never does ([HOTKEYS],
   [ALERT]): read as the file holds them at each look, and what cannot be used in them
   told in one balloon per change. */
#include "app/tray.h"

#include <cwchar>

#include "settings/settings.h"

/* A line of a balloon is built in a buffer as large as the platform's formatting can fill. */
enum { LINE_SIZE = 1025 };

/* Reads count keys of a section from the record, key i into the size characters at
   texts + i * size, holding the file open meanwhile so that no other program can lock it
   half-way through. 0 when it cannot be opened right now (gone for a moment in an
   editor's save, held by another program): what the section asks for then stays as it
   is until a later look reads it, and a record deleted for good is written again at
   the next save, without the section. */
int ReadRecordSection(const wchar_t *section, const wchar_t *const *keys, int count, wchar_t *texts, int size)
{
    wchar_t path[SETTINGS_PATH_MAX + 1];
    if (!SettingsPath(path, SETTINGS_PATH_MAX + 1))
        return 0;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    for (int i = 0; i < count; i++)
        GetPrivateProfileStringW(section, keys[i], L"", texts + i * size, (DWORD)size, path);
    CloseHandle(file);
    return 1;
}

/* Adds a line to a balloon's text (BALLOON_TEXT_SIZE characters), built from a format
   of the resources and up to three texts, when it fits whole. The first line is always
   there, cut short if it must be (one naming a long path), so that no report is lost. */
void AddBalloonLine(wchar_t *report, UINT format_id, const wchar_t *a, const wchar_t *b, const wchar_t *c)
{
    wchar_t format[LINE_SIZE], line[LINE_SIZE];
    if (!LoadStringW(app_instance, format_id, format, LINE_SIZE))
        return;
    wsprintfW(line, format, a, b, c);
    size_t used = wcslen(report);
    if (!used) {
        lstrcpynW(report, line, BALLOON_TEXT_SIZE);
        return;
    }
    if (used + 1 + wcslen(line) >= BALLOON_TEXT_SIZE)
        return;
    wcscat(report, L"\n");
    wcscat(report, line);
}
