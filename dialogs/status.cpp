/* The status dialog: the current time and, per craft, the next and remaining time, the
   skill with its arrows, tracking and receiving. Modal, owned by the hidden main window,
   at most one at a time. */
#include "dialogs/status.h"

#include <ctime>

#include "app/app.h"
#include "rules/placement.h"
#include "rules/timefmt.h"
#include "res/resource.h"

enum { STATUS_TIMER = 1, STATUS_PERIOD_MS = 1000, TAILOR_ID_OFFSET = 100 };

/* The arrows' range, and the middle where each control's own position stays parked. */
enum { SPIN_LOW = 0, SPIN_HIGH = 120, SPIN_PARKED = 60 };

/* 1 from the request to open the dialog until it has ended. */
static int status_open;

/* Move notifications are trusted only once the dialog is being put at its saved place:
   any earlier one would report the template's corner and lose the saved position. */
static int status_placed;

/* The open dialog's window, from its opening until it is destroyed; null otherwise. */
static HWND status_dialog;

/* The refresher of the open dialog; null while none runs. */
static HANDLE refresher_thread;

/* A per-craft control: the tailor's twin of a blacksmith control lies 100 above it. */
int CraftControl(int smith_id, int k)
{
    return smith_id + k * TAILOR_ID_OFFSET;
}

/* Sets a control's text. */
static void SetControlText(HWND dialog, int id, const char *text)
{
    SetWindowTextA(GetDlgItem(dialog, id), text);
}

/* Opens the status dialog, or brings the open one forward, wherever it lies buried; the
   player has seen the alerts either way. Returns 1 once a dialog has run and ended, 0
   otherwise. */
int OpenStatusDialog(HWND owner)
{
    PlayerSawAlerts();
    if (status_open) {
        if (status_dialog)
            SetForegroundWindow(status_dialog);
        return 0;
    }
    status_open = 1;
    INT_PTR ended = DialogBoxParamA(app_instance, MAKEINTRESOURCEA(IDD_STATUS), owner,
                                    StatusDialogProc, 0);
    /* A dialog that could not be created, or that went down with its owner, never ran
       its close; without this no status dialog could be opened again. */
    status_open = 0;
    return ended == -1 ? 0 : 1;
}

/* Whether the dialog is open, or asked for and about to open. */
int StatusDialogOpen()
{
    return status_open;
}

/* Ends the modal dialog. */
void CloseStatusDialog(HWND dialog)
{
    status_open = 0;
    EndDialog(dialog, 0);
}

/* Timer 1, every second: the clock and the remaining times. */
void CALLBACK StatusTick(HWND dialog, UINT, UINT_PTR, DWORD)
{
    ShowCurrentTime(dialog);
    ShowRemainTimes(dialog);
}

/* What a craft's record shows: its check box, next time and skill. */
static void ShowCraftRecord(HWND dialog, int k)
{
    CheckDlgButton(dialog, CraftControl(IDC_SMITH_AVAILABLE, k),
                   crafts[k].available ? BST_CHECKED : BST_UNCHECKED);
    ShowNextTime(dialog, k, &crafts[k]);
    ShowSkill(dialog, CraftControl(IDC_SMITH_SKILL, k), crafts[k].skill.load());
}

/* The first fill: clock, check boxes, next and remaining times in their colours,
   skills and the arrows' range, all before the dialog is first painted. */
int FillStatusDialog(HWND dialog)
{
    ShowCurrentTime(dialog);
    for (int k = 0; k < CRAFT_COUNT; k++) {
        ShowCraftRecord(dialog, k);
        /* Maximum above minimum: the upper arrow proposes a rise, the lower a fall. */
        SendDlgItemMessageA(dialog, CraftControl(IDC_SMITH_SPIN, k), UDM_SETRANGE, 0,
                            MAKELPARAM(SPIN_HIGH, SPIN_LOW));
        SendDlgItemMessageA(dialog, CraftControl(IDC_SMITH_SPIN, k), UDM_SETPOS32, 0, SPIN_PARKED);
    }
    ShowRemainTimes(dialog);
    return 1;
}

/* A platform rectangle as the placement rule's plain one. */
static Box BoxOf(const RECT &r)
{
    return Box{ r.left, r.top, r.right, r.bottom };
}

/* The work areas of the monitors the placement rule looks at, as they are found. */
struct WorkAreas {
    Box areas[PLACEMENT_MONITORS_MAX];
    int count;
};

/* Notes one monitor's work area; stops once the list is full. */
static BOOL CALLBACK NoteWorkArea(HMONITOR monitor, HDC, LPRECT, LPARAM data)
{
    WorkAreas *found = (WorkAreas *)data;
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    if (GetMonitorInfoA(monitor, &info))
        found->areas[found->count++] = BoxOf(info.rcWork);
    return found->count < PLACEMENT_MONITORS_MAX ? TRUE : FALSE;
}

