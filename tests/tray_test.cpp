// The tray icon, its alert picture, the due check, the menu and its commands, driven
// in-process on a real main window with Wine's notification area.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <ctime>
#include <string>

#include "app/tray.h"
#include "e2e/balloons.h"
#include "model/craft.h"
#include "res/resource.h"
#include "settings/settings.h"
#include "shell_fixture.h"

namespace {

// The window the shell refused the first add for: when a main window is being created,
// an icon is put in its place, so that the window's own add finds it taken.
HWND squatted;

LRESULT CALLBACK SquatTheIcon(int code, WPARAM wparam, LPARAM lparam)
{
    char name[16] = "";
    if (code == HCBT_CREATEWND && GetClassNameA((HWND)wparam, name, sizeof name)
        && lstrcmpA(name, "Quorvel") == 0) {
        NOTIFYICONDATAA icon = {};
        icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
        icon.hWnd = (HWND)wparam;
        icon.uID = 1;
        if (Shell_NotifyIconA(NIM_ADD, &icon))
            squatted = (HWND)wparam;
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

// The width in pixels of an icon's picture.
int IconWidth(HICON icon)
{
    ICONINFO info = {};
    if (!GetIconInfo(icon, &info))
        return 0;
    BITMAP bits = {};
    GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bits, &bits);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return bits.bmWidth;
}

// Runs some of this program's tests in a child process that starts with the screen
// scaled to the given DPI (the prefix's LogPixels, put back afterwards); returns the
// child's exit code. The child refuses to run when the scaling did not take. A palette asks for colours.
DWORD RunScaled(DWORD dpi, const char *palette, const std::string &filter)
{
    const char *key_name = "Control Panel\\Desktop";
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key_name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr))
        return 100;
    DWORD old = 0, size = sizeof old;
    bool had = RegQueryValueExA(key, "LogPixels", nullptr, nullptr, (BYTE *)&old, &size) == ERROR_SUCCESS;
    RegSetValueExA(key, "LogPixels", 0, REG_DWORD, (const BYTE *)&dpi, sizeof dpi);
    char exe[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, exe, sizeof exe);
    std::string command = std::string("\"") + exe + "\" --gtest_filter=" + filter;
    SetEnvironmentVariableA("QUORVEL_TEST_DPI", std::to_string(dpi).c_str());
    SetEnvironmentVariableA("QUORVEL_TEST_PALETTE", palette);
    STARTUPINFOA start = {};
    start.cb = sizeof start;
    PROCESS_INFORMATION child = {};
    DWORD code = 101;
    if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &child)) {
        if (WaitForSingleObject(child.hProcess, 300000) == WAIT_OBJECT_0)
            GetExitCodeProcess(child.hProcess, &code);
        else
            TerminateProcess(child.hProcess, code = 102);
        CloseHandle(child.hThread);
        CloseHandle(child.hProcess);
    }
    SetEnvironmentVariableA("QUORVEL_TEST_DPI", nullptr);
    SetEnvironmentVariableA("QUORVEL_TEST_PALETTE", nullptr);
    if (had)
        RegSetValueExA(key, "LogPixels", 0, REG_DWORD, (const BYTE *)&old, sizeof old);
    else
        RegDeleteValueA(key, "LogPixels");
    RegCloseKey(key);
    return code;
}

class TrayShell : public ShellFixture {
protected:
    bool IconExists() const
    {
        NOTIFYICONDATAA icon = {};
        icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
        icon.hWnd = window;
        icon.uID = 1;
        return Shell_NotifyIconA(NIM_MODIFY, &icon) != FALSE;
    }

    static void MakeDue(int k)
    {
        crafts[k].available = 1;
        crafts[k].next_time = (int32_t)time(nullptr) - 5;
    }

