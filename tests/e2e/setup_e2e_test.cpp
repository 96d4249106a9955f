// The setup program end to end, in the suite's own Wine prefix: a silent install, the
// shortcuts as the shell reads them, an upgrade and an uninstall while Quorvel runs; and
// a signed release's setup against its winget manifest (run by tests/release).
#include <gtest/gtest.h>

#include <shlobj.h>
#include <shobjidl.h>

#include <fstream>
#include <map>

#include "e2e/driver.h"
#include "res/resource.h"

using namespace e2e;

namespace {

const std::string kUninstallKeys = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::string kUninstallKey = kUninstallKeys + "Quorvel";

std::string Folder(int csidl)
{
    char path[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

bool Exists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Runs a command line to its end; its exit code, or -1 when it did not start or end in time.
long RunToEnd(const std::string &command_line)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    std::string command = command_line;
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return -1;
    DWORD code = (DWORD)-1;
    if (WaitForSingleObject(info.hProcess, 60000) == WAIT_OBJECT_0)
        GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    return (long)code;
}

struct Shortcut {
    std::string target, start_in;
};

// What a shell link points at and its "Start in" folder, as the shell reads them.
bool ReadShortcut(const std::string &path, Shortcut *link)
{
    IShellLinkA *shell_link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                (void **)&shell_link)))
        return false;
    IPersistFile *file = nullptr;
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    char target[MAX_PATH] = "", start_in[MAX_PATH] = "";
    bool read = SUCCEEDED(shell_link->QueryInterface(IID_IPersistFile, (void **)&file))
             && SUCCEEDED(file->Load(wide, STGM_READ))
             && SUCCEEDED(shell_link->GetPath(target, MAX_PATH, nullptr, 0))
             && SUCCEEDED(shell_link->GetWorkingDirectory(start_in, MAX_PATH));
    if (file)
        file->Release();
    shell_link->Release();
    link->target = target;
    link->start_in = start_in;
    return read;
}

// A value of the app list's entry, as text; "<missing>" when it is not there.
std::string UninstallValue(const char *name, const std::string &entry = kUninstallKey)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, entry.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "<missing>";
    BYTE data[512] = {};
    DWORD type = 0, size = sizeof data - 1;
    LONG read = RegQueryValueExA(key, name, nullptr, &type, data, &size);
    RegCloseKey(key);
    if (read != ERROR_SUCCESS)
        return "<missing>";
    if (type == REG_DWORD)
        return std::to_string(*(DWORD *)data);
    return (const char *)data;
}

// The "key: value" lines of a manifest file, by key with its indent ("  DisplayName").
std::map<std::string, std::string> ManifestFields(const std::string &path)
{
    std::map<std::string, std::string> fields;
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        size_t colon = line.find(": ");
        size_t start = line.rfind("- ", 0) == 0 ? 2 : 0;
        if (colon != std::string::npos && line[0] != '#')
            fields.emplace((start ? "  " : "") + line.substr(start, colon - start), line.substr(colon + 2));
    }
    return fields;
}

class SetupProgram : public ::testing::Test {
protected:
    std::string program_dir = Folder(CSIDL_LOCAL_APPDATA) + "\\Programs\\Quorvel";
    std::string program = program_dir + "\\Quorvel.exe";
    std::string uninstaller = program_dir + "\\Uninstall.exe";
    std::string record_dir = Folder(CSIDL_APPDATA) + "\\Quorvel";
    std::string record = record_dir + "\\Quorvel.ini";
    std::string menu_link = Folder(CSIDL_PROGRAMS) + "\\Quorvel.lnk";
    std::string startup_link = Folder(CSIDL_STARTUP) + "\\Quorvel.lnk";

    void SetUp() override
    {
        ASSERT_TRUE(Exists(setup_path))
            << "the setup program " << setup_path << " was not built: makensis (Debian's nsis"
            << " package) was missing when the build was configured; ./dev.sh installs it,"
            << " then delete the build folder and build again";
        char overrides[256] = "";
        GetEnvironmentVariableA("WINEDLLOVERRIDES", overrides, sizeof overrides);
        ASSERT_NE(strstr(overrides, "winemenubuilder.exe=d"), nullptr)
            << "Wine's menu builder would copy the shortcuts into this machine's menus: run the"
            << " suite with ./dev.sh test";
        CoInitialize(nullptr);
        RemoveAll();
    }

    void TearDown() override
    {
        RemoveAll();
        CoUninitialize();
    }

    // Removes whatever an install, or a failed or interrupted run of this test, left behind.
    void RemoveAll()
    {
        const std::string stray = program_dir + "\\Quorvel.ini";
        for (const std::string &file :
             { program, uninstaller, stray, menu_link, startup_link, record })
            DeleteFileA(file.c_str());
        RemoveDirectoryA(program_dir.c_str());
        RemoveDirectoryA(record_dir.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, kUninstallKey.c_str());
    }
};

