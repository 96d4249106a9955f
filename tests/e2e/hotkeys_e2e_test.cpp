// Hotkeys of the settings file end to end: set in the running program's file, pressed
// from another process as a keyboard would, held first by another process, let go.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "e2e/balloons.h"
#include "e2e/driver.h"
#include "res/resource.h"

using namespace e2e;

namespace {

// Presses a combination as a keyboard does: the modifiers and the key down, then up in
// the opposite order.
void Press(std::initializer_list<WORD> modifiers, WORD key)
{
    std::vector<WORD> keys(modifiers);
    keys.push_back(key);
    std::vector<INPUT> inputs(2 * keys.size());
    for (size_t i = 0, last = inputs.size() - 1; i < keys.size(); i++) {
        inputs[i].type = inputs[last - i].type = INPUT_KEYBOARD;
        inputs[i].ki.wVk = inputs[last - i].ki.wVk = keys[i];
        inputs[last - i].ki.dwFlags = KEYEVENTF_KEYUP;
    }
    SendInput((UINT)inputs.size(), inputs.data(), sizeof(INPUT));
}

// Presses a combination every 100 ms until the file's value changes; the milliseconds
// that took, or -1 after 5 s.
long PressUntilChanged(std::initializer_list<WORD> modifiers, WORD key, const std::string &ini,
                       const char *section, const char *name)
{
    const std::string was = IniValue(ini, section, name);
    for (DWORD started = GetTickCount(); GetTickCount() - started < 5000;) {
        Press(modifiers, key);
        Sleep(100);
        if (IniValue(ini, section, name) != was)
            return (long)(GetTickCount() - started);
    }
    return -1;
}

TEST(Hotkeys, ASectionWrittenIntoTheRunningProgramsFileActsAsTheMenuAndRemovedLetsGo)
{
    TempDir dir;
    const std::string ini = dir.File("Quorvel.ini");
    const std::string crafts = "[SMITH]\r\nAVAILABLE=1\r\nNEXT=" + std::to_string(Now() - 60) + "\r\n"
                               "[TAILOR]\r\nAVAILABLE=0\r\n";
    WriteText(ini, crafts);
    Quorvel app;
    ASSERT_TRUE(app.Start(dir.path));
    ASSERT_TRUE(WaitForLamp(LAMP_RED, 3000));

    WriteText(ini, crafts + "[HOTKEYS]\r\nRECEIVED_SMITH = Ctrl+Alt+B\r\nRECEIVED_TAILOR = ctrl + alt + t\r\n"
                            "STATUS = Win+Shift+F5\r\n");
    const int32_t before = Now();
    long took = PressUntilChanged({ VK_CONTROL, VK_MENU }, 'B', ini, "SMITH", "NEXT");
    ASSERT_GE(took, 0) << "the press never received the order";
    printf("hotkeys: the order was received %ld ms after the file set its hotkey\n", took);
    EXPECT_GE(std::stol(IniValue(ini, "SMITH", "NEXT")), before + 3600);
    EXPECT_TRUE(WaitForLamp(LAMP_GREEN, 2000)) << "the lamp follows, as after the menu's item";
    Press({ VK_CONTROL, VK_MENU }, 'T');
    Press({ VK_LWIN, VK_SHIFT }, VK_F5);
    HWND dialog = app.WaitForDialog("Quorvel", 3000);
    ASSERT_NE(dialog, nullptr) << "the hotkey opens the status dialog";
    EXPECT_EQ(IniValue(ini, "TAILOR", "NEXT"), "0") << "an untracked craft receives nothing";
    EXPECT_EQ(IniValue(ini, "HOTKEYS", "RECEIVED_TAILOR"), "ctrl + alt + t") << "the section is kept as written";
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    for (int i = 0; i < 100 && IsWindow(dialog); i++)
        Sleep(20);

    WriteText(ini, "[SMITH]\r\nAVAILABLE=1\r\n");
    const DWORD written = GetTickCount();
    while (!RegisterHotKey(nullptr, 2, MOD_CONTROL | MOD_ALT, 'B') && GetTickCount() - written < 5000)
        Sleep(50);
    ASSERT_TRUE(UnregisterHotKey(nullptr, 2)) << "the combination was never let go";
    printf("hotkeys: the combination was let go %lu ms after the section was removed\n", GetTickCount() - written);
    app.Post(WM_COMMAND, IDM_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

TEST(Hotkeys, ACombinationHeldElsewhereATwinAndAValueThatIsNoneAreNamedInOneBalloonAndTheOthersWork)
{
    ASSERT_TRUE(RegisterHotKey(nullptr, 1, MOD_CONTROL | MOD_ALT, 'B'));
    TempDir dir;
    const std::string ini = dir.File("Quorvel.ini");
    WriteText(ini, "[SMITH]\r\nAVAILABLE=1\r\n[TAILOR]\r\nAVAILABLE=1\r\n[HOTKEYS]\r\nRECEIVED_SMITH=Ctrl+Alt+B\r\n"
                   "RECEIVED_TAILOR=Ctrl+Alt+T\r\nUPSKILL_SMITH=Ctrl+Alt+\r\nUPSKILL_TAILOR=\r\nSTATUS=alt+CTRL+t\r\n");
    Quorvel app;
    ASSERT_TRUE(app.Start(dir.path));
    const std::wstring report = L"Ctrl+Alt+B is in use by another program; choose another for RECEIVED_SMITH in Quorvel.ini\n"
                                L"UPSKILL_SMITH = Ctrl+Alt+ is not a key combination\n"
                                L"STATUS = alt+CTRL+t is already set for RECEIVED_TAILOR";
    HWND balloon = balloons::WaitFor(report, 5000);
    EXPECT_NE(balloon, nullptr);

    EXPECT_GE(PressUntilChanged({ VK_CONTROL, VK_MENU }, 'T', ini, "TAILOR", "NEXT"), 0) << "the others work";
    EXPECT_EQ(IniValue(ini, "SMITH", "NEXT"), "0");
    Sleep(1000);
    EXPECT_TRUE(balloons::StillShown(balloon, report)) << "the save's look at the unchanged section shows it again";
    UnregisterHotKey(nullptr, 1);
    EXPECT_GE(PressUntilChanged({ VK_CONTROL, VK_MENU }, 'T', ini, "TAILOR", "NEXT"), 0);
    EXPECT_GE(PressUntilChanged({ VK_CONTROL, VK_MENU }, 'B', ini, "SMITH", "NEXT"), 0)
        << "a combination let go is taken up at the look after the next save";
    app.Post(WM_COMMAND, IDM_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

}  // namespace
