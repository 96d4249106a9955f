// About box, driven in-process: the real modal box and the real version functions.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "dialogs/about.h"
#include "quorvel_version.h"
#include "res/resource.h"
#include "test_support.h"

namespace {

const char TEMPLATE_TEXT[] = "Static";

std::string FixturePath(const char *name)
{
    return WinePath(std::string(ABOUT_FIXTURE_DIR "/") + name);
}

BOOL CALLBACK CollectAboutBox(HWND window, LPARAM data)
{
    char title[64] = {}, cls[16] = {};
    GetWindowTextA(window, title, sizeof title);
    GetClassNameA(window, cls, sizeof cls);
    if (strcmp(cls, "#32770") == 0 && strcmp(title, "about Quorvel") == 0 && IsWindowVisible(window))
        ((std::vector<HWND> *)data)->push_back(window);
    return TRUE;
}

// The about boxes showing among this thread's windows, topmost first. A box that has
// been ended is hidden until its modal loop returns, so it does not count.
std::vector<HWND> AboutBoxes()
{
    std::vector<HWND> boxes;
    EnumThreadWindows(GetCurrentThreadId(), CollectAboutBox, (LPARAM)&boxes);
    return boxes;
}

// Room for far more than the box may show, so that a line longer than its buffer shows.
std::string LineOf(HWND box, int control)
{
    char text[1024] = {};
    GetDlgItemTextA(box, control, text, sizeof text);
    return text;
}

struct Lines {
    std::string comments, version, copyright;
};

Lines LinesOf(HWND box)
{
    return { LineOf(box, IDC_ABOUT_COMMENTS), LineOf(box, IDC_ABOUT_VERSION),
             LineOf(box, IDC_ABOUT_COPYRIGHT) };
}

// A key press as the keyboard would deliver it: to the focused control, through the
// box's modal loop.
void PressKey(HWND box, WPARAM key)
{
    HWND target = GetFocus() ? GetFocus() : box;
    PostMessageA(target, WM_KEYDOWN, key, 1);
    PostMessageA(target, WM_KEYUP, key, 0xC0000001);
}

void PressOk(HWND box)
{
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDC_ABOUT_OK, BN_CLICKED),
                 (LPARAM)GetDlgItem(box, IDC_ABOUT_OK));
}

using Step = std::function<void(HWND box)>;

// What the thread timer does while a modal box runs: one step per tick while a box
// shows. Boxes still showing after the last step are ended by force, so that a fault
// fails the test instead of hanging it, and the test learns of it through overran.
struct Script {
    std::vector<Step> steps;
    size_t next = 0;
    int overran = 0;
};

Script *script;

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
{
    std::vector<HWND> boxes = AboutBoxes();
    if (boxes.empty())
        return;
    if (script->next < script->steps.size()) {
        Step step = script->steps[script->next++];
        step(boxes.front());
        return;
    }
    script->overran++;
    for (HWND box : boxes)
        EndDialog(box, 0);
}

class AboutBox : public ::testing::Test {
protected:
    static HWND owner;
    Script run;

    static void SetUpTestSuite()
    {
        owner = CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                nullptr, nullptr, nullptr);
    }

    static void TearDownTestSuite() { DestroyWindow(owner); }

    // Runs the box through OpenAboutDialog and returns its result; the steps run
    // while it is open.
    int Open(std::vector<Step> steps) { return Drive(std::move(steps), nullptr); }

    // Runs the box on the version block of another file (an ASCII path).
    int OpenOn(const std::string &path, std::vector<Step> steps)
    {
        const std::wstring wide(path.begin(), path.end());
        return Drive(std::move(steps), wide.c_str());
    }

    int Drive(std::vector<Step> steps, const WCHAR *path)
    {
        run = Script();
        run.steps = std::move(steps);
        script = &run;
        UINT_PTR timer = SetTimer(nullptr, 0, 10, Tick);
        int result = path ? (int)DialogBoxParamA(app_instance, MAKEINTRESOURCEA(IDD_ABOUT), owner,
                                                  AboutDialogProc, (LPARAM)path)
                          : OpenAboutDialog(owner);
        KillTimer(nullptr, timer);
        script = nullptr;
        return result;
    }

    // Every step ran, and the box closed by itself after the last one.
    void ExpectClosedAsScripted()
    {
        EXPECT_EQ(run.next, run.steps.size());
        EXPECT_EQ(run.overran, 0);
        EXPECT_TRUE(AboutBoxes().empty());
    }
};

HWND AboutBox::owner;

TEST_F(AboutBox, ShowsIconAndTheThreeLinesOfTheProgramsVersionBlock)
{
    Lines shown;
    HICON icon = nullptr;
    LONG style = 0;
    int result = Open({ [&](HWND box) {
        shown = LinesOf(box);
        icon = (HICON)SendDlgItemMessageA(box, IDC_ABOUT_ICON, STM_GETICON, 0, 0);
        style = GetWindowLongA(box, GWL_STYLE);
        PressOk(box);
    } });
    EXPECT_EQ(result, 1);
    ExpectClosedAsScripted();
    EXPECT_EQ(shown.comments, COMMENTS);
    EXPECT_EQ(shown.version, "Version " QUORVEL_VERSION_TEXT);
    EXPECT_EQ(shown.copyright, COPYRIGHT);
    EXPECT_NE(icon, nullptr);
    EXPECT_EQ(style & WS_SYSMENU, 0) << "the box has no close box";
}

