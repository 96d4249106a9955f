// The status dialog and its skill refresher, opened in-process on a real main window and
// driven from inside its own modal loop, as the user's clicks and keys would drive it.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/app.h"
#include "dialogs/status.h"
#include "rules/timefmt.h"
#include "res/resource.h"
#include "process_usage.h"
#include "shell_fixture.h"

namespace {

using Body = std::function<void(HWND dialog)>;

// What the thread timer does once the dialog shows: runs the body, then ends by force
// a dialog that the body left open, so that a fault fails the test instead of hanging it.
struct Script {
    HWND owner = nullptr;
    Body body;
    bool ran = false;
    bool left_open = false;
};

Script *run;

HWND FindStatusDialog(HWND owner)
{
    HWND found = nullptr;
    while ((found = FindWindowExA(nullptr, found, "#32770", "Quorvel")))
        if (GetWindow(found, GW_OWNER) == owner && IsWindowVisible(found))
            return found;
    return nullptr;
}

void CALLBACK Tick(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND dialog = FindStatusDialog(run->owner);
    if (!dialog || run->ran)
        return;
    KillTimer(nullptr, timer);
    run->ran = true;
    run->body(dialog);
    if (IsWindow(dialog) && IsWindowVisible(dialog)) {
        run->left_open = true;
        EndDialog(dialog, 0);
    }
}

// Handles this thread's messages for a while, dialog keys included.
void Pump(DWORD ms, HWND dialog = nullptr)
{
    DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (dialog && IsWindow(dialog) && IsDialogMessageA(dialog, &msg))
                continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    } while (GetTickCount() - start < ms);
}

std::string Text(HWND dialog, int id)
{
    char text[256] = "";
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

// Waits, handling messages, until a control shows the text; returns what it shows then.
std::string WaitForText(HWND dialog, int id, const std::string &wanted, DWORD ms = 500)
{
    DWORD start = GetTickCount();
    while (Text(dialog, id) != wanted && GetTickCount() - start < ms)
        Pump(1);
    return Text(dialog, id);
}

bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

// The colour the dialog gives a static control's text.
COLORREF TextColour(HWND dialog, int id)
{
    HDC dc = CreateCompatibleDC(nullptr);
    SetTextColor(dc, RGB(1, 2, 3));
    SendMessageA(dialog, WM_CTLCOLORSTATIC, (WPARAM)dc, (LPARAM)GetDlgItem(dialog, id));
    COLORREF colour = GetTextColor(dc);
    DeleteDC(dc);
    return colour;
}

void Click(HWND dialog, int id)
{
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id));
}

void Key(HWND control, WPARAM key)
{
    SendMessageA(control, WM_KEYDOWN, key, 1);
    SendMessageA(control, WM_KEYUP, key, 0xC0000001);
}

// What the up-down control sends when it proposes a change of delta.
void Spin(HWND dialog, int id, int delta)
{
    NMUPDOWN change = {};
    change.hdr.hwndFrom = GetDlgItem(dialog, id);
    change.hdr.idFrom = id;
    change.hdr.code = UDN_DELTAPOS;
    change.iDelta = delta;
    SendMessageA(dialog, WM_NOTIFY, id, (LPARAM)&change);
}

std::string LocalTime(int32_t when)
{
    char text[TIME_TEXT_SIZE];
    FormatLocalTime(when, text, sizeof text);
    return text;
}

// Whether a clock text shows this second, or one of the two before it.
bool ShowsNow(const std::string &text)
{
    const int32_t now = (int32_t)time(nullptr);
    return text == LocalTime(now) || text == LocalTime(now - 1) || text == LocalTime(now - 2);
}

// Whether a remaining-time text shows a full hour from the moment the craft was set up.
bool ShowsAnHour(const std::string &text)
{
    return text == "1:00:00" || text == "0:59:59" || text == "0:59:58";
}

// A window of this thread shown in front of everything, as another program's would be.
struct InFront {
    HWND window = CreateWindowExA(0, "STATIC", "in front", WS_POPUP | WS_VISIBLE, 0, 0, 60, 60,
                                  nullptr, nullptr, nullptr, nullptr);
    ~InFront() { DestroyWindow(window); }
    bool Raise() { return SetForegroundWindow(window) && GetForegroundWindow() == window; }
};

