// The settings file through the platform's own initialisation-file functions, each
// test in a fresh directory of its own.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "model/craft.h"
#include "settings/settings.h"
#include "scratch.h"
#include "test_support.h"

namespace {

std::vector<std::string> NonBlankLines(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            lines.push_back(line);
    }
    return lines;
}

// Runs each test in a new empty current directory, with the records as at process start.
class SettingsFile : public ::testing::Test {
protected:
    ScratchDir scratch;
    std::string dir, ini;

    void SetUp() override
    {
        ASSERT_TRUE(scratch.Enter("settings"));
        dir = scratch.path;
        ini = scratch.File("Quorvel.ini");
        ResetRecords();
    }

    void TearDown() override { scratch.Leave(); }

    double LoadSkillFrom(const char *text)
    {
        WriteAll(ini, std::string("[SMITH]\r\nSKILL=") + text + "\r\n");
        ResetRecords();
        LoadSettings();
        return crafts[0].skill.load();
    }
};

TEST_F(SettingsFile, NoFileStartsOnDefaultsAndSaveWritesTheWholeLayout)
{
    EXPECT_EQ(LoadSettings(), 0);
    for (const CraftTimer &craft : crafts) {
        EXPECT_EQ(craft.skill.load(), 50.0);
        EXPECT_EQ(craft.available, 0);
        EXPECT_EQ(craft.next_time, 0);
        EXPECT_EQ(craft.alerted, 0);
    }
    EXPECT_EQ(StatusPosition.x, 0);
    EXPECT_EQ(StatusPosition.y, 0);

    crafts[0].available = 1;
    crafts[0].next_time = 1800003600;
    crafts[1].skill.store(69.89999999999986);
    StatusPosition = { -1200, 45 };
    EXPECT_EQ(SaveSettings(), 1);
    const std::vector<std::string> expected = {
        "[SYSTEM]", "VERSION=1",
        "[STATUS]", "X=-1200", "Y=45",
        "[SMITH]", "AVAILABLE=1", "SKILL=50.0", "NEXT=1800003600",
        "[TAILOR]", "AVAILABLE=0", "SKILL=69.9", "NEXT=0",
    };
    EXPECT_EQ(NonBlankLines(ReadAll(ini)), expected);

    ResetRecords();
    EXPECT_EQ(LoadSettings(), 1);
    EXPECT_EQ(crafts[1].skill.load(), 69.9);
    EXPECT_EQ(crafts[0].next_time, 1800003600);
    EXPECT_EQ(StatusPosition.x, -1200);
    EXPECT_EQ(StatusPosition.y, 45);
}

TEST_F(SettingsFile, EmptyFileReadsAsTheReadersDefaults)
{
    WriteAll(ini, "");
    EXPECT_EQ(LoadSettings(), 1);
    for (const CraftTimer &craft : crafts) {
        EXPECT_EQ(craft.skill.load(), 50.0);
        EXPECT_EQ(craft.available, 0);
        EXPECT_EQ(craft.next_time, 0);
        EXPECT_EQ(craft.alerted, 0);
    }
}

// Loaded skills are rounded to the nearest tenth; a text half-way between two tenths
// rounds up, whatever the binary error of its double.
TEST_F(SettingsFile, SkillTextsAreParsedRoundedAndClampedIntoRange)
{
    const struct { const char *text; double skill; } cases[] = {
        { "150", 120.0 },   { "-3", 0.0 },        { "abc", 0.0 },     { "69.95", 70.0 },
        { "69.94", 69.9 },  { "69.85", 69.9 },    { "50.05", 50.1 },  { "12.25", 12.3 },
        { "119.96", 120.0 }, { "0.04", 0.0 },     { "-0.0", 0.0 },    { "69.9", 69.9 },
        { "nan", 0.0 },     { "-nan", 0.0 },      { "inf", 120.0 },   { "-inf", 0.0 },
        { "1e999", 120.0 }, { "  42.5", 42.5 },   { "77.7xyz", 77.7 }, { "", 0.0 },
        { "0.0000000000000000001", 0.0 },
        { "1234567890123456789012", 120.0 },
    };
    for (const auto &c : cases)
        EXPECT_EQ(LoadSkillFrom(c.text), c.skill) << "SKILL=" << c.text;
}

