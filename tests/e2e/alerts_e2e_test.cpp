// The [ALERT] section end to end, heard through Wine's trace of the running programs:
// the player's WAV file played when an order comes due and again a minute later, and a
// file that is no WAV reported in a balloon, with the beep instead and no reminder once
// the status dialog was opened. Run by tests/e2e/traced.sh, which puts the trace of the
// programs this test starts into the file named by QUORVEL_TRACE; Wine writes it to the
// standard error they inherit, which only a wrapper outside Wine can redirect.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "e2e/balloons.h"
#include "e2e/driver.h"
#include "res/resource.h"
#include "scratch.h"

using namespace e2e;

namespace {

const char RELAY_KEY[] = "Software\\Wine\\Debug";

// The lines of the trace that hold both texts.
std::vector<std::string> Lines(const std::string &trace, const std::string &a, const std::string &b)
{
    std::vector<std::string> lines;
    for (size_t at = 0, end; at < trace.size(); at = end + 1) {
        end = trace.find('\n', at);
        if (end == std::string::npos)
            end = trace.size();
        std::string line = trace.substr(at, end - at);
        if (line.find(a) != std::string::npos && line.find(b) != std::string::npos)
            lines.push_back(line);
    }
    return lines;
}

int CountLines(const std::string &trace, const std::string &a, const std::string &b)
{
    return (int)Lines(trace, a, b).size();
}

// The seconds between the first two lines that hold both texts, by the trace's time
// stamps; -1 without two such lines.
double SecondsBetween(const std::string &trace, const std::string &a, const std::string &b)
{
    std::vector<std::string> lines = Lines(trace, a, b);
    return lines.size() < 2 ? -1 : atof(lines[1].c_str()) - atof(lines[0].c_str());
}

// The start of the relay's lines for a MessageBeep of the program's window thread,
// which the trace names by its number.
std::string BeepsOf(const Quorvel &app)
{
    char start[64];
    snprintf(start, sizeof start, "%04lx:Call user32.MessageBeep(", GetWindowThreadProcessId(app.Window(), nullptr));
    return start;
}

// Starts Quorvel in dir with Wine's trace of its sounds, each line stamped with its
// time: PlaySound names each sound it plays (the winmm channel), and the relay shows
// each MessageBeep with its type.
bool StartTraced(Quorvel &app, const std::string &dir)
{
    SetEnvironmentVariableA("WINEDEBUG", "+timestamp,+relay,+winmm");
    bool started = app.Start(dir);
    SetEnvironmentVariableA("WINEDEBUG", "-all");
    return started;
}

// Waits until the trace holds at least count lines with both texts; the milliseconds
// since from, or -1 when it did not within ms.
long WaitForLines(const std::string &trace, const std::string &a, const std::string &b, int count,
                  DWORD from, DWORD ms)
{
    while (CountLines(ReadAll(trace), a, b) < count) {
        if (GetTickCount() - from > ms)
            return -1;
        Sleep(200);
    }
    return (long)(GetTickCount() - from);
}

TEST(Alerts, TheWavPlaysWhenDueAndAMinuteLaterAndABadFileBeepsWithABalloonUntilTheDialogIsSeen)
{
    const char *trace_path = getenv("QUORVEL_TRACE");
    if (!trace_path)
        GTEST_SKIP() << "needs Quorvel's trace: run through tests/e2e/traced.sh (ctest's e2e_alerts)";
    const std::string trace = trace_path;
    HKEY relay;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, RELAY_KEY, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &relay, nullptr),
              ERROR_SUCCESS);
    const char only[] = "user32.MessageBeep;winmm.PlaySoundW";
    RegSetValueExA(relay, "RelayInclude", 0, REG_SZ, (const BYTE *)only, sizeof only);

    // A: a WAV file and a reminder every minute, an order due at once.
    TempDir a;
    std::string wave("RIFF\x2c\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x40\x1f\0\0\x40\x1f\0\0\x01\0\x08\0data\x08\0\0\0",
                     44);
    WriteAll(a.File("chime.wav"), wave + std::string(8, '\x80'));
    WriteText(a.File("Quorvel.ini"), "[SMITH]\r\nAVAILABLE=1\r\nNEXT=" + std::to_string(Now() - 60)
                                         + "\r\n[ALERT]\r\nSOUND = chime.wav\r\nREPEAT = 1\r\n");
    // B: a text file named as a sound, an order due a few seconds after the start.
    TempDir b;
    WriteAll(b.File("notes.wav"), "not a sound\r\n");
    WriteText(b.File("Quorvel.ini"), "[SMITH]\r\nAVAILABLE=1\r\nNEXT=" + std::to_string(Now() + 4)
                                         + "\r\n[ALERT]\r\nSOUND = notes.wav\r\nREPEAT = 1\r\n");
    Quorvel app_a, app_b;
    const DWORD started = GetTickCount();
    ASSERT_TRUE(StartTraced(app_a, a.path));
    ASSERT_TRUE(StartTraced(app_b, b.path));
    const std::string path_b = b.File("notes.wav");
    const std::wstring told = std::wstring(path_b.begin(), path_b.end()) + L" is not a WAV file; the beep plays instead";
    EXPECT_NE(balloons::WaitFor(told, 4000), nullptr);

    const long due = WaitForLines(trace, "SoundName=", "chime.wav\"", 1, started, 5000);
    ASSERT_GE(due, 0) << "the due alert played the WAV file";
    const std::string beep_a = BeepsOf(app_a), beep_b = BeepsOf(app_b);
    ASSERT_GE(WaitForLines(trace, beep_b, "40)", 1, started, 10000), 0) << "the file that is no WAV beeped (asterisk)";
    EXPECT_EQ(CountLines(ReadAll(trace), beep_a, ""), 0) << "the WAV file plays instead of the beep";
    EXPECT_EQ(CountLines(ReadAll(trace), "Call winmm.PlaySoundW(", "00020003)"), 1)
        << "by its name, streamed, without holding the window (SND_FILENAME | SND_ASYNC | SND_NODEFAULT)";

    app_b.Post(WM_TRAYNOTIFY, 1, WM_LBUTTONDBLCLK);
    HWND dialog = app_b.WaitForDialog("Quorvel", 3000);
    ASSERT_NE(dialog, nullptr);
    PostMessageA(dialog, WM_CLOSE, 0, 0);

    const long reminder = WaitForLines(trace, "SoundName=", "chime.wav\"", 2, started, due + 75000);
    ASSERT_GE(reminder, 0) << "a reminder a minute after the due alert";
    Sleep(8000);
    const std::string heard = ReadAll(trace);
    const double apart = SecondsBetween(heard, "SoundName=", "chime.wav\"");
    printf("alerts: the WAV was heard by %ld ms after the start and again %.3f s later\n", due, apart);
    EXPECT_TRUE(apart >= 60 && apart < 62) << apart;
    EXPECT_EQ(CountLines(heard, "SoundName=", "chime.wav\""), 2) << "one reminder, not a burst";
    EXPECT_EQ(CountLines(heard, beep_b, "40)"), 1) << "no reminder once the status dialog was opened";

    app_a.Post(WM_TRAYNOTIFY, 1, WM_LBUTTONDBLCLK);
    EXPECT_GE(WaitForLines(trace, "Call winmm.PlaySoundW(00000000", "", 1, GetTickCount(), 3000), 0)
        << "opening the status dialog stops a sound that may still play";
    app_a.Post(WM_COMMAND, IDM_EXIT);
    app_b.Post(WM_COMMAND, IDM_EXIT);
    EXPECT_EQ(app_a.WaitExit(), 0);
    EXPECT_EQ(app_b.WaitExit(), 0);
    RegDeleteValueA(relay, "RelayInclude");
    RegCloseKey(relay);
}

}  // namespace