// Text writes that reached subclassed controls; the former procedure is kept as a property.
std::map<HWND, int> text_writes;

LRESULT CALLBACK CountTextWrites(HWND control, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_SETTEXT)
        text_writes[control]++;
    return CallWindowProcA((WNDPROC)GetPropA(control, "counted"), control, message, wparam, lparam);
}

void CountTextWritesTo(HWND control)
{
    text_writes[control] = 0;
    SetPropA(control, "counted",
             (HANDLE)SetWindowLongPtrA(control, GWLP_WNDPROC, (LONG_PTR)CountTextWrites));
}

class StatusDialog : public ShellFixture {
protected:
    Script current;

    // Opens the dialog as the tray does and runs the body inside it; the result is
    // OpenStatusDialog's.
    int Open(Body body)
    {
        current = Script();
        current.owner = window;
        current.body = std::move(body);
        run = &current;
        UINT_PTR timer = SetTimer(nullptr, 0, 10, Tick);
        int result = OpenStatusDialog(window);
        KillTimer(nullptr, timer);
        run = nullptr;
        return result;
    }

    // The body ran and closed the dialog itself.
    void ExpectClosedByBody()
    {
        EXPECT_TRUE(current.ran);
        EXPECT_FALSE(current.left_open);
        EXPECT_EQ(FindStatusDialog(window), nullptr);
    }

    void Track(int k, double skill, int32_t next_time)
    {
        crafts[k].available = 1;
        crafts[k].skill.store(skill);
        crafts[k].next_time = next_time;
    }

    int32_t IniInt(const char *section, const char *key)
    {
        return GetPrivateProfileIntA(section, key, -12345, Ini().c_str());
    }
};

TEST_F(StatusDialog, OpensAtTheSavedPlaceOwnedByTheMainWindowWithEveryText)
{
    const int32_t next = Now() + 3600;
    Track(0, 50.0, next);
    crafts[1].skill.store(0.0);
    crafts[1].next_time = 0;
    StatusPosition = ScreenPoint{ 100, 120 };
    int result = Open([&](HWND dialog) {
        RECT frame;
        GetWindowRect(dialog, &frame);
        EXPECT_EQ(frame.left, 100);
        EXPECT_EQ(frame.top, 120);
        EXPECT_EQ(GetWindow(dialog, GW_OWNER), window);
        char caption[32] = "";
        GetWindowTextA(dialog, caption, sizeof caption);
        EXPECT_STREQ(caption, "Quorvel");
        const std::string opened_at = Text(dialog, IDC_NOW);
        EXPECT_TRUE(ShowsNow(opened_at)) << opened_at;
        EXPECT_EQ(Text(dialog, IDC_SMITH_NEXT), LocalTime(next));
        EXPECT_EQ(Text(dialog, IDC_TAILOR_NEXT), LocalTime(0)) << "never scheduled: the moment 0";
        EXPECT_EQ(Text(dialog, IDC_SMITH_SKILL), " 50.0");
        EXPECT_EQ(Text(dialog, IDC_TAILOR_SKILL), "  0.0");
        EXPECT_TRUE(ShowsAnHour(Text(dialog, IDC_SMITH_REMAIN))) << "at once, not after the first tick";
        EXPECT_EQ(Text(dialog, IDC_TAILOR_REMAIN), "0:00:00");
        EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_SMITH_AVAILABLE), BST_CHECKED);
        EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_TAILOR_AVAILABLE), BST_UNCHECKED);
        for (int smith : { IDC_SMITH_RECEIVE, IDC_SMITH_NEXT, IDC_SMITH_NEXT_LABEL, IDC_SMITH_REMAIN,
                           IDC_SMITH_REMAIN_LABEL, IDC_SMITH_SKILL, IDC_SMITH_SPIN, IDC_SMITH_SKILL_LABEL }) {
            EXPECT_TRUE(Enabled(dialog, smith)) << smith;
            EXPECT_FALSE(Enabled(dialog, smith + 100)) << smith + 100;
        }
        EXPECT_TRUE(Enabled(dialog, IDC_TAILOR_AVAILABLE)) << "the check box is never greyed";
        EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDC_STATUS_OK));
        Pump(1100);
        DWORD waited = GetTickCount();
        while (Text(dialog, IDC_NOW) == opened_at && GetTickCount() - waited < 2000)
            Pump(10);
        EXPECT_NE(Text(dialog, IDC_NOW), opened_at) << "the clock runs";
        EXPECT_TRUE(ShowsNow(Text(dialog, IDC_NOW))) << Text(dialog, IDC_NOW);
        std::string remain = Text(dialog, IDC_SMITH_REMAIN);
        EXPECT_TRUE(ShowsAnHour(remain)) << remain;
        EXPECT_EQ(TextColour(dialog, IDC_SMITH_REMAIN), RGB(0, 0, 0));
        EXPECT_EQ(Text(dialog, IDC_TAILOR_REMAIN), "0:00:00");
        EXPECT_EQ(TextColour(dialog, IDC_TAILOR_REMAIN), RGB(0, 0, 0)) << "untracked stays black";
        Click(dialog, IDC_STATUS_OK);
    });
    EXPECT_EQ(result, 1);
    ExpectClosedByBody();
}

