// The status dialog: what it shows, in which colours, and where it opens.
#include "status_fixture.h"

namespace {

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

}  // namespace
