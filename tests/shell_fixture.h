// A main window created as start-up creates it, in a fresh current directory with no
// settings file, and crafts reset to untracked, 50.0, never scheduled.
#ifndef QUORVEL_SHELL_FIXTURE_H
#define QUORVEL_SHELL_FIXTURE_H

#include <gtest/gtest.h>
#include <windows.h>

#include <ctime>
#include <string>

#include "app/tray.h"
#include "model/craft.h"
#include "settings/settings.h"
#include "scratch.h"

class ShellFixture : public ::testing::Test {
protected:
    HWND window = nullptr;
    ScratchDir scratch;
    std::string dir;

    void SetUp() override
    {
        ASSERT_TRUE(scratch.Enter("shell"));
        dir = scratch.path;
        for (CraftTimer &craft : crafts) {
            craft.available = 0;
            craft.skill.store(50.0);
            craft.next_time = 0;
            craft.alerted = 0;
        }
        StatusPosition = ScreenPoint{ 0, 0 };
        static bool registered = RegisterMainClass(app_instance) != 0;
        ASSERT_TRUE(registered);
        window = CreateMainWindow(app_instance);
        ASSERT_NE(window, nullptr) << GetLastError();
    }

    void TearDown() override
    {
        if (IsWindow(window))
            DestroyWindow(window);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            ;
        scratch.Leave();
    }

    std::string Ini() const { return scratch.File("Quorvel.ini"); }

    // A tray picture as the tray loads it: shared, at the small-icon size.
    static HICON Picture(int id)
    {
        return (HICON)LoadImageA(app_instance, MAKEINTRESOURCEA(id), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                 GetSystemMetrics(SM_CYSMICON), LR_SHARED);
    }

    static int32_t Now() { return (int32_t)time(nullptr); }
};

#endif
