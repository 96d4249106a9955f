// A fresh directory made the current one for a test, and the file helpers the tests share.
#ifndef QUORVEL_SCRATCH_H
#define QUORVEL_SCRATCH_H

#include <windows.h>

#include <algorithm>
#include <cstdio>
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

// A name as the wide-character file functions take it.
inline std::wstring Wide(const std::string &text)
{
    std::wstring wide(text.size() + 1, L'\0');
    wide.resize(MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &wide[0], (int)wide.size()) - 1);
    return wide;
}

// Removes a directory with everything in it, whatever the names inside: a name that the
// 8-bit functions cannot spell is still removed.
inline void RemoveTree(const std::wstring &dir)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((dir + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName, path = dir + L"\\" + name;
            if (name == L"." || name == L"..")
                continue;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(dir.c_str());
}

inline void RemoveTree(const std::string &dir) { RemoveTree(Wide(dir)); }

// Makes a new directory <temp>\qv_<kind>_<pid>_<time>_<n> and returns its name. Process ids
// come round again, so the name also carries the time, and a name that is already taken
// is never reused: each run gets a directory no earlier run has left anything in.
inline std::string NewTempDir(const char *kind)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    static unsigned serial;
    for (;;) {
        char name[64];
        snprintf(name, sizeof name, "qv_%s_%lu_%08lx_%u", kind, GetCurrentProcessId(),
                 now.dwLowDateTime, ++serial);
        std::string path = std::string(temp) + name;
        if (CreateDirectoryA(path.c_str(), nullptr))
            return path;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return path;
    }
}

// A new directory of NewTempDir's, made and entered by Enter, left and removed by Leave.
class ScratchDir {
public:
    std::string path;

    bool Enter(const char *kind)
    {
        GetCurrentDirectoryA(sizeof previous_, previous_);
        path = NewTempDir(kind);
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
