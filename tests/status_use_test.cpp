// The status dialog in use: opening it twice, the arrows, receiving, tracking, the ways
// to close it, and what a session leaves behind.
#include "status_fixture.h"

namespace {

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
