// About box, driven in-process: the real modal box, the real version functions, and
// the resources of the built Quorvel.exe.
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

namespace {

const char COMMENTS[] = "Quorvel - bulk order timers for RPG crafters";
const char COPYRIGHT[] = "Copyright (C) 2026 the Quorvel authors";
const char TEMPLATE_TEXT[] = "Static";

// A Linux path as Wine's Windows side sees it.
std::string WinePath(const std::string &unix_path)
{
    std::string path = "Z:" + unix_path;
    for (char &c : path)
        if (c == '/')
            c = '\\';
    return path;
}

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

// ---------------------------------------------------------------- the built program

// One node of a version block: a length, a value and child nodes, each 32-bit aligned.
struct VersionNode {
    std::string key;
    std::string text;  // the value, for text nodes
    const BYTE *children;
    const BYTE *end;
};

const BYTE *Align4(const BYTE *p)
{
    return (const BYTE *)(((uintptr_t)p + 3) & ~(uintptr_t)3);
}

std::string Narrow(const WCHAR *text, size_t max)
{
    std::string out;
    for (size_t i = 0; i < max && text[i]; i++)
        out += (char)text[i];
    return out;
}

VersionNode ReadNode(const BYTE *p)
{
    WORD length, value_length, type;
    memcpy(&length, p, 2);
    memcpy(&value_length, p + 2, 2);
    memcpy(&type, p + 4, 2);
    VersionNode node;
    const WCHAR *key = (const WCHAR *)(p + 6);
    node.key = Narrow(key, 64);
    const BYTE *value = Align4(p + 6 + 2 * (node.key.size() + 1));
    size_t value_bytes = type == 1 ? 2u * value_length : value_length;
    if (type == 1)
        node.text = Narrow((const WCHAR *)value, value_length);
    node.children = Align4(value + value_bytes);
    node.end = p + length;
    return node;
}

std::vector<VersionNode> ChildrenOf(const VersionNode &parent)
{
    std::vector<VersionNode> nodes;
    for (const BYTE *p = parent.children; p < parent.end;) {
        nodes.push_back(ReadNode(p));
        p = Align4(nodes.back().end);
    }
    return nodes;
}

class ProgramFile : public ::testing::Test {
protected:
    HMODULE module = nullptr;

    void SetUp() override
    {
        module = LoadLibraryExA(WinePath(QUORVEL_EXE).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module, nullptr) << QUORVEL_EXE;
    }

    void TearDown() override { FreeLibrary(module); }
};

std::string ResourceName(LPCSTR name)
{
    return IS_INTRESOURCE(name) ? std::to_string((uintptr_t)name) : std::string(name);
}

struct ResourceTag {
    std::string type, name;
    WORD language;
};

BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR type, LPCSTR name, WORD language, LONG_PTR data)
{
    ((std::vector<ResourceTag> *)data)->push_back({ ResourceName(type), ResourceName(name), language });
    return TRUE;
}

BOOL CALLBACK CollectName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR data)
{
    EnumResourceLanguagesA(module, type, name, CollectLanguage, data);
    return TRUE;
}

BOOL CALLBACK CollectType(HMODULE module, LPSTR type, LONG_PTR data)
{
    EnumResourceNamesA(module, type, CollectName, data);
    return TRUE;
}

TEST_F(ProgramFile, EveryResourceIsTaggedJapanese)
{
    std::vector<ResourceTag> tags;
    EnumResourceTypesA(module, CollectType, (LONG_PTR)&tags);
    bool has_about = false, has_version = false;
    for (const ResourceTag &tag : tags) {
        EXPECT_EQ(tag.language, 1041) << "type " << tag.type << " name " << tag.name;
        has_about |= tag.type == "5" && tag.name == "1001";
        has_version |= tag.type == "16" && tag.name == "1";
    }
    EXPECT_TRUE(has_about);
    EXPECT_TRUE(has_version);
}

TEST_F(ProgramFile, VersionBlockReadsAsListed)
{
    const std::string path = WinePath(QUORVEL_EXE);
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));

    void *value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", &value, &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    VS_FIXEDFILEINFO fixed;
    memcpy(&fixed, value, sizeof fixed);
    // The project's version as major, minor, patch, build: two words to a number.
    const WORD version[] = { QUORVEL_VERSION_FIXED };
    const DWORD ms = MAKELONG(version[1], version[0]), ls = MAKELONG(version[3], version[2]);
    const DWORD expected_fixed[] = { 0xFEEF04BD, 0x10000, ms, ls, ms, ls,
                                     0x3F, 0, 0x40004, 1, 0, 0, 0 };
    DWORD actual_fixed[13];
    memcpy(actual_fixed, &fixed, sizeof actual_fixed);
    EXPECT_EQ(std::vector<DWORD>(actual_fixed, actual_fixed + 13),
              std::vector<DWORD>(expected_fixed, expected_fixed + 13));

    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length));
    ASSERT_EQ(length, 4u);
    WORD pair[2];
    memcpy(pair, value, sizeof pair);
    EXPECT_EQ(pair[0], 0x0411);
    EXPECT_EQ(pair[1], 0x04B0);

    // The strings, in the order the block holds them.
    HRSRC found = FindResourceExA(module, MAKEINTRESOURCEA(16), MAKEINTRESOURCEA(1), 1041);
    ASSERT_NE(found, nullptr);
    VersionNode root = ReadNode((const BYTE *)LockResource(LoadResource(module, found)));
    EXPECT_EQ(root.key, "VS_VERSION_INFO");
    std::vector<std::pair<std::string, std::string>> strings;
    std::vector<std::string> tables;
    for (const VersionNode &info : ChildrenOf(root))
        if (info.key == "StringFileInfo")
            for (const VersionNode &table : ChildrenOf(info)) {
                tables.push_back(table.key);
                for (const VersionNode &string : ChildrenOf(table))
                    strings.emplace_back(string.key, string.text);
            }
    EXPECT_EQ(tables, std::vector<std::string>{ "041104b0" });
    const std::vector<std::pair<std::string, std::string>> expected = {
        { "Comments", COMMENTS },
        { "CompanyName", " " },
        { "FileDescription", "Quorvel" },
        { "FileVersion", QUORVEL_VERSION_TEXT },
        { "InternalName", "Quorvel" },
        { "LegalCopyright", COPYRIGHT },
        { "LegalTrademarks", "" },
        { "OriginalFilename", "Quorvel.exe" },
        { "PrivateBuild", "" },
        { "ProductName", "Quorvel" },
        { "ProductVersion", QUORVEL_VERSION_TEXT },
        { "SpecialBuild", "" },
    };
    EXPECT_EQ(strings, expected);
}

}  // namespace
