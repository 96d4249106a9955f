// The settings file when the world gets in the way: held by another program, read-only,
// its directory moved away, a current directory at the path limit, a save killed half-way.
// Whatever happens, nothing is written to a wrong place, the stored record is never
// replaced with the defaults or left half-written, and what could not be saved goes out
// with the next save that works.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "model/craft.h"
#include "settings/settings.h"
#include "scratch.h"
#include "test_support.h"

namespace {

const char kStored[] =
    "; kept by hand\r\n"
    "[SYSTEM]\r\nVERSION=1\r\n"
    "[STATUS]\r\nX=300\r\nY=200\r\n"
    "[SMITH]\r\nAVAILABLE=1\r\nSKILL=88.8\r\nNEXT=1800000000\r\n"
    "[TAILOR]\r\nAVAILABLE=1\r\nSKILL=12.3\r\nNEXT=1800007200\r\n"
    "[NOTES]\r\nMINE=yes\r\n";

// Every place a settings file could land by mistake: each directory above the given
// one up to the drive root, and the system's own directories, where a bare file name
// would send the initialisation-file functions.
std::vector<std::string> StrayFiles(const std::string &below)
{
    std::vector<std::string> found;
    std::string dir = below;
    for (size_t cut; (cut = dir.find_last_of('\\')) != std::string::npos;) {
        dir.resize(cut);
        if (Exists(dir + "\\Quorvel.ini"))
            found.push_back(dir + "\\Quorvel.ini");
    }
    char system[MAX_PATH];
    GetWindowsDirectoryA(system, sizeof system);
    if (Exists(std::string(system) + "\\Quorvel.ini"))
        found.push_back(std::string(system) + "\\Quorvel.ini");
    GetSystemDirectoryA(system, sizeof system);
    if (Exists(std::string(system) + "\\Quorvel.ini"))
        found.push_back(std::string(system) + "\\Quorvel.ini");
    return found;
}

std::string Value(const std::string &ini, const char *section, const char *key)
{
    char text[64] = "";
    GetPrivateProfileStringA(section, key, "(none)", text, sizeof text, ini.c_str());
    return text;
}

// Why the last StartHelper failed: CreateProcess's error code.
DWORD helper_error;

// Starts one of the helper programs built beside this test, in the given directory (or
// this one's); its process handle, or null with the reason in helper_error.
// Under 64-bit Wine about one start in a thousand dies inside Wine before the helper runs
// ("failed to map the shared user data": the new process's randomised address layout
// happened to cover the address Wine needs), and CreateProcess then fails with
// ERROR_INTERNAL_ERROR. Each start gets a new layout, so only that failure is tried again.
HANDLE StartHelper(const char *name, const std::string &arguments, const char *directory = nullptr)
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string exe = self;
    exe = exe.substr(0, exe.find_last_of('\\')) + "\\" + name;
    for (int attempt = 1;; attempt++) {
        std::string command = "\"" + exe + "\" " + arguments;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        if (CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, directory,
                           &startup, &info)) {
            CloseHandle(info.hThread);
            return info.hProcess;
        }
        helper_error = GetLastError();
        if (helper_error != ERROR_INTERNAL_ERROR || attempt == 3)
            return nullptr;
    }
}

// A pair of event names no other test or run uses.
std::string EventTag()
{
    static int serial;
    return std::to_string(GetCurrentProcessId()) + "_" + std::to_string(GetTickCount()) + "_"
         + std::to_string(++serial);
}

// Another process that holds a file open without sharing until it is released, or, with
// a number of milliseconds as its mode, until that time has passed; mode "delete" makes
// it remove the file as it lets go.
class Holder {
public:
    ~Holder() { Release(); }

    // Starts the holder on path; true once it has the file open.
    bool Hold(const std::string &path, const std::string &mode = "")
    {
        std::string tag = EventTag();
        std::string ready_name = "qv_hold_ready_" + tag, release_name = "qv_hold_release_" + tag;
        ready_ = CreateEventA(nullptr, TRUE, FALSE, ready_name.c_str());
        release_ = CreateEventA(nullptr, TRUE, FALSE, release_name.c_str());
        process_ = StartHelper("hold_file.exe",
                               "\"" + path + "\" " + ready_name + " " + release_name + " " + mode);
        if (!process_)
            return false;
        HANDLE either[] = { ready_, process_ };
        return WaitForMultipleObjects(2, either, FALSE, 20000) == WAIT_OBJECT_0;
    }

    // Lets go of the file and waits for the holder to end; its exit code.
    DWORD Release()
    {
        DWORD code = 1;
        if (process_) {
            SetEvent(release_);
            WaitForSingleObject(process_, 20000);
            GetExitCodeProcess(process_, &code);
            CloseHandle(process_);
            process_ = nullptr;
        }
        for (HANDLE *event : { &ready_, &release_ })
            if (*event) {
                CloseHandle(*event);
                *event = nullptr;
            }
        return code;
    }

private:
    HANDLE process_ = nullptr, ready_ = nullptr, release_ = nullptr;
};

// Each test runs in <new temporary directory>\home, so that the directory above the
// current one is the test's own and can be moved away.
class Faults : public ::testing::Test {
protected:
    std::string root, dir, ini;
    char previous[MAX_PATH] = {};

    void SetUp() override
    {
        GetCurrentDirectoryA(sizeof previous, previous);
        root = NewTempDir("faults");
        dir = root + "\\home";
        ini = dir + "\\Quorvel.ini";
        CreateDirectoryA(dir.c_str(), nullptr);
        ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str()));
        for (CraftTimer &craft : crafts) {
            craft.available = 0;
            craft.skill.store(0.0);
            craft.next_time = 0;
            craft.alerted = 1;
        }
        StatusPosition = {};
    }

    void TearDown() override
    {
        SetCurrentDirectoryA(previous);
        RemoveTree(root);
        RemoveTree(root + "_moved");
    }

    // Moves the directory above the current one away, or back: the current directory
    // then names a place that does not exist, as after the player moved the folder.
    void MoveAway() { ASSERT_TRUE(MoveFileA(root.c_str(), (root + "_moved").c_str())); }
    void MoveBack() { ASSERT_TRUE(MoveFileA((root + "_moved").c_str(), root.c_str())); }

    void ExpectStoredRecordIn(const std::string &text)
    {
        for (const char *line : { "SKILL=88.8", "SKILL=12.3", "X=300", "[NOTES]", "MINE=yes",
                                  "; kept by hand" })
            EXPECT_NE(text.find(line), std::string::npos) << line << " lost from:\n" << text;
    }
};

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
