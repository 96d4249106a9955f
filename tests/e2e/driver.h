// Starts the real Quorvel.exe in a directory of its own and drives it from outside,
// as the shell and a user would: through its hidden window, its tray icon and its file.
#ifndef QUORVEL_E2E_DRIVER_H
#define QUORVEL_E2E_DRIVER_H

#include <windows.h>

#include <string>

namespace e2e {

// The path of Quorvel.exe under test (the first argument of the test program).
extern std::string exe_path;
// The path of the setup program built from it (the second argument), which may be missing.
extern std::string setup_path;

// A fresh empty directory under the temporary folder; removed with its files by Remove.
struct TempDir {
    std::string path;
    TempDir();
    ~TempDir();
    std::string File(const char *name) const { return path + "\\" + name; }
};

enum Lamp { LAMP_NONE, LAMP_GREEN, LAMP_RED };

class Quorvel {
public:
    ~Quorvel();
    // Starts the program in dir with the given show command; waits for its hidden window.
    // The exe is Quorvel.exe under test unless another copy of the program is named.
    // Both paths are UTF-8, so that they may lie outside the code page.
    bool Start(const std::string &dir, int show = SW_SHOWNORMAL,
               const std::string &exe = exe_path);
    // Starts the program in dir and returns at once, for a copy that may never make a window.
    bool Launch(const std::string &dir, int show = SW_SHOWNORMAL,
                const std::string &exe = exe_path);
    HWND Window() const { return window_; }
    DWORD ProcessId() const { return info_.dwProcessId; }
    HANDLE Process() const { return info_.hProcess; }
    // Sends a message and returns the window procedure's answer (-1 on time-out).
    LRESULT Send(UINT message, WPARAM wparam = 0, LPARAM lparam = 0);
    LRESULT Command(int id) { return Send(WM_COMMAND, id, 0); }
    void Post(UINT message, WPARAM wparam = 0, LPARAM lparam = 0);
    // Waits for the process to end; its exit code, or -1 when it did not end in time.
    long WaitExit(DWORD ms = 10000);
    // Whether the shell still knows the program's tray icon.
    bool TrayIconExists() const;
    // Whether any top-level window of the process is visible (dialogs left aside).
    bool HasVisibleMainWindow() const;
    // A top-level window of the process with this title and dialog class, if shown.
    HWND FindDialog(const char *title) const;
    // Waits up to ms for such a dialog to show.
    HWND WaitForDialog(const char *title, DWORD ms) const;

private:
    PROCESS_INFORMATION info_ = {};
    HWND window_ = nullptr;
};

// The colour of the lamp that the notification area shows now.
Lamp TrayLamp();
// Waits up to ms for the lamp to show the colour; true when it did.
bool WaitForLamp(Lamp lamp, DWORD ms);

// Waits up to ms for the tray menu to show; its window, or nullptr.
HWND WaitForTrayMenu(DWORD ms);

std::string ReadText(const std::string &path);
void WriteText(const std::string &path, const std::string &text);
std::string IniValue(const std::string &path, const char *section, const char *key);
int32_t Now();

}  // namespace e2e

#endif