    // Runs the message loop for up to ms, or until craft k alerts (k < 0: never);
    // returns how often the due check's timer fired meanwhile.
    int PumpDueChecks(DWORD ms, int k)
    {
        int ticks = 0;
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < ms && !(k >= 0 && crafts[k].alerted)) {
            MSG msg;
            if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
                continue;
            }
            ticks += msg.message == WM_TIMER && msg.hwnd == window && msg.wParam == DUE_TIMER;
            DispatchMessageA(&msg);
        }
        return ticks;
    }
};

TEST_F(TrayShell, StartsWithTheGreenLampWhateverTheRecordsSay)
{
    EXPECT_TRUE(IconExists());
    EXPECT_EQ(CurrentTrayIcon(), Picture(IDI_TRAY_NORMAL));
}

TEST_F(TrayShell, BeepsOnlyOnTheChangeFromGreenToRed)
{
    crafts[0].available = 1;
    crafts[0].alerted = 1;
    EXPECT_EQ(RefreshTrayIcon(), 1);
    EXPECT_EQ(CurrentTrayIcon(), Picture(IDI_TRAY_ALERT));
    EXPECT_EQ(RefreshTrayIcon(), 0) << "the red lamp stays without another beep";
    crafts[1].alerted = 1;
    EXPECT_EQ(RefreshTrayIcon(), 0);
    crafts[0].alerted = crafts[1].alerted = 0;
    EXPECT_EQ(RefreshTrayIcon(), 0);
    EXPECT_EQ(CurrentTrayIcon(), Picture(IDI_TRAY_NORMAL));
}

TEST_F(TrayShell, DueCheckAlertsEachDueCraftOnce)
{
    MakeDue(0);
    MakeDue(1);
    CheckDue(window, WM_TIMER, 0, 0);
    EXPECT_EQ(crafts[0].alerted, 1);
    EXPECT_EQ(crafts[1].alerted, 1);
    EXPECT_EQ(CurrentTrayIcon(), Picture(IDI_TRAY_ALERT));
    EXPECT_EQ(RefreshTrayIcon(), 0) << "both crafts due in one second give one beep";
    EXPECT_NE(balloons::WaitFor(L"Blacksmith and Tailor orders ready", 5000), nullptr)
        << "one notice names both";
}

TEST_F(TrayShell, EachCraftGetsOneNoticePerSchedulingAlsoWhileTheLampIsRed)
{
    MakeDue(0);
    CheckDue(window, WM_TIMER, 0, 0);
    HWND smith = balloons::WaitFor(L"Blacksmith order ready", 5000);
    ASSERT_NE(smith, nullptr);
    CheckDue(window, WM_TIMER, 0, 0);
    EXPECT_TRUE(balloons::StillShown(smith, L"Blacksmith order ready")) << "no second notice";
    MakeDue(1);
    CheckDue(window, WM_TIMER, 0, 0);
    EXPECT_EQ(RefreshTrayIcon(), 0) << "no second beep";
    EXPECT_NE(balloons::WaitFor(L"Tailor order ready", 5000), nullptr);
}

TEST_F(TrayShell, APointerOnTheLampRewritesTheTipAtMostOnceASecond)
{
    EXPECT_EQ(RefreshTrayTip(), 0) << "the tip was written with the icon just now";
    Sleep(1100);
    EXPECT_EQ(RefreshTrayTip(), 1);
    EXPECT_EQ(RefreshTrayTip(), 0);
}

TEST_F(TrayShell, DueCheckLeavesCraftsThatAreNotYetDueOrNotTracked)
{
    crafts[0].available = 1;
    crafts[0].next_time = (int32_t)time(nullptr) + 60;
    crafts[1].available = 0;
    crafts[1].next_time = (int32_t)time(nullptr) - 60;
    CheckDue(window, WM_TIMER, 0, 0);
    EXPECT_EQ(crafts[0].alerted, 0);
    EXPECT_EQ(crafts[1].alerted, 0);
    crafts[0].next_time = 0;
    CheckDue(window, WM_TIMER, 0, 0);
    EXPECT_EQ(crafts[0].alerted, 0);
    EXPECT_EQ(CurrentTrayIcon(), Picture(IDI_TRAY_NORMAL));
}

