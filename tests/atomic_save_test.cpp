// Saves raced by another writer and saves killed half-way: a look never takes in a file
// caught mid-write, a save never writes over a change made just before its rename, and a
// kill at any moment leaves a complete record.
#include "faults_fixture.h"

namespace {

// What the step hook writes into the record, and at which step (-1: none); once only.
std::string step_text;
int step_at = -1;

void WriteAtStep(int step)
{
    if (step != step_at)
        return;
    step_at = -1;
    WriteAll("Quorvel.ini", step_text);
}

// A look at a file cut short while an editor writes it, one at a file written while it
// is being read, and a save whose record changes between its look and its rename.
TEST_F(Faults, NoHalfWrittenFileIsTakenInAndNoChangeBeforeTheRenameIsWrittenOver)
{
    WriteAll(ini, kStored);
    ASSERT_EQ(LoadSettings(), 1);
    WriteAll(ini, "[SYSTEM]\r\nVERSION=1\r\n[STATUS]\r\nX=301\r\n");
    EXPECT_EQ(LookAtRecord(), LOOK_TAKEN);
    EXPECT_EQ(StatusPosition.x, 301);
    EXPECT_EQ(StatusPosition.y, 200) << "a missing key is no default";
    EXPECT_EQ(crafts[0].skill.load(), 88.8);
    EXPECT_EQ(crafts[0].next_time, 1800000000);

    std::string changed = kStored;
    changed.replace(changed.find("SKILL=88.8"), 10, "SKILL=101.5");
    settings_step_hook = WriteAtStep;
    step_text = changed;
    step_at = STEP_LOOK_READ;
    EXPECT_EQ(LookAtRecord(), LOOK_LATER) << "values read while the file moved";
    EXPECT_EQ(LookAtRecord(), LOOK_TAKEN);
    EXPECT_EQ(crafts[0].skill.load(), 101.5);
    changed.replace(changed.find("SKILL=12.3"), 10, "SKILL=14.5");
    step_text = changed;
    step_at = STEP_SAVE_BUILT;
    crafts[0].next_time = 1800099999;
    EXPECT_EQ(SaveSettings(), 1);
    settings_step_hook = nullptr;
    EXPECT_EQ(Value(ini, "TAILOR", "SKILL"), "14.5") << "the change before the rename is kept";
    EXPECT_EQ(Value(ini, "SMITH", "NEXT"), "1800099999");
}

// Whether a record has every line of kStored's layout: nothing emptied or cut off.
bool IsComplete(const std::string &text)
{
    for (const char *line : { "; kept by hand\r\n", "[SYSTEM]\r\n", "VERSION=1\r\n", "[STATUS]\r\n",
                              "Y=200\r\n", "[SMITH]\r\n", "SKILL=88.8\r\n", "[TAILOR]\r\n",
                              "SKILL=12.3\r\n", "[NOTES]\r\n", "MINE=yes\r\n" })
        if (text.find(line) == std::string::npos)
            return false;
    size_t tailor = text.find("[TAILOR]");
    return text.find("\nX=") != std::string::npos && text.find("\nNEXT=1") < tailor
        && text.find("\nNEXT=1", tailor) != std::string::npos;
}

// A process that saves over and over is killed at random moments, as a crash or a power
// cut would stop it: every kill leaves the old record or the new one, complete. A draft
// that a kill left behind is never read as the record, and the next save clears it away.
TEST_F(Faults, SavesKilledAtRandomMomentsLeaveACompleteRecord)
{
    WriteAll(ini, kStored);
    Rng rng{ 20240611 };
    const int kills = 120;
    int broken = 0;
    std::string example;
    for (int i = 0; i < kills; i++) {
        std::string ready_name = "qv_save_ready_" + EventTag();
        HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, ready_name.c_str());
        HANDLE saver = StartHelper("save_loop.exe", ready_name, dir.c_str());
        ASSERT_NE(saver, nullptr) << "kill " << i << ": CreateProcess error " << helper_error;
        HANDLE either[] = { ready, saver };
        ASSERT_EQ(WaitForMultipleObjects(2, either, FALSE, 20000), WAIT_OBJECT_0) << "kill " << i;
        Sleep(rng.Below(60));
        TerminateProcess(saver, 9);
        WaitForSingleObject(saver, 20000);
        CloseHandle(saver);
        CloseHandle(ready);
        const std::string text = ReadAll(ini);
        // Each kill is counted on its own: a broken record is put back before the next.
        if (!IsComplete(text)) {
            if (!broken++)
                example = "after kill " + std::to_string(i) + ", " + std::to_string(text.size())
                        + " bytes:\n" + text;
            WriteAll(ini, kStored);
        }
    }
    EXPECT_EQ(broken, 0) << "of " << kills << " kills left the record empty or cut off; first "
                         << example;

    WriteAll(dir + "\\Quorvel.new", "[SMITH]\r\nSKILL=1.0\r\nAVAILABLE=0\r\n");
    EXPECT_EQ(LoadSettings(), 1);
    EXPECT_EQ(crafts[0].skill.load(), 88.8);
    EXPECT_EQ(crafts[0].available, 1);
    EXPECT_EQ(SaveSettings(), 1);
    EXPECT_EQ(Names(dir), std::vector<std::string>{ "Quorvel.ini" });
    EXPECT_TRUE(IsComplete(ReadAll(ini)));
}

}  // namespace
