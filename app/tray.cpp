/* The tray icon, its alert picture, the due check, the tray menu and the orders it
   records. */
#include "app/tray.h"

#include <shellapi.h>

#include <cstring>
#include <ctime>

#include "rules/tip.h"
#include "model/craft.h"
#include "res/resource.h"
#include "settings/settings.h"

enum { TIP_PERIOD_MS = 1000, LABEL_SIZE = 32, MESSAGE_SIZE = 1025 };

/* The one tray icon: its record says which picture and tip the shell shows now. Until
   the shell has taken the icon, tray_shown is 0 and the due check offers it again.
   Wide, so that a folder name outside the code page shows as it is in the tip. */
static NOTIFYICONDATAW tray_icon;
static int tray_shown;

/* When the tip was last rebuilt (GetTickCount), so that a pointer resting on the lamp
   rebuilds it at most once a second. */
static DWORD tip_built_at;

/* Set from a failed save until the next one that succeeds: one run of failures shows
   its balloon once. */
static int save_failing;

/* A tray picture by resource number, at the shell's small-icon size for the screen's
   scaling. Shared, so it is never freed and every load hands back the same handle. */
static HICON TrayPicture(int id)
{
    return (HICON)LoadImageA(app_instance, MAKEINTRESOURCEA(id), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                             GetSystemMetrics(SM_CYSMICON), LR_SHARED);
}

/* The folder that holds the record, the current directory; empty when it cannot be read. */
static void RecordFolder(wchar_t *folder)
{
    if (!GetCurrentDirectoryW(SETTINGS_PATH_MAX + 1, folder))
        folder[0] = L'\0';
}

/* Writes the tip from the craft records: the title naming the record's folder, and a
   line per tracked craft. */
static void BuildTip()
{
    wchar_t labels[CRAFT_COUNT][LABEL_SIZE], ready[LABEL_SIZE], at[LABEL_SIZE], folder[SETTINGS_PATH_MAX + 1];
    LoadStringW(app_instance, IDS_TIP_SMITH, labels[CRAFT_SMITH], LABEL_SIZE);
    LoadStringW(app_instance, IDS_TIP_TAILOR, labels[CRAFT_TAILOR], LABEL_SIZE);
    LoadStringW(app_instance, IDS_TIP_READY, ready, LABEL_SIZE);
    LoadStringW(app_instance, IDS_TIP_AT, at, LABEL_SIZE);
    RecordFolder(folder);
    const TipWords words = { { labels[CRAFT_SMITH], labels[CRAFT_TAILOR] }, ready, at };
    FormatTrayTip(crafts, CRAFT_COUNT, &words, folder, (int32_t)time(nullptr), tray_icon.szTip,
                  sizeof tray_icon.szTip / sizeof *tray_icon.szTip);
    tip_built_at = GetTickCount();
}

/* Asks the shell that shows the icon for its newer notifications, which answer the
   keyboard too. The version belongs to the icon, so it is asked after every add.
   Returns shown. */
static int AskTrayVersion(int shown)
{
    if (shown)
        Shell_NotifyIconW(NIM_SETVERSION, &tray_icon);
    return shown;
}

/* Puts the green lamp into the notification area for the main window. The shell shows
   its own tip, with the countdown, also for an icon of the newer notifications. */
void AddTrayIcon(HWND window)
{
    memset(&tray_icon, 0, sizeof tray_icon);
    tray_icon.cbSize = sizeof tray_icon;
    tray_icon.hWnd = window;
    tray_icon.uID = TRAY_ICON_ID;
    tray_icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP;
    tray_icon.uCallbackMessage = WM_TRAYNOTIFY;
    tray_icon.hIcon = TrayPicture(IDI_TRAY_NORMAL);
    tray_icon.uVersion = NOTIFYICON_VERSION_4;
    BuildTip();
    tray_shown = AskTrayVersion(Shell_NotifyIconW(NIM_ADD, &tray_icon) != FALSE);
}

/* Takes the icon out of the notification area. */
void RemoveTrayIcon()
{
    Shell_NotifyIconW(NIM_DELETE, &tray_icon);
    tray_shown = 0;
}

/* Brings the icon back with its current picture after the shell has restarted, or
   when it could not take the icon before. The shell also announces itself while our
   icon still exists; then the add fails and the picture is refreshed in place, so there
   is never a second lamp. Returns 1 when the shell shows the icon. */
