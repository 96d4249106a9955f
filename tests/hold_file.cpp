// A second process that holds a file the way a backup or sync tool may: open with no
// sharing, so that nobody else can read or write it until it lets go.
//   hold_file <path> <ready event> <release event> [delete | <milliseconds>]
// Opens <path>, signals <ready event>, waits for <release event> (or, given a number of
// milliseconds, lets go by itself that long after signalling), closes the file and, with
// "delete", removes it. Exit code 0 when the file was held, 2 when it could not be.
#include <windows.h>

#include <cstdlib>
#include <cstring>

int main(int argc, char **argv)
{
    if (argc < 4)
        return 1;
    HANDLE file = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 2;
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]);
    HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, argv[3]);
    if (!ready || !release)
        return 1;
    // Never outlive a test that has died: let go after a minute whatever happens.
    DWORD hold_ms = 60000;
    if (argc > 4 && argv[4][0] >= '0' && argv[4][0] <= '9')
        hold_ms = strtoul(argv[4], nullptr, 10);
    SetEvent(ready);
    WaitForSingleObject(release, hold_ms);
    CloseHandle(file);
    if (argc > 4 && strcmp(argv[4], "delete") == 0)
        DeleteFileA(argv[1]);
    return 0;
}
