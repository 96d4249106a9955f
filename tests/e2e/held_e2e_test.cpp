// A record held by another program, end to end: a balloon once per run of failed saves,
// the retry at exit, the read the moment the file is free, and a brief hold that fails
// no save.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "e2e/balloons.h"
#include "e2e/driver.h"
#include "res/resource.h"
#include "scratch.h"

using namespace e2e;

namespace {

// Holds a file the way an editor or a backup tool may: open with no sharing at all.
HANDLE Hold(const std::string &path)
{
    return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

BOOL CALLBACK AddStaticText(HWND control, LPARAM texts)
{
    WCHAR text[1024] = L"";
    GetWindowTextW(control, text, 1024);
    *(std::wstring *)texts += text;
    return TRUE;
}

// Everything a message box says, its controls' texts in a row.
std::wstring BoxTexts(HWND box)
{
    std::wstring texts;
    EnumChildWindows(box, AddStaticText, (LPARAM)&texts);
    return texts;
}

TEST(Shell, SavesAgainstAHeldFileShowOneBalloonPerRunAndExitOffersARetry)
{
    TempDir dir;
    const std::string ini = dir.File("Quorvel.ini");
    WriteText(ini, "[SMITH]\r\nAVAILABLE=1\r\n[TAILOR]\r\nAVAILABLE=1\r\n");
    Quorvel app;
    ASSERT_TRUE(app.Start(dir.path));
    const std::wstring failed = L"Could not save Quorvel.ini in " + Wide(dir.path)
                              + L". Your timers are kept and will be saved at the next change.";

    HANDLE held = Hold(ini);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(app.Command(IDM_RECEIVED_SMITH), 1);
    HWND balloon = balloons::WaitFor(failed, 5000);
    ASSERT_NE(balloon, nullptr);
    EXPECT_EQ(app.Command(IDM_RECEIVED_TAILOR), 1);
    EXPECT_EQ(app.Command(IDM_RECEIVED_SMITH), 1);
    EXPECT_TRUE(balloons::StillShown(balloon, failed)) << "one balloon for a run of failed saves";
    CloseHandle(held);

    EXPECT_EQ(app.Command(IDM_RECEIVED_TAILOR), 1);
    EXPECT_NE(IniValue(ini, "SMITH", "NEXT"), "0");
    EXPECT_NE(IniValue(ini, "TAILOR", "NEXT"), "0");
    held = Hold(ini);
    EXPECT_EQ(app.Command(IDM_RECEIVED_SMITH), 1);
    EXPECT_NE(balloons::WaitFor(failed, 5000, balloon), nullptr) << "a new run, a new balloon";

    EXPECT_EQ(app.Command(IDM_UPSKILL_TAILOR), 1);
    app.Post(WM_COMMAND, IDM_EXIT);
    HWND box = app.WaitForDialog("Quorvel", 5000);
    ASSERT_NE(box, nullptr);
    EXPECT_NE(BoxTexts(box).find(L"Could not save Quorvel.ini in " + Wide(dir.path)
                                 + L". Close any program that holds it and choose Retry, or "
                                   L"choose Cancel to exit without saving."),
              std::wstring::npos);
    CloseHandle(held);
    PostMessageA(box, WM_COMMAND, IDRETRY, 0);
    EXPECT_EQ(app.WaitExit(), 0);
    EXPECT_EQ(IniValue(ini, "TAILOR", "SKILL"), "50.1") << "the retry saved";
}

// Closes a held file 0.7 s later.
DWORD WINAPI LetGoLater(LPVOID file)
{
    Sleep(700);
    return CloseHandle(file);
}

// A file held at start-up and let go unchanged is read at once, with no folder change to
// wake the watch; a reader holding it 0.7 s during a save (a virus scanner) fails no save.
TEST(Shell, AHeldFileIsReadTheMomentItIsFreeAndABriefHoldFailsNoSave)
{
    TempDir dir;
    const std::string ini = dir.File("Quorvel.ini"), overdue = std::to_string(Now() - 60);
    WriteText(ini, "[SMITH]\r\nAVAILABLE=1\r\nNEXT=" + overdue + "\r\n");
    HANDLE held = Hold(ini);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Quorvel app;
    ASSERT_TRUE(app.Start(dir.path));
    EXPECT_FALSE(WaitForLamp(LAMP_RED, 2500)) << "nothing is known while the file is held";
    CloseHandle(held);
    EXPECT_TRUE(WaitForLamp(LAMP_RED, 5000));
    held = CreateFileA(ini.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    HANDLE letting_go = CreateThread(nullptr, 0, LetGoLater, held, 0, nullptr);
    EXPECT_EQ(app.Command(IDM_RECEIVED_SMITH), 1);
    WaitForSingleObject(letting_go, 5000);
    CloseHandle(letting_go);
    EXPECT_NE(IniValue(ini, "SMITH", "NEXT"), overdue);
    EXPECT_EQ(balloons::WaitFor(L"Could not save Quorvel.ini in " + Wide(dir.path)
                                    + L". Your timers are kept and will be saved at the next change.",
                                1000),
              nullptr);
    app.Post(WM_COMMAND, IDM_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

}  // namespace
