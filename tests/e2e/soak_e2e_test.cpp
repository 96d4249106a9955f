// A long run of random use of the real exe: menu commands, tray clicks, the status
// dialog's buttons, check boxes and arrow keys, the about box. Afterwards the program
// must answer, hold no more threads, handles or memory than before, and its file must
// hold exactly the state the commands imply.
#include <gtest/gtest.h>
#include <windows.h>
#include <psapi.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "e2e/driver.h"
#include "process_usage.h"
#include "res/resource.h"
#include "test_support.h"

using namespace e2e;

namespace {

struct Usage {
    int threads;
    int handles;
    SIZE_T private_bytes;
};

Usage Measure(const Quorvel &app)
{
    Usage usage = { ThreadCount(app.ProcessId()), HandleCount(app.Process()), 0 };
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(app.Process(), &memory, sizeof memory);
    usage.private_bytes = memory.PagefileUsage;
    return usage;
}

unsigned long EnvNumber(const char *name, unsigned long fallback)
{
    const char *text = getenv(name);
    return text && *text ? strtoul(text, nullptr, 10) : fallback;
}

int32_t WaitFor(double skill)
{
    return skill <= 50.0 ? 3600 : skill <= 69.9 ? 7200 : 21600;
}

// What the program should hold after the commands given so far.
struct Expected {
    int available[2] = { 1, 1 };
    int tenths[2] = { 500, 500 };
    int32_t next_low[2] = { 0, 0 }, next_high[2] = { 0, 0 };
    int opens = 0, abouts = 0, menus = 0, steps = 0, receives = 0, toggles = 0;

    void Step(int k, int delta)
    {
        tenths[k] = std::max(0, std::min(1200, tenths[k] + delta));
        steps++;
    }
};

class Soak {
public:
    Soak(Quorvel &app, Expected &expected, Rng &random)
        : app_(app), expected_(expected), random_(random) {}

    // Chooses one thing a user could do now and does it; false when something failed.
    ::testing::AssertionResult OneAction()
    {
        switch (random_.Below(6)) {
        case 0: return Receive();
        case 1: return Upskill();
        case 2: return StatusSession();
        case 3: return AboutSession();
        case 4: return TrayMenu();
        default: return StatusSession();
        }
    }

    static std::string SkillText(int tenths)
    {
        char text[16];
        snprintf(text, sizeof text, "%5.1f", tenths / 10.0);
        return text;
    }

private:
    Quorvel &app_;
    Expected &expected_;
    Rng &random_;

    ::testing::AssertionResult Receive()
    {
        int k = random_.Below(2);
        if (!expected_.available[k])
            return ::testing::AssertionSuccess();
        int32_t before = Now();
        if (app_.Command(k ? IDM_RECEIVED_TAILOR : IDM_RECEIVED_SMITH) != 1)
            return ::testing::AssertionFailure() << "menu receive not answered";
        int32_t wait = WaitFor(expected_.tenths[k] / 10.0);
        expected_.next_low[k] = before + wait;
        expected_.next_high[k] = Now() + wait;
        expected_.receives++;
        return ::testing::AssertionSuccess();
    }

    ::testing::AssertionResult Upskill()
    {
        int k = random_.Below(2);
        if (!expected_.available[k])
            return ::testing::AssertionSuccess();
        if (app_.Command(k ? IDM_UPSKILL_TAILOR : IDM_UPSKILL_SMITH) != 1)
            return ::testing::AssertionFailure() << "upskill not answered";
        expected_.Step(k, +1);
        return ::testing::AssertionSuccess();
    }

    static HWND WaitForDialog(const Quorvel &app, const char *title, bool open)
    {
        for (int i = 0; i < 400; i++) {
            HWND dialog = app.FindDialog(title);
            if ((dialog != nullptr) == open)
                return dialog ? dialog : (HWND)1;
            Sleep(5);
        }
        return nullptr;
    }

