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

/* Adds the tray icon, starts the due check and watches the settings folder; the
   watch's first look registers the hotkeys the file sets. */
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

/* Stops the watch, lets go of the hotkeys and the alerts' timer, saves, removes the
   tray icon and ends the message loop. The save looks at the file itself, so nothing is
   missed without the watch. */
static LRESULT OnDestroy(HWND window)
{
    StopWatch();
    LetGoOfHotkeys();
    LetGoOfAlerts();
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

/* What a notification from the tray icon asks for. */
enum TrayRequest { TRAY_OTHER, TRAY_STATUS, TRAY_MENU, TRAY_TIP };

/* Reads a notification from the tray icon, in either layout. The newer shells put the
   event in lParam's low word, the icon's number in its high word and an anchor point in
   wParam; older shells and other programs put the event in lParam and the icon's number
   in wParam, so lParam's high word is 0 there (every event lies below 0x10000). A right
   click arrives in the newer layout as the button's release and then WM_CONTEXTMENU,
   which Shift+F10 and the menu key send too: only that one shows the menu, so that a
   right click shows one. The older layout has nothing but the release. Enter and Space
   on the icon (NIN_KEYSELECT) open the status dialog as a double-click does; a single
   click (NIN_SELECT) does nothing. *anchor is set for a menu in the newer layout. */
static TrayRequest ReadTrayNotify(WPARAM wparam, LPARAM lparam, POINT *anchor, int *anchored)
{
    UINT event;
    *anchored = HIWORD(lparam) == TRAY_ICON_ID;
    if (*anchored) {
        event = LOWORD(lparam);
        anchor->x = (short)LOWORD(wparam);
        anchor->y = (short)HIWORD(wparam);
    } else if (HIWORD(lparam) == 0 && wparam == TRAY_ICON_ID) {
        event = (UINT)lparam;
    } else {
        return TRAY_OTHER;
    }
    switch (event) {
    case WM_LBUTTONDBLCLK:
    case NIN_KEYSELECT:
    case NIN_BALLOONUSERCLICK:
        return TRAY_STATUS;
    case WM_MOUSEMOVE:
        return TRAY_TIP;
    case WM_CONTEXTMENU:
        return *anchored ? TRAY_MENU : TRAY_OTHER;
    case WM_RBUTTONUP:
        return *anchored ? TRAY_OTHER : TRAY_MENU;
    default:
        return TRAY_OTHER;
    }
}

/* Answers the tray icon: double-click, Enter and a click on a balloon open the status
   dialog, right-click and the menu key the menu, and a pointer resting on it refreshes
   the tip. */
static LRESULT OnTrayNotify(HWND window, WPARAM wparam, LPARAM lparam)
{
    POINT anchor;
    int anchored;
    switch (ReadTrayNotify(wparam, lparam, &anchor, &anchored)) {
    case TRAY_STATUS:
        return OpenStatusDialog(window);
    case TRAY_TIP:
        RefreshTrayTip();
        return 1;
    case TRAY_MENU:
        ShowTrayMenu(window, anchored ? &anchor : nullptr);
        return 1;
    default:
        return DefWindowProcA(window, WM_TRAYNOTIFY, wparam, lparam);
    }
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
    case WM_HOTKEY:
        return OnHotkey(window, wparam);
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
