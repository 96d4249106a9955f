/* Libraries the program calls into without importing them, taken from the system
   folder alone: an imported library that Windows does not always take from there would
   be looked for in the program's folder first, where anyone who can write there could
   plant one. */
#include "app/app.h"

#include <cstring>

enum { SYSTEM_PATH_SIZE = 260 };

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