TEST_F(TrayShell, TheDueCheckSleepsWhileNothingCanComeDueAndWakesForATickedCraft)
{
    EXPECT_EQ(PumpDueChecks(3000, -1), 0) << "nothing tracked: no wake-up every second";
    crafts[0].available = 1;
    crafts[0].next_time = Now() + 2;
    RefreshTrayIcon();  // what ticking the craft in the status dialog does
    const int32_t ticked = Now();
    PumpDueChecks(15000, 0);
    EXPECT_EQ(crafts[0].alerted, 1);
    EXPECT_LE(Now() - ticked, 8) << "the red lamp comes about a second after the due time";
    EXPECT_EQ(CurrentTrayIcon(), Picture(IDI_TRAY_ALERT));
}

TEST_F(TrayShell, ASetClockOrAResumeFromSleepIsCheckedAtOnce)
{
    const struct { UINT message; WPARAM wparam; bool checks; } cases[] = {
        { WM_TIMECHANGE, 0, true },
        { WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, true },
        { WM_POWERBROADCAST, PBT_APMSUSPEND, false },
    };
    for (const auto &c : cases) {
        crafts[0].alerted = 0;
        MakeDue(0);
        SendMessageA(window, c.message, c.wparam, 0);
        EXPECT_EQ(crafts[0].alerted, c.checks ? 1 : 0) << c.message << " " << c.wparam;
    }
}

TEST_F(TrayShell, ReceivingTheOnlyAlertedCraftTurnsTheLampGreenAndSaves)
{
    MakeDue(0);
    MakeDue(1);
    CheckDue(window, WM_TIMER, 0, 0);
    EXPECT_EQ(ReceiveOrder(IDM_RECEIVED_SMITH), 1);
    EXPECT_EQ(crafts[0].alerted, 0);
    EXPECT_EQ(CurrentTrayIcon(), Picture(IDI_TRAY_ALERT)) << "the tailor is still due";
    int32_t before = (int32_t)time(nullptr);
    EXPECT_EQ(ReceiveOrder(IDC_TAILOR_RECEIVE), 1);
    EXPECT_EQ(CurrentTrayIcon(), Picture(IDI_TRAY_NORMAL));
    EXPECT_GE(crafts[1].next_time, before + 3600);
    EXPECT_EQ(GetPrivateProfileIntA("TAILOR", "NEXT", 0, Ini().c_str()), crafts[1].next_time);
}

