// A process that saves the settings over and over, to be killed in the middle of a save.
//   save_loop <ready event>
// Loads the record in its current directory, signals <ready event>, then saves with a new
// order time and dialog position each round until it is killed (or a minute has passed,
// so that it never outlives a test that has died).
#include <windows.h>

#include "model/craft.h"
#include "settings/settings.h"

int main(int argc, char **argv)
{
    if (argc < 2)
        return 1;
    LoadSettings();
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[1]);
    if (!ready)
        return 1;
    SetEvent(ready);
    const DWORD start = GetTickCount();
    for (int32_t round = 1; GetTickCount() - start < 60000; round++) {
        crafts[0].next_time = 1800000000 + round;
        crafts[1].next_time = 1900000000 + round;
        StatusPosition.x = round;
        SaveSettings();
    }
    return 0;
}
