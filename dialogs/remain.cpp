/* The status dialog's remaining times: their text each second, and the colour they are
   drawn in, chosen from the player's colour scheme. */
#include <ctime>

#include "dialogs/status.h"
#include "rules/timefmt.h"
#include "res/resource.h"

/* The colour each craft's remaining time is drawn in; chosen each second, used by the paint. */
static COLORREF remain_colour[CRAFT_COUNT];

/* The colour scheme the remaining times are chosen from: read when the dialog opens and
   again whenever the player changes the colours or high contrast while it is open. */
static RemainScheme remain_scheme;

/* Chooses the colour of a craft's remaining time; a change repaints the text. */
static void SetRemainColour(HWND dialog, int k, COLORREF colour)
{
    if (remain_colour[k] == colour)
        return;
    remain_colour[k] = colour;
    InvalidateRect(GetDlgItem(dialog, CraftControl(IDC_SMITH_REMAIN, k)), nullptr, TRUE);
}

/* Reads the colour scheme the remaining times are drawn from. */
void ReadRemainScheme()
{
    HIGHCONTRASTA contrast = {};
    contrast.cbSize = sizeof contrast;
    remain_scheme.high_contrast = SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0)
                                  && (contrast.dwFlags & HCF_HIGHCONTRASTON);
    remain_scheme.text = GetSysColor(COLOR_BTNTEXT);
    remain_scheme.face = GetSysColor(COLOR_BTNFACE);
    remain_scheme.hot = GetSysColor(COLOR_HOTLIGHT);
    remain_scheme.highlight = GetSysColor(COLOR_HIGHLIGHT);
}

/* Both crafts' remaining times, in the due colour once a tracked craft's time has come. */
int ShowRemainTimes(HWND dialog)
{
    int32_t now = (int32_t)time(nullptr);
    for (int k = 0; k < CRAFT_COUNT; k++) {
        int overdue;
        int32_t remaining = RemainingTime(crafts[k].available, crafts[k].next_time, now, &overdue);
        int state = !crafts[k].available ? REMAIN_UNTRACKED : overdue ? REMAIN_DUE : REMAIN_WAITING;
        SetRemainColour(dialog, k, RemainColour(&remain_scheme, state));
        char text[REMAIN_TEXT_SIZE];
        FormatRemain(remaining, text, sizeof text);
        SetWindowTextA(GetDlgItem(dialog, CraftControl(IDC_SMITH_REMAIN, k)), text);
    }
    return 1;
}

/* Draws a remaining time in its chosen colour on the dialog's own background. */
INT_PTR PaintRemainTime(HDC dc, HWND control)
{
    int id = GetDlgCtrlID(control);
    int k = id == IDC_SMITH_REMAIN ? CRAFT_SMITH : id == IDC_TAILOR_REMAIN ? CRAFT_TAILOR : -1;
    if (k < 0)
        return FALSE;
    SetTextColor(dc, remain_colour[k]);
    SetBkMode(dc, TRANSPARENT);
    return (INT_PTR)GetSysColorBrush(COLOR_BTNFACE);
}
