/* The hidden main window, its tray icon and tray menu. */
#ifndef QUORVEL_TRAY_H
#define QUORVEL_TRAY_H

#include <windows.h>

#include "app/app.h"

int RegisterMainClass(HINSTANCE instance);
HWND CreateMainWindow(HINSTANCE instance);
int RunMessageLoop();

/* Timer 0 of the main window runs the due check. */
enum { DUE_TIMER = 0 };

/* Tray pieces the main window procedure calls; also used by the tests. */
void AddTrayIcon(HWND window);
void RemoveTrayIcon();
int RestoreTrayIcon();
HICON CurrentTrayIcon();
HMENU LoadTrayMenu(HMENU *popup);
void ShowTrayMenu(HWND window);
void CALLBACK CheckDue(HWND window, UINT message, UINT_PTR timer, DWORD tick);
int ArmDueCheck();
int RefreshTrayTip();
int SaveBeforeExit();

/* One running copy per settings file (app/instance.cpp). */
int ClaimSettingsFile();
int HandOverToHolder();
int AnswerHandOver(HWND window, UINT message, WPARAM wparam, LPARAM lparam, LRESULT *answer);

#endif