// Red from the first paint, and a red of one opening is not carried into the next.
TEST_F(StatusDialog, OverdueAndJustDueTrackedCraftsReadZeroInRed)
{
    Track(0, 50.0, Now() - 90);
    Track(1, 50.0, 0);
    Open([&](HWND dialog) {
        for (int pass = 0; pass < 2; pass++) {
            for (int id : { IDC_SMITH_REMAIN, IDC_TAILOR_REMAIN }) {
                EXPECT_EQ(Text(dialog, id), "0:00:00") << id << " pass " << pass;
                EXPECT_EQ(TextColour(dialog, id), RGB(255, 0, 0)) << id << " pass " << pass;
            }
            Pump(1100);
        }
        Click(dialog, IDC_STATUS_OK);
    });
    ExpectClosedByBody();
    Track(0, 50.0, Now() + 3600);
    Open([&](HWND dialog) {
        EXPECT_TRUE(ShowsAnHour(Text(dialog, IDC_SMITH_REMAIN))) << Text(dialog, IDC_SMITH_REMAIN);
        EXPECT_EQ(TextColour(dialog, IDC_SMITH_REMAIN), RGB(0, 0, 0)) << "no longer due: black at once";
        EXPECT_EQ(TextColour(dialog, IDC_TAILOR_REMAIN), RGB(255, 0, 0));
        for (int id : { IDC_NOW, IDC_SMITH_NEXT, IDC_TAILOR_NEXT, IDC_TAILOR_REMAIN_LABEL })
            EXPECT_NE(TextColour(dialog, id), RGB(255, 0, 0)) << id << ": only a remaining time is red";
        Click(dialog, IDC_STATUS_OK);
    });
    ExpectClosedByBody();
}

// Every time stands out of the face, also in the white-on-black palette Scaling sets here
// while it is open (a fixed black would vanish); the colours are put back whatever fails.
TEST_F(StatusDialog, EveryTimeStandsOutOfTheFaceAlsoAfterTheColoursChange)
{
    Track(0, 50.0, Now() + 3600);
    Track(1, 50.0, Now() - 60);
    Open([&](HWND dialog) {
        const int kinds[] = { COLOR_BTNFACE, COLOR_BTNTEXT, COLOR_WINDOWTEXT };
        const COLORREF palette[] = { RGB(0, 0, 0), RGB(255, 255, 255), RGB(255, 255, 255) };
        COLORREF former[] = { GetSysColor(kinds[0]), GetSysColor(kinds[1]), GetSysColor(kinds[2]) };
        std::shared_ptr<void> restore(nullptr, [&](void *) { SetSysColors(3, kinds, former); });
        if (GetEnvironmentVariableA("QUORVEL_TEST_PALETTE", nullptr, 0))
            SetSysColors(3, kinds, palette);
        Pump(50);
        for (int id : { IDC_NOW, IDC_SMITH_NEXT, IDC_TAILOR_NEXT, IDC_SMITH_REMAIN, IDC_TAILOR_REMAIN })
            EXPECT_NE(TextColour(dialog, id), GetSysColor(COLOR_BTNFACE)) << id;
        Click(dialog, IDC_STATUS_OK);
    });
    ExpectClosedByBody();
}

