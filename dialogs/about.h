/* The about box: its dialog procedure and the filling of its three lines, which the
   tests drive directly. */
#ifndef QUORVEL_ABOUT_H
#define QUORVEL_ABOUT_H

#include <windows.h>

#include "app/app.h"

int CloseAboutDialog(HWND box);
INT_PTR CALLBACK AboutDialogProc(HWND box, UINT message, WPARAM wparam, LPARAM lparam);
int FillAboutLines(HWND box, const WCHAR *path);

#endif