TEST_F(SettingsFile, MissingSkillKeyLoadsAsFifty)
{
    WriteAll(ini, "[SMITH]\r\nAVAILABLE=1\r\n");
    LoadSettings();
    EXPECT_EQ(crafts[0].skill.load(), 50.0);
    EXPECT_EQ(crafts[1].skill.load(), 50.0);
}

// What is shown, what is waited and what is saved agree for a skill typed with more
// decimals than the program keeps.
TEST_F(SettingsFile, HandEditedSkillsWaitAsTheyAreShownAndSaved)
{
    const struct { const char *text; int32_t wait; const char *saved; } cases[] = {
        { "69.94", 7200, "SKILL=69.9" }, { "69.95", 21600, "SKILL=70.0" },
    };
    for (const auto &c : cases) {
        EXPECT_EQ(WaitForSkill(LoadSkillFrom(c.text)), c.wait) << c.text;
        SaveSettings();
        EXPECT_NE(ReadAll(ini).find(c.saved), std::string::npos) << c.text;
    }
}

TEST_F(SettingsFile, IntegersAreKeptAsReadAndWrittenBack)
{
    WriteAll(ini, "[SMITH]\nAVAILABLE=5\nNEXT=-77\n[TAILOR]\nAVAILABLE=junk\nNEXT=12abc\n"
                  "[STATUS]\nX=-300\nY=+20\n");
    LoadSettings();
    EXPECT_EQ(crafts[0].available, 5);
    EXPECT_EQ(crafts[0].next_time, -77);
    EXPECT_EQ(crafts[1].available, 0);
    EXPECT_EQ(crafts[1].next_time, 12);
    EXPECT_EQ(StatusPosition.x, -300);
    EXPECT_EQ(StatusPosition.y, 20);
    EXPECT_EQ(crafts[0].alerted, 0);
    EXPECT_EQ(crafts[1].alerted, 0);
    SaveSettings();
    const std::string text = ReadAll(ini);
    EXPECT_NE(text.find("AVAILABLE=5"), std::string::npos);
    EXPECT_NE(text.find("NEXT=-77"), std::string::npos);
}

TEST_F(SettingsFile, SaveKeepsWhatItDoesNotOwn)
{
    WriteAll(ini, "; the player's own note\r\n[EXTRA]\r\nKEY=value\r\n[SMITH]\r\nCOLOR=blue\r\n"
                  "SKILL=80.0\r\n");
    LoadSettings();
    crafts[0].available = 1;
    SaveSettings();
    const std::string text = ReadAll(ini);
    EXPECT_NE(text.find("; the player's own note"), std::string::npos);
    EXPECT_NE(text.find("[EXTRA]"), std::string::npos);
    EXPECT_NE(text.find("KEY=value"), std::string::npos);
    EXPECT_NE(text.find("COLOR=blue"), std::string::npos);
    EXPECT_NE(text.find("SKILL=80.0"), std::string::npos);
    EXPECT_NE(text.find("[TAILOR]"), std::string::npos);
}

TEST_F(SettingsFile, AFileInAnotherDirectoryIsNotFound)
{
    CreateDirectoryA((dir + "\\other").c_str(), nullptr);
    WriteAll(dir + "\\other\\Quorvel.ini", "[SMITH]\r\nSKILL=99.0\r\nAVAILABLE=1\r\n");
    EXPECT_EQ(LoadSettings(), 0);
    EXPECT_EQ(crafts[0].skill.load(), 50.0);
    SaveSettings();
    EXPECT_NE(ReadAll(ini).find("[SMITH]"), std::string::npos);
    EXPECT_NE(ReadAll(dir + "\\other\\Quorvel.ini").find("SKILL=99.0"), std::string::npos);
    DeleteFileA((dir + "\\other\\Quorvel.ini").c_str());
    RemoveDirectoryA((dir + "\\other").c_str());
}

