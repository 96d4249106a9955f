/* Measures from the Windows side what the bench script cannot see from Linux:
     benchtool startup EXE CLASS RUNS    milliseconds from process creation to tray icon
     benchtool post CLASS TITLE MSG WPARAM LPARAM    posts one message to a window */
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

struct Search {
    DWORD process;
    const char *class_name;
    HWND found;
};

/* Picks the window of the wanted class that belongs to the wanted process. */
static BOOL CALLBACK MatchWindow(HWND window, LPARAM param)
{
    Search *search = (Search *)param;
    DWORD process = 0;
    char name[64] = "";
    GetWindowThreadProcessId(window, &process);
    GetClassNameA(window, name, sizeof name);
    if (process == search->process && lstrcmpA(name, search->class_name) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

/* Whether the shell shows an icon with id 1 for the window. */
static bool TrayIconExists(HWND window)
{
    NOTIFYICONDATAA icon = {};
    icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    icon.hWnd = window;
    icon.uID = 1;
    return Shell_NotifyIconA(NIM_MODIFY, &icon) != FALSE;
}

/* One start: the milliseconds until the tray icon exists, or -1. */
static double TimeOneStart(const char *exe, const char *class_name)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string dir = std::string(temp) + "qv_bench_" + std::to_string(GetTickCount());
    CreateDirectoryA(dir.c_str(), nullptr);
    STARTUPINFOA startup = { sizeof startup };
    PROCESS_INFORMATION info;
    std::string command = std::string("\"") + exe + "\"";
    LARGE_INTEGER frequency, begin, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&begin);
    if (!CreateProcessA(exe, &command[0], nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &startup, &info))
        return -1;
    Search search = { info.dwProcessId, class_name, nullptr };
    double ms = -1;
    for (int i = 0; i < 20000; i++) {
        if (!search.found)
            EnumWindows(MatchWindow, (LPARAM)&search);
        if (search.found && TrayIconExists(search.found)) {
            QueryPerformanceCounter(&end);
            ms = (end.QuadPart - begin.QuadPart) * 1000.0 / frequency.QuadPart;
            break;
        }
        Sleep(0);
    }
    if (search.found)
        PostMessageA(search.found, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(info.hProcess, 5000) != WAIT_OBJECT_0)
        TerminateProcess(info.hProcess, 1);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    DeleteFileA((dir + "\\Quorvel.ini").c_str());
    RemoveDirectoryA(dir.c_str());
    return ms;
}

int main(int argc, char **argv)
{
    if (argc == 5 && std::string(argv[1]) == "startup") {
        std::vector<double> times;
        for (int run = 0; run < atoi(argv[4]); run++)
            times.push_back(TimeOneStart(argv[2], argv[3]));
        std::sort(times.begin(), times.end());
        printf("%.1f %.1f %.1f\n", times.front(), times[times.size() / 2], times.back());
        return times.front() < 0;
    }
    if (argc == 7 && std::string(argv[1]) == "post") {
        HWND window = FindWindowA(argv[2], argv[3][0] ? argv[3] : nullptr);
        if (!window)
            return 1;
        return !PostMessageA(window, strtoul(argv[4], nullptr, 0), strtoul(argv[5], nullptr, 0),
                             strtol(argv[6], nullptr, 0));
    }
    fprintf(stderr, "usage: benchtool startup EXE CLASS RUNS | post CLASS TITLE MSG WPARAM LPARAM\n");
    return 2;
}
