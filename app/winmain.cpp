/* Program entry: load the settings, create the hidden main window, run the loop. */
#include <windows.h>
#include <commctrl.h>

#include "app/tray.h"
#include "settings/settings.h"

/* Makes every later load of a library by name (the common controls', the shell's and
   their helpers) look in the system folder only, never in the program's folder or the
   current directory, where a planted copy could wait. The call is looked up, so that
   the program still starts where it is missing; there the current directory at least
   leaves the search. */
static void RestrictLibraryLoads()
{
    typedef BOOL(WINAPI * SetDirectories)(DWORD);
    FARPROC found = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
    /* Through a plain function pointer, which converts to any other without a warning. */
    SetDirectories set_directories = (SetDirectories)(void (*)())found;
    if (set_directories && set_directories(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return;
    SetDllDirectoryW(L"");
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    RestrictLibraryLoads();
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
