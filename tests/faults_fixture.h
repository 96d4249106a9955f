// The fault tests' fixture: a scratch folder with a stored record, helper processes that
// hold the file or save in a loop, and what a fault may have left behind.
#ifndef QUORVEL_FAULTS_FIXTURE_H
#define QUORVEL_FAULTS_FIXTURE_H

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

inline const char kStored[] =
    "; kept by hand\r\n"
    "[SYSTEM]\r\nVERSION=1\r\n"
    "[STATUS]\r\nX=300\r\nY=200\r\n"
    "[SMITH]\r\nAVAILABLE=1\r\nSKILL=88.8\r\nNEXT=1800000000\r\n"
    "[TAILOR]\r\nAVAILABLE=1\r\nSKILL=12.3\r\nNEXT=1800007200\r\n"
    "[NOTES]\r\nMINE=yes\r\n";

// Every place a settings file could land by mistake: each directory above the given
// one up to the drive root, and the system's own directories, where a bare file name
// would send the initialisation-file functions.
inline std::vector<std::string> StrayFiles(const std::string &below)
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

inline std::string Value(const std::string &ini, const char *section, const char *key)
{
    char text[64] = "";
    GetPrivateProfileStringA(section, key, "(none)", text, sizeof text, ini.c_str());
    return text;
}

// Why the last StartHelper failed: CreateProcess's error code.
inline DWORD helper_error;

// Starts one of the helper programs built beside this test, in the given directory (or
// this one's); its process handle, or null with the reason in helper_error.
// Under 64-bit Wine about one start in a thousand dies inside Wine before the helper runs
// ("failed to map the shared user data": the new process's randomised address layout
// happened to cover the address Wine needs), and CreateProcess then fails with
// ERROR_INTERNAL_ERROR. Each start gets a new layout, so only that failure is tried again.
inline HANDLE StartHelper(const char *name, const std::string &arguments, const char *directory = nullptr)
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
inline std::string EventTag()
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
        ResetRecords();
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

#endif
