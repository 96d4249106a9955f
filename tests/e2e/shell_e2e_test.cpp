// The tray shell end to end: start-up, the lamp, the menu commands, saving and exit.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <sstream>
#include <tuple>

#include "e2e/balloons.h"
#include "e2e/driver.h"
#include "res/resource.h"
#include "scratch.h"

using namespace e2e;

namespace {

const char *const kWrittenLayout[] = {
    "[SYSTEM]", "VERSION=1", "[STATUS]", "X=0", "Y=0",
    "[SMITH]", "AVAILABLE=0", "SKILL=50.0", "NEXT=0",
    "[TAILOR]", "AVAILABLE=0", "SKILL=50.0", "NEXT=0",
};

std::string NonBlankLines(const std::string &text)
{
    std::string lines, line;
    std::istringstream in(text);
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            lines += line + "\n";
    }
    return lines;
}

std::string Joined(const char *const *lines, size_t count)
{
    std::string text;
    for (size_t i = 0; i < count; i++)
        text += std::string(lines[i]) + "\n";
    return text;
}

TEST(Shell, StartsHiddenWithAnyShowCommandShowsTheGreenLampAndExitsWithZero)
{
    for (int show : { SW_SHOWNORMAL, SW_SHOWMAXIMIZED, SW_SHOWMINIMIZED, SW_SHOW }) {
        TempDir dir;
        Quorvel app;
        ASSERT_TRUE(app.Start(dir.path, show)) << "show " << show;
        EXPECT_FALSE(app.HasVisibleMainWindow()) << "show " << show;
        EXPECT_TRUE(app.TrayIconExists());
        EXPECT_TRUE(WaitForLamp(LAMP_GREEN, 2000));
        app.Post(WM_COMMAND, IDM_EXIT);
        EXPECT_EQ(app.WaitExit(), 0);
        EXPECT_FALSE(app.TrayIconExists());
        EXPECT_EQ(NonBlankLines(ReadText(dir.File("Quorvel.ini"))),
                  Joined(kWrittenLayout, sizeof kWrittenLayout / sizeof *kWrittenLayout));
    }
}

TEST(Shell, ACloseRequestFromAnotherProgramSavesAndEndsLikeExit)
{
    TempDir dir;
    WriteText(dir.File("Quorvel.ini"), "[TAILOR]\r\nAVAILABLE=1\r\nSKILL=60.0\r\n");
    Quorvel app;
    ASSERT_TRUE(app.Start(dir.path));
    EXPECT_EQ(app.Command(IDM_UPSKILL_TAILOR), 1);
    app.Post(WM_CLOSE);
    EXPECT_EQ(app.WaitExit(), 0);
    EXPECT_FALSE(app.TrayIconExists());
    EXPECT_EQ(IniValue(dir.File("Quorvel.ini"), "TAILOR", "SKILL"), "60.1");
}

TEST(Shell, ReceivedWritesTheNextTimeAtOnceByTheSkillsBand)
{
    const struct { const char *skill; int32_t wait; } cases[] = {
        { "50.0", 3600 }, { "69.9", 7200 }, { "70.0", 21600 }, { "120.0", 21600 },
    };
    for (const auto &c : cases) {
        TempDir dir;
        WriteText(dir.File("Quorvel.ini"),
                  std::string("[SMITH]\r\nAVAILABLE=1\r\nSKILL=") + c.skill + "\r\n");
        Quorvel app;
        ASSERT_TRUE(app.Start(dir.path));
        int32_t before = Now();
        EXPECT_EQ(app.Command(IDM_RECEIVED_SMITH), 1);
        int32_t after = Now();
        int32_t next = std::stol(IniValue(dir.File("Quorvel.ini"), "SMITH", "NEXT"));
        EXPECT_GE(next, before + c.wait) << "skill " << c.skill;
        EXPECT_LE(next, after + c.wait) << "skill " << c.skill;
        EXPECT_EQ(IniValue(dir.File("Quorvel.ini"), "TAILOR", "NEXT"), "0");
        app.Post(WM_COMMAND, IDM_EXIT);
        EXPECT_EQ(app.WaitExit(), 0);
    }
}

