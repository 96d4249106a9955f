/* One running copy per settings file. A copy claims its file with a named mutex before
   it reads it; a later copy started on the same file asks the holder to open its status
   dialog and leaves without touching the file. */
#include "app/tray.h"

#include <cstdint>

#include "res/resource.h"
#include "settings/settings.h"

enum { HANDOVER_WAIT_MS = 2000, HANDOVER_RETRY_MS = 100, HANDOVER_DONE = 1 };

/* The claim this copy holds for its whole life (0 when it holds none), the key of the
   file it stands for, and the message by which a later copy reaches the holder. */
static HANDLE claim;
static uint64_t claim_key;
static UINT handover_message;

/* A key for the settings file that ignores letter case: FNV-1a over the upper-cased
   full path, as the file system compares names without regard to case. */
static uint64_t SettingsKey(wchar_t *path)
{
    CharUpperBuffW(path, lstrlenW(path));
    uint64_t key = 14695981039346656037ull;
    for (const wchar_t *c = path; *c; c++)
        key = (key ^ (uint16_t)*c) * 1099511628211ull;
    return key;
}

/* Claims the settings file of the current directory. Returns 0 only when another
   running copy holds it; with no usable path there is nothing to claim and the copy
   runs on its own, in memory. A claim whose holder died is taken over. */
int ClaimSettingsFile()
{
    handover_message = RegisterWindowMessageW(L"Quorvel.HandOver");
    wchar_t path[SETTINGS_PATH_MAX + 1];
    if (!SettingsPath(path, SETTINGS_PATH_MAX + 1))
        return 1;
    claim_key = SettingsKey(path);
    wchar_t name[64];
    wsprintfW(name, L"Local\\Quorvel.%08lX%08lX", (unsigned long)(claim_key >> 32),
              (unsigned long)claim_key);
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name);
    if (!mutex)
        return 1;
    DWORD got = WaitForSingleObject(mutex, 0);
    if (got == WAIT_OBJECT_0 || got == WAIT_ABANDONED) {
        claim = mutex;
        return 1;
    }
    CloseHandle(mutex);
    return 0;
}

/* Asks the copy that holds the claim to open its status dialog, letting it take the
   foreground. The holder may still be starting or may hang: try for about two seconds,
   then give up. Returns 1 when the holder took the request. */
int HandOverToHolder()
{
    DWORD start = GetTickCount();
    for (;;) {
        for (HWND window = FindWindowExW(nullptr, nullptr, L"Quorvel", nullptr); window;
             window = FindWindowExW(nullptr, window, L"Quorvel", nullptr)) {
            DWORD spent = GetTickCount() - start;
            if (spent >= HANDOVER_WAIT_MS)
                return 0;
            DWORD holder = 0;
            GetWindowThreadProcessId(window, &holder);
            AllowSetForegroundWindow(holder);
            DWORD_PTR answer = 0;
            if (SendMessageTimeoutW(window, handover_message, (WPARAM)(uint32_t)claim_key,
                                    (LPARAM)(uint32_t)(claim_key >> 32), SMTO_ABORTIFHUNG,
                                    HANDOVER_WAIT_MS - spent, &answer)
                && answer == HANDOVER_DONE)
                return 1;
        }
        if (GetTickCount() - start >= HANDOVER_WAIT_MS)
            return 0;
        Sleep(HANDOVER_RETRY_MS);
    }
}

/* The holder's side: a request that names this copy's own file opens the status
   dialog as a double-click on the lamp would. The dialog is modal, so it is posted,
   and the sender gets its answer at once. Requests for other files, and any request
   while this copy holds no claim, are not answered. */
int AnswerHandOver(HWND window, UINT message, WPARAM wparam, LPARAM lparam, LRESULT *answer)
{
    if (message != handover_message || handover_message == 0)
        return 0;
    *answer = 0;
    if (claim && (uint32_t)wparam == (uint32_t)claim_key
        && (uint32_t)lparam == (uint32_t)(claim_key >> 32)) {
        PostMessageW(window, WM_TRAYNOTIFY, 1, WM_LBUTTONDBLCLK);
        *answer = HANDOVER_DONE;
    }
    return 1;
}
