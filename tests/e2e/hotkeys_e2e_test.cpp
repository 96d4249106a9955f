// Hotkeys of the settings file end to end: set in the running program's file, pressed
// from another process as a keyboard would, held first by another process, and let go
// when the section is removed.
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

// Presses a combination as a keyboard does, from this process: the modifiers down, the
// key down and up, the modifiers up again.
void Press(std::initializer_list<WORD> modifiers, WORD key)
{
    std::vector<INPUT> inputs;
    auto add = [&](WORD code, DWORD flags) {
        INPUT input = {};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = code;
        input.ki.dwFlags = flags;
        inputs.push_back(input);
    };
    for (WORD modifier : modifiers)
        add(modifier, 0);
    add(key, 0);
    add(key, KEYEVENTF_KEYUP);
    for (auto modifier = modifiers.end(); modifier != modifiers.begin();)
        add(*--modifier, KEYEVENTF_KEYUP);
    SendInput((UINT)inputs.size(), inputs.data(), sizeof(INPUT));
}

// Presses a combination every 100 ms until the key's value in the file changes from
// what it was; the milliseconds that took, or -1 after ms.
long PressUntilChanged(std::initializer_list<WORD> modifiers, WORD key, const std::string &ini,
                       const char *section, const char *name, DWORD ms)
{
    const std::string was = IniValue(ini, section, name);
    const DWORD started = GetTickCount();
    while (GetTickCount() - started < ms) {
        Press(modifiers, key);
        Sleep(100);
        if (IniValue(ini, section, name) != was)
            return (long)(GetTickCount() - started);
    }
    return -1;
}

TEST(Hotkeys, AHotkeyWrittenIntoTheRunningProgramsFileReceivesAnOrderAndAnUntrackedCraftsDoesNothing)
{
    TempDir dir;
    const std::string ini = dir.File("Quorvel.ini");
    const std::string crafts = "[SMITH]\r\nAVAILABLE=1\r\nSKILL=50.0\r\nNEXT=" + std::to_string(Now() - 60)
                             + "\r\n[TAILOR]\r\nAVAILABLE=0\r\n";
    WriteText(ini, crafts);
    Quorvel app;
    ASSERT_TRUE(app.Start(dir.path));
    ASSERT_TRUE(WaitForLamp(LAMP_RED, 3000));

    WriteText(ini, crafts + "[HOTKEYS]\r\nRECEIVED_SMITH = Ctrl+Alt+B\r\nRECEIVED_TAILOR = ctrl + alt + t\r\n");
    const int32_t before = Now();
    long took = PressUntilChanged({ VK_CONTROL, VK_MENU }, 'B', ini, "SMITH", "NEXT", 5000);
    ASSERT_GE(took, 0) << "the press never received the order";
    printf("hotkeys: the order was received %ld ms after the file set its hotkey\n", took);
    const int32_t next = std::stol(IniValue(ini, "SMITH", "NEXT"));
    EXPECT_GE(next, before + 3600);
    EXPECT_LE(next, Now() + 3600);
    EXPECT_TRUE(WaitForLamp(LAMP_GREEN, 2000)) << "the lamp follows, as after the menu's item";

    Press({ VK_CONTROL, VK_MENU }, 'T');
    Sleep(500);
    EXPECT_EQ(IniValue(ini, "TAILOR", "NEXT"), "0") << "an untracked craft receives nothing";
    EXPECT_EQ(IniValue(ini, "HOTKEYS", "RECEIVED_TAILOR"), "ctrl + alt + t") << "the section is kept as written";
    app.Post(WM_COMMAND, IDM_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

TEST(Hotkeys, ACombinationHeldElsewhereATwinAndAValueThatIsNoneAreNamedInOneBalloonAndTheOthersWork)
{
    ASSERT_TRUE(RegisterHotKey(nullptr, 1, MOD_CONTROL | MOD_ALT, 'B'));
    TempDir dir;
    const std::string ini = dir.File("Quorvel.ini");
    WriteText(ini, "[SMITH]\r\nAVAILABLE=1\r\n[TAILOR]\r\nAVAILABLE=1\r\n[HOTKEYS]\r\n"
                   "RECEIVED_SMITH=Ctrl+Alt+B\r\nRECEIVED_TAILOR=Ctrl+Alt+T\r\nUPSKILL_SMITH=Ctrl+Alt+\r\n"
                   "UPSKILL_TAILOR=\r\nSTATUS=alt+CTRL+t\r\n");
    Quorvel app;
    ASSERT_TRUE(app.Start(dir.path));
    const std::wstring report = L"Ctrl+Alt+B is in use by another program; choose another for RECEIVED_SMITH in Quorvel.ini\n"
                                L"UPSKILL_SMITH = Ctrl+Alt+ is not a key combination\n"
                                L"STATUS = alt+CTRL+t is already set for RECEIVED_TAILOR";
    HWND balloon = balloons::WaitFor(report, 5000);
    EXPECT_NE(balloon, nullptr);

    EXPECT_GE(PressUntilChanged({ VK_CONTROL, VK_MENU }, 'T', ini, "TAILOR", "NEXT", 3000), 0)
        << "the other hotkeys work";
    Press({ VK_CONTROL, VK_MENU }, 'B');
    MSG pressed = {};
    for (int i = 0; i < 20 && !PeekMessageA(&pressed, nullptr, WM_HOTKEY, WM_HOTKEY, PM_REMOVE); i++)
        Sleep(50);
    EXPECT_EQ(pressed.message, (UINT)WM_HOTKEY) << "the combination stays with the program that held it";
    EXPECT_EQ(IniValue(ini, "SMITH", "NEXT"), "0");
    Sleep(1000);
    EXPECT_TRUE(balloons::StillShown(balloon, report)) << "the save's look at the unchanged section shows it again";
    EXPECT_EQ(app.FindDialog("Quorvel"), nullptr) << "the twin opens no status dialog";
    UnregisterHotKey(nullptr, 1);
    app.Post(WM_COMMAND, IDM_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

TEST(Hotkeys, RemovingTheSectionLetsTheCombinationGo)
{
    TempDir dir;
    const std::string ini = dir.File("Quorvel.ini");
    WriteText(ini, "[HOTKEYS]\r\nSTATUS = Win+Shift+F5\r\n");
    Quorvel app;
    ASSERT_TRUE(app.Start(dir.path));
    HWND dialog = nullptr;
    for (int i = 0; i < 30 && !dialog; i++) {
        Press({ VK_LWIN, VK_SHIFT }, VK_F5);
        dialog = app.WaitForDialog("Quorvel", 100);
    }
    ASSERT_NE(dialog, nullptr) << "the hotkey opens the status dialog";
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    for (int i = 0; i < 100 && IsWindow(dialog); i++)
        Sleep(20);

    WriteText(ini, "[SMITH]\r\nAVAILABLE=1\r\n");
    const DWORD written = GetTickCount();
    bool free = false;
    while (!free && GetTickCount() - written < 5000) {
        free = RegisterHotKey(nullptr, 2, MOD_WIN | MOD_SHIFT, VK_F5) != FALSE;
        if (!free)
            Sleep(50);
    }
    ASSERT_TRUE(free) << "the combination was never let go";
    printf("hotkeys: the combination was let go %lu ms after the section was removed\n",
           GetTickCount() - written);
    UnregisterHotKey(nullptr, 2);
    app.Post(WM_COMMAND, IDM_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

}  // namespace