// The second request also brings the open box in front of another window.
TEST_F(AboutBox, OnlyOneBoxAtATimeAndItOpensAgainAfterOk)
{
    int nested = -1, boxes = 0;
    bool raised = false, came_forward = false;
    int first = Open({ [&](HWND box) {
        HWND other = CreateWindowExA(0, "STATIC", "in front", WS_POPUP | WS_VISIBLE, 0, 0, 60, 60,
                                     nullptr, nullptr, nullptr, nullptr);
        raised = SetForegroundWindow(other) && GetForegroundWindow() == other;
        nested = OpenAboutDialog(owner);
        came_forward = GetForegroundWindow() == box;
        DestroyWindow(other);
        boxes = (int)AboutBoxes().size();
        SendDlgItemMessageA(box, IDC_ABOUT_OK, BM_CLICK, 0, 0);
    } });
    EXPECT_EQ(first, 1);
    EXPECT_EQ(nested, 0);
    EXPECT_TRUE(raised);
    EXPECT_TRUE(came_forward);
    EXPECT_EQ(boxes, 1);
    ExpectClosedAsScripted();

    int again = Open({ PressOk });
    EXPECT_EQ(again, 1);
    ExpectClosedAsScripted();
}

TEST_F(AboutBox, ABoxThatCannotBeCreatedDoesNotBlockTheNextOne)
{
    // A module without the template stands in for any reason creation can fail.
    const HINSTANCE own = app_instance;
    app_instance = GetModuleHandleA("kernel32.dll");
    EXPECT_EQ(OpenAboutDialog(owner), 0);
    app_instance = own;
    EXPECT_EQ(Open({ PressOk }), 1);
    ExpectClosedAsScripted();
}

TEST_F(AboutBox, EnterClosesEscapeDoesNot)
{
    int result = Open({
        [](HWND box) { PressKey(box, VK_ESCAPE); },
        [](HWND box) { PressKey(box, VK_RETURN); },
    });
    EXPECT_EQ(result, 1);
    ExpectClosedAsScripted();
}

TEST_F(AboutBox, AnswersEveryCommandAndOnlyOkCloses)
{
    const WPARAM others[] = {
        MAKEWPARAM(IDCANCEL, BN_CLICKED),
        MAKEWPARAM(IDC_ABOUT_COMMENTS, STN_CLICKED),
        MAKEWPARAM(IDC_ABOUT_ICON, 0),
        MAKEWPARAM(IDOK, BN_CLICKED),
        MAKEWPARAM(40002, 0),
    };
    std::vector<INT_PTR> answers;
    INT_PTR ok_answer = FALSE;
    int result = Open({
        [&](HWND box) {
            for (WPARAM command : others)
                answers.push_back(AboutDialogProc(box, WM_COMMAND, command, 0));
        },
        // Still open a tick later; OK closes whatever its notification code.
        [&](HWND box) {
            ok_answer = AboutDialogProc(box, WM_COMMAND, MAKEWPARAM(IDC_ABOUT_OK, 1), 0);
        },
    });
    EXPECT_EQ(result, 1);
    ExpectClosedAsScripted();
    EXPECT_EQ(answers, std::vector<INT_PTR>(sizeof others / sizeof others[0], TRUE));
    EXPECT_EQ(ok_answer, TRUE);
}

struct BlockCase {
    const char *file;
    Lines expected;
};

TEST_F(AboutBox, LinesFromOddVersionBlocks)
{
    const std::string S = TEMPLATE_TEXT;
    const BlockCase cases[] = {
        // Only the first Translation pair counts.
        { "pairs.dll", { "first pair comments", "Version 1.0", "first pair copyright" } },
        // A FileVersion longer than the line is cut to its first 23 characters; a value
        // of the text buffer's 256 characters, or one more, to its first 255.
        { "long_version.dll",
          { std::string(255, 'c'), "Version 1.2.3.4-abcdefghijklmno", std::string(255, 'r') } },
        { "no_comments.dll", { S, "Version 4.5", "no comments copyright" } },
        { "no_translation.dll", { S, S, S } },
        { "short_translation.dll", { S, S, S } },
        { "bare.dll", { S, S, S } },
        { "missing.dll", { S, S, S } },
    };
    for (const BlockCase &c : cases) {
        SCOPED_TRACE(c.file);
        Lines shown;
        OpenOn(FixturePath(c.file), { [&](HWND box) {
                   shown = LinesOf(box);
                   PressOk(box);
               } });
        ExpectClosedAsScripted();
        EXPECT_EQ(shown.comments, c.expected.comments);
        EXPECT_EQ(shown.version, c.expected.version);
        EXPECT_EQ(shown.copyright, c.expected.copyright);
    }
}

}  // namespace
