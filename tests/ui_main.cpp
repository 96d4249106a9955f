// Entry of the in-process window tests: the program's resources live in this module.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include "app/app.h"

int main(int argc, char **argv)
{
    app_instance = GetModuleHandleA(nullptr);
    INITCOMMONCONTROLSEX controls = { sizeof controls, ICC_UPDOWN_CLASS };
    InitCommonControlsEx(&controls);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
