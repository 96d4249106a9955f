// The status dialog's test fixture: the dialog opened in-process on a real main window
// and driven from inside its own modal loop, with the helpers that read and press its
// controls as the user's clicks and keys would.
#ifndef QUORVEL_STATUS_FIXTURE_H
#define QUORVEL_STATUS_FIXTURE_H

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/app.h"
#include "dialogs/status.h"
#include "rules/timefmt.h"
#include "res/resource.h"
#include "process_usage.h"
#include "shell_fixture.h"

using Body = std::function<void(HWND dialog)>;

// What the thread timer does once the dialog shows: runs the body, then ends by force
// a dialog that the body left open, so that a fault fails the test instead of hanging it.
struct Script {
    HWND owner = nullptr;
    Body body;
    bool ran = false;
    bool left_open = false;
};

inline Script *run;

inline HWND FindStatusDialog(HWND owner)
{
    HWND found = nullptr;
    while ((found = FindWindowExA(nullptr, found, "#32770", "Quorvel")))
        if (GetWindow(found, GW_OWNER) == owner && IsWindowVisible(found))
            return found;
    return nullptr;
}

inline void CALLBACK Tick(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND dialog = FindStatusDialog(run->owner);
    if (!dialog || run->ran)
        return;
    KillTimer(nullptr, timer);
    run->ran = true;
    run->body(dialog);
    if (IsWindow(dialog) && IsWindowVisible(dialog)) {
        run->left_open = true;
        EndDialog(dialog, 0);
    }
}

// Handles this thread's messages for a while, dialog keys included.
inline void Pump(DWORD ms, HWND dialog = nullptr)
{
    DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (dialog && IsWindow(dialog) && IsDialogMessageA(dialog, &msg))
                continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    } while (GetTickCount() - start < ms);
}

inline std::string Text(HWND dialog, int id)
{
    char text[256] = "";
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

// Waits, handling messages, until a control shows the text; returns what it shows then.
inline std::string WaitForText(HWND dialog, int id, const std::string &wanted, DWORD ms = 500)
{
    DWORD start = GetTickCount();
    while (Text(dialog, id) != wanted && GetTickCount() - start < ms)
        Pump(1);
    return Text(dialog, id);
}

inline bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

// The colour the dialog gives a static control's text.
inline COLORREF TextColour(HWND dialog, int id)
{
    HDC dc = CreateCompatibleDC(nullptr);
    SetTextColor(dc, RGB(1, 2, 3));
    SendMessageA(dialog, WM_CTLCOLORSTATIC, (WPARAM)dc, (LPARAM)GetDlgItem(dialog, id));
    COLORREF colour = GetTextColor(dc);
    DeleteDC(dc);
    return colour;
}

inline void Click(HWND dialog, int id)
{
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id));
}

inline void Key(HWND control, WPARAM key)
{
    SendMessageA(control, WM_KEYDOWN, key, 1);
    SendMessageA(control, WM_KEYUP, key, 0xC0000001);
}

// What the up-down control sends when it proposes a change of delta.
inline void Spin(HWND dialog, int id, int delta)
{
    NMUPDOWN change = {};
    change.hdr.hwndFrom = GetDlgItem(dialog, id);
    change.hdr.idFrom = id;
    change.hdr.code = UDN_DELTAPOS;
    change.iDelta = delta;
    SendMessageA(dialog, WM_NOTIFY, id, (LPARAM)&change);
}

inline std::string LocalTime(int32_t when)
{
    char text[TIME_TEXT_SIZE];
    FormatLocalTime(when, text, sizeof text);
    return text;
}

// Whether a clock text shows this second, or one of the two before it.
inline bool ShowsNow(const std::string &text)
{
    const int32_t now = (int32_t)time(nullptr);
    return text == LocalTime(now) || text == LocalTime(now - 1) || text == LocalTime(now - 2);
}

// Whether a remaining-time text shows a full hour from the moment the craft was set up.
inline bool ShowsAnHour(const std::string &text)
{
    return text == "1:00:00" || text == "0:59:59" || text == "0:59:58";
}

// A window of this thread shown in front of everything, as another program's would be.
struct InFront {
    HWND window = CreateWindowExA(0, "STATIC", "in front", WS_POPUP | WS_VISIBLE, 0, 0, 60, 60,
                                  nullptr, nullptr, nullptr, nullptr);
    ~InFront() { DestroyWindow(window); }
    bool Raise() { return SetForegroundWindow(window) && GetForegroundWindow() == window; }
};

// Text writes that reached subclassed controls; the former procedure is kept as a property.
inline std::map<HWND, int> text_writes;

inline LRESULT CALLBACK CountTextWrites(HWND control, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_SETTEXT)
        text_writes[control]++;
    return CallWindowProcA((WNDPROC)GetPropA(control, "counted"), control, message, wparam, lparam);
}

inline void CountTextWritesTo(HWND control)
{
    text_writes[control] = 0;
    SetPropA(control, "counted",
             (HANDLE)SetWindowLongPtrA(control, GWLP_WNDPROC, (LONG_PTR)CountTextWrites));
}

class StatusDialog : public ShellFixture {
protected:
    Script current;

    // Opens the dialog as the tray does and runs the body inside it; the result is
    // OpenStatusDialog's.
    int Open(Body body)
    {
        current = Script();
        current.owner = window;
        current.body = std::move(body);
        run = &current;
        UINT_PTR timer = SetTimer(nullptr, 0, 10, Tick);
        int result = OpenStatusDialog(window);
        KillTimer(nullptr, timer);
        run = nullptr;
        return result;
    }

    // The body ran and closed the dialog itself.
    void ExpectClosedByBody()
    {
        EXPECT_TRUE(current.ran);
        EXPECT_FALSE(current.left_open);
        EXPECT_EQ(FindStatusDialog(window), nullptr);
    }

    void Track(int k, double skill, int32_t next_time)
    {
        crafts[k].available = 1;
        crafts[k].skill.store(skill);
        crafts[k].next_time = next_time;
    }

    int32_t IniInt(const char *section, const char *key)
    {
        return GetPrivateProfileIntA(section, key, -12345, Ini().c_str());
    }
};

#endif
