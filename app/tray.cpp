/* The tray icon, its alert picture, the once-a-second due check, the tray menu and
   the orders it records. */
#include "app/tray.h"

#include <shellapi.h>

#include <cstring>
#include <ctime>

#include "model/craft.h"
#include "res/resource.h"
#include "settings/settings.h"

enum { TRAY_ICON_ID = 1 };

/* The one tray icon: its record says which picture the shell shows now. */
static NOTIFYICONDATAA tray_icon;

/* A tray picture by resource number, at the shell's small-icon size for the screen's
   scaling. Shared, so it is never freed and every load hands back the same handle. */
static HICON TrayPicture(int id)
{
    return (HICON)LoadImageA(app_instance, MAKEINTRESOURCEA(id), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                             GetSystemMetrics(SM_CYSMICON), LR_SHARED);
}

/* Puts the green lamp into the notification area for the main window. */
void AddTrayIcon(HWND window)
{
    memset(&tray_icon, 0, sizeof tray_icon);
    tray_icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    tray_icon.hWnd = window;
    tray_icon.uID = TRAY_ICON_ID;
    tray_icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    tray_icon.uCallbackMessage = WM_TRAYNOTIFY;
    tray_icon.hIcon = TrayPicture(IDI_TRAY_NORMAL);
    lstrcpyA(tray_icon.szTip, "Quorvel");
    Shell_NotifyIconA(NIM_ADD, &tray_icon);
}

/* Takes the icon out of the notification area. */
void RemoveTrayIcon()
{
    Shell_NotifyIconA(NIM_DELETE, &tray_icon);
}

/* Brings the icon back with its current picture after the shell has restarted. The
   shell also announces itself while our icon still exists; then the add fails and the
   picture is refreshed in place, so there is never a second lamp. */
void RestoreTrayIcon()
{
    if (!Shell_NotifyIconA(NIM_ADD, &tray_icon))
        Shell_NotifyIconA(NIM_MODIFY, &tray_icon);
}

/* The picture the icon shows now. */
HICON CurrentTrayIcon()
{
    return tray_icon.hIcon;
}

/* Shows the red lamp while a tracked craft is due, the green one otherwise. Beeps only
   on the change from green to red; returns 1 when it did. */
int RefreshTrayIcon()
{
    int beeped = 0;
    if (AlertWanted()) {
        if (tray_icon.hIcon == TrayPicture(IDI_TRAY_NORMAL)) {
            MessageBeep(MB_ICONASTERISK);
            beeped = 1;
        }
        tray_icon.hIcon = TrayPicture(IDI_TRAY_ALERT);
    } else {
        tray_icon.hIcon = TrayPicture(IDI_TRAY_NORMAL);
    }
    Shell_NotifyIconA(NIM_MODIFY, &tray_icon);
    return beeped;
}

/* Timer 0, every second: alerts once for each craft that has become due. */
void CALLBACK CheckDue(HWND, UINT, UINT_PTR, DWORD)
{
    int32_t now = (int32_t)time(nullptr);
    for (CraftTimer &craft : crafts)
        if (AlertIfDue(&craft, now))
            RefreshTrayIcon();
}

/* Records that a craft's bulk order was collected just now, and saves. */
int ReceiveOrder(int32_t id)
{
    int k = CraftOfId(id);
    if (k < 0)
        return 0;
    ScheduleNext(&crafts[k], (int32_t)time(nullptr));
    RefreshTrayIcon();
    SaveSettings();
    return 1;
}

/* Greys a craft's menu item while the craft is not tracked. */
static void EnableByCraft(HMENU popup, UINT command, int k)
{
    EnableMenuItem(popup, command, MF_BYCOMMAND | (crafts[k].available ? MF_ENABLED : MF_GRAYED));
}

/* Loads the tray menu afresh, with "Status..." as its default item and the items of
   untracked crafts greyed. Returns the loaded menu (to destroy) and its pop-up. */
HMENU LoadTrayMenu(HMENU *popup)
{
    HMENU menu = LoadMenuA(app_instance, MAKEINTRESOURCEA(IDR_TRAYMENU));
    if (!menu)
        return nullptr;
    *popup = GetSubMenu(menu, 0);
    if (!*popup) {
        DestroyMenu(menu);
        return nullptr;
    }
    MENUITEMINFOA item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_STATE;
    GetMenuItemInfoA(*popup, IDM_STATUS, FALSE, &item);
    item.fState |= MFS_DEFAULT;
    SetMenuItemInfoA(*popup, IDM_STATUS, FALSE, &item);
    EnableByCraft(*popup, IDM_RECEIVED_SMITH, CRAFT_SMITH);
    EnableByCraft(*popup, IDM_UPSKILL_SMITH, CRAFT_SMITH);
    EnableByCraft(*popup, IDM_RECEIVED_TAILOR, CRAFT_TAILOR);
    EnableByCraft(*popup, IDM_UPSKILL_TAILOR, CRAFT_TAILOR);
    return menu;
}

/* Shows the tray menu at the cursor; the chosen command arrives later as WM_COMMAND. */
void ShowTrayMenu(HWND window)
{
    HMENU popup;
    HMENU menu = LoadTrayMenu(&popup);
    if (!menu)
        return;
    POINT cursor;
    GetCursorPos(&cursor);
    /* The window must be foreground before TrackPopupMenu, or the menu will not close
       when the user clicks elsewhere. */
    SetForegroundWindow(window);
    TrackPopupMenu(popup, TPM_RIGHTALIGN | TPM_BOTTOMALIGN | TPM_LEFTBUTTON, cursor.x, cursor.y, 0,
                   window, nullptr);
    DestroyMenu(menu);
}