int RestoreTrayIcon()
{
    tray_shown = AskTrayVersion(Shell_NotifyIconW(NIM_ADD, &tray_icon)
                                || Shell_NotifyIconW(NIM_MODIFY, &tray_icon));
    return tray_shown;
}

/* The picture the icon shows now. */
HICON CurrentTrayIcon()
{
    return tray_icon.hIcon;
}

/* Sets timer 0 for the next moment the due check can find something to do, so that an
   idle program sleeps. While the shell has not taken the icon it retries every second.
   Without a main window there is nothing to arm: a timer without one would be new. */
int ArmDueCheck()
{
    if (!tray_icon.hWnd)
        return 0;
    int32_t seconds = tray_shown ? SecondsToNextCheck((int32_t)time(nullptr)) : CHECK_EVERY_LEAST;
    return SetTimer(tray_icon.hWnd, DUE_TIMER, (UINT)seconds * 1000, CheckDue) != 0;
}

/* Shows the red lamp while a tracked craft is due, the green one otherwise. Beeps (or
   plays the player's sound) only on the change from green to red; returns 1 when it
   did. Every change of the records passes here, so the due check and the alerts'
   schedule follow them too. */
int RefreshTrayIcon()
{
    int beeped = 0;
    if (AlertWanted()) {
        if (tray_icon.hIcon == TrayPicture(IDI_TRAY_NORMAL)) {
            SoundAlert();
            beeped = 1;
        }
        tray_icon.hIcon = TrayPicture(IDI_TRAY_ALERT);
    } else {
        tray_icon.hIcon = TrayPicture(IDI_TRAY_NORMAL);
    }
    BuildTip();
    Shell_NotifyIconW(NIM_MODIFY, &tray_icon);
    ArmDueCheck();
    FollowAlerts();
    return beeped;
}

/* Rewrites the tip for a pointer over the lamp, at most once a second, so that the
   countdown costs nothing while nobody looks. Returns 1 when it was rewritten. */
int RefreshTrayTip()
{
    if (GetTickCount() - tip_built_at < TIP_PERIOD_MS)
        return 0;
    BuildTip();
    Shell_NotifyIconW(NIM_MODIFY, &tray_icon);
    return 1;
}

/* A balloon on the lamp with the information icon; the shell plays no sound for it.
   Its title names the record's folder as the tip does. Wide, so that any folder name
   shows as it is. */
int ShowBalloon(const wchar_t *text)
{
    NOTIFYICONDATAW balloon = {};
    balloon.cbSize = NOTIFYICONDATAW_V2_SIZE;
    balloon.hWnd = tray_icon.hWnd;
    balloon.uID = TRAY_ICON_ID;
    balloon.uFlags = NIF_INFO;
    lstrcpynW(balloon.szInfo, text, sizeof balloon.szInfo / sizeof *balloon.szInfo);
    wchar_t folder[SETTINGS_PATH_MAX + 1];
    RecordFolder(folder);
    FormatTrayTitle(folder, balloon.szInfoTitle, sizeof balloon.szInfoTitle / sizeof *balloon.szInfoTitle);
    balloon.dwInfoFlags = NIIF_INFO | NIIF_NOSOUND;
    return Shell_NotifyIconW(NIM_MODIFY, &balloon) != FALSE;
}

/* Names the crafts that came due in one tick (bit k for craft k) in a balloon. */
static int ShowNotice(int came_due)
{
    static const UINT notices[] = { 0, IDS_NOTICE_SMITH, IDS_NOTICE_TAILOR, IDS_NOTICE_BOTH };
    wchar_t text[MESSAGE_SIZE];
    if (!LoadStringW(app_instance, notices[came_due & 3], text, MESSAGE_SIZE))
        return 0;
    return ShowBalloon(text);
}

/* Timer 0, when a craft can have become due: offers the icon again while the shell has
   not taken it, then alerts once for each craft that has become due and names those
   crafts in a notice. Then sleeps until the next craft can be due; the alerts' schedule
   looks at the new time too (after a resume or a clock set by hand). */