TEST_F(StatusDialog, NextTimesWithoutALocalTimeShowThePlaceholder)
{
    Track(0, 50.0, -1);
    Track(1, 50.0, INT32_MIN);
    Open([&](HWND dialog) {
        EXPECT_EQ(Text(dialog, IDC_SMITH_NEXT), NO_TIME_TEXT);
        EXPECT_EQ(Text(dialog, IDC_TAILOR_NEXT), NO_TIME_TEXT);
        Pump(1100);
        EXPECT_EQ(Text(dialog, IDC_SMITH_REMAIN), "0:00:00");
        Click(dialog, IDC_STATUS_OK);
    });
    ExpectClosedByBody();
}

// Each second request brings the buried dialog itself to the front.
TEST_F(StatusDialog, ASecondRequestOpensNothingWhileOneIsOpen)
{
    int second = -1, from_menu = -1, from_tray = -1;
    int first = Open([&](HWND dialog) {
        InFront other;
        ASSERT_TRUE(other.Raise());
        second = OpenStatusDialog(window);
        EXPECT_EQ(GetForegroundWindow(), dialog) << "direct";
        ASSERT_TRUE(other.Raise());
        from_menu = (int)SendMessageA(window, WM_COMMAND, IDM_STATUS, 0);
        EXPECT_EQ(GetForegroundWindow(), dialog) << "menu";
        ASSERT_TRUE(other.Raise());
        from_tray = (int)SendMessageA(window, WM_TRAYNOTIFY, 1, WM_LBUTTONDBLCLK);
        EXPECT_EQ(GetForegroundWindow(), dialog) << "double-click";
        EXPECT_EQ(FindStatusDialog(window), dialog);
        Click(dialog, IDC_STATUS_OK);
    });
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0);
    EXPECT_EQ(from_menu, 0);
    EXPECT_EQ(from_tray, 0);
    ExpectClosedByBody();
    EXPECT_EQ(Open([](HWND dialog) { Click(dialog, IDC_STATUS_OK); }), 1) << "and it opens again";
}

TEST_F(StatusDialog, ADialogThatCannotBeCreatedDoesNotBlockTheNextOne)
{
    // A module without the template stands in for any reason creation can fail.
    const HINSTANCE own = app_instance;
    app_instance = GetModuleHandleA("kernel32.dll");
    EXPECT_EQ(OpenStatusDialog(window), 0);
    app_instance = own;
    EXPECT_EQ(Open([](HWND dialog) { Click(dialog, IDC_STATUS_OK); }), 1);
    ExpectClosedByBody();
}

TEST_F(StatusDialog, ArrowsStepOneTenthPerNotificationAndTheBoxFollows)
{
    Track(0, 50.0, Now() + 3600);
    Open([&](HWND dialog) {
        const LRESULT parked = SendDlgItemMessageA(dialog, IDC_SMITH_SPIN, UDM_GETPOS32, 0, 0);
        HWND box = GetDlgItem(dialog, IDC_SMITH_SKILL);
        SetFocus(box);
        Key(box, VK_UP);
        EXPECT_EQ(crafts[0].skill.load(), 50.1);
        EXPECT_EQ(WaitForText(dialog, IDC_SMITH_SKILL, " 50.1"), " 50.1");
        Spin(dialog, IDC_SMITH_SPIN, 20);
        EXPECT_EQ(crafts[0].skill.load(), 50.2) << "an accelerated change is still one step";
        Spin(dialog, IDC_SMITH_SPIN, 0);
        EXPECT_EQ(crafts[0].skill.load(), 50.2);
        Key(box, VK_DOWN);
        Key(box, VK_DOWN);
        Key(box, VK_DOWN);
        EXPECT_EQ(crafts[0].skill.load(), 49.9);
        EXPECT_EQ(WaitForText(dialog, IDC_SMITH_SKILL, " 49.9"), " 49.9");
        SendMessageA(window, WM_COMMAND, IDM_UPSKILL_SMITH, 0);
        EXPECT_EQ(WaitForText(dialog, IDC_SMITH_SKILL, " 50.0"), " 50.0") << "the tray menu's step shows too";
        EXPECT_EQ(Text(dialog, IDC_TAILOR_SKILL), " 50.0");
        for (int click = 0; click < 20; click++)
            Key(box, VK_UP);
        EXPECT_EQ(WaitForText(dialog, IDC_SMITH_SKILL, " 52.0"), " 52.0");
        EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_SMITH_SPIN, UDM_GETPOS32, 0, 0), parked)
            << "the arrows' own position never moves";
        Click(dialog, IDC_STATUS_OK);
    });
    ExpectClosedByBody();
    EXPECT_EQ(GetPrivateProfileIntA("SMITH", "SKILL", 0, Ini().c_str()), 52);
}