TEST_F(SetupProgram, InstallsUpgradesWhileRunningAndUninstallsKeepingTheRecord)
{
    // A player who kept their record by hand before: setup must not touch it.
    const std::string kept = "[SMITH]\r\nAVAILABLE=1\r\nSKILL=70.0\r\n";
    CreateDirectoryA(record_dir.c_str(), nullptr);
    WriteText(record, kept);

    ASSERT_EQ(RunToEnd("\"" + setup_path + "\" /S /NOSTARTUP"), 0);
    EXPECT_TRUE(Exists(program));
    EXPECT_TRUE(Exists(uninstaller));
    EXPECT_EQ(ReadText(record), kept);
    EXPECT_FALSE(Exists(startup_link)) << "/NOSTARTUP";
    const struct { const char *name; std::string value; } entry[] = {
        { "DisplayName", "Quorvel" },
        { "DisplayVersion", QUORVEL_VERSION },
        { "Publisher", "the Quorvel authors" },
        { "DisplayIcon", program + ",0" },
        { "UninstallString", "\"" + uninstaller + "\"" },
        { "NoModify", "1" },
        { "NoRepair", "1" },
    };
    for (const auto &e : entry)
        EXPECT_EQ(UninstallValue(e.name), e.value) << e.name;
    EXPECT_GE(atol(UninstallValue("EstimatedSize").c_str()), 64) << "kilobytes";

    // Started as its shortcut starts it, beside a second character's copy started from a
    // folder of its own; both hold changes not yet saved.
    Shortcut menu;
    ASSERT_TRUE(ReadShortcut(menu_link, &menu));
    Quorvel first, second;
    ASSERT_TRUE(first.Start(menu.start_in, SW_SHOWNORMAL, menu.target));
    EXPECT_EQ(first.Command(IDM_UPSKILL_SMITH), 1);
    TempDir elsewhere;
    WriteText(elsewhere.File("Quorvel.ini"), "[TAILOR]\r\nAVAILABLE=1\r\nSKILL=60.0\r\n");
    ASSERT_TRUE(second.Start(elsewhere.path, SW_SHOWNORMAL, menu.target));
    EXPECT_EQ(second.Command(IDM_UPSKILL_TAILOR), 1);

    // The upgrade closes both, each saving its record, before it replaces the program;
    // this time it also makes the start at sign-in.
    ASSERT_EQ(RunToEnd("\"" + setup_path + "\" /S"), 0);
    EXPECT_EQ(first.WaitExit(0), 0);
    EXPECT_EQ(second.WaitExit(0), 0);
    EXPECT_EQ(IniValue(record, "SMITH", "SKILL"), "70.1");
    EXPECT_EQ(IniValue(elsewhere.File("Quorvel.ini"), "TAILOR", "SKILL"), "60.1");
    EXPECT_TRUE(Exists(program));
    for (const std::string &path : { menu_link, startup_link }) {
        Shortcut link;
        ASSERT_TRUE(ReadShortcut(path, &link)) << path;
        EXPECT_STRCASEEQ(link.target.c_str(), program.c_str()) << path;
        EXPECT_STRCASEEQ(link.start_in.c_str(), record_dir.c_str()) << path;
    }

    // The uninstaller closes a running copy the same way and keeps the record.
    Quorvel third;
    ASSERT_TRUE(third.Start(record_dir, SW_SHOWNORMAL, program));
    EXPECT_EQ(third.Command(IDM_UPSKILL_SMITH), 1);
    // _?= runs the uninstaller in place, so that it returns when it has finished.
    ASSERT_EQ(RunToEnd("\"" + uninstaller + "\" /S _?=" + program_dir), 0);
    EXPECT_EQ(third.WaitExit(0), 0);
    EXPECT_FALSE(Exists(program));
    EXPECT_FALSE(Exists(menu_link));
    EXPECT_FALSE(Exists(startup_link));
    EXPECT_EQ(UninstallValue("DisplayName"), "<missing>");
    EXPECT_EQ(IniValue(record, "SMITH", "SKILL"), "70.2");
}

// winget knows an installed package by what its setup wrote into the app list: the
// manifest must name the entry's key and its values exactly. The signed setup must also
// install silently and leave a program that starts.
TEST_F(SetupProgram, SignedReleaseInstallsAsItsWingetManifestSays)
{
    char manifest[MAX_PATH] = "";
    if (!GetEnvironmentVariableA("QUORVEL_WINGET_MANIFEST", manifest, sizeof manifest))
        GTEST_SKIP() << "tests/release/signed_release.sh runs this with a signed release";
    std::string locale = manifest;
    locale.replace(locale.rfind(".installer.yaml"), std::string::npos, ".locale.en-US.yaml");
    auto installer = ManifestFields(manifest), description = ManifestFields(locale);
    ASSERT_FALSE(installer["ProductCode"].empty()) << manifest;

    ASSERT_EQ(RunToEnd("\"" + setup_path + "\" /S /NOSTARTUP"), 0);
    const std::string entry = kUninstallKeys + installer["ProductCode"];
    const struct { const char *value; std::string expected; } table[] = {
        { "DisplayName", installer["  DisplayName"] },
        { "DisplayName", description["PackageName"] },
        { "Publisher", installer["  Publisher"] },
        { "Publisher", description["Publisher"] },
        { "DisplayVersion", installer["  DisplayVersion"] },
        { "DisplayVersion", installer["PackageVersion"] },
    };
    for (const auto &row : table)
        EXPECT_EQ(UninstallValue(row.value, entry), row.expected) << row.value;
    EXPECT_EQ(installer["  ProductCode"], installer["ProductCode"]);

    Quorvel installed;
    ASSERT_TRUE(installed.Start(record_dir, SW_SHOWNORMAL, program));
    EXPECT_TRUE(installed.TrayIconExists());
    ASSERT_EQ(RunToEnd("\"" + uninstaller + "\" /S _?=" + program_dir), 0);
    EXPECT_EQ(installed.WaitExit(0), 0);
}

}  // namespace
