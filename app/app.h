/* What the tray shell offers the dialogs, and what the dialogs offer the shell. */
#ifndef QUORVEL_APP_H
#define QUORVEL_APP_H

#include <windows.h>

#include <cstdint>

/* The module every icon, menu and dialog template is loaded from. */
extern HINSTANCE app_instance;

/* Tray shell (app/tray.cpp, app/alerts.cpp). */
int ReceiveOrder(int32_t id);
int RefreshTrayIcon();
int SaveAndReport();
void PlayerSawAlerts();

/* Libraries taken from the system folder alone (app/library.cpp). */
HMODULE LoadSystemLibrary(const wchar_t *name);
int PlaySystemSound(const wchar_t *sound, DWORD flags);
void StopFileSound();

/* Dialogs (dialogs/status.cpp, dialogs/about.cpp). */
int OpenStatusDialog(HWND owner);
int StatusDialogOpen();
void ShowStatusNextTimes();
void ShowStatusRecords();
int OpenAboutDialog(HWND owner);

#endif