// Zero skills are never rewritten by the refresher, and neither is a box whose skill
// stays as it is: only the one step up is written.
TEST_F(StatusDialog, AZeroSkillIsShownAndItsFirstStepUpAppears)
{
    Track(0, 0.0, Now() + 60);
    Track(1, 0.0, Now() + 60);
    Open([&](HWND dialog) {
        HWND smith = GetDlgItem(dialog, IDC_SMITH_SKILL), tailor = GetDlgItem(dialog, IDC_TAILOR_SKILL);
        CountTextWritesTo(smith);
        CountTextWritesTo(tailor);
        EXPECT_EQ(Text(dialog, IDC_TAILOR_SKILL), "  0.0");
        Pump(300);
        EXPECT_EQ(text_writes[smith], 0);
        EXPECT_EQ(text_writes[tailor], 0);
        Key(tailor, VK_UP);
        EXPECT_EQ(WaitForText(dialog, IDC_TAILOR_SKILL, "  0.1"), "  0.1");
        Pump(300);
        EXPECT_EQ(text_writes[smith], 0);
        EXPECT_EQ(text_writes[tailor], 1);
        Click(dialog, IDC_STATUS_OK);
    });
    ExpectClosedByBody();
}

// The dialog's own "Receive" and the tray menu's "Received" both show the new times at once.
TEST_F(StatusDialog, ReceiveShowsTheNewNextTimeAtOnceAndSaves)
{
    Track(0, 50.0, Now() - 100);
    Track(1, 50.0, Now() + 100);
    crafts[0].alerted = 1;
    RefreshTrayIcon();
    Open([&](HWND dialog) {
        const int32_t before = Now();
        Click(dialog, IDC_SMITH_RECEIVE);
        EXPECT_GE(crafts[0].next_time, before + 3600);
        EXPECT_EQ(Text(dialog, IDC_SMITH_NEXT), LocalTime(crafts[0].next_time));
        EXPECT_EQ(IniInt("SMITH", "NEXT"), crafts[0].next_time);
        EXPECT_EQ(CurrentTrayIcon(), Picture(IDI_TRAY_NORMAL));
        SendMessageA(window, WM_COMMAND, IDM_RECEIVED_TAILOR, 0);
        EXPECT_GE(crafts[1].next_time, before + 3600);
        EXPECT_EQ(Text(dialog, IDC_TAILOR_NEXT), LocalTime(crafts[1].next_time)) << "from the tray menu";
        EXPECT_TRUE(ShowsAnHour(Text(dialog, IDC_TAILOR_REMAIN))) << Text(dialog, IDC_TAILOR_REMAIN);
        EXPECT_EQ(TextColour(dialog, IDC_TAILOR_REMAIN), RGB(0, 0, 0));
        Click(dialog, IDC_STATUS_OK);
    });
    ExpectClosedByBody();
}

TEST_F(StatusDialog, UntickingAnAlertedCraftClearsTheAlertAndTickingLetsItAlertAgain)
{
    const int32_t past = Now() - 100;
    Track(0, 50.0, past);
    CheckDue(window, WM_TIMER, 0, 0);
    ASSERT_EQ(CurrentTrayIcon(), Picture(IDI_TRAY_ALERT));
    Open([&](HWND dialog) {
        SendDlgItemMessageA(dialog, IDC_SMITH_AVAILABLE, BM_CLICK, 0, 0);
        EXPECT_EQ(crafts[0].available, 0);
        EXPECT_EQ(crafts[0].alerted, 0);
        EXPECT_EQ(CurrentTrayIcon(), Picture(IDI_TRAY_NORMAL));
        EXPECT_FALSE(Enabled(dialog, IDC_SMITH_RECEIVE));
        EXPECT_EQ(GetFileAttributesA(Ini().c_str()), INVALID_FILE_ATTRIBUTES) << "nothing saved yet";
        SendDlgItemMessageA(dialog, IDC_SMITH_AVAILABLE, BM_CLICK, 0, 0);
        EXPECT_EQ(crafts[0].available, 1);
        EXPECT_EQ(crafts[0].next_time, past);
        EXPECT_TRUE(Enabled(dialog, IDC_SMITH_RECEIVE));
        CheckDue(window, WM_TIMER, 0, 0);
        EXPECT_EQ(CurrentTrayIcon(), Picture(IDI_TRAY_ALERT));
        Click(dialog, IDC_STATUS_OK);
    });
    ExpectClosedByBody();
}