void CALLBACK CheckDue(HWND, UINT, UINT_PTR, DWORD)
{
    if (!tray_shown)
        RestoreTrayIcon();
    int32_t now = (int32_t)time(nullptr);
    int came_due = 0;
    for (int k = 0; k < CRAFT_COUNT; k++) {
        if (AlertIfDue(&crafts[k], now)) {
            RefreshTrayIcon();
            came_due |= 1 << k;
        }
    }
    if (came_due)
        ShowNotice(came_due);
    ArmDueCheck();
    FollowAlerts();
}

/* A failed-save message that names the settings folder. 0 when there is no usable
   settings file to name (a folder too deep for one): the timers then live in memory
   only, as the player has always known them to there, and nothing is said. */
static int SaveFailedText(UINT id, wchar_t *text)
{
    wchar_t path[SETTINGS_PATH_MAX + 1], folder[SETTINGS_PATH_MAX + 1], format[MESSAGE_SIZE];
    if (!SettingsPath(path, SETTINGS_PATH_MAX + 1)
        || !GetCurrentDirectoryW(SETTINGS_PATH_MAX + 1, folder)
        || !LoadStringW(app_instance, id, format, MESSAGE_SIZE))
        return 0;
    wsprintfW(text, format, folder);
    return 1;
}

/* Saves, and tells the player in a balloon when the file could not be written: once
   for a run of failed saves, and again after a save has succeeded. What the save took
   in from the file first is followed at once. */
int SaveAndReport()
{
    int saved = SaveSettings();
    FollowRecord();
    if (saved) {
        save_failing = 0;
        return 1;
    }
    wchar_t text[MESSAGE_SIZE];
    if (!save_failing && SaveFailedText(IDS_SAVE_FAILED, text))
        save_failing = ShowBalloon(text);
    return 0;
}

/* The last save before the program ends. While it fails the player may free the file
   and retry, or leave without saving. Returns 1 when the file was written. */
int SaveBeforeExit()
{
    wchar_t text[MESSAGE_SIZE];
    while (!SaveSettings()) {
        if (!SaveFailedText(IDS_EXIT_SAVE_FAILED, text)
            || MessageBoxW(nullptr, text, L"Quorvel", MB_RETRYCANCEL | MB_ICONWARNING) != IDRETRY)
            return 0;
    }
    return 1;
}

/* Records that a craft's bulk order was collected just now, and saves. The alert's
   sound, if it still plays, has done its work. */
int ReceiveOrder(int32_t id)
{
    int k = CraftOfId(id);
    if (k < 0)
        return 0;
    StopFileSound();
    OrderReceived(k);
    ScheduleNext(&crafts[k], (int32_t)time(nullptr));
    ShowStatusNextTimes();
    RefreshTrayIcon();
    SaveAndReport();
    return 1;
}

/* Greys a craft's menu item while the craft is not tracked. */
static void EnableByCraft(HMENU popup, UINT command, int k)
{
    EnableMenuItem(popup, command, MF_BYCOMMAND | (crafts[k].available ? MF_ENABLED : MF_GRAYED));
}

/* Loads the tray menu afresh, with "Status..." as its default item, the items of
   untracked crafts greyed and the hotkeys beside their items. Returns the loaded menu
   (to destroy) and its pop-up. */
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
    ShowHotkeysInMenu(*popup);
    return menu;
}

/* Shows the tray menu at the anchor the shell gave (the icon, for the keyboard), or at
   the cursor when it gave none; the chosen command arrives later as WM_COMMAND. */
void ShowTrayMenu(HWND window, const POINT *anchor)
{
    HMENU popup;
    HMENU menu = LoadTrayMenu(&popup);
    if (!menu)
        return;
    POINT at;
    if (anchor)
        at = *anchor;
    else
        GetCursorPos(&at);
    /* The window must be foreground before TrackPopupMenu, or the menu will not close
       when the user clicks elsewhere. */
    SetForegroundWindow(window);
    TrackPopupMenu(popup, TPM_RIGHTALIGN | TPM_BOTTOMALIGN | TPM_LEFTBUTTON, at.x, at.y, 0,
                   window, nullptr);
    /* A menu tracked for a notification icon can close at once the next time it is
       shown unless the window gets a message after the tracking: the platform's
       documented remedy is a harmless one. */
    PostMessageA(window, WM_NULL, 0, 0);
    DestroyMenu(menu);
}