TEST_F(TrayShell, ReceiveWithAnIdentifierOfNoCraftChangesNothing)
{
    for (int id : { 0, IDM_EXIT, IDC_SMITH_NEXT_LABEL, 999 })
        EXPECT_EQ(ReceiveOrder(id), 0) << id;
    EXPECT_EQ(crafts[0].next_time, 0);
    EXPECT_EQ(crafts[1].next_time, 0);
    EXPECT_EQ(GetFileAttributesA(Ini().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(TrayShell, MenuCommandsAnswerAsTheirActions)
{
    crafts[0].skill.store(120.0);
    EXPECT_EQ(SendMessageA(window, WM_COMMAND, IDM_UPSKILL_SMITH, 0), 1);
    EXPECT_EQ(crafts[0].skill.load(), 120.0);
    EXPECT_EQ(SendMessageA(window, WM_COMMAND, IDM_UPSKILL_TAILOR, 0), 1);
    EXPECT_EQ(crafts[1].skill.load(), 50.1);
    EXPECT_EQ(GetFileAttributesA(Ini().c_str()), INVALID_FILE_ATTRIBUTES)
        << "a skill step is not saved by itself";
    EXPECT_EQ(SendMessageA(window, WM_COMMAND, 40050, 0), 1);
    EXPECT_EQ(SendMessageA(window, WM_COMMAND, IDM_RECEIVED_TAILOR, 0), 1);
    EXPECT_NE(crafts[1].next_time, 0);
    EXPECT_NE(GetFileAttributesA(Ini().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(TrayShell, MenuGreysTheItemsOfUntrackedCraftsAndBoldsStatus)
{
    const struct { int32_t smith, tailor; } cases[] = { { 0, 0 }, { 1, 0 }, { 0, 5 }, { 1, 1 } };
    for (const auto &c : cases) {
        crafts[0].available = c.smith;
        crafts[1].available = c.tailor;
        HMENU popup = nullptr;
        HMENU menu = LoadTrayMenu(&popup);
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(GetMenuDefaultItem(popup, FALSE, 0), (UINT)IDM_STATUS);
        auto greyed = [&](UINT id) { return (GetMenuState(popup, id, MF_BYCOMMAND) & MF_GRAYED) != 0; };
        EXPECT_EQ(greyed(IDM_RECEIVED_SMITH), !c.smith);
        EXPECT_EQ(greyed(IDM_UPSKILL_SMITH), !c.smith);
        EXPECT_EQ(greyed(IDM_RECEIVED_TAILOR), !c.tailor);
        EXPECT_EQ(greyed(IDM_UPSKILL_TAILOR), !c.tailor);
        EXPECT_FALSE(greyed(IDM_STATUS));
        EXPECT_FALSE(greyed(IDM_ABOUT));
        EXPECT_FALSE(greyed(IDM_EXIT));
        DestroyMenu(menu);
    }
}

// Without a [HOTKEYS] section every text is the resource's, byte for byte; with one, the
// items of registered hotkeys show them after a tab, and the others stay as they are.
TEST_F(TrayShell, MenuListsItsItemsInOrderWithTheHotkeysTheFileSets)
{
    const struct { UINT id; const char *text, *with_hotkeys; } items[] = {
        { IDM_STATUS, "&Status...", "&Status...\tWin+Shift+F5" }, { 0, "", "" },
        { IDM_RECEIVED_SMITH, "Received &Blacksmith BOD", "Received &Blacksmith BOD\tCtrl+Alt+B" },
        { IDM_RECEIVED_TAILOR, "Received &Tailor BOD", "Received &Tailor BOD" },
        { 0, "", "" },
        { IDM_UPSKILL_SMITH, "Upskill B&lacksmith", "Upskill B&lacksmith\tCtrl+Alt+Num5" },
        { IDM_UPSKILL_TAILOR, "Upskill Ta&ilor", "Upskill Ta&ilor" },
        { 0, "", "" },
        { IDM_ABOUT, "&About...", "&About..." }, { IDM_EXIT, "E&xit", "E&xit" },
    };
    for (int with_hotkeys = 0; with_hotkeys < 2; with_hotkeys++) {
        if (with_hotkeys) {
            WriteAll(Ini(), "[HOTKEYS]\r\nRECEIVED_SMITH = ctrl+alt+b\r\nSTATUS=shift + WIN + F5\r\n"
                            "UPSKILL_SMITH=Alt+Ctrl+num5\r\nUPSKILL_TAILOR=Ctrl+Alt+\r\n");
            EXPECT_EQ(FollowHotkeys(window), 1);
        }
        HMENU popup = nullptr;
        HMENU menu = LoadTrayMenu(&popup);
        ASSERT_NE(menu, nullptr);
        ASSERT_EQ(GetMenuItemCount(popup), 10);
        EXPECT_EQ(GetMenuDefaultItem(popup, FALSE, 0), (UINT)IDM_STATUS);
        for (int i = 0; i < 10; i++) {
            char text[64] = "";
            GetMenuStringA(popup, i, text, sizeof text, MF_BYPOSITION);
            EXPECT_EQ(GetMenuItemID(popup, i), items[i].id) << i;
            EXPECT_STREQ(text, with_hotkeys ? items[i].with_hotkeys : items[i].text) << i;
        }
        DestroyMenu(menu);
    }
}

TEST_F(TrayShell, PicturesHaveTheSmallIconSizeOfTheScreensScaling)
{
    const int small = GetSystemMetrics(SM_CXSMICON);
    EXPECT_EQ(IconWidth(CurrentTrayIcon()), small);
    MakeDue(0);
    CheckDue(window, WM_TIMER, 0, 0);
    EXPECT_EQ(CurrentTrayIcon(), Picture(IDI_TRAY_ALERT));
    EXPECT_EQ(IconWidth(CurrentTrayIcon()), small);
}

// The tests whose answers depend on the screen's scaling, run again at other scalings.
TEST(Scaling, PicturesAndDialogLayoutHoldAtOtherScalings)
{
    const struct { DWORD dpi; const char *palette; const char *tests; } runs[] = {
        { 144, nullptr, "TrayShell.PicturesHaveTheSmallIconSizeOfTheScreensScaling:TrayShell.BeepsOnlyOnTheChangeFromGreenToRed" },
        { 192, nullptr, "StatusDialog.ControlsStayInsideTheDialogApartAndShowTheirWholeTexts" },
        { 96, "1", "StatusDialog.EveryTimeStandsOutOfTheFaceAlsoAfterTheColoursChange" },
    };
    for (const auto &run : runs)
        EXPECT_EQ(RunScaled(run.dpi, run.palette, run.tests), 0u) << run.dpi << " DPI: " << run.tests;
}

TEST_F(TrayShell, ShellRestartBringsTheIconBackWithItsCurrentPicture)
{
    const UINT taskbar_created = RegisterWindowMessageA("TaskbarCreated");
    MakeDue(0);
    CheckDue(window, WM_TIMER, 0, 0);
    RemoveTrayIcon();
    ASSERT_FALSE(IconExists());
    SendMessageA(window, taskbar_created, 0, 0);
    EXPECT_TRUE(IconExists());
    EXPECT_EQ(CurrentTrayIcon(), Picture(IDI_TRAY_ALERT));
    SendMessageA(window, taskbar_created, 0, 0);
    EXPECT_TRUE(IconExists()) << "announced while the icon exists: it stays, once";
    RemoveTrayIcon();
    EXPECT_FALSE(IconExists()) << "one delete leaves no second icon behind";
}

TEST_F(TrayShell, AnIconTheShellRefusedIsAddedByTheDueCheckWithThePictureOfTheMoment)
{
    DestroyWindow(window);
    HHOOK hook = SetWindowsHookExA(WH_CBT, SquatTheIcon, nullptr, GetCurrentThreadId());
    window = CreateMainWindow(app_instance);
    UnhookWindowsHookEx(hook);
    ASSERT_EQ(squatted, window);
    NOTIFYICONDATAA icon = {};
    icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    icon.hWnd = window;
    icon.uID = 1;
    ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &icon));
    crafts[0].available = 1;
    crafts[0].alerted = 1;
    RefreshTrayIcon();
    ASSERT_FALSE(IconExists());
    CheckDue(window, WM_TIMER, 0, 0);
    EXPECT_TRUE(IconExists());
    EXPECT_EQ(CurrentTrayIcon(), Picture(IDI_TRAY_ALERT));
}

TEST_F(TrayShell, EndOfSessionSavesOnlyWhenTheSessionReallyEnds)
{
    crafts[1].skill.store(66.6);
    SendMessageA(window, WM_ENDSESSION, FALSE, 0);
    EXPECT_EQ(GetFileAttributesA(Ini().c_str()), INVALID_FILE_ATTRIBUTES);
    SendMessageA(window, WM_ENDSESSION, TRUE, 0);
    char skill[16] = "";
    GetPrivateProfileStringA("TAILOR", "SKILL", "", skill, sizeof skill, Ini().c_str());
    EXPECT_STREQ(skill, "66.6");
}

TEST_F(TrayShell, DestroyingTheWindowSavesRemovesTheIconAndQuits)
{
    crafts[0].available = 1;
    DestroyWindow(window);
    EXPECT_FALSE(IconExists());
    EXPECT_EQ(GetPrivateProfileIntA("SMITH", "AVAILABLE", 0, Ini().c_str()), 1);
    MSG msg;
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 0u);
}

}  // namespace