TEST_F(SettingsFile, ADirectoryTooLongForTheNameIsNeitherReadNorWritten)
{
    // 250 characters of directory leave no room for "\Quorvel.ini" within 259.
    std::string deep = dir;
    std::vector<std::string> made;
    while (deep.size() < 250) {
        deep += "\\" + std::string(std::min<size_t>(60, 250 - deep.size() - 1), 'd');
        ASSERT_TRUE(CreateDirectoryA(deep.c_str(), nullptr)) << deep;
        made.push_back(deep);
    }
    ASSERT_EQ(deep.size(), 250u);
    ASSERT_TRUE(SetCurrentDirectoryA(deep.c_str()));
    wchar_t path[SETTINGS_PATH_MAX + 1];
    EXPECT_EQ(SettingsPath(path, SETTINGS_PATH_MAX + 1), 0);
    crafts[0].skill.store(33.0);
    EXPECT_EQ(LoadSettings(), 0);
    EXPECT_EQ(crafts[0].skill.load(), 50.0);
    crafts[0].next_time = 1234;
    EXPECT_EQ(SaveSettings(), 0);
    EXPECT_EQ(crafts[0].next_time, 1234);
    EXPECT_EQ(GetFileAttributesA((deep + "\\Quorvel.ini").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA((deep.substr(0, 248) + "\\Quorvel.ini").c_str()),
              INVALID_FILE_ATTRIBUTES);
    SetCurrentDirectoryA(dir.c_str());
    for (auto it = made.rbegin(); it != made.rend(); ++it)
        RemoveDirectoryA(it->c_str());
}

// An editor or a sync tool may keep the file open for writing while sharing it.
TEST_F(SettingsFile, AFileOpenForWritingInAnotherProgramWithSharingIsStillRead)
{
    WriteAll(ini, "[SMITH]\r\nSKILL=88.8\r\nAVAILABLE=1\r\n");
    HANDLE held = CreateFileA(ini.c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(LoadSettings(), 1);
    CloseHandle(held);
    EXPECT_EQ(crafts[0].skill.load(), 88.8);
    EXPECT_EQ(crafts[0].available, 1);
}

TEST_F(SettingsFile, AFileHeldAtStartUpIsNeverOverwrittenWithDefaults)
{
    const std::string stored = "[SMITH]\r\nSKILL=88.8\r\nAVAILABLE=1\r\nNEXT=1800000000\r\n"
                               "[TAILOR]\r\nSKILL=12.3\r\nNEXT=1900000000\r\n";
    WriteAll(ini, stored);
    HANDLE held = CreateFileA(ini.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(LoadSettings(), 0);
    EXPECT_EQ(crafts[0].skill.load(), 50.0);
    crafts[0].next_time = 1850000000;  // an order received meanwhile
    EXPECT_EQ(SaveSettings(), 0);
    CloseHandle(held);
    EXPECT_EQ(ReadAll(ini), stored);

    // Once the file can be read, the stored record comes back before anything is written,
    // and the order received meanwhile is kept.
    EXPECT_EQ(SaveSettings(), 1);
    EXPECT_EQ(crafts[0].skill.load(), 88.8);
    EXPECT_EQ(crafts[0].available, 1);
    EXPECT_EQ(crafts[0].next_time, 1850000000);
    EXPECT_EQ(crafts[1].skill.load(), 12.3);
    EXPECT_EQ(crafts[1].next_time, 1900000000);
    const std::string text = ReadAll(ini);
    EXPECT_NE(text.find("SKILL=88.8"), std::string::npos);
    EXPECT_NE(text.find("NEXT=1850000000"), std::string::npos);
}

TEST_F(SettingsFile, ASaveThatFailsKeepsTheStateForTheNextSave)
{
    LoadSettings();
    crafts[1].skill.store(77.7);
    SaveSettings();
    HANDLE held = CreateFileA(ini.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    crafts[1].skill.store(88.8);
    EXPECT_EQ(SaveSettings(), 0);
    CloseHandle(held);
    EXPECT_NE(ReadAll(ini).find("SKILL=77.7"), std::string::npos);
    EXPECT_EQ(crafts[1].skill.load(), 88.8);
    EXPECT_EQ(SaveSettings(), 1);
    EXPECT_NE(ReadAll(ini).find("SKILL=88.8"), std::string::npos);
}

// Eight owned values in a row, X and Y then each craft's AVAILABLE, SKILL and NEXT, as
// one record and back.
OwnedValues Owned(const std::vector<double> &v)
{
    OwnedValues values = { { (int32_t)v[0], (int32_t)v[1] }, {} };
    for (int k = 0; k < CRAFT_COUNT; k++)
        values.craft[k] = { (int32_t)v[2 + 3 * k], v[3 + 3 * k], (int32_t)v[4 + 3 * k] };
    return values;
}

std::vector<double> Row(const OwnedValues &values)
{
    std::vector<double> row = { (double)values.position.x, (double)values.position.y };
    for (const CraftValues &craft : values.craft)
        row.insert(row.end(), { (double)craft.available, craft.skill, (double)craft.next_time });
    return row;
}

// Each owned key in turn, changed in the file since it was last seen (outside), changed
// in memory only (inside), in both or in neither, while every other key is changed
// inside: a change made on one side only is never lost; a key changed on both sides is
// joined (the higher value; the dialog's position stays memory's), so that an unsaved
// step or order survives the other PC's file. A NEXT back from before one of the craft's
// last four orders (held, oldest first) is a stale copy: memory stays.
TEST(MergeOwned, AKeyTakesTheSideThatChangedItAndJoinsWhenBothDid)
{
    const struct { const char *change; double base, file, memory; std::vector<double> held; double merged, position, next; int stale; } cases[] = {
        { "neither", 1, 1, 1, {}, 1, 1, 1, 0 },
        { "outside", 1, 2, 1, {}, 2, 2, 2, 0 },
        { "inside", 1, 1, 3, {}, 3, 3, 3, 0 },
        { "both, memory higher", 1, 2, 3, {}, 3, 3, 3, 0 },
        { "both, the file higher", 1, 3, 2, {}, 3, 2, 3, 0 },
        { "both, alike", 1, 2, 2, {}, 2, 2, 2, 0 },
        { "outside, back to a value held before the order", 3, 2, 3, { 2 }, 2, 2, 3, 1 },
        { "both, the file back to a later value held before the order", 1, 4, 3, { 4 }, 4, 3, 3, 1 },
        { "outside, back to a value held four orders ago", 3, 2, 3, { 2, 5, 6, 7 }, 2, 2, 3, 1 },
        { "outside, back to a value held five orders ago", 3, 2, 3, { 2, 5, 6, 7, 8 }, 2, 2, 2, 0 },
        { "outside, to a value never held", 3, 2, 3, { 4 }, 2, 2, 2, 0 },
    };
    for (int key = 0; key < 8; key++) {
        for (const auto &c : cases) {
            std::vector<double> base(8, 40.0), file(8, 40.0), memory(8, 60.0), merged(8, 60.0);
            base[key] = c.base;
            file[key] = c.file;
            memory[key] = c.memory;
            const bool next_key = key == 4 || key == 7;
            merged[key] = next_key ? c.next : key < 2 ? c.position : c.merged;
            SupersededNext held = {};
            for (int k = 0; k < CRAFT_COUNT; k++)
                for (double value : c.held)
                    NoteSuperseded(&held, k, (int32_t)value);
            int stale = 0;
            EXPECT_EQ(Row(MergeOwned(Owned(base), Owned(file), Owned(memory), held, &stale)), merged)
                << "key " << key << " changed " << c.change;
            EXPECT_EQ(stale, next_key ? c.stale : 0) << "key " << key << " " << c.change;
        }
    }
}

// A conflict copy joins the record craft by craft, whichever side is which and however
// often: the later order (0 is none), the higher skill, tracked when either tracks it;
// the dialog stays where the record has it. Each row: AVAILABLE, SKILL, NEXT of the
// record, of the copy, and joined.
TEST(ConflictCopies, AJoinTakesTheLaterOrderTheHigherSkillAndEitherTracking)
{
    const SupersededNext none = {};
    const double cases[][9] = {
        { 1, 50.0, 1800000000, 1, 50.1, 1800003600, 1, 50.1, 1800003600 },
        { 1, 70.0, 0, 1, 69.9, 1800003600, 1, 70.0, 1800003600 },
        { 0, 50.0, 1800000000, 1, 50.0, 0, 1, 50.0, 1800000000 },
        { 0, 0.0, 0, 0, 0.0, 0, 0, 0.0, 0 },
        { 5, 50.0, 0, 1, 50.0, 0, 5, 50.0, 0 },
    };
    for (const auto &c : cases) {
        for (int swap = 0; swap < 2; swap++) {
            const double *a = c + 3 * swap, *b = c + 3 - 3 * swap, *j = c + 6;
            const OwnedValues copy = Owned({ 30, 40, b[0], b[1], b[2], b[0], b[1], b[2] }),
                              joined = JoinCopy(Owned({ 10, 20, a[0], a[1], a[2], a[0], a[1], a[2] }), copy, none);
            EXPECT_EQ(Row(joined), std::vector<double>({ 10, 20, j[0], j[1], j[2], j[0], j[1], j[2] }))
                << a[0] << " " << a[1] << " " << a[2] << " joined with " << b[0] << " " << b[1] << " " << b[2];
            EXPECT_TRUE(SameOwned(JoinCopy(joined, copy, none), joined)) << "joined twice";
        }
    }
    // A NEXT of the copy that an order here replaced is old news, even a later one (a
    // 2-hour wait received after a 6-hour one): the blacksmith's joins nothing.
    SupersededNext replaced = {};
    NoteSuperseded(&replaced, 0, 1800021600);
    const OwnedValues record = Owned({ 10, 20, 1, 70.0, 1800007200, 1, 70.0, 1800007200 }),
                      copy = Owned({ 30, 40, 1, 70.0, 1800021600, 1, 70.0, 1800021600 });
    EXPECT_EQ(Row(JoinCopy(record, copy, replaced)),
              std::vector<double>({ 10, 20, 1, 70.0, 1800007200, 1, 70.0, 1800021600 }));
}

// Only lines the player wrote make a copy stay: what Quorvel owns is merged, and a line
// the record holds alike (case of names, spaces around '=', line endings aside) adds nothing.
TEST(ConflictCopies, ACopyHoldsLinesOfItsOwnWhenTheRecordLacksOrChangesOne)
{
    const std::string record = "[SYSTEM]\r\nVERSION=1\r\n[SMITH]\r\nSKILL=50.0\r\nNEXT=5\r\n; mine\r\n"
                               "[HOTKEYS]\r\nSTATUS=Ctrl+Alt+S\r\n";
    const struct { const char *copy; bool own; } cases[] = {
        { "[SYSTEM]\r\nVERSION=1\r\n[SMITH]\r\nSKILL=50.0\r\nNEXT=5\r\n; mine\r\n[HOTKEYS]\r\nSTATUS=Ctrl+Alt+S\r\n", false },
        { "\xEF\xBB\xBF[smith]\nskill = 61.0\nnext=9\n[Hotkeys]\n  status =  Ctrl+Alt+S \n[TAILOR]\nNEXT=3\n", false },
        { "[SMITH]\r\nNEXT=7\r\n[HOTKEYS]\r\nRECEIVED_SMITH=Ctrl+Alt+B\r\n", true },
        { "[SMITH]\r\nNEXT=7\r\n[HOTKEYS]\r\nSTATUS=Ctrl+Alt+X\r\n", true },
        { "[SMITH]\r\nNEXT=7\r\n[HOTKEYS]\r\nSTATUS=ctrl+alt+s\r\n", true },
        { "[SMITH]\r\nNEXT=7\r\n; theirs\r\n", true },
        { "[SMITH]\r\nNEXT=7\r\nNOTE=x\r\n", true },
        { "[SMITH]\r\nNEXT=7\r\n[NOTES]\r\n", true },
        { "[TAILOR]\r\nNEXT=7\r\nSTATUS=Ctrl+Alt+S\r\n", true },
    };
    for (const auto &c : cases)
        EXPECT_EQ(HoldsOwnLines(c.copy, strlen(c.copy), record.data(), record.size()), c.own) << c.copy;
}

// The engines' names for a conflict copy of the record, in any case, and names that are not.
TEST(ConflictCopies, OnlyTheSyncEnginesNamesForACopyOfTheRecordAreCopies)
{
    for (const wchar_t *name : { L"Quorvel.sync-conflict-20261208-115602-Q4KK2FG.ini",
             L"QUORVEL.SYNC-CONFLICT-20261208-115602-Q4KK2FG.INI", L"Quorvel (Anna's conflicted copy 2026-12-08).ini",
             L"quorvel (ANNA'S CONFLICTED COPY 2026-12-08 (1)).Ini", L"Quorvel (conflicted copy 2026-12-08 115630).ini",
             L"Quorvel-DESKTOP-1AB2C3D.ini", L"quorvel-desktop-1ab2c3d-2.INI", L"Quorvel-ABCDEFGHIJKLMNO-12.ini" })
        EXPECT_TRUE(IsConflictCopyName(name, wcslen(name))) << name;
    for (const wchar_t *name : { L"Quorvel.ini", L"Quorvel.new", L"Quorvel - Copy.ini", L"Quorvel.ini.bak",
             L"QuorvelX.ini", L"Quorvel-.ini", L"Quorvel-ABCDEFGHIJKLMNOP.ini", L"Quorvel-DESKTOP_1.ini",
             L"Quorvel (copy).ini", L"Quorvel.sync-conflict-.ini", L"Other.sync-conflict-20261208-115602-Q4KK2FG.ini" })
        EXPECT_FALSE(IsConflictCopyName(name, wcslen(name))) << name;
}

// A file's time is kept to some resolution, so a look made soon after a write cannot
// trust a later file of the same size and time: the folder watch's glance reads it again.
// One made long after the write can, and the glance does not read.
TEST_F(SettingsFile, AGlanceRereadsASameStampedFileUnlessItsLastLookCameLongAfterTheWrite)
{
    for (uint64_t age : { 0, 10 }) {
        ULARGE_INTEGER t;
        GetSystemTimeAsFileTime((FILETIME *)&t);
        t.QuadPart -= age * 10000000;
        for (const char *skill : { "60.0", "61.0" }) {
            WriteAll(ini, std::string("[SMITH]\r\nSKILL=") + skill + "\r\n");
            HANDLE file = CreateFileA(ini.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            SetFileTime(file, nullptr, nullptr, (FILETIME *)&t);
            CloseHandle(file);
            if (skill[1] == '0')
                LoadSettings();
        }
        GlanceAtRecord();
        EXPECT_EQ(crafts[0].skill.load(), age == 0 ? 61.0 : 60.0) << "written " << age << " s before the look";
    }
}

// The folder's name is outside the 8-bit code page; the file in it stays 8-bit text, both
// when it is made and when it is saved over.
TEST_F(SettingsFile, AFolderNamedOutsideTheCodePageIsReadAndWritten)
{
    const std::wstring folder = Wide(dir) + L"\\qv_\x0416\x4E2D";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));
    crafts[0].available = 1;
    crafts[0].next_time = 1800003600;
    EXPECT_EQ(SaveSettings(), 1);
    const std::string made = ReadAll("Quorvel.ini");
    EXPECT_EQ(made.compare(0, 10, "[SYSTEM]\r\n"), 0) << made;
    WriteAll("Quorvel.ini", "; mine\r\n" + made);
    crafts[1].skill.store(77.7);
    EXPECT_EQ(SaveSettings(), 1);
    const std::string saved = ReadAll("Quorvel.ini");
    EXPECT_EQ(saved.compare(0, 18, "; mine\r\n[SYSTEM]\r\n"), 0) << saved;
    EXPECT_NE(saved.find("SKILL=77.7\r\n"), std::string::npos) << saved;

    ResetRecords();
    EXPECT_EQ(LoadSettings(), 1);
    EXPECT_EQ(crafts[0].next_time, 1800003600);
    EXPECT_EQ(crafts[0].available, 1);
    EXPECT_EQ(crafts[1].skill.load(), 77.7);
    SetCurrentDirectoryA(dir.c_str());
}

}  // namespace
