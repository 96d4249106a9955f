/* The status dialog and its skill display refresher. */
#ifndef QUORVEL_STATUS_H
#define QUORVEL_STATUS_H

#include <windows.h>
#include <commctrl.h>

#include <cstdint>

#include "model/craft.h"
#include "settings/settings.h"

/* Dialog (dialogs/status.cpp). OpenStatusDialog is declared with the shell in app/app.h. */
void CloseStatusDialog(HWND dialog);
INT_PTR CALLBACK StatusDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
void CALLBACK StatusTick(HWND dialog, UINT message, UINT_PTR timer, DWORD tick);
int FillStatusDialog(HWND dialog);
int PlaceStatusDialog(HWND dialog, const ScreenPoint *position);
int ShowCurrentTime(HWND dialog);
int ShowNextTime(HWND dialog, int k, const CraftTimer *craft);
int ShowSkill(HWND dialog, int id, double skill);
int OnSkillSpin(HWND dialog, int id, const NMUPDOWN *change);
int EnableCraftControls(HWND dialog);
int CraftControl(int smith_id, int k);

/* Remaining times (dialogs/remain.cpp). */
void ReadRemainScheme();
int ShowRemainTimes(HWND dialog);
INT_PTR PaintRemainTime(HDC dc, HWND control);

/* Refresher (dialogs/refresher.cpp). */
DWORD WINAPI SkillRefresher(LPVOID dialog);
HANDLE StartSkillRefresher(HWND dialog);
void StopSkillRefresher(HANDLE thread);

#endif