/* Puts the dialog's outer frame, at its own size, with its upper-left corner at the
   saved position, as long as its caption can be grabbed there; else whole onto the
   nearest monitor. */
int PlaceStatusDialog(HWND dialog, const ScreenPoint *position)
{
    RECT frame;
    GetWindowRect(dialog, &frame);
    LONG width = frame.right - frame.left, height = frame.bottom - frame.top;
    POINT client = { 0, 0 };
    ClientToScreen(dialog, &client);
    Box wanted = FrameAt(position->x, position->y, width, height);
    WorkAreas found = {};
    EnumDisplayMonitors(nullptr, nullptr, NoteWorkArea, (LPARAM)&found);
    RECT wanted_rect = { wanted.left, wanted.top, wanted.right, wanted.bottom };
    MONITORINFO nearest = {};
    nearest.cbSize = sizeof nearest;
    Box nearest_work = {};
    int named = GetMonitorInfoA(MonitorFromRect(&wanted_rect, MONITOR_DEFAULTTONEAREST), &nearest);
    if (named)
        nearest_work = BoxOf(nearest.rcWork);
    Box placed = PlaceFrame(wanted, client.y - frame.top, found.areas, found.count,
                            named ? &nearest_work : nullptr);
    status_placed = 1;
    MoveWindow(dialog, placed.left, placed.top, width, height, TRUE);
    return 1;
}

/* The clock line. */
int ShowCurrentTime(HWND dialog)
{
    char text[TIME_TEXT_SIZE];
    FormatLocalTime((int32_t)time(nullptr), text, sizeof text);
    SetControlText(dialog, IDC_NOW, text);
    return 1;
}

/* A craft's next time, also when it is untracked or never scheduled. */
int ShowNextTime(HWND dialog, int k, const CraftTimer *craft)
{
    char text[TIME_TEXT_SIZE];
    FormatLocalTime(craft->next_time, text, sizeof text);
    SetControlText(dialog, CraftControl(IDC_SMITH_NEXT, k), text);
    return 1;
}

/* Both next times and remaining times of the open dialog, after an order was received
   from anywhere; nothing when no dialog is open. */
void ShowStatusNextTimes()
{
    if (!status_dialog)
        return;
    for (int k = 0; k < CRAFT_COUNT; k++)
        ShowNextTime(status_dialog, k, &crafts[k]);
    ShowRemainTimes(status_dialog);
}

/* Everything of the open dialog that the records show, after values changed in the
   settings file were taken in: check boxes, enabling, skills, next and remaining
   times. Nothing when no dialog is open. */
void ShowStatusRecords()
{
    if (!status_dialog)
        return;
    for (int k = 0; k < CRAFT_COUNT; k++)
        ShowCraftRecord(status_dialog, k);
    EnableCraftControls(status_dialog);
    ShowRemainTimes(status_dialog);
}

/* A skill box's text. The refresher thread calls this too. */
int ShowSkill(HWND dialog, int id, double skill)
{
    char text[SKILL_TEXT_SIZE];
    FormatSkill(skill, text, sizeof text);
    SetControlText(dialog, id, text);
    return 1;
}

/* An arrow click or arrow key: one tenth up or down, however far the control's
   acceleration proposes to move. The refresher shows the result. */
int OnSkillSpin(HWND, int id, const NMUPDOWN *change)
{
    if (change->iDelta > 0)
        return StepSkill(id, STEP_UP) ? 1 : 0;
    if (change->iDelta < 0)
        return StepSkill(id, STEP_DOWN) ? 1 : 0;
    return 0;
}

/* Greys everything of an untracked craft but its check box. */
int EnableCraftControls(HWND dialog)
{
    static const int controls[] = {
        IDC_SMITH_RECEIVE, IDC_SMITH_NEXT, IDC_SMITH_NEXT_LABEL, IDC_SMITH_REMAIN,
        IDC_SMITH_REMAIN_LABEL, IDC_SMITH_SKILL, IDC_SMITH_SPIN, IDC_SMITH_SKILL_LABEL,
    };
    for (int k = 0; k < CRAFT_COUNT; k++) {
        BOOL enable = crafts[k].available != 0;
        for (int id : controls)
            EnableWindow(GetDlgItem(dialog, CraftControl(id, k)), enable);
    }
    return 1;
}

