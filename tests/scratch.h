// A fresh directory made the current one for a test, and the file helpers the tests share.
#ifndef QUORVEL_SCRATCH_H
#define QUORVEL_SCRATCH_H

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

inline std::string ReadAll(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteAll(const std::string &path, const std::string &text)
{
    std::ofstream(path, std::ios::binary) << text;
}

inline bool Exists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The names in a directory, sorted, without "." and "..".
inline std::vector<std::string> Names(const std::string &dir)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

// Removes a directory with everything in it.
inline void RemoveTree(const std::string &dir)
{
    for (const std::string &name : Names(dir)) {
        std::string path = dir + "\\" + name;
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY)
            RemoveTree(path);
        else
            DeleteFileA(path.c_str());
    }
    RemoveDirectoryA(dir.c_str());
}

// <temp>\qv_<kind>_<pid>_<n>, made and entered by Enter, left and removed by Leave.
class ScratchDir {
public:
    std::string path;

    bool Enter(const char *kind)
    {
        GetCurrentDirectoryA(sizeof previous_, previous_);
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        static int serial;
        path = std::string(temp) + "qv_" + kind + "_" + std::to_string(GetCurrentProcessId()) + "_"
             + std::to_string(++serial);
        CreateDirectoryA(path.c_str(), nullptr);
        return SetCurrentDirectoryA(path.c_str()) != FALSE;
    }

    void Leave()
    {
        SetCurrentDirectoryA(previous_);
        RemoveTree(path);
    }

    std::string File(const char *name) const { return path + "\\" + name; }

private:
    char previous_[MAX_PATH] = {};
};

#endif
