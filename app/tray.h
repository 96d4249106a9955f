/* The hidden main window, its tray icon and tray menu. */
#ifndef QUORVEL_TRAY_H
#define QUORVEL_TRAY_H

#include <windows.h>

#include "app/app.h"

int RegisterMainClass(HINSTANCE instance);
HWND CreateMainWindow(HINSTANCE instance);
int RunMessageLoop();

/* Tray pieces the main window procedure calls; also used by the tests. */
void AddTrayIcon(HWND window);
void RemoveTrayIcon();
void RestoreTrayIcon();
HICON CurrentTrayIcon();
HMENU LoadTrayMenu(HMENU *popup);
void ShowTrayMenu(HWND window);
void CALLBACK CheckDue(HWND window, UINT message, UINT_PTR timer, DWORD tick);

#endif