    static bool WaitForText(HWND control, const std::string &text)
    {
        char shown[32] = "";
        for (int i = 0; i < 400; i++) {
            // Another process's edit box keeps its text to itself: ask it.
            DWORD_PTR got = 0;
            SendMessageTimeoutA(control, WM_GETTEXT, sizeof shown, (LPARAM)shown, SMTO_BLOCK, 1000, &got);
            if (text == shown)
                return true;
            Sleep(5);
        }
        return false;
    }

    ::testing::AssertionResult StatusSession()
    {
        app_.Post(WM_TRAYNOTIFY, 1, WM_LBUTTONDBLCLK);
        HWND dialog = WaitForDialog(app_, "Quorvel", true);
        if (!dialog)
            return ::testing::AssertionFailure() << "status dialog did not open";
        expected_.opens++;
        for (int k = 0; k < 2; k++) {
            HWND box = GetDlgItem(dialog, k ? IDC_TAILOR_SKILL : IDC_SMITH_SKILL);
            if (!WaitForText(box, SkillText(expected_.tenths[k])))
                return ::testing::AssertionFailure() << "skill box of craft " << k << " at opening";
        }
        for (int n = 1 + random_.Below(8); n > 0; n--) {
            int k = random_.Below(2);
            int id_base = k ? 300 : 200;
            switch (random_.Below(4)) {
            case 0:
                SendMessageA(GetDlgItem(dialog, id_base + 2), BM_CLICK, 0, 0);
                expected_.available[k] = !expected_.available[k];
                expected_.toggles++;
                break;
            case 1:
                if (expected_.available[k]) {
                    int32_t before = Now();
                    SendMessageA(GetDlgItem(dialog, id_base + 10), BM_CLICK, 0, 0);
                    int32_t wait = WaitFor(expected_.tenths[k] / 10.0);
                    expected_.next_low[k] = before + wait;
                    expected_.next_high[k] = Now() + wait;
                    expected_.receives++;
                }
                break;
            default:
                if (expected_.available[k]) {
                    HWND box = GetDlgItem(dialog, id_base + 8);
                    WPARAM key = random_.Below(2) ? VK_UP : VK_DOWN;
                    PostMessageA(box, WM_KEYDOWN, key, 1);
                    PostMessageA(box, WM_KEYUP, key, 0xC0000001);
                    expected_.Step(k, key == VK_UP ? +1 : -1);
                    if (!WaitForText(box, SkillText(expected_.tenths[k])))
                        return ::testing::AssertionFailure() << "arrow key not shown in craft " << k;
                }
                break;
            }
        }
        switch (random_.Below(3)) {
        case 0: SendMessageA(GetDlgItem(dialog, IDC_STATUS_OK), BM_CLICK, 0, 0); break;
        case 1: PostMessageA(dialog, WM_CLOSE, 0, 0); break;
        default: PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); break;
        }
        if (!WaitForDialog(app_, "Quorvel", false))
            return ::testing::AssertionFailure() << "status dialog did not close";
        return ::testing::AssertionSuccess();
    }

    // A right-click shows the tray menu; the shell's cancel closes it unused.
    ::testing::AssertionResult TrayMenu()
    {
        app_.Post(WM_TRAYNOTIFY, 1, WM_RBUTTONUP);
        if (!WaitForMenu(true))
            return ::testing::AssertionFailure() << "tray menu did not show";
        app_.Post(WM_CANCELMODE);
        if (!WaitForMenu(false))
            return ::testing::AssertionFailure() << "tray menu did not close";
        expected_.menus++;
        return ::testing::AssertionSuccess();
    }

    static bool WaitForMenu(bool shown)
    {
        for (int i = 0; i < 400; i++) {
            HWND menu = FindWindowA("#32768", nullptr);
            if ((menu && IsWindowVisible(menu)) == shown)
                return true;
            Sleep(5);
        }
        return false;
    }

