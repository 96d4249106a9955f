/* The hidden main window: it exists only to receive tray notifications, menu commands
   and timer ticks, and its destruction ends the program. */
#include <windows.h>
#include <shellapi.h>

#include "app/tray.h"
#include "model/craft.h"
#include "res/resource.h"
#include "settings/settings.h"

HINSTANCE app_instance;

/* Sent by the shell to every top-level window when the taskbar is (re)created. */
static UINT taskbar_created;

/* Set when the session ends: whatever follows must not wait for the player. */
static int session_ending;

/* Adds the tray icon, starts the due check and watches the settings folder. */
static LRESULT OnCreate(HWND window)
{
    AddTrayIcon(window);
    ArmDueCheck();
    StartWatch(window);
    return 1;
}

/* The clock was set, or the machine woke from sleep: what the due check slept towards
   may have passed already, so it looks at once and sleeps anew. */
static LRESULT OnClockMoved(HWND window)
{
    CheckDue(window, WM_TIMER, DUE_TIMER, 0);
    return 1;
}

/* Stops the watch, saves, removes the tray icon and ends the message loop. The save
   looks at the file itself, so nothing is missed without the watch. */
static LRESULT OnDestroy(HWND window)
{
    StopWatch();
    if (session_ending)
        SaveSettings();
    else
        SaveBeforeExit();
    RemoveTrayIcon();
    KillTimer(window, DUE_TIMER);
    PostQuitMessage(0);
    return 1;
}

/* Carries out a tray menu command. */
static LRESULT OnCommand(HWND window, WPARAM wparam)
{
    int command = LOWORD(wparam);
    switch (command) {
    case IDM_EXIT:
        DestroyWindow(window);
        return 1;
    case IDM_ABOUT:
        return OpenAboutDialog(window);
    case IDM_STATUS:
        return OpenStatusDialog(window);
    case IDM_RECEIVED_SMITH:
    case IDM_RECEIVED_TAILOR:
        ReceiveOrder(command);
        return 1;
    case IDM_UPSKILL_SMITH:
    case IDM_UPSKILL_TAILOR:
        return StepSkill(command, STEP_UP);
    default:
        return 1;
    }
}

/* Answers mouse events on the tray icon: double-click and a click on a balloon open
   the status dialog, right-click the menu, and a pointer resting on it refreshes the tip. */
static LRESULT OnTrayNotify(HWND window, WPARAM wparam, LPARAM lparam)
{
    if (wparam == 1) {
        switch (lparam) {
        case WM_LBUTTONDBLCLK:
        case NIN_BALLOONUSERCLICK:
            return OpenStatusDialog(window);
        case WM_MOUSEMOVE:
            RefreshTrayTip();
            return 1;
        case WM_RBUTTONUP:
            ShowTrayMenu(window);
            return 1;
        }
    }
    return DefWindowProcA(window, WM_TRAYNOTIFY, wparam, lparam);
}

/* Log-off or shut-down ends the process without destroying the window: save first,
   silently, for nobody is there to answer. */
static LRESULT OnEndSession(WPARAM ending)
{
    if (ending) {
        session_ending = 1;
        SaveSettings();
    }
    return 0;
}

/* The main window procedure. */
static LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_CREATE:
        return OnCreate(window);
    case WM_DESTROY:
        return OnDestroy(window);
    case WM_COMMAND:
        return OnCommand(window, wparam);
    case WM_TRAYNOTIFY:
        return OnTrayNotify(window, wparam, lparam);
    case WM_FOLDERCHANGED:
        return OnFolderChanged(window, wparam);
    case WM_ENDSESSION:
        return OnEndSession(wparam);
    case WM_TIMECHANGE:
        return OnClockMoved(window);
    case WM_POWERBROADCAST:
        if (wparam == PBT_APMRESUMEAUTOMATIC)
            return OnClockMoved(window);
        return DefWindowProcA(window, message, wparam, lparam);
    default:
        if (message == taskbar_created && taskbar_created != 0) {
            RestoreTrayIcon();
            ArmDueCheck();
            return 0;
        }
        LRESULT answer;
        if (AnswerHandOver(window, message, wparam, lparam, &answer))
            return answer;
        return DefWindowProcA(window, message, wparam, lparam);
    }
}

/* Registers the "Quorvel" window class; 0 on failure. */
int RegisterMainClass(HINSTANCE instance)
{
    taskbar_created = RegisterWindowMessageA("TaskbarCreated");
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWndProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_APP));
    wc.hIconSm = wc.hIcon;
    wc.hCursor = (HCURSOR)LoadImageA(nullptr, MAKEINTRESOURCEA(32512) /* IDC_ARROW */, IMAGE_CURSOR,
                                     0, 0, LR_DEFAULTSIZE | LR_SHARED);
    wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    wc.lpszClassName = "Quorvel";
    return RegisterClassExA(&wc) != 0;
}

/* Creates the main window; it is never shown. */
HWND CreateMainWindow(HINSTANCE instance)
{
    return CreateWindowExA(0, "Quorvel", "Quorvel", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                           instance, nullptr);
}

/* Runs until the quit message; returns its exit code. */
int RunMessageLoop()
{
    MSG msg = {};
    for (;;) {
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0)
            return (int)msg.wParam;
        if (got == -1) {
            MessageBoxA(nullptr, "GetMessage Error", "Error", MB_OK);
            return (int)msg.wParam;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}
