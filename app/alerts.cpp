/* Alerts as the player sets them in the settings file's [ALERT] section: a WAV file of
   their own instead of the beep, a reminder while a due order waits unseen, and a
   silent notice some minutes before an order comes due. The section is followed as the
   rest of the file is, so a change takes effect at the next look; Quorvel never writes
   it. Every wait is a timer set for its moment, so an idle program sleeps. */
#include "app/tray.h"

#include <mmsystem.h>

#include <ctime>
#include <cwchar>

#include "model/craft.h"
#include "res/resource.h"
#include "rules/alert.h"
#include "settings/settings.h"

/* The section's keys, in the order they are read and reported. A value is read into a
   buffer one longer than the longest path, so that one cut short by the read shows. */
enum { ALERT_KEYS = 3, KEY_SOUND = 0, KEY_REPEAT = 1, KEY_AHEAD = 2, ALERT_TEXT_SIZE = SETTINGS_PATH_MAX + 2 };
static const wchar_t *const alert_keys[ALERT_KEYS] = { L"SOUND", L"REPEAT", L"AHEAD" };

/* The section's values as last taken in, and the minutes they ask for, 0 where a key
   is off or cannot be used. */
static wchar_t alert_texts[ALERT_KEYS][ALERT_TEXT_SIZE];
static AlertTimes alert_times;

/* The sound's full path, empty for the beep; and whether what is wrong with the file
   has been told for this value, so that it is told once. */
static wchar_t sound_path[ALERT_TEXT_SIZE];
static int sound_told;

/* What the schedule keeps between looks, and the window whose timer 5 waits for the
   next reminder or notice ahead: the main window, from its first look at the file. */
static AlertSchedule schedule;
static HWND alert_window;

/* Why a sound file cannot be played (a text of the resources naming the file), or 0
   when it starts as a WAV file. Only such a file is ever handed to PlaySound. */
static UINT SoundProblem(const wchar_t *path)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? IDS_SOUND_MISSING
                                                                               : IDS_SOUND_UNREADABLE;
    }
    unsigned char head[WAVE_HEADER_SIZE];
    DWORD got = 0;
    BOOL read = ReadFile(file, head, sizeof head, &got, nullptr);
    CloseHandle(file);
    if (!read)
        return IDS_SOUND_UNREADABLE;
    return IsWaveHeader(head, got) ? 0 : IDS_SOUND_NOT_WAVE;
}

/* Takes in SOUND: a path absolute or relative to the record's folder, the current
   directory. A value that names no file (a folder, a path too long) turns the key off;
   a file that cannot be played keeps it, with the beep meanwhile, since the player may
   put the file right without touching the record. Both are reported. */
static void TakeSound(const wchar_t *text, wchar_t *report)
{
    sound_path[0] = L'\0';
    sound_told = 0;
    if (!text[0])
        return;
    wchar_t full[ALERT_TEXT_SIZE];
    DWORD length = GetFullPathNameW(text, ALERT_TEXT_SIZE, full, nullptr);
    if (wcslen(text) >= ALERT_TEXT_SIZE - 1 || length == 0 || length >= ALERT_TEXT_SIZE - 1) {
        AddBalloonLine(report, IDS_ALERT_NO_FILE, alert_keys[KEY_SOUND], text);
        return;
    }
    DWORD attributes = GetFileAttributesW(full);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        AddBalloonLine(report, IDS_ALERT_FOLDER, alert_keys[KEY_SOUND], text);
        return;
    }
    wcscpy(sound_path, full);
    UINT problem = SoundProblem(full);
    if (problem) {
        AddBalloonLine(report, problem, full);
        sound_told = 1;
    }
}

/* Takes in a key of minutes from 0 to most; any other value turns it off, reported. */
static void TakeMinutes(int i, int32_t most, int32_t *minutes, wchar_t *report)
{
    *minutes = 0;
    if (ReadAlertMinutes(alert_texts[i], most, minutes) != ALERT_BAD)
        return;
    wchar_t most_text[16];
    wsprintfW(most_text, L"%d", (int)most);
    AddBalloonLine(report, IDS_ALERT_MINUTES, alert_keys[i], alert_texts[i], most_text);
}

/* Names the crafts whose order comes due soon, with the minutes left, in one notice;
   the balloon makes no sound. */