TEST_F(StatusDialog, OkCloseBoxAndSystemMenuSaveEscapeAndEnterOnTheBoxDoNot)
{
    const struct { const char *how; std::function<void(HWND)> close; } ways[] = {
        { "OK", [](HWND d) { Click(d, IDC_STATUS_OK); } },
        { "close box", [](HWND d) { SendMessageA(d, WM_CLOSE, 0, 0); } },
        { "system menu", [](HWND d) { SendMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); } },
    };
    int shift = 0;
    for (const auto &way : ways) {
        DeleteFileA(Ini().c_str());
        crafts[1].skill.store(60.0 + ++shift);
        Open([&](HWND dialog) {
            HWND box = GetDlgItem(dialog, IDC_SMITH_SKILL);
            SetFocus(box);
            PostMessageA(box, WM_KEYDOWN, VK_ESCAPE, 1);
            PostMessageA(box, WM_KEYDOWN, VK_RETURN, 1);
            Pump(50, dialog);
            EXPECT_TRUE(IsWindowVisible(dialog)) << "Escape and Enter leave it open";
            EXPECT_EQ(GetFileAttributesA(Ini().c_str()), INVALID_FILE_ATTRIBUTES);
            way.close(dialog);
        });
        EXPECT_TRUE(current.ran) << way.how;
        EXPECT_FALSE(current.left_open) << way.how;
        char skill[16] = "";
        GetPrivateProfileStringA("TAILOR", "SKILL", "", skill, sizeof skill, Ini().c_str());
        EXPECT_EQ(atof(skill), 60.0 + shift) << way.how;
    }
}

