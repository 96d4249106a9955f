// A sync engine's conflict copies end to end. Where there is no Recycle Bin (without the
// desktop's data folder, Wine deletes what it is asked to recycle and reports success)
// every copy stays, and each is merged once; where there is one, only a copy that adds
// nothing of the player's own goes there. (tests/sync/two_pcs.sh plays two real PCs.)
#include <gtest/gtest.h>
#include <windows.h>

#include "e2e/balloons.h"
#include "e2e/driver.h"
#include "res/resource.h"
#include "scratch.h"

using namespace e2e;

namespace {

// Waits up to ms for a key of the file to hold the value; true when it does.
bool WaitForValue(const std::string &ini, const char *section, const char *key, const std::string &value, DWORD ms)
{
    for (DWORD start = GetTickCount(); IniValue(ini, section, key) != value; Sleep(50))
        if (GetTickCount() - start >= ms)
            return false;
    return true;
}

// The other PC's copy carries the blacksmith's last order and a step; the record here
// still holds the order before, long due, and twenty older copies stay beside it: merged
// before the first due check, the lamp stays green. A copy dropped in while Quorvel runs
// is merged within about a second, however many stay; one that adds nothing saves
// nothing. Every copy stays where it is, and since each is merged once, the player's
// own changes after the merge stand: a skill stepped down and a craft unticked in the
// dialog, a skill lowered by hand in the file.
TEST(TwoPcs, ConflictCopiesAreMergedOnceAndStayWhereThereIsNoRecycleBin)
{
    TempDir dir;
    const std::string ini = dir.File("Quorvel.ini"), order = std::to_string(Now() + 3000);
    const char *const copies[] = { "Quorvel-DESKTOP-1AB2C3D.ini", "Quorvel (Anna's conflicted copy 2026-12-08).ini",
                                   "Quorvel.sync-conflict-20261208-115602-Q4KK2FG.ini", "Quorvel-LATE.ini" };
    WriteText(ini, "[SMITH]\r\nAVAILABLE=1\r\nNEXT=" + std::to_string(Now() - 60) + "\r\n");
    WriteText(dir.File(copies[0]), "[SMITH]\r\nSKILL=50.2\r\nNEXT=" + order + "\r\n");
    for (int i = 0; i < 20; i++)
        WriteText(dir.File(("Quorvel (conflicted copy 2026-12-0" + std::to_string(i) + ").ini").c_str()),
                  "[SMITH]\r\nNEXT=1\r\n");
    SetEnvironmentVariableA("XDG_DATA_HOME", "/proc/no-such-folder");
    Quorvel app;
    const bool started = app.Start(dir.path);
    SetEnvironmentVariableA("XDG_DATA_HOME", nullptr);
    ASSERT_TRUE(started);
    EXPECT_FALSE(WaitForLamp(LAMP_RED, 2500)) << "merged before the first due check";
    EXPECT_EQ(IniValue(ini, "SMITH", "NEXT"), order);
    EXPECT_EQ(IniValue(ini, "SMITH", "SKILL"), "50.2");

    WriteText(dir.File(copies[1]), "[TAILOR]\r\nAVAILABLE=1\r\nSKILL=61.0\r\nNEXT=0\r\n");
    EXPECT_TRUE(WaitForValue(ini, "TAILOR", "SKILL", "61.0", 3000));
    EXPECT_EQ(IniValue(ini, "TAILOR", "AVAILABLE"), "1");
    const std::string merged = ReadText(ini);
    WriteText(dir.File(copies[2]), "[SMITH]\r\nNEXT=" + order + "\r\n");
    Sleep(1500);
    EXPECT_EQ(ReadText(ini), merged) << "a copy that adds nothing saves nothing";

    app.Post(WM_TRAYNOTIFY, 1, WM_LBUTTONDBLCLK);
    HWND dialog = app.WaitForDialog("Quorvel", 3000);
    ASSERT_NE(dialog, nullptr);
    HWND box = GetDlgItem(dialog, IDC_SMITH_SKILL);
    PostMessageA(box, WM_KEYDOWN, VK_DOWN, 1);
    PostMessageA(box, WM_KEYUP, VK_DOWN, 0xC0000001);
    PostMessageA(GetDlgItem(dialog, IDC_TAILOR_AVAILABLE), BM_CLICK, 0, 0);
    PostMessageA(GetDlgItem(dialog, IDC_STATUS_OK), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitForValue(ini, "TAILOR", "AVAILABLE", "0", 3000));
    EXPECT_EQ(IniValue(ini, "SMITH", "SKILL"), "50.1");
    WritePrivateProfileStringA("SMITH", "SKILL", "45.0", ini.c_str());
    const std::string tailor_order = std::to_string(Now() + 7000);
    WriteText(dir.File(copies[3]), "[TAILOR]\r\nNEXT=" + tailor_order + "\r\n");
    EXPECT_TRUE(WaitForValue(ini, "TAILOR", "NEXT", tailor_order, 1500)) << "a new copy among twenty that stay";
    Sleep(2500);
    EXPECT_EQ(IniValue(ini, "SMITH", "SKILL") + " " + IniValue(ini, "TAILOR", "AVAILABLE"), "45.0 0")
        << "the player's changes after the merge stand";
    for (const char *copy : copies)
        EXPECT_TRUE(Exists(dir.File(copy))) << copy;
    EXPECT_TRUE(balloons::Shown().empty()) << "no notice, no failed save";
    app.Post(WM_COMMAND, IDM_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
    EXPECT_EQ(IniValue(ini, "SMITH", "SKILL"), "45.0") << "the hand edit stands after exit";
}

// The Unix path Wine gives a folder, for the desktop's data folder of a child process.
std::string UnixPath(const std::string &path)
{
    typedef char *(CDECL * ToUnix)(const WCHAR *);
    ToUnix to_unix = (ToUnix)(void *)GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name");
    char *unix_path = to_unix ? to_unix(Wide(path).c_str()) : nullptr;
    std::string result = unix_path ? unix_path : "";
    HeapFree(GetProcessHeap(), 0, unix_path);
    return result;
}

// A copy whose only news is a section the player wrote on the other PC stays, byte for
// byte, and a balloon names it once; its hotkey is not taken up. A copy that adds nothing
// at all goes to the Recycle Bin, keeping its attributes.
TEST(TwoPcs, ACopyWithLinesOfItsOwnStaysAndIsNamedWhileOneThatAddsNothingGoesToTheBin)
{
    TempDir dir;
    const std::string ini = dir.File("Quorvel.ini"), order = std::to_string(Now() + 3000), data = dir.File("data");
    const std::string own = "Quorvel-DESKTOP-1AB2C3D.ini", nothing = "Quorvel.sync-conflict-20261208-115602-Q4KK2FG.ini";
    const std::string own_text = "[SMITH]\r\nNEXT=" + order + "\r\n[HOTKEYS]\r\nSTATUS=Ctrl+Alt+F9\r\n";
    WriteText(ini, "[SMITH]\r\nAVAILABLE=1\r\nNEXT=" + order + "\r\n");
    WriteText(dir.File(own.c_str()), own_text);
    WriteText(dir.File(nothing.c_str()), "[smith]\r\nnext = " + order + "\r\n");
    SetFileAttributesA(dir.File(nothing.c_str()).c_str(), FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(CreateDirectoryA(data.c_str(), nullptr));
    SetEnvironmentVariableA("XDG_DATA_HOME", UnixPath(data).c_str());
    Quorvel app;
    const bool started = app.Start(dir.path);
    SetEnvironmentVariableA("XDG_DATA_HOME", nullptr);
    ASSERT_TRUE(started);
    std::wstring named;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 3000 && (named.empty() || Exists(dir.File(nothing.c_str()))); Sleep(100))
        for (const balloons::Balloon &balloon : balloons::Shown())
            named = balloon.text;
    EXPECT_FALSE(Exists(dir.File(nothing.c_str())));
    EXPECT_EQ(GetFileAttributesA((data + "\\Trash\\files\\" + nothing).c_str()) & FILE_ATTRIBUTE_HIDDEN,
              (DWORD)FILE_ATTRIBUTE_HIDDEN) << "in the bin, hidden as it was";
    EXPECT_EQ(ReadText(dir.File(own.c_str())), own_text);
    EXPECT_EQ(named, Wide(own) + L" holds lines of its own.\nCopy them into Quorvel.ini by hand, then delete the copy.");
    EXPECT_EQ(IniValue(ini, "HOTKEYS", "STATUS"), "<missing>") << "foreign lines are never merged";
    app.Post(WM_COMMAND, IDM_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

}  // namespace