    ::testing::AssertionResult AboutSession()
    {
        app_.Post(WM_COMMAND, IDM_ABOUT);
        HWND about = WaitForDialog(app_, "about Quorvel", true);
        if (!about)
            return ::testing::AssertionFailure() << "about box did not open";
        expected_.abouts++;
        SendMessageA(GetDlgItem(about, IDC_ABOUT_OK), BM_CLICK, 0, 0);
        if (!WaitForDialog(app_, "about Quorvel", false))
            return ::testing::AssertionFailure() << "about box did not close";
        return ::testing::AssertionSuccess();
    }
};

TEST(Soak, RandomUseLeavesTheProgramResponsiveWithNothingLeakedOrLost)
{
    const unsigned long seconds = EnvNumber("QUORVEL_SOAK_SECONDS", 20);
    const unsigned long seed = EnvNumber("QUORVEL_SOAK_SEED", 20261207);
    SCOPED_TRACE("QUORVEL_SOAK_SEED=" + std::to_string(seed));
    TempDir dir;
    WriteText(dir.File("Quorvel.ini"), "[SMITH]\r\nAVAILABLE=1\r\nSKILL=50.0\r\n"
                                       "[TAILOR]\r\nAVAILABLE=1\r\nSKILL=50.0\r\n");
    Quorvel app;
    ASSERT_TRUE(app.Start(dir.path));
    Expected expected;
    Rng random = { seed };
    Soak soak(app, expected, random);

    // One of each first, so that what the system loads once is in place before counting.
    for (int i = 0; i < 3; i++)
        ASSERT_TRUE(soak.OneAction());
    Sleep(300);
    const Usage before = Measure(app);

    const DWORD end = GetTickCount() + seconds * 1000;
    while (GetTickCount() < end)
        ASSERT_TRUE(soak.OneAction()) << "after " << expected.opens << " dialog openings";
    Sleep(300);
    const Usage after = Measure(app);

    EXPECT_EQ(app.Send(WM_NULL), 0) << "the program answers";
    EXPECT_EQ(after.threads, before.threads);
    EXPECT_EQ(after.handles, before.handles);
    // Wine keeps a little memory for every status dialog it builds from the template,
    // about 0.45 kB even behind a dialog procedure that does nothing; beyond that
    // (and 1 MB of heap slack) memory must not grow.
    const SIZE_T allowed = 1024 * 1024 + 1024 * (SIZE_T)expected.opens;
    EXPECT_LE(after.private_bytes, before.private_bytes + allowed);
    printf("soak: %lu s, seed %lu, %d dialog openings, %d about boxes, %d skill steps, "
           "%d receives, %d check-box toggles, %d tray menus; threads %d -> %d, handles %d -> %d, "
           "private bytes %lu -> %lu\n",
           seconds, seed, expected.opens, expected.abouts, expected.steps, expected.receives,
           expected.toggles, expected.menus, before.threads, after.threads, before.handles, after.handles,
           (unsigned long)before.private_bytes, (unsigned long)after.private_bytes);

    app.Post(WM_COMMAND, IDM_EXIT);
    ASSERT_EQ(app.WaitExit(), 0);
    const std::string ini = dir.File("Quorvel.ini");
    const char *sections[] = { "SMITH", "TAILOR" };
    for (int k = 0; k < 2; k++) {
        SCOPED_TRACE(sections[k]);
        EXPECT_EQ(IniValue(ini, sections[k], "AVAILABLE"), std::to_string(expected.available[k]));
        std::string skill = Soak::SkillText(expected.tenths[k]);
        EXPECT_EQ(IniValue(ini, sections[k], "SKILL"), skill.substr(skill.find_first_not_of(' ')));
        int32_t next = std::stol(IniValue(ini, sections[k], "NEXT"));
        EXPECT_GE(next, expected.next_low[k]);
        EXPECT_LE(next, expected.next_high[k]);
    }
}

}  // namespace