static void ShowAhead(const AlertStep &step)
{
    static const UINT texts[CRAFT_COUNT][2] = { { IDS_AHEAD_SMITH, IDS_AHEAD_SMITH_ONE },
                                                { IDS_AHEAD_TAILOR, IDS_AHEAD_TAILOR_ONE } };
    wchar_t notice[BALLOON_TEXT_SIZE] = L"";
    for (int k = 0; k < CRAFT_COUNT; k++) {
        if (!(step.ahead & (1 << k)))
            continue;
        wchar_t minutes[16];
        wsprintfW(minutes, L"%d", (int)step.ahead_minutes[k]);
        AddBalloonLine(notice, texts[k][step.ahead_minutes[k] == 1], minutes);
    }
    if (notice[0])
        ShowBalloon(notice);
}

/* The alert's sound, when a craft comes due and at each reminder: the player's WAV
   file, streamed from disk while the program goes on, or the system's asterisk beep
   while no file is set or the file cannot be played. A bad setting never silences an
   alert; a file that went bad after it was set is reported once. */
void SoundAlert()
{
    if (sound_path[0]) {
        UINT problem = SoundProblem(sound_path);
        if (!problem && PlaySystemSound(sound_path, SND_FILENAME | SND_ASYNC | SND_NODEFAULT))
            return;
        if (problem && !sound_told) {
            wchar_t report[BALLOON_TEXT_SIZE] = L"";
            AddBalloonLine(report, problem, sound_path);
            sound_told = ShowBalloon(report);
        }
    }
    MessageBeep(MB_ICONASTERISK);
}

static void CALLBACK AlertTimer(HWND, UINT, UINT_PTR, DWORD);

/* Follows the schedule at now, after every change of the crafts or of the section and
   at its own timer: an alert is seen while the status dialog is open, a reminder sounds
   and notices ahead show when their time has come, and timer 5 waits for the next such
   moment, or stops when there is none. Returns 1 when it sounded or showed something. */
int FollowAlerts()
{
    if (!alert_window)
        return 0;
    if (StatusDialogOpen())
        SeeAlerts(&schedule, crafts, CRAFT_COUNT);
    AlertStep step = StepAlerts(&schedule, crafts, CRAFT_COUNT, alert_times, (int32_t)time(nullptr));
    if (step.sound)
        SoundAlert();
    if (step.ahead)
        ShowAhead(step);
    if (step.wait)
        SetTimer(alert_window, ALERT_TIMER, (UINT)step.wait * 1000, AlertTimer);
    else
        KillTimer(alert_window, ALERT_TIMER);
    return step.sound || step.ahead;
}

/* Timer 5: a reminder or a notice ahead may be due. */
static void CALLBACK AlertTimer(HWND, UINT, UINT_PTR, DWORD)
{
    FollowAlerts();
}

/* The player opened the status dialog: every alert now is seen, so its reminders end
   and a sound still playing stops. */
void PlayerSawAlerts()
{
    SeeAlerts(&schedule, crafts, CRAFT_COUNT);
    StopFileSound();
    FollowAlerts();
}

/* Takes in the section as the record holds it now, after a look at the file. An
   unchanged section costs a read of its three values; a changed one is taken in whole,
   one balloon names what cannot be used, so each change is reported once, and the
   schedule follows at once. Returns 1 when the section changed. */
int FollowAlertSettings(HWND window)
{
    wchar_t texts[ALERT_KEYS][ALERT_TEXT_SIZE];
    if (!ReadRecordSection(L"ALERT", alert_keys, ALERT_KEYS, texts[0], ALERT_TEXT_SIZE))
        return 0;
    alert_window = window;
    int changed = 0;
    for (int i = 0; i < ALERT_KEYS; i++)
        changed |= wcscmp(texts[i], alert_texts[i]) != 0;
    if (!changed)
        return 0;
    for (int i = 0; i < ALERT_KEYS; i++)
        wcscpy(alert_texts[i], texts[i]);
    wchar_t report[BALLOON_TEXT_SIZE] = L"";
    TakeSound(alert_texts[KEY_SOUND], report);
    TakeMinutes(KEY_REPEAT, REPEAT_MOST, &alert_times.repeat, report);
    TakeMinutes(KEY_AHEAD, AHEAD_MOST, &alert_times.ahead, report);
    FollowAlerts();
    if (report[0])
        ShowBalloon(report);
    return 1;
}

/* Forgets the section and the schedule as the main window goes, so that a window made
   later takes them in afresh at its first look. */
void LetGoOfAlerts()
{
    if (alert_window)
        KillTimer(alert_window, ALERT_TIMER);
    alert_window = nullptr;
    alert_texts[0][0] = alert_texts[1][0] = alert_texts[2][0] = L'\0';
    alert_times = AlertTimes{};
    sound_path[0] = L'\0';
    schedule = AlertSchedule{};
}
