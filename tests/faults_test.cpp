// The settings file when the world gets in the way: held by another program, read-only,
// its directory moved away, a current directory at the path limit. Whatever happens,
// nothing is written to a wrong place, the stored record is never replaced with the
// defaults, and what could not be saved goes out with the next save that works.
#include "faults_fixture.h"

namespace {

TEST_F(Faults, AFileHeldByAnotherProgramAtStartUpWaitsThroughSeveralSavesThenCatchesUp)
{
    WriteAll(ini, kStored);
    Holder holder;
    ASSERT_TRUE(holder.Hold(ini));
    EXPECT_EQ(LoadSettings(), 0);
    EXPECT_EQ(crafts[0].skill.load(), 50.0);

    // While it is held: an order received, the dialog moved, and a save each time.
    crafts[0].next_time = 1800003600;
    EXPECT_EQ(SaveSettings(), 0);
    StatusPosition = { 40, 50 };
    EXPECT_EQ(SaveSettings(), 0);
    crafts[1].next_time = 1700000000;  // older than the stored one
    EXPECT_EQ(SaveSettings(), 0);
    EXPECT_EQ(holder.Release(), 0u);
    EXPECT_EQ(ReadAll(ini), kStored);
    EXPECT_EQ(Names(dir), std::vector<std::string>{ "Quorvel.ini" });
    EXPECT_EQ(StrayFiles(dir), std::vector<std::string>{});

    // The first save that can read the file brings the stored record back first.
    EXPECT_EQ(SaveSettings(), 1);
    EXPECT_EQ(crafts[0].skill.load(), 88.8);
    EXPECT_EQ(crafts[0].next_time, 1800003600) << "the order received meanwhile is kept";
    EXPECT_EQ(crafts[1].next_time, 1800007200);
    EXPECT_EQ(crafts[1].available, 1);
    ExpectStoredRecordIn(ReadAll(ini));
    EXPECT_EQ(Value(ini, "SMITH", "NEXT"), "1800003600");
}

TEST_F(Faults, SavesWhileAnotherProgramHoldsTheFileKeepTheLatestStateForLater)
{
    WriteAll(ini, kStored);
    ASSERT_EQ(LoadSettings(), 1);
    Holder holder;
    ASSERT_TRUE(holder.Hold(ini));

    crafts[0].next_time = 1800010000;
    EXPECT_EQ(SaveSettings(), 0);
    crafts[1].skill.store(12.4);
    crafts[1].available = 0;
    EXPECT_EQ(SaveSettings(), 0);
    StatusPosition = { -5, 7 };
    EXPECT_EQ(SaveSettings(), 0);
    EXPECT_EQ(holder.Release(), 0u);
    EXPECT_EQ(ReadAll(ini), kStored);
    EXPECT_EQ(StrayFiles(dir), std::vector<std::string>{});

    // An editor or a virus scanner reads it with sharing: the draft gets written, and
    // only putting it in place is refused. The draft must not stay behind.
    HANDLE reader = CreateFileA(ini.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_EQ(SaveSettings(), 0);
    CloseHandle(reader);
    EXPECT_EQ(Names(dir), std::vector<std::string>{ "Quorvel.ini" });
    EXPECT_EQ(ReadAll(ini), kStored);

    EXPECT_EQ(SaveSettings(), 1);
    EXPECT_EQ(Value(ini, "SMITH", "NEXT"), "1800010000");
    EXPECT_EQ(Value(ini, "TAILOR", "SKILL"), "12.4");
    EXPECT_EQ(Value(ini, "TAILOR", "AVAILABLE"), "0");
    EXPECT_EQ(Value(ini, "STATUS", "X"), "-5");
    EXPECT_EQ(Value(ini, "SMITH", "SKILL"), "88.8");
    EXPECT_EQ(Value(ini, "NOTES", "MINE"), "yes");
}

TEST_F(Faults, AFileHeldAtStartUpAndRemovedByItsHolderIsWrittenAfresh)
{
    WriteAll(ini, kStored);
    Holder holder;
    ASSERT_TRUE(holder.Hold(ini, "delete"));
    EXPECT_EQ(LoadSettings(), 0);
    crafts[1].available = 1;
    crafts[1].next_time = 1800003600;
    EXPECT_EQ(SaveSettings(), 0);
    EXPECT_EQ(holder.Release(), 0u);
    ASSERT_FALSE(Exists(ini));

    // Nothing stored is left to protect, so what the player did goes out at once.
    EXPECT_EQ(SaveSettings(), 1);
    EXPECT_EQ(Value(ini, "TAILOR", "NEXT"), "1800003600");
    EXPECT_EQ(Value(ini, "TAILOR", "AVAILABLE"), "1");
    EXPECT_EQ(Value(ini, "SMITH", "SKILL"), "50.0");
}

// Running as root under Wine the write to a read-only file goes through; elsewhere it
// fails. Either way the record is read, and nothing the player did is lost.
TEST_F(Faults, AReadOnlyFileIsReadAndLosesNothing)
{
    WriteAll(ini, kStored);
    ASSERT_TRUE(SetFileAttributesA(ini.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(LoadSettings(), 1) << "reading needs no write access";
    EXPECT_EQ(crafts[0].skill.load(), 88.8);
    crafts[0].next_time = 1800020000;
    if (SaveSettings()) {
        EXPECT_EQ(Value(ini, "SMITH", "NEXT"), "1800020000");
    } else {
        EXPECT_EQ(ReadAll(ini), kStored);
    }
    EXPECT_EQ(crafts[0].next_time, 1800020000);
    EXPECT_EQ(StrayFiles(dir), std::vector<std::string>{});

    SetFileAttributesA(ini.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(SaveSettings(), 1);
    EXPECT_EQ(Value(ini, "SMITH", "NEXT"), "1800020000");
    ExpectStoredRecordIn(ReadAll(ini));
}

TEST_F(Faults, ADirectoryMovedAwayWhileRunningIsWrittenNowhereAndCatchesUpOnReturn)
{
    WriteAll(ini, kStored);
    ASSERT_EQ(LoadSettings(), 1);
    MoveAway();
    crafts[0].next_time = 1800030000;
    EXPECT_EQ(SaveSettings(), 0);
    crafts[1].skill.store(13.0);
    EXPECT_EQ(SaveSettings(), 0);
    EXPECT_EQ(ReadAll(root + "_moved\\home\\Quorvel.ini"), kStored);
    EXPECT_EQ(Names(root + "_moved\\home"), std::vector<std::string>{ "Quorvel.ini" });
    EXPECT_FALSE(Exists(root));
    EXPECT_EQ(StrayFiles(dir), std::vector<std::string>{});

    MoveBack();
    EXPECT_EQ(SaveSettings(), 1);
    EXPECT_EQ(Value(ini, "SMITH", "NEXT"), "1800030000");
    EXPECT_EQ(Value(ini, "TAILOR", "SKILL"), "13.0");
    EXPECT_EQ(Value(ini, "NOTES", "MINE"), "yes");
}

TEST_F(Faults, ADirectoryAwayAtStartUpNeverHasItsRecordReplacedWithDefaults)
{
    WriteAll(ini, kStored);
    MoveAway();
    EXPECT_EQ(LoadSettings(), 0);
    EXPECT_EQ(crafts[0].skill.load(), 50.0);
    crafts[0].next_time = 1800040000;
    EXPECT_EQ(SaveSettings(), 0);
    EXPECT_EQ(StrayFiles(dir), std::vector<std::string>{});

    MoveBack();
    EXPECT_EQ(SaveSettings(), 1);
    ExpectStoredRecordIn(ReadAll(ini));
    EXPECT_EQ(Value(ini, "SMITH", "AVAILABLE"), "1");
    EXPECT_EQ(Value(ini, "SMITH", "NEXT"), "1800040000");
    EXPECT_EQ(crafts[0].skill.load(), 88.8);
}

// The joined name "<directory>\Quorvel.ini" must fit the platform's path limit of 259
// characters. Beyond it nothing is read or written, not even a cut-off name one level up,
// and no new entry appears in the directory, whether or not a record is there.
TEST_F(Faults, CurrentDirectoriesAtThePathLimit)
{
    const struct { size_t dir_length; bool stored; bool usable; } cases[] = {
        { 247, true, true },   { 247, false, true },  { 248, true, false },
        { 248, false, false }, { 249, false, false }, { 252, true, false },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE("directory of " + std::to_string(c.dir_length) + " characters, "
                     + (c.stored ? "with" : "without") + " a record");
        std::string deep = dir;
        std::vector<std::string> levels;
        while (deep.size() < c.dir_length) {
            deep += "\\" + std::string(std::min<size_t>(60, c.dir_length - deep.size() - 1), 'd');
            CreateDirectoryA(deep.c_str(), nullptr);
            levels.push_back(deep);
        }
        ASSERT_EQ(deep.size(), c.dir_length);
        ASSERT_TRUE(SetCurrentDirectoryA(deep.c_str()));
        // By its short name: the full one may be past the limit of the 8-bit functions.
        if (c.stored)
            WriteAll("Quorvel.ini", kStored);

        wchar_t path[SETTINGS_PATH_MAX + 1];
        EXPECT_EQ(SettingsPath(path, SETTINGS_PATH_MAX + 1), c.usable ? 1 : 0);
        EXPECT_EQ(SettingsPath(path, c.dir_length + 12), 0) << "no room for the terminator";
        EXPECT_EQ(LoadSettings(), c.usable && c.stored ? 1 : 0);
        EXPECT_EQ(crafts[0].skill.load(), c.usable && c.stored ? 88.8 : 50.0);
        crafts[0].next_time = 1800050000;
        EXPECT_EQ(SaveSettings(), c.usable ? 1 : 0);
        EXPECT_EQ(crafts[0].next_time, 1800050000);
        if (c.usable) {
            EXPECT_EQ(Value(deep + "\\Quorvel.ini", "SMITH", "NEXT"), "1800050000");
        } else if (c.stored) {
            EXPECT_EQ(ReadAll("Quorvel.ini"), kStored);
        }
        EXPECT_EQ(Names(deep), c.usable || c.stored ? std::vector<std::string>{ "Quorvel.ini" }
                                                    : std::vector<std::string>{});
        for (size_t i = 0; i + 1 < levels.size(); i++) {
            std::string below = levels[i + 1].substr(levels[i].size() + 1);
            EXPECT_EQ(Names(levels[i]), std::vector<std::string>{ below }) << levels[i];
        }
        EXPECT_EQ(Names(dir), std::vector<std::string>{ levels.front().substr(dir.size() + 1) });
        EXPECT_EQ(StrayFiles(deep), std::vector<std::string>{});

        SetCurrentDirectoryA(dir.c_str());
        RemoveTree(levels.front());
    }
}

// Backup and sync tools hold a file for a moment; start-up waits a second for it rather
// than start on the defaults.
TEST_F(Faults, AFileHeldBrieflyAtStartUpIsReadAfterAWait)
{
    WriteAll(ini, kStored);
    Holder holder;
    ASSERT_TRUE(holder.Hold(ini, "300"));
    EXPECT_EQ(LoadSettings(), 1);
    EXPECT_EQ(crafts[0].skill.load(), 88.8);
    EXPECT_EQ(crafts[1].next_time, 1800007200);
    EXPECT_EQ(holder.Release(), 0u);
}

}  // namespace
