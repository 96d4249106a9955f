// A sync engine's conflict copies of the record, end to end: merged at start-up and when
// they appear, then put in Wine's Recycle Bin, or left in place where there is no bin.
#include <gtest/gtest.h>
#include <windows.h>

#include "e2e/balloons.h"
#include "e2e/driver.h"
#include "res/resource.h"
#include "scratch.h"

using namespace e2e;

namespace {

// Starts Quorvel with the desktop's data folder, where Wine keeps its Recycle Bin, set
// to a folder of the test's (which may be missing): Wine takes the Linux name.
void StartWithDataFolder(Quorvel &app, const TempDir &dir, const std::string &data)
{
    typedef char *(CDECL * UnixName)(const wchar_t *);
    UnixName unix_name = (UnixName)(void (*)())GetProcAddress(GetModuleHandleA("kernel32"),
                                                               "wine_get_unix_file_name");
    ASSERT_NE(unix_name, nullptr);
    char *name = unix_name(Wide(data).c_str());
    ASSERT_NE(name, nullptr);
    SetEnvironmentVariableA("XDG_DATA_HOME", name);
    HeapFree(GetProcessHeap(), 0, name);
    const bool started = app.Start(dir.path);
    SetEnvironmentVariableA("XDG_DATA_HOME", nullptr);
    ASSERT_TRUE(started);
}

std::string Record(const std::string &smith_skill, int32_t smith_next, const std::string &tailor_skill)
{
    return "[SMITH]\r\nAVAILABLE=1\r\nSKILL=" + smith_skill + "\r\nNEXT=" + std::to_string(smith_next)
         + "\r\n[TAILOR]\r\nAVAILABLE=1\r\nSKILL=" + tailor_skill + "\r\nNEXT=0\r\n";
}

// The blacksmith's last order was collected on the other PC, which also stepped his skill;
// the record here still holds the order before, long due. Without a bin, the copies that
// carry those are merged and stay; a name of a copy that holds no record is left alone.
// Then, with a bin, a second start finds nothing new to save and recycles both copies.
TEST(TwoPcs, ConflictCopiesAreMergedThenRecycledOrKeptWhereThereIsNoBin)
{
    TempDir dir;
    const std::string ini = dir.File("Quorvel.ini"), bin = dir.File("data");
    const char *const onedrive = "Quorvel-DESKTOP-1AB2C3D.ini",
                      *const dropbox = "Quorvel (Anna's conflicted copy 2026-12-08).ini",
                      *const foreign = "Quorvel (conflicted copy 2026-12-08 115630).ini";
    const int32_t order = Now() + 3000;
    WriteText(ini, Record("50.0", Now() - 60, "60.0"));
    WriteText(dir.File(onedrive), Record("50.2", order, "60.0"));
    {
        Quorvel app;
        StartWithDataFolder(app, dir, dir.File("missing"));
        EXPECT_FALSE(WaitForLamp(LAMP_RED, 2500)) << "merged before the first due check";
        EXPECT_EQ(IniValue(ini, "SMITH", "NEXT"), std::to_string(order));
        EXPECT_EQ(IniValue(ini, "SMITH", "SKILL"), "50.2");

        WriteText(dir.File(foreign), "[OTHER]\r\nNEXT=1\r\n");
        WriteText(dir.File(dropbox), Record("50.0", Now() - 60, "61.0"));
        for (int i = 0; i < 30 && IniValue(ini, "TAILOR", "SKILL") != "61.0"; i++)
            Sleep(100);
        EXPECT_EQ(IniValue(ini, "TAILOR", "SKILL"), "61.0");
        EXPECT_EQ(IniValue(ini, "SMITH", "NEXT"), std::to_string(order)) << "the later order stays";
        EXPECT_EQ(TrayLamp(), LAMP_GREEN);
        EXPECT_TRUE(balloons::Shown().empty()) << "no notice, no failed save";
        EXPECT_TRUE(Exists(dir.File(onedrive)) && Exists(dir.File(dropbox))) << "no bin: kept";
        app.Post(WM_COMMAND, IDM_EXIT);
        EXPECT_EQ(app.WaitExit(), 0);
    }
    ASSERT_TRUE(CreateDirectoryA(bin.c_str(), nullptr));
    const std::string saved = ReadText(ini);
    Quorvel app;
    StartWithDataFolder(app, dir, bin);
    for (int i = 0; i < 30 && Exists(dir.File(dropbox)); i++)
        Sleep(100);
    for (const char *copy : { onedrive, dropbox }) {
        EXPECT_FALSE(Exists(dir.File(copy))) << copy;
        EXPECT_TRUE(Exists(bin + "\\Trash\\files\\" + copy)) << copy;
    }
    EXPECT_TRUE(Exists(dir.File(foreign)));
    EXPECT_EQ(ReadText(ini), saved) << "a merge that changes nothing saves nothing";
    app.Post(WM_COMMAND, IDM_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

}  // namespace