/* The opening: place, fill, icon, enabling, the clock timer and the refresher. */
static INT_PTR OnInitDialog(HWND dialog)
{
    status_dialog = dialog;
    ReadRemainScheme();
    PlaceStatusDialog(dialog, &StatusPosition);
    FillStatusDialog(dialog);
    /* The caption's icon at the small-icon size of this scaling, drawn for that size;
       shared, so it is never freed. */
    SendMessageA(dialog, WM_SETICON, ICON_SMALL,
                 (LPARAM)LoadImageA(app_instance, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON,
                                    GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                    LR_SHARED));
    EnableCraftControls(dialog);
    SetTimer(dialog, STATUS_TIMER, STATUS_PERIOD_MS, StatusTick);
    refresher_thread = StartSkillRefresher(dialog);
    return TRUE;
}

/* Stops the refresher of this dialog, if it still runs. */
static void StopRefresher()
{
    StopSkillRefresher(refresher_thread);
    refresher_thread = nullptr;
}

/* A tick or untick of a craft's check box, which has already toggled itself. */
static INT_PTR OnTrackingChange(HWND dialog, int id)
{
    int k = CraftOfId(id);
    crafts[k].available = IsDlgButtonChecked(dialog, id) == BST_CHECKED ? 1 : 0;
    EnableCraftControls(dialog);
    if (crafts[k].available == 0)
        crafts[k].alerted = 0;
    RefreshTrayIcon();
    return TRUE;
}

/* "Receive": schedules the next order and saves; the receiving shows the new times. */
static INT_PTR OnReceive(int id)
{
    ReceiveOrder(id);
    return TRUE;
}

/* The dialog's commands; everything else, Escape's cancel among them, is left alone. */
static INT_PTR OnCommand(HWND dialog, int id)
{
    switch (id) {
    case IDC_STATUS_OK:
        SendMessageA(dialog, WM_CLOSE, 0, 0);
        return TRUE;
    case IDC_SMITH_AVAILABLE:
    case IDC_TAILOR_AVAILABLE:
        return OnTrackingChange(dialog, id);
    case IDC_SMITH_RECEIVE:
    case IDC_TAILOR_RECEIVE:
        return OnReceive(id);
    default:
        return FALSE;
    }
}

/* Notifications of the two up-down controls. The skill is the record's: every proposed
   change is refused, so the control's own position never moves and never sticks at
   an end of its range. */
static INT_PTR OnNotify(HWND dialog, int id, const NMHDR *header)
{
    if (id != IDC_SMITH_SPIN && id != IDC_TAILOR_SPIN)
        return FALSE;
    if (header->code == UDN_DELTAPOS) {
        OnSkillSpin(dialog, id, (const NMUPDOWN *)header);
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 1);
    }
    return TRUE;
}

/* Remembers where the dialog stands: the outer frame's corner, the one it is placed by,
   so that it reopens exactly there, on any monitor. */
static INT_PTR OnMove(HWND dialog)
{
    if (!status_placed)
        return TRUE;
    RECT frame;
    GetWindowRect(dialog, &frame);
    StatusPosition.x = frame.left;
    StatusPosition.y = frame.top;
    return TRUE;
}

/* The close, by OK, the close box or the system menu. */
static INT_PTR OnClose(HWND dialog)
{
    SaveAndReport();
    StopRefresher();
    KillTimer(dialog, STATUS_TIMER);
    CloseStatusDialog(dialog);
    return TRUE;
}

/* The player changed the colours, or switched high contrast, while the dialog is open:
   the remaining times take the new scheme at once. The up-down controls hear of a change
   of colours only from their dialog. */
static INT_PTR OnSchemeChange(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam)
{
    ReadRemainScheme();
    ShowRemainTimes(dialog);
    if (message == WM_SYSCOLORCHANGE)
        for (int k = 0; k < CRAFT_COUNT; k++)
            SendDlgItemMessageA(dialog, CraftControl(IDC_SMITH_SPIN, k), message, wparam, lparam);
    return FALSE;
}

/* A dialog going down with its owner at exit skips its close: the refresher must still
   stop before the controls it writes to are gone. */
static INT_PTR OnDestroy(HWND dialog)
{
    StopRefresher();
    KillTimer(dialog, STATUS_TIMER);
    status_placed = 0;
    status_dialog = nullptr;
    return FALSE;  /* the platform still frees the dialog's font */
}

/* The status dialog's procedure. */
INT_PTR CALLBACK StatusDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog);
    case WM_COMMAND:
        return OnCommand(dialog, LOWORD(wparam));
    case WM_NOTIFY:
        return OnNotify(dialog, (int)wparam, (const NMHDR *)lparam);
    case WM_MOVE:
        return OnMove(dialog);
    case WM_CLOSE:
        return OnClose(dialog);
    case WM_CTLCOLORSTATIC:
        return PaintRemainTime((HDC)wparam, (HWND)lparam);
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
        return OnSchemeChange(dialog, message, wparam, lparam);
    case WM_DESTROY:
        return OnDestroy(dialog);
    default:
        return FALSE;
    }
}
