// Starts the real Quorvel.exe in a directory of its own and drives it from outside.
#include "e2e/driver.h"

#include <shellapi.h>

#include <ctime>
#include <fstream>
#include <sstream>

#include "scratch.h"

namespace e2e {

std::string exe_path;
std::string setup_path;

TempDir::TempDir() : path(NewTempDir("e2e")) {}

TempDir::~TempDir()
{
    RemoveTree(path);
}

Quorvel::~Quorvel()
{
    if (info_.hProcess) {
        if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(info_.hProcess, 99);
            WaitForSingleObject(info_.hProcess, 5000);
        }
        CloseHandle(info_.hProcess);
        CloseHandle(info_.hThread);
    }
}

struct WindowSearch {
    DWORD process;
    const char *class_name;
    const char *title;
    bool visible_only;
    HWND found;
};

static BOOL CALLBACK MatchWindow(HWND window, LPARAM param)
{
    WindowSearch *search = (WindowSearch *)param;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != search->process)
        return TRUE;
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    if (search->class_name && lstrcmpA(name, search->class_name) != 0)
        return TRUE;
    char title[128] = "";
    GetWindowTextA(window, title, sizeof title);
    if (search->title && lstrcmpA(title, search->title) != 0)
        return TRUE;
    if (search->visible_only && !IsWindowVisible(window))
        return TRUE;
    search->found = window;
    return FALSE;
}

static HWND FindProcessWindow(DWORD process, const char *class_name, const char *title,
                              bool visible_only)
{
    WindowSearch search = { process, class_name, title, visible_only, nullptr };
    EnumWindows(MatchWindow, (LPARAM)&search);
    return search.found;
}

bool Quorvel::Start(const std::string &dir, int show, const std::string &exe)
{
    if (!Launch(dir, show, exe))
        return false;
    for (int i = 0; i < 200 && !window_; i++) {
        window_ = FindProcessWindow(info_.dwProcessId, "Quorvel", "Quorvel", false);
        if (!window_)
            Sleep(25);
    }
    /* The window is listed before its creation has finished: wait for the message loop. */
    WaitForInputIdle(info_.hProcess, 5000);
    return window_ != nullptr;
}

bool Quorvel::Launch(const std::string &dir, int show, const std::string &exe)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = (WORD)show;
    std::wstring command = Wide("\"" + exe + "\"");
    return CreateProcessW(Wide(exe).c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                          Wide(dir).c_str(), &startup, &info_) != FALSE;
}

LRESULT Quorvel::Send(UINT message, WPARAM wparam, LPARAM lparam)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window_, message, wparam, lparam, SMTO_NORMAL, 5000, &result))
        return -1;
    return (LRESULT)result;
}

void Quorvel::Post(UINT message, WPARAM wparam, LPARAM lparam)
{
    PostMessageA(window_, message, wparam, lparam);
}

long Quorvel::WaitExit(DWORD ms)
{
    if (WaitForSingleObject(info_.hProcess, ms) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return (long)code;
}

bool Quorvel::TrayIconExists() const
{
    NOTIFYICONDATAA icon = {};
    icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    icon.hWnd = window_;
    icon.uID = 1;
    return Shell_NotifyIconA(NIM_MODIFY, &icon) != FALSE;
}

bool Quorvel::HasVisibleMainWindow() const
{
    return FindProcessWindow(info_.dwProcessId, "Quorvel", nullptr, true) != nullptr;
}

HWND Quorvel::FindDialog(const char *title) const
{
    return FindProcessWindow(info_.dwProcessId, "#32770", title, true);
}

HWND Quorvel::WaitForDialog(const char *title, DWORD ms) const
{
    for (DWORD waited = 0;; waited += 50) {
        if (HWND dialog = FindDialog(title))
            return dialog;
        if (waited >= ms)
            return nullptr;
        Sleep(50);
    }
}

HWND WaitForTrayMenu(DWORD ms)
{
    for (DWORD waited = 0;; waited += 25) {
        HWND menu = FindWindowA("#32768", nullptr);
        if (menu && IsWindowVisible(menu))
            return menu;
        if (waited >= ms)
            return nullptr;
        Sleep(25);
    }
}

Lamp TrayLamp()
{
    HWND tray = FindWindowA(nullptr, "Wine System Tray");
    RECT area;
    if (!tray || !GetWindowRect(tray, &area))
        return LAMP_NONE;
    int width = area.right - area.left, height = area.bottom - area.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP picture = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, picture);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    int green = 0, red = 0;
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            COLORREF c = GetPixel(memory, x, y);
            if (c == RGB(0, 255, 0))
                green++;
            else if (c == RGB(255, 0, 0))
                red++;
        }
    }
    SelectObject(memory, old);
    DeleteObject(picture);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (green > 20 && red == 0)
        return LAMP_GREEN;
    if (red > 20 && green == 0)
        return LAMP_RED;
    return LAMP_NONE;
}

bool WaitForLamp(Lamp lamp, DWORD ms)
{
    for (DWORD waited = 0;; waited += 50) {
        if (TrayLamp() == lamp)
            return true;
        if (waited >= ms)
            return false;
        Sleep(50);
    }
}

std::string ReadText(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteText(const std::string &path, const std::string &text)
{
    std::ofstream(path, std::ios::binary) << text;
}

std::string IniValue(const std::string &path, const char *section, const char *key)
{
    char value[64];
    GetPrivateProfileStringA(section, key, "<missing>", value, sizeof value, path.c_str());
    return value;
}

int32_t Now()
{
    return (int32_t)time(nullptr);
}

}  // namespace e2e
