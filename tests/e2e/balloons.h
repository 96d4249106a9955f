// The balloons that the notification area shows now, read from outside. Wine's tray
// keeps them in tooltip windows of its own process (with the balloon style, visible
// while shown); their texts are read through a buffer allocated in that process.
#ifndef QUORVEL_E2E_BALLOONS_H
#define QUORVEL_E2E_BALLOONS_H

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

namespace balloons {

struct Balloon {
    HWND window;
    std::wstring text;
};

struct TooltipSearch {
    DWORD process;
    std::vector<HWND> found;
};

inline BOOL CALLBACK MatchTooltip(HWND window, LPARAM param)
{
    TooltipSearch *search = (TooltipSearch *)param;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char name[32] = "";
    GetClassNameA(window, name, sizeof name);
    if (process == search->process && lstrcmpiA(name, TOOLTIPS_CLASSA) == 0
        && (GetWindowLongA(window, GWL_STYLE) & TTS_BALLOON) && IsWindowVisible(window))
        search->found.push_back(window);
    return TRUE;
}

// The text of a tooltip window's first tool, copied out of the tray's process.
inline std::wstring ToolText(HANDLE process, HWND tooltip)
{
    const SIZE_T text_size = 2048;
    BYTE *remote = (BYTE *)VirtualAllocEx(process, nullptr, sizeof(TTTOOLINFOW) + text_size,
                                          MEM_COMMIT, PAGE_READWRITE);
    if (!remote)
        return L"";
    std::wstring text;
    TTTOOLINFOW tool = {};
    tool.cbSize = sizeof tool;
    tool.lpszText = (LPWSTR)(remote + sizeof tool);
    WCHAR buffer[1024] = L"";
    if (SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0) > 0
        && WriteProcessMemory(process, remote, &tool, sizeof tool, nullptr)
        && WriteProcessMemory(process, remote + sizeof tool, buffer, sizeof buffer, nullptr)
        && SendMessageW(tooltip, TTM_ENUMTOOLSW, 0, (LPARAM)remote)
        && ReadProcessMemory(process, remote + sizeof tool, buffer, sizeof buffer, nullptr)) {
        buffer[1023] = 0;
        text = buffer;
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    return text;
}

// The balloons shown now, with their texts.
inline std::vector<Balloon> Shown()
{
    std::vector<Balloon> shown;
    HWND tray = FindWindowA(nullptr, "Wine System Tray");
    TooltipSearch search = {};
    if (!tray || !GetWindowThreadProcessId(tray, &search.process))
        return shown;
    EnumWindows(MatchTooltip, (LPARAM)&search);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                                 search.process);
    if (!process)
        return shown;
    for (HWND window : search.found)
        shown.push_back(Balloon{ window, ToolText(process, window) });
    CloseHandle(process);
    return shown;
}

// Waits up to ms for a balloon with this text other than the one given; its window, or
// nullptr when none showed.
inline HWND WaitFor(const std::wstring &text, DWORD ms, HWND other = nullptr)
{
    for (DWORD waited = 0;; waited += 100) {
        for (const Balloon &balloon : Shown())
            if (balloon.text == text && balloon.window != other)
                return balloon.window;
        if (waited >= ms)
            return nullptr;
        Sleep(100);
    }
}

// Whether this balloon is still shown, with its text.
inline bool StillShown(HWND window, const std::wstring &text)
{
    for (const Balloon &balloon : Shown())
        if (balloon.window == window && balloon.text == text)
            return true;
    return false;
}

}  // namespace balloons

#endif
