/* Libraries the program calls into without importing them, taken from the system
   folder alone: an imported library that Windows does not always take from there would
   be looked for in the program's folder first, where anyone who can write there could
   plant one. */
#include "app/app.h"

#include <mmsystem.h>

#include <cstring>

enum { SYSTEM_PATH_SIZE = 260 };

/* PlaySound, taken at the first sound; tried once. Whether the last sound started was a
   file's (the alert's), which a stop may cut short: any other sound started since has
   taken its place already and is left to play. */
static decltype(&PlaySoundW) play_sound;
static int play_sound_tried;
static int file_sounding;

/* Loads a library (its file name, such as L"version.dll") from the system folder. Where
   the search flag is refused (Windows 7 without its loader update), the full path names
   the system folder, and the altered search looks for the library's own imports there
   too. Null when it cannot be loaded. */
HMODULE LoadSystemLibrary(const wchar_t *name)
{
    HMODULE library = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (library)
        return library;
    wchar_t path[SYSTEM_PATH_SIZE];
    UINT length = GetSystemDirectoryW(path, SYSTEM_PATH_SIZE);
    size_t name_length = wcslen(name);
    if (length == 0 || length + 1 + name_length + 1 > SYSTEM_PATH_SIZE)
        return nullptr;
    path[length] = L'\\';
    memcpy(path + length + 1, name, (name_length + 1) * sizeof *name);
    return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

/* Plays a sound through PlaySound from the system folder's winmm.dll, which the program
   does not import. Returns 1 when PlaySound took it. */
int PlaySystemSound(const wchar_t *sound, DWORD flags)
{
    if (!play_sound_tried) {
        play_sound_tried = 1;
        HMODULE winmm = LoadSystemLibrary(L"winmm.dll");
        /* Through a plain function pointer, which converts to any other without a warning. */
        typedef void (*AnyCall)();
        if (winmm)
            play_sound = (decltype(play_sound))(AnyCall)GetProcAddress(winmm, "PlaySoundW");
    }
    int played = play_sound && play_sound(sound, nullptr, flags);
    file_sounding = played && (flags & SND_FILENAME);
    return played;
}

/* Stops a file's sound that may still be playing; any other sound plays on. */
void StopFileSound()
{
    if (file_sounding)
        play_sound(nullptr, nullptr, 0);
    file_sounding = 0;
}
