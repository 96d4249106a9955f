// The lamp's notifications and menu end to end: a pick in the real tray menu, Enter, the
// menu key and access keys in both layouts of the notifications, and the mouse events
// that do nothing.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include "e2e/driver.h"
#include "res/resource.h"

using namespace e2e;

namespace {

TEST(Shell, AChoiceInTheRealTrayMenuArrivesAsItsCommand)
{
    TempDir dir;
    WriteText(dir.File("Quorvel.ini"), "[SMITH]\r\nAVAILABLE=1\r\n[TAILOR]\r\nAVAILABLE=1\r\n");
    Quorvel app;
    ASSERT_TRUE(app.Start(dir.path));
    app.Post(WM_TRAYNOTIFY, 1, WM_RBUTTONUP);
    HWND menu = WaitForTrayMenu(5000);
    ASSERT_NE(menu, nullptr);
    // Down reaches "Status...", then skips the separator to "Received Blacksmith BOD".
    for (WPARAM key : { VK_DOWN, VK_DOWN, VK_RETURN })
        PostMessageA(menu, WM_KEYDOWN, key, 0);
    for (int i = 0; i < 100 && IniValue(dir.File("Quorvel.ini"), "SMITH", "NEXT") == "<missing>"; i++)
        Sleep(50);
    EXPECT_NE(IniValue(dir.File("Quorvel.ini"), "SMITH", "NEXT"), "<missing>");
    app.Post(WM_COMMAND, IDM_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

// Enter, the menu key and a right click arrive with the event and icon in lParam, an anchor in wParam.
TEST(Shell, EnterTheMenuKeyAndAccessKeysReachTheDialogAndTheMenuInBothLayouts)
{
    TempDir dir;
    Quorvel app;
    ASSERT_TRUE(app.Start(dir.path));
    auto close_the_only_dialog = [&](HWND dialog) {
        ASSERT_NE(dialog, nullptr);
        PostMessageA(dialog, WM_CLOSE, 0, 0);
        for (int i = 0; i < 100 && (IsWindow(dialog) || i < 15); i++)
            Sleep(20);
        EXPECT_EQ(app.FindDialog("Quorvel"), nullptr) << "one dialog";
    };
    const WPARAM anchor = MAKEWPARAM(400, 300);
    for (int enter = 0; enter < 2; enter++)
        app.Post(WM_TRAYNOTIFY, anchor, MAKELPARAM(NIN_KEYSELECT, 1));
    close_the_only_dialog(app.WaitForDialog("Quorvel", 3000));
    // A right click sends the release, then the menu key's request: one menu, at the anchor.
    app.Post(WM_TRAYNOTIFY, anchor, MAKELPARAM(WM_RBUTTONUP, 1));
    app.Post(WM_TRAYNOTIFY, anchor, MAKELPARAM(WM_CONTEXTMENU, 1));
    HWND menu = WaitForTrayMenu(3000);
    RECT place = {};
    GetWindowRect(menu, &place);
    EXPECT_TRUE(place.right == 400 && place.bottom == 300) << "at the anchor, not at the pointer";
    PostMessageA(menu, WM_CHAR, 's', 0);  // "&Status..."
    close_the_only_dialog(app.WaitForDialog("Quorvel", 3000));
    app.Post(WM_TRAYNOTIFY, 1, WM_LBUTTONDBLCLK);
    close_the_only_dialog(app.WaitForDialog("Quorvel", 3000));
    app.Post(WM_COMMAND, IDM_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

TEST(Shell, MouseEventsOtherThanDoubleClickAndRightClickDoNothing)
{
    TempDir dir;
    Quorvel app;
    ASSERT_TRUE(app.Start(dir.path));
    for (LPARAM mouse : { WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN })
        app.Send(WM_TRAYNOTIFY, 1, mouse);
    // In the newer layout, a single click, and a right-button release that waits for its menu request.
    for (WORD event : { NIN_SELECT, WM_MOUSEMOVE, WM_RBUTTONUP })
        app.Send(WM_TRAYNOTIFY, MAKEWPARAM(10, 10), MAKELPARAM(event, 1));
    EXPECT_EQ(WaitForTrayMenu(0), nullptr);
    EXPECT_FALSE(app.HasVisibleMainWindow());
    EXPECT_EQ(app.FindDialog(nullptr), nullptr);
    EXPECT_EQ(app.Command(40099), 1);
    app.Post(WM_COMMAND, IDM_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

}  // namespace
