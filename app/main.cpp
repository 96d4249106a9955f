#include <windows.h>
#include "settings/settings.h"
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    LoadSettings();
    SaveSettings();
    return 0;
}
