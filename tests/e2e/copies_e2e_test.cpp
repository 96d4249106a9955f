// A sync engine's conflict copies end to end, where there is no Recycle Bin: without the
// desktop's data folder, Wine deletes what it is asked to recycle and reports success.
// (tests/sync/two_pcs.sh sees a copy go to the bin.)
#include <gtest/gtest.h>
#include <windows.h>

#include "e2e/balloons.h"
#include "e2e/driver.h"
#include "res/resource.h"
#include "scratch.h"

using namespace e2e;

namespace {

// The other PC's copy carries the blacksmith's last order and a step; the record here
// still holds the order before, long due: merged before the first due check, the lamp
// stays green. A second copy, dropped in while Quorvel runs, is merged as well; one that
// adds nothing saves nothing. Every copy stays where it is.
TEST(TwoPcs, ConflictCopiesAreMergedAndStayWhereThereIsNoRecycleBin)
{
    TempDir dir;
    const std::string ini = dir.File("Quorvel.ini"), order = std::to_string(Now() + 3000);
    const char *const copies[] = { "Quorvel-DESKTOP-1AB2C3D.ini", "Quorvel (Anna's conflicted copy 2026-12-08).ini",
                                   "Quorvel.sync-conflict-20261208-115602-Q4KK2FG.ini" };
    WriteText(ini, "[SMITH]\r\nAVAILABLE=1\r\nNEXT=" + std::to_string(Now() - 60) + "\r\n");
    WriteText(dir.File(copies[0]), "[SMITH]\r\nSKILL=50.2\r\nNEXT=" + order + "\r\n");
    SetEnvironmentVariableA("XDG_DATA_HOME", "/proc/no-such-folder");
    Quorvel app;
    const bool started = app.Start(dir.path);
    SetEnvironmentVariableA("XDG_DATA_HOME", nullptr);
    ASSERT_TRUE(started);
    EXPECT_FALSE(WaitForLamp(LAMP_RED, 2500)) << "merged before the first due check";
    EXPECT_EQ(IniValue(ini, "SMITH", "NEXT"), order);
    EXPECT_EQ(IniValue(ini, "SMITH", "SKILL"), "50.2");

    WriteText(dir.File(copies[1]), "[TAILOR]\r\nAVAILABLE=1\r\nSKILL=61.0\r\nNEXT=0\r\n");
    for (int i = 0; i < 30 && IniValue(ini, "TAILOR", "SKILL") != "61.0"; i++)
        Sleep(100);
    EXPECT_EQ(IniValue(ini, "TAILOR", "AVAILABLE") + IniValue(ini, "TAILOR", "SKILL"), "161.0");
    const std::string merged = ReadText(ini);
    WriteText(dir.File(copies[2]), "[SMITH]\r\nNEXT=" + order + "\r\n");
    Sleep(1500);
    EXPECT_EQ(ReadText(ini), merged) << "a copy that adds nothing saves nothing";
    for (const char *copy : copies)
        EXPECT_TRUE(Exists(dir.File(copy))) << copy;
    EXPECT_TRUE(balloons::Shown().empty()) << "no notice, no failed save";
    app.Post(WM_COMMAND, IDM_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

}  // namespace