TEST_F(StatusDialog, ReopensExactlyWhereItWasLeft)
{
    const struct { LONG x, y; } places[] = { { 200, 150 }, { -40, 30 }, { 300, -10 } };
    for (const auto &place : places) {
        Open([&](HWND dialog) {
            SetWindowPos(dialog, nullptr, place.x, place.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
            Click(dialog, IDC_STATUS_OK);
        });
        for (int again = 0; again < 3; again++) {
            RECT frame = {};
            Open([&](HWND dialog) {
                GetWindowRect(dialog, &frame);
                Click(dialog, IDC_STATUS_OK);
            });
            EXPECT_EQ(frame.left, place.x) << again;
            EXPECT_EQ(frame.top, place.y) << again;
        }
        EXPECT_EQ(IniInt("STATUS", "X"), place.x);
        EXPECT_EQ(IniInt("STATUS", "Y"), place.y);
    }
}

// The dialog gathers the monitors' work areas and applies the placement rule (its edges
// are tested on the rule itself): a place on no screen opens whole on the work area.
TEST_F(StatusDialog, APositionOnNoScreenIsBroughtOntoTheNearestOne)
{
    RECT work;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const ScreenPoint places[] = { { -5000, -5000 }, { INT32_MIN, INT32_MAX } };
    for (const ScreenPoint &place : places) {
        StatusPosition = place;
        RECT frame = {};
        Open([&](HWND dialog) {
            GetWindowRect(dialog, &frame);
            Click(dialog, IDC_STATUS_OK);
        });
        EXPECT_GE(frame.left, work.left);
        EXPECT_GE(frame.top, work.top);
        EXPECT_LE(frame.right, work.right);
        EXPECT_LE(frame.bottom, work.bottom);
    }
}

// Whatever the screen's scaling: every control lies inside the dialog, no two overlap
// (apart from a group box and what it holds, and an up-down control on its skill box),
// and no label or time is cut off.
TEST_F(StatusDialog, ControlsStayInsideTheDialogApartAndShowTheirWholeTexts)
{
    Track(0, 50.0, Now() + 3600);
    Open([&](HWND dialog) {
        RECT inside;
        GetClientRect(dialog, &inside);
        struct Placed { HWND control; RECT place; };
        std::vector<Placed> placed;
        for (HWND control = GetWindow(dialog, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
            RECT place;
            GetWindowRect(control, &place);
            MapWindowPoints(nullptr, dialog, (POINT *)&place, 2);
            const int id = GetDlgCtrlID(control);
            EXPECT_TRUE(place.left >= inside.left && place.top >= inside.top && place.right <= inside.right
                        && place.bottom <= inside.bottom)
                << id << " at " << place.left << "," << place.top << "-" << place.right << "," << place.bottom
                << " in " << inside.right << "x" << inside.bottom;
            char kind[32] = "";
            GetClassNameA(control, kind, sizeof kind);
            if ((GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX && !lstrcmpiA(kind, "Button"))
                continue;
            if (!lstrcmpiA(kind, "Static")) {
                char text[64] = "";
                GetWindowTextA(control, text, sizeof text);
                HDC dc = GetDC(control);
                HGDIOBJ before = SelectObject(dc, (HGDIOBJ)SendMessageA(control, WM_GETFONT, 0, 0));
                SIZE extent = {};
                GetTextExtentPoint32A(dc, text, lstrlenA(text), &extent);
                SelectObject(dc, before);
                ReleaseDC(control, dc);
                EXPECT_LE(extent.cx, place.right - place.left) << id << " \"" << text << "\" is cut off";
            }
            HWND buddy = !lstrcmpiA(kind, UPDOWN_CLASSA) ? (HWND)SendMessageA(control, UDM_GETBUDDY, 0, 0) : nullptr;
            for (const Placed &other : placed) {
                RECT common;
                if (other.control != buddy && IntersectRect(&common, &place, &other.place))
                    ADD_FAILURE() << id << " overlaps " << GetDlgCtrlID(other.control);
            }
            placed.push_back({ control, place });
        }
        Click(dialog, IDC_STATUS_OK);
    });
    ExpectClosedByBody();
}

TEST_F(StatusDialog, ExitWhileOpenTakesTheDialogAndItsRefresherDown)
{
    const int threads = ThreadCount(GetCurrentProcessId());
    crafts[0].available = 1;
    Open([&](HWND dialog) {
        EXPECT_EQ(ThreadCount(GetCurrentProcessId()), threads + 1) << "the refresher runs";
        SendMessageA(window, WM_COMMAND, IDM_EXIT, 0);
        EXPECT_FALSE(IsWindow(dialog));
    });
    EXPECT_FALSE(current.left_open);
    EXPECT_EQ(ThreadCount(GetCurrentProcessId()), threads - 1)
        << "the refresher is gone, and the folder's watcher ended with the main window";
    EXPECT_EQ(IniInt("SMITH", "AVAILABLE"), 1);
}

// Hundreds of openings and closings while both skills are stepped, so that each close
// meets a refresher busy writing a box: no hang, and no thread or handle left behind.
TEST_F(StatusDialog, OpeningAndClosingManyTimesWhileSteppingLeavesNothingBehind)
{
    Track(0, 0.0, Now() + 60);
    Track(1, 0.0, Now() + 60);
    Open([](HWND dialog) { Click(dialog, IDC_STATUS_OK); });
    const int threads = ThreadCount(GetCurrentProcessId());
    const int handles = HandleCount(GetCurrentProcess());
    int cycles = 0;
    for (int cycle = 0; cycle < 200; cycle++) {
        Open([&](HWND dialog) {
            for (int step = 0; step < 4; step++) {
                Spin(dialog, IDC_SMITH_SPIN, 1);
                SendMessageA(window, WM_COMMAND, IDM_UPSKILL_TAILOR, 0);
                Pump(step);
            }
            Spin(dialog, IDC_TAILOR_SPIN, 1);
            Click(dialog, IDC_STATUS_OK);
        });
        cycles += current.ran && !current.left_open;
        EXPECT_EQ(ThreadCount(GetCurrentProcessId()), threads) << cycle;
    }
    EXPECT_EQ(cycles, 200);
    EXPECT_EQ(HandleCount(GetCurrentProcess()), handles);
    EXPECT_EQ(crafts[0].skill.load(), 80.0) << "every step counted once";
    EXPECT_EQ(crafts[1].skill.load(), 100.0);
}

}  // namespace
