/* The hidden main window, its tray icon and tray menu. */
#ifndef QUORVEL_TRAY_H
#define QUORVEL_TRAY_H

#include <windows.h>

#include "app/app.h"

int RegisterMainClass(HINSTANCE instance);
HWND CreateMainWindow(HINSTANCE instance);
int RunMessageLoop();

/* Timer 0 of the main window runs the due check; timer 2 looks at the settings file a
   moment after the folder changed; timer 3 writes the record again after a stale copy
   of it was found; timer 4 starts the folder watch again after its folder went away;
   timer 5 sounds the next reminder or shows the next notice ahead. */
enum { DUE_TIMER = 0, LOOK_TIMER = 2, REWRITE_TIMER = 3, REWATCH_TIMER = 4, ALERT_TIMER = 5 };

/* A balloon's text holds 256 characters with its terminator. */
enum { BALLOON_TEXT_SIZE = 256 };

/* The number of the program's one tray icon, which its notifications carry. */
enum { TRAY_ICON_ID = 1 };

/* Posted to the main window by the folder watcher each time the folder changed, with
   wParam 1 when the watch was lost (its folder went away). */
enum { WM_FOLDERCHANGED = WM_APP + 101 };

/* Tray pieces the main window procedure calls; also used by the tests. */
void AddTrayIcon(HWND window);
void RemoveTrayIcon();
int RestoreTrayIcon();
HICON CurrentTrayIcon();
HMENU LoadTrayMenu(HMENU *popup);
void ShowTrayMenu(HWND window, const POINT *anchor);
void CALLBACK CheckDue(HWND window, UINT message, UINT_PTR timer, DWORD tick);
int ArmDueCheck();
int RefreshTrayTip();
int SaveBeforeExit();
int ShowBalloon(const wchar_t *text);

/* Changes made to the settings file outside Quorvel (app/watch.cpp). */
int StartWatch(HWND window);
void StopWatch();
LRESULT OnFolderChanged(HWND window, WPARAM lost);
int FollowRecord();

/* The sections the player writes into the settings file (app/sections.cpp). */
int ReadRecordSection(const wchar_t *section, const wchar_t *const *keys, int count, wchar_t *texts, int size);
void AddBalloonLine(wchar_t *report, UINT format_id, const wchar_t *a, const wchar_t *b = L"",
                    const wchar_t *c = L"");

/* Alerts set in the settings file: the sound, reminders, notices ahead (app/alerts.cpp). */
int FollowAlertSettings(HWND window);
void LetGoOfAlerts();
int FollowAlerts();
void SoundAlert();

/* Hotkeys set in the settings file (app/hotkeys.cpp). */
int FollowHotkeys(HWND window);
void LetGoOfHotkeys();
void ShowHotkeysInMenu(HMENU popup);
LRESULT OnHotkey(HWND window, WPARAM id);

/* One running copy per settings file (app/instance.cpp). */
int ClaimSettingsFile();
int HandOverToHolder();
int AnswerHandOver(HWND window, UINT message, WPARAM wparam, LPARAM lparam, LRESULT *answer);

#endif
