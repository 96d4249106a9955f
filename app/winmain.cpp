/* Program entry: load the settings, create the hidden main window, run the loop. */
#include <windows.h>
#include <commctrl.h>

#include "app/tray.h"
#include "settings/settings.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    app_instance = instance;
    INITCOMMONCONTROLSEX controls = { sizeof controls, ICC_UPDOWN_CLASS };
    InitCommonControlsEx(&controls);
    /* A second copy on the same file would write its own memory over the first one's
       record: it hands over to the running copy and leaves before reading anything. */
    if (!ClaimSettingsFile()) {
        HandOverToHolder();
        return 0;
    }
    LoadSettings();
    if (!RegisterMainClass(instance))
        return 0;
    HWND window = CreateMainWindow(instance);
    if (!window)
        return 0;
    /* Whatever show command started us, the window stays hidden. */
    ShowWindow(window, SW_HIDE);
    UpdateWindow(window);
    return RunMessageLoop();
}