TEST(Shell, UpskillChangesMemoryOnlyUntilTheNextSave)
{
    TempDir dir;
    WriteText(dir.File("Quorvel.ini"), "[SMITH]\r\nAVAILABLE=1\r\nSKILL=119.9\r\n");
    Quorvel app;
    ASSERT_TRUE(app.Start(dir.path));
    EXPECT_EQ(app.Command(IDM_UPSKILL_SMITH), 1);
    EXPECT_EQ(app.Command(IDM_UPSKILL_SMITH), 1);
    EXPECT_EQ(IniValue(dir.File("Quorvel.ini"), "SMITH", "SKILL"), "119.9");
    app.Post(WM_COMMAND, IDM_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
    EXPECT_EQ(IniValue(dir.File("Quorvel.ini"), "SMITH", "SKILL"), "120.0");
}

TEST(Shell, AnOverdueCraftTurnsTheLampRedSoonAfterStartAndReceivingTurnsItBack)
{
    TempDir dir;
    WriteText(dir.File("Quorvel.ini"),
              "[SMITH]\r\nAVAILABLE=1\r\nNEXT=" + std::to_string(Now() - 60) + "\r\n"
              "[TAILOR]\r\nAVAILABLE=1\r\nNEXT=" + std::to_string(Now() - 60) + "\r\n");
    Quorvel app;
    ASSERT_TRUE(app.Start(dir.path));
    EXPECT_TRUE(WaitForLamp(LAMP_RED, 3000));
    EXPECT_NE(balloons::WaitFor(L"Blacksmith and Tailor orders ready", 5000), nullptr);
    EXPECT_EQ(app.Command(IDM_RECEIVED_SMITH), 1);
    Sleep(300);
    EXPECT_EQ(TrayLamp(), LAMP_RED) << "the tailor is still due";
    EXPECT_EQ(app.Command(IDM_RECEIVED_TAILOR), 1);
    EXPECT_TRUE(WaitForLamp(LAMP_GREEN, 1000));
    app.Post(WM_TRAYNOTIFY, 1, NIN_BALLOONUSERCLICK);
    EXPECT_NE(app.WaitForDialog("Quorvel", 3000), nullptr) << "a click on the notice opens the status";
    app.Post(WM_COMMAND, IDM_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

// Both crafts tracked; the tailor's skill and both next times as given.
std::string TwoCrafts(const std::string &smith_next, const std::string &tailor_next,
                      const char *tailor_skill)
{
    return "[SMITH]\r\nAVAILABLE=1\r\nSKILL=50.0\r\nNEXT=" + smith_next + "\r\n[TAILOR]\r\n"
           "AVAILABLE=1\r\nSKILL=" + tailor_skill + "\r\nNEXT=" + tailor_next + "\r\n";
}

TEST(Shell, TheFileEditedOrReplacedWhileRunningIsTakenInAtOnceAndNeverOverwritten)
{
    TempDir dir;
    const std::string ini = dir.File("Quorvel.ini"), later = std::to_string(Now() + 3600);
    WriteText(ini, TwoCrafts(later, later, "60.0"));
    Quorvel app;
    ASSERT_TRUE(app.Start(dir.path));
    ASSERT_TRUE(WaitForLamp(LAMP_GREEN, 2000));

    // An editor saves in place: the tailor's time has passed.
    WriteText(ini, TwoCrafts(later, std::to_string(Now() - 60), "60.0"));
    EXPECT_TRUE(WaitForLamp(LAMP_RED, 2000));
    HWND notice = balloons::WaitFor(L"Tailor order ready", 5000);
    EXPECT_NE(notice, nullptr) << "the due check alerted, with its beep";

    // A sync tool puts the other PC's copy in place by a rename: the tailor waits again.
    const std::string synced = std::to_string(Now() + 7200);
    WriteText(dir.File("synced.tmp"), TwoCrafts(later, synced, "60.0"));
    ASSERT_TRUE(MoveFileExA(dir.File("synced.tmp").c_str(), ini.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_TRUE(WaitForLamp(LAMP_GREEN, 2000));

    // An edit right before a save, sooner than the watch looks: the save takes it in first.
    WriteText(ini, TwoCrafts(later, synced, "77.0"));
    EXPECT_EQ(app.Command(IDM_RECEIVED_SMITH), 1);
    const std::string received = IniValue(ini, "SMITH", "NEXT");
    EXPECT_NE(received, later);
    EXPECT_EQ(IniValue(ini, "TAILOR", "NEXT"), synced);
    EXPECT_EQ(IniValue(ini, "TAILOR", "SKILL"), "77.0");
    EXPECT_EQ(balloons::WaitFor(L"Tailor order ready", 0, notice), nullptr) << "one alert";

    // A deleted file: the timers stay, and the next save writes the file again, whole.
    ASSERT_TRUE(DeleteFileA(ini.c_str()));
    Sleep(500);
    EXPECT_EQ(TrayLamp(), LAMP_GREEN);
    EXPECT_EQ(app.Command(IDM_RECEIVED_TAILOR), 1);
    const std::string tailor_next = IniValue(ini, "TAILOR", "NEXT");
    EXPECT_NE(tailor_next, synced);
    EXPECT_EQ(NonBlankLines(ReadText(ini)),
              "[SYSTEM]\nVERSION=1\n[STATUS]\nX=0\nY=0\n[SMITH]\nAVAILABLE=1\nSKILL=50.0\nNEXT="
                  + received + "\n[TAILOR]\nAVAILABLE=1\nSKILL=77.0\nNEXT=" + tailor_next + "\n");

    // The blacksmith comes due and is received; then the file from before that order comes
    // back with an edit, by a sync tool's rename and by an editor saving in place. Neither
    // takes the order back nor alerts; the record is written again with order and edit.
    const std::string overdue = std::to_string(Now() - 60);
    WriteText(ini, TwoCrafts(overdue, tailor_next, "77.0"));
    EXPECT_TRUE(WaitForLamp(LAMP_RED, 2000));
    HWND smith_notice = balloons::WaitFor(L"Blacksmith order ready", 5000);
    EXPECT_NE(smith_notice, nullptr);
    EXPECT_EQ(app.Command(IDM_RECEIVED_SMITH), 1);
    EXPECT_TRUE(WaitForLamp(LAMP_GREEN, 1000));
    const std::string ordered = IniValue(ini, "SMITH", "NEXT");
    for (const char *skill : { "78.0", "79.0" }) {
        SCOPED_TRACE(std::string("stale copy with the tailor's skill ") + skill);
        const std::string copy = skill[1] == '8' ? dir.File("synced.tmp") : ini;
        WriteText(copy, TwoCrafts(overdue, tailor_next, skill));
        if (copy != ini) {
            ASSERT_TRUE(MoveFileExA(copy.c_str(), ini.c_str(), MOVEFILE_REPLACE_EXISTING));
        }
        EXPECT_FALSE(WaitForLamp(LAMP_RED, 2500));
        for (int i = 0; i < 40 && IniValue(ini, "SMITH", "NEXT") != ordered; i++)
            Sleep(100);
        EXPECT_EQ(IniValue(ini, "SMITH", "NEXT"), ordered);
        EXPECT_EQ(IniValue(ini, "TAILOR", "SKILL"), skill);
    }
    EXPECT_EQ(balloons::WaitFor(L"Blacksmith order ready", 0, smith_notice), nullptr);
    app.Post(WM_COMMAND, IDM_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

TEST(Shell, AnUntrackedOverdueCraftNeverAlerts)
{
    TempDir dir;
    WriteText(dir.File("Quorvel.ini"),
              "[SMITH]\r\nAVAILABLE=0\r\nNEXT=" + std::to_string(Now() - 60) + "\r\n");
    Quorvel app;
    ASSERT_TRUE(app.Start(dir.path));
    EXPECT_FALSE(WaitForLamp(LAMP_RED, 2500));
    EXPECT_EQ(TrayLamp(), LAMP_GREEN);
    app.Post(WM_COMMAND, IDM_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

TEST(Shell, LogOffSavesWhatWouldOtherwiseBeLost)
{
    TempDir dir;
    WriteText(dir.File("Quorvel.ini"), "[TAILOR]\r\nAVAILABLE=1\r\nSKILL=80.0\r\n");
    Quorvel app;
    ASSERT_TRUE(app.Start(dir.path));
    EXPECT_EQ(app.Command(IDM_UPSKILL_TAILOR), 1);
    EXPECT_EQ(app.Send(WM_ENDSESSION, FALSE, 0), 0);
    EXPECT_EQ(IniValue(dir.File("Quorvel.ini"), "TAILOR", "SKILL"), "80.0");
    EXPECT_EQ(app.Send(WM_ENDSESSION, TRUE, 0), 0);
    TerminateProcess(app.Process(), 0);
    EXPECT_EQ(IniValue(dir.File("Quorvel.ini"), "TAILOR", "SKILL"), "80.1");
}

TEST(Shell, ASecondCopyOnTheSameFileOpensTheRunningOnesStatusDialogAndLeavesTheFileAlone)
{
    TempDir dir;
    WriteText(dir.File("Quorvel.ini"), "[SMITH]\r\nAVAILABLE=1\r\n");
    Quorvel first;
    ASSERT_TRUE(first.Start(dir.path));
    EXPECT_EQ(first.Command(IDM_RECEIVED_SMITH), 1);
    const std::string saved = ReadText(dir.File("Quorvel.ini"));
    const std::string next = IniValue(dir.File("Quorvel.ini"), "SMITH", "NEXT");
    ASSERT_NE(next, "0");
    // The same folder spelt in other letters is the same file.
    std::string upper = dir.path;
    CharUpperA(&upper[0]);
    Quorvel second;
    ASSERT_TRUE(second.Launch(upper));
    EXPECT_EQ(second.WaitExit(3000), 0);
    EXPECT_NE(first.WaitForDialog("Quorvel", 3000), nullptr) << "the running copy shows its status";
    EXPECT_EQ(ReadText(dir.File("Quorvel.ini")), saved);
    first.Post(WM_COMMAND, IDM_EXIT);
    EXPECT_EQ(first.WaitExit(), 0);
    EXPECT_EQ(IniValue(dir.File("Quorvel.ini"), "SMITH", "NEXT"), next);
}

TEST(Shell, CopiesInOtherFoldersRunSideBySideAndAKilledCopyBlocksNoRestart)
{
    TempDir one, two;
    Quorvel first, beside;
    ASSERT_TRUE(first.Start(one.path));
    ASSERT_TRUE(beside.Start(two.path)) << "another folder is another record";
    EXPECT_TRUE(first.TrayIconExists());
    EXPECT_TRUE(beside.TrayIconExists());
    // A later start in either folder opens that folder's dialog, never the other's, in
    // whichever order the system lists the two windows.
    for (auto [dir, owner, other] : { std::make_tuple(&one, &first, &beside),
                                      std::make_tuple(&two, &beside, &first) }) {
        Quorvel later;
        ASSERT_TRUE(later.Launch(dir->path));
        EXPECT_EQ(later.WaitExit(3000), 0);
        HWND dialog = owner->WaitForDialog("Quorvel", 3000);
        EXPECT_NE(dialog, nullptr) << dir->path;
        EXPECT_EQ(other->FindDialog("Quorvel"), nullptr) << dir->path;
        PostMessageA(dialog, WM_CLOSE, 0, 0);
        for (DWORD start = GetTickCount(); IsWindow(dialog) && GetTickCount() - start < 3000;)
            Sleep(20);
    }
    TerminateProcess(first.Process(), 1);
    ASSERT_EQ(first.WaitExit(), 1);
    Quorvel again;
    ASSERT_TRUE(again.Start(one.path)) << "a killed copy leaves no claim behind";
    EXPECT_TRUE(again.TrayIconExists());
    for (Quorvel *app : { &beside, &again }) {
        app->Post(WM_COMMAND, IDM_EXIT);
        EXPECT_EQ(app->WaitExit(), 0);
    }
    EXPECT_EQ(IniValue(one.File("Quorvel.ini"), "SYSTEM", "VERSION"), "1");
    EXPECT_EQ(IniValue(two.File("Quorvel.ini"), "SYSTEM", "VERSION"), "1");
}

TEST(Shell, TheAboutBoxShowsItsThreeLinesFromAFolderOutsideTheCodePage)
{
    TempDir dir;
    const std::string folder = dir.path + u8"\\Дмитрий Ωμέγα 中文", exe = folder + "\\Quorvel.exe";
    ASSERT_TRUE(CreateDirectoryW(Wide(folder).c_str(), nullptr)
                && CopyFileW(Wide(exe_path).c_str(), Wide(exe).c_str(), TRUE));
    Quorvel app;
    ASSERT_TRUE(app.Start(folder, SW_SHOWNORMAL, exe));
    app.Post(WM_COMMAND, IDM_ABOUT);
    HWND about = app.WaitForDialog("about Quorvel", 5000);
    ASSERT_NE(about, nullptr);
    WCHAR lines[3][64] = {};
    for (int i = 0; i < 3; i++)
        GetDlgItemTextW(about, IDC_ABOUT_COMMENTS + i, lines[i], 64);
    EXPECT_STREQ(lines[0], L"Quorvel - bulk order timers for RPG crafters");
    EXPECT_STREQ(lines[1], L"Version " QUORVEL_VERSION);
    EXPECT_STREQ(lines[2], L"Copyright (C) 2026 the Quorvel authors");
    app.Post(WM_COMMAND, IDM_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

}  // namespace
