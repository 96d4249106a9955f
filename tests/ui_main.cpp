// Entry of the in-process window tests: the program's resources live in this module.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>

#include "app/app.h"

int main(int argc, char **argv)
{
    app_instance = GetModuleHandleA(nullptr);
    INITCOMMONCONTROLSEX controls = { sizeof controls, ICC_UPDOWN_CLASS };
    InitCommonControlsEx(&controls);
    // A run that a test started at another display scaling must really have it, or its
    // passing tests would prove nothing.
    char wanted[16];
    if (GetEnvironmentVariableA("QUORVEL_TEST_DPI", wanted, sizeof wanted)) {
        HDC screen = GetDC(nullptr);
        int dpi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        if (dpi != atoi(wanted)) {
            fprintf(stderr, "started for %s DPI, but the screen has %d\n", wanted, dpi);
            return 2;
        }
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
