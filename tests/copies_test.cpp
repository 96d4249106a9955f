// Conflict copies in the Recycle Bin's way: a copy goes only once its news is saved and
// while it is as it was read, and one the shell deleted outright is never lost, even
// when its name cannot be given back at once. The bin is the desktop's trash under
// XDG_DATA_HOME, which the suite points into the build folder for this program.
#include "faults_fixture.h"

namespace {

const char kCopy[] = "Quorvel-DESKTOP-1AB2C3D.ini";

// A folder of the Recycle Bin ("files", "info"), as a Windows path.
std::string Bin(const char *folder)
{
    char unix_path[MAX_PATH] = "";
    GetEnvironmentVariableA("XDG_DATA_HOME", unix_path, sizeof unix_path);
    std::string path = std::string("Z:") + unix_path + "/Trash/" + folder;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// At the step after the shell's move: the bin lets go of the copy, as a drive without
// one deletes it outright, and a folder takes the copy's name, so that it cannot be given
// back yet. (Wine lets a file held without delete sharing be renamed all the same.)
void EmptyBinAndTakeTheName(int step)
{
    if (step != STEP_COPY_MOVED)
        return;
    DeleteFileA((Bin("files") + "\\" + kCopy).c_str());
    CreateDirectoryA(kCopy, nullptr);
}

// A stored record, and an empty bin.
class Copies : public Faults {
protected:
    std::string copy;

    void SetUp() override
    {
        Faults::SetUp();
        copy = dir + "\\" + kCopy;
        for (const char *folder : { "files", "info" })
            for (const std::string &name : Names(Bin(folder)))
                DeleteFileA((Bin(folder) + "\\" + name).c_str());
        WriteAll(ini, kStored);
    }
};

// Its news must reach the record before a copy may go: not while another program holds
// the record and the save fails, nor when the copy changed after it was read (it is read
// again, and what it now adds is merged). Then it goes to the bin, and only there.
TEST_F(Copies, ACopyGoesToTheBinOnlyOnceItsNewsIsSavedAndWhileItIsAsRead)
{
    WriteAll(copy, "[SMITH]\r\nSKILL=90.0\r\nNEXT=1800000000\r\n");
    ASSERT_EQ(LoadSettings(), 1);
    EXPECT_EQ(MergeCopies(), COPIES_SAVE);
    Holder holder;
    ASSERT_TRUE(holder.Hold(ini));
    EXPECT_EQ(SaveSettings(), 0);
    RecycleCopies();
    EXPECT_TRUE(Exists(copy)) << "its news is not saved yet";
    holder.Release();
    ASSERT_EQ(SaveSettings(), 1);
    EXPECT_EQ(Value(ini, "SMITH", "SKILL"), "90.0");

    const std::string changed = "[SMITH]\r\nSKILL=90.0\r\nNEXT=1800000000\r\n[TAILOR]\r\nSKILL=13.0\r\n";
    WriteAll(copy, changed);
    RecycleCopies();
    EXPECT_EQ(ReadAll(copy), changed) << "changed after it was read";
    EXPECT_EQ(MergeCopies(), COPIES_SAVE);
    EXPECT_EQ(crafts[1].skill.load(), 13.0);
    ASSERT_EQ(SaveSettings(), 1);
    EXPECT_EQ(RecycleCopies(), 0);
    EXPECT_FALSE(Exists(copy));
    EXPECT_EQ(ReadAll(Bin("files") + "\\" + kCopy), changed);
}

// The shell deletes the copy outright and its name is taken: the copy lives on under its
// guard's name, and takes its own name back at the first look after the name is free,
// before anything else; it is not merged again, so a skill lowered meanwhile stays.
TEST_F(Copies, ACopyDeletedOutrightKeepsItsGuardUntilItsNameCanBeGivenBack)
{
    const std::string text = "[SMITH]\r\nSKILL=90.0\r\nNEXT=1800000000\r\n", guard = copy + ".guard";
    WriteAll(copy, text);
    ASSERT_EQ(LoadSettings(), 1);
    MergeCopies();
    ASSERT_EQ(SaveSettings(), 1);
    settings_step_hook = EmptyBinAndTakeTheName;
    RecycleCopies();
    settings_step_hook = nullptr;
    EXPECT_EQ(ReadAll(guard), text) << "the guard keeps the copy";
    crafts[0].skill.store(70.0);
    EXPECT_EQ(MergeCopies(), COPIES_LATER) << "the guard waits while the name is taken";
    ASSERT_EQ(SaveSettings(), 1) << "a save leaves the guard alone";
    EXPECT_TRUE(Exists(guard));
    ASSERT_TRUE(RemoveDirectoryA(copy.c_str()));
    EXPECT_EQ(MergeCopies(), 0);
    EXPECT_EQ(ReadAll(copy), text);
    EXPECT_FALSE(Exists(guard));
    EXPECT_EQ(crafts[0].skill.load(), 70.0) << "not merged again";
}

}  // namespace
