// The tray shell end to end: start-up, the lamp, the menu commands, saving and exit.
#include <gtest/gtest.h>

#include <sstream>

#include "e2e/driver.h"
#include "res/resource.h"

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
    EXPECT_EQ(app.Command(IDM_RECEIVED_SMITH), 1);
    Sleep(300);
    EXPECT_EQ(TrayLamp(), LAMP_RED) << "the tailor is still due";
    EXPECT_EQ(app.Command(IDM_RECEIVED_TAILOR), 1);
    EXPECT_TRUE(WaitForLamp(LAMP_GREEN, 1000));
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

TEST(Shell, MouseEventsOtherThanDoubleClickAndRightClickDoNothing)
{
    TempDir dir;
    Quorvel app;
    ASSERT_TRUE(app.Start(dir.path));
    for (LPARAM mouse : { WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN })
        app.Send(WM_TRAYNOTIFY, 1, mouse);
    EXPECT_FALSE(app.HasVisibleMainWindow());
    EXPECT_EQ(app.FindDialog(nullptr), nullptr);
    EXPECT_EQ(app.Command(40099), 1);
    app.Post(WM_COMMAND, IDM_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

}  // namespace
