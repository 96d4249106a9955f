// Threads and open handles of a process, for the tests that look for leaks.
#ifndef QUORVEL_PROCESS_USAGE_H
#define QUORVEL_PROCESS_USAGE_H

#include <windows.h>
#include <tlhelp32.h>

inline int ThreadCount(DWORD process_id)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == process_id;
    CloseHandle(snapshot);
    return count;
}

// Counts a process's open handles by trying to copy every handle value its table can
// hold. GetProcessHandleCount answers 0 under Wine, so it cannot be used for this.
inline int HandleCount(HANDLE process)
{
    int count = 0;
    for (UINT_PTR value = 4; value < 4 * 8192; value += 4) {
        HANDLE copy = nullptr;
        if (DuplicateHandle(process, (HANDLE)value, GetCurrentProcess(), &copy, 0, FALSE,
                            DUPLICATE_SAME_ACCESS)) {
            CloseHandle(copy);
            count++;
        }
    }
    return count;
}

#endif
