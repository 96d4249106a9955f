// Thousands of generated settings files, each loaded and saved through the platform's
// initialisation-file functions: odd bytes, endless lines and keys, numbers of every
// shape, duplicate keys and sections, either line ending, byte-order marks. Whatever
// the file holds, loading never crashes and keeps the skills in range, the first save
// writes what memory holds, a second load and save changes nothing, and every line
// Quorvel does not own is still there.
//   QUORVEL_FUZZ_FILES=n   runs seeds 1..n (default 600)
//   QUORVEL_FUZZ_SEED=s    runs seed s alone, to replay a failure
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "model/craft.h"
#include "settings/settings.h"
#include "scratch.h"
#include "test_support.h"

namespace {

const char *const kSections[] = { "SYSTEM", "STATUS", "SMITH", "TAILOR" };
const char *const kKeys[] = { "VERSION", "X", "Y", "AVAILABLE", "SKILL", "NEXT" };

const char *const kValues[] = {
    "0", "1", "-1", "5", "50.0", "2147483647", "2147483648", "-2147483648", "-2147483649",
    "99999999999999999999", "0x1F", "0X7fffffff", "017", "0b101", "+42", "- 3", "1e5", "1.5",
    "nan", "NaN", "-nan", "nan(123)", "inf", "-inf", "INFINITY", "1e999", "-1e999", "0x1p7",
    "69.95", "69.9", "120.04", "120.05", "119.95", "-0.0", "  50.0  ", "\"70.0\"", "'12.5'",
    "\"", "", "abc", "12abc", "1,5", "0.0000000000000000001", "00000000000000000000000070",
    "\t7\t", "=5", "4294967296", "-0x80000000",
};

// A line the generator planted that Quorvel does not own: it must survive every save.
struct Marker {
    std::string token;  // unique text that finds the line
    std::string line;   // the line with blanks taken out
};

// One generated file, and what must be found in it after the saves.
struct Case {
    std::string bytes;
    std::vector<Marker> markers;
    bool utf16 = false;
};

std::string RandomBytes(Rng &rng, size_t length, bool allow_newline)
{
    std::string bytes;
    while (bytes.size() < length) {
        char c = (char)rng.Below(256);
        // A noise line never opens a section, so that planted lines stay where they were put.
        if (c == '[' || (c == '\n' && !allow_newline))
            continue;
        bytes += c;
    }
    return bytes;
}

std::string CaseVariant(Rng &rng, const char *name)
{
    std::string text = name;
    int how = rng.Below(4);
    for (char &c : text)
        if (how == 1 || (how == 2 && rng.OneIn(2)))
            c = (char)tolower((unsigned char)c);
    return text;
}

std::string Blanks(Rng &rng)
{
    static const char *const kBlanks[] = { "", "", "", " ", "  ", "\t", " \t " };
    return kBlanks[rng.Below(7)];
}

std::string OwnedValue(Rng &rng)
{
    switch (rng.Below(8)) {
    case 0:
        return RandomBytes(rng, rng.Below(40), false);
    case 1:
        return std::string(1 + rng.Below(400), "0123456789"[rng.Below(10)]);
    case 2:
        return std::to_string((int64_t)rng.Next());
    case 3: {
        char text[32];
        snprintf(text, sizeof text, "%.*f", (int)rng.Below(4), (double)rng.Below(1300000) / 1000.0 - 50.0);
        return text;
    }
    default:
        return kValues[rng.Below(sizeof kValues / sizeof *kValues)];
    }
}

// Makes the file of one seed: sections and keys of Quorvel's and of others', planted
// markers among noise, in one of three encodings.
Case Generate(uint64_t seed)
{
    Rng rng{ seed };
    Case c;
    std::string text;
    const int eol_mode = rng.Below(3);
    auto eol = [&]() -> std::string {
        int mode = eol_mode == 2 ? (int)rng.Below(2) : eol_mode;
        return mode == 0 ? "\r\n" : "\n";
    };
    int serial = 0;
    auto token = [&](const char *kind) {
        return std::string(kind) + std::to_string(seed) + "_" + std::to_string(++serial);
    };

    if (rng.OneIn(20)) {
        // Nothing but random bytes, newlines and brackets included; now and then a megabyte.
        c.bytes = RandomBytes(rng, rng.OneIn(50) ? 1 << 20 : rng.Below(4096), true);
        for (size_t i = 0; i < c.bytes.size(); i++)
            if (rng.OneIn(30))
                c.bytes[i] = "\n[]="[rng.Below(4)];
        return c;
    }

    // Keys that already appeared in the section being written, for planting duplicates.
    std::vector<std::string> keys_here;
    if (rng.OneIn(2)) {
        // Half the files start as Quorvel writes them, with values of any shape.
        static const char *const kLayout[] = { "[SYSTEM]", "VERSION", "[STATUS]", "X", "Y",
                                               "[SMITH]", "AVAILABLE", "SKILL", "NEXT",
                                               "[TAILOR]", "AVAILABLE", "SKILL", "NEXT" };
        for (const char *line : kLayout) {
            if (line[0] == '[') {
                text += std::string(line) + eol();
                keys_here.clear();
            } else {
                text += CaseVariant(rng, line) + "=" + OwnedValue(rng) + eol();
                keys_here.push_back(line);
            }
        }
    }
    const int pieces = rng.OneIn(100) ? 400 + rng.Below(1100) : rng.Below(40);
    for (int i = 0; i < pieces; i++) {
        switch (rng.Below(12)) {
        case 0:
        case 1:  // one of Quorvel's sections, again and again
            text += Blanks(rng) + "[" + CaseVariant(rng, kSections[rng.Below(4)]) + "]" + Blanks(rng) + eol();
            keys_here.clear();
            break;
        case 2:
        case 3:
        case 4: {  // one of Quorvel's keys, with a value of any shape
            std::string key = CaseVariant(rng, kKeys[rng.Below(6)]);
            text += Blanks(rng) + key + Blanks(rng) + "=" + Blanks(rng) + OwnedValue(rng) + eol();
            keys_here.push_back(key);
            break;
        }
        case 5:
            if (!keys_here.empty()) {  // a second copy of a key: the first one is Quorvel's
                Marker m{ token("FZD"), "" };
                std::string key = keys_here[rng.Below((uint32_t)keys_here.size())];
                m.line = key + "=" + m.token;
                text += key + Blanks(rng) + "=" + Blanks(rng) + m.token + eol();
                c.markers.push_back(m);
            }
            break;
        case 6: {  // a section of someone else's, with a key
            Marker s{ token("FZS"), "" }, k{ token("FZK"), "" };
            s.line = "[" + s.token + "]";
            k.line = k.token + "=v" + k.token;
            text += Blanks(rng) + s.line + eol() + k.token + Blanks(rng) + "=" + Blanks(rng) + "v"
                  + k.token + eol();
            c.markers.push_back(s);
            c.markers.push_back(k);
            keys_here.clear();
            break;
        }
        case 7: {  // someone else's key or comment in whatever section this is
            Marker m{ token(rng.OneIn(2) ? "FZK" : "FZC"), "" };
            if (m.token[2] == 'K') {
                m.line = m.token + "=v" + m.token;
                text += m.token + Blanks(rng) + "=" + Blanks(rng) + "v" + m.token + eol();
            } else {
                m.line = ";" + m.token + "note";
                text += Blanks(rng) + "; " + m.token + " note" + eol();
            }
            c.markers.push_back(m);
            break;
        }
        case 8: {  // noise: control bytes, high bytes, lone carriage returns, NULs
            size_t length = rng.OneIn(100) ? 4096 + rng.Below(60000) : rng.Below(200);
            text += RandomBytes(rng, length, false) + eol();
            break;
        }
        case 9: {  // odd brackets, empty names and keys without a value
            static const char *const kOdd[] = { "[]", "[unterminated", "[SMITH]]junk", "[ SMITH ]",
                                                "=", "=value", "SKILL", "SKILL==5", "[[TAILOR]",
                                                "]", ";", "\x1a", "X=1=2" };
            text += kOdd[rng.Below(13)] + eol();
            keys_here.clear();
            break;
        }
        case 10:  // a very long key
            text += std::string(1000 + rng.Below(5000), 'k') + "=" + OwnedValue(rng) + eol();
            break;
        default:
            text += Blanks(rng) + eol();
            break;
        }
    }

    switch (rng.Below(10)) {
    case 0:
        c.bytes = "\xEF\xBB\xBF" + text;
        break;
    case 1:  // UTF-16 with its mark, as some editors save
        c.utf16 = true;
        c.bytes = "\xFF\xFE";
        for (char ch : text) {
            c.bytes += ch;
            c.bytes += '\0';
        }
        break;
    default:
        c.bytes = text;
        break;
    }
    return c;
}

// The file as 8-bit text without its byte-order mark, UTF-16 narrowed, so that planted
// ASCII lines can be found.
std::string Narrowed(const std::string &bytes)
{
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        return bytes.substr(3);
    if (bytes.compare(0, 2, "\xFF\xFE") != 0)
        return bytes;
    std::string text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
        text += bytes[i + 1] == 0 ? bytes[i] : '?';
    return text;
}

// The whole line that holds token, without blanks and carriage returns.
std::string LineWith(const std::string &text, const std::string &token)
{
    size_t at = text.find(token);
    if (at == std::string::npos)
        return "(missing)";
    size_t begin = text.rfind('\n', at);
    begin = begin == std::string::npos ? 0 : begin + 1;
    size_t end = text.find('\n', at);
    std::string line;
    for (char ch : text.substr(begin, end == std::string::npos ? std::string::npos : end - begin))
        if (ch != ' ' && ch != '\t' && ch != '\r')
            line += ch;
    return line;
}

// What the records hold, as the file would say it.
std::string RecordsText()
{
    char text[256];
    snprintf(text, sizeof text, "X=%d Y=%d", (int)StatusPosition.x, (int)StatusPosition.y);
    std::string all = text;
    for (const CraftTimer &craft : crafts) {
        snprintf(text, sizeof text, " | AVAILABLE=%d SKILL=%.1f NEXT=%d", (int)craft.available,
                 craft.skill.load(), (int)craft.next_time);
        all += text;
    }
    return all;
}

// Fills the records with values that no load should leave behind.
void Scribble()
{
    for (CraftTimer &craft : crafts) {
        craft.available = 0x5A5A5A5A;
        craft.skill.store(-777.0);
        craft.next_time = 0x5A5A5A5A;
        craft.alerted = 1;
    }
    StatusPosition = { 0x5A5A5A5A, 0x5A5A5A5A };
}

// Loads and checks what every load must give: skills in range, no alert.
std::string CheckedLoad()
{
    LoadSettings();
    for (const CraftTimer &craft : crafts) {
        double skill = craft.skill.load();
        if (!(skill >= SKILL_MIN && skill <= SKILL_MAX))
            return "skill " + std::to_string(skill) + " out of range after load";
        if (craft.alerted != 0)
            return "alerted survived the load";
    }
    return "";
}

// The platform keeps the last ten files it read by name, and trusts a cached copy while
// the file's time stamp stays the same. Seeds take turns over more directories than that,
// so that every seed's file is read from disk.
enum { FUZZ_DIRECTORIES = 16 };

// Runs one seed; an empty result when every rule held.
std::string RunSeed(uint64_t seed, const std::string &base)
{
    const std::string dir = base + "\\" + std::to_string(seed % FUZZ_DIRECTORIES);
    const std::string ini = dir + "\\Quorvel.ini";
    const Case c = Generate(seed);
    SetCurrentDirectoryA(dir.c_str());
    std::ofstream(ini, std::ios::binary) << c.bytes;

    std::string failure;
    std::string first, second;
    Scribble();
    failure = CheckedLoad();
    if (failure.empty() && !SaveSettings())
        failure = "the first save failed";
    if (failure.empty()) {
        first = ReadAll(ini);
        std::string held = RecordsText();
        Scribble();
        failure = CheckedLoad();
        if (failure.empty() && RecordsText() != held)
            failure = "the saved file reads back otherwise:\n  saved  " + held + "\n  loaded "
                    + RecordsText();
    }
    if (failure.empty() && !SaveSettings())
        failure = "the second save failed";
    if (failure.empty()) {
        second = ReadAll(ini);
        if (second != first)
            failure = "the second save changed the file (" + std::to_string(first.size()) + " -> "
                    + std::to_string(second.size()) + " bytes)";
    }
    if (failure.empty()) {
        const std::string text = Narrowed(second);
        for (const Marker &m : c.markers) {
            std::string found = LineWith(text, m.token);
            if (found != m.line) {
                failure = "a line Quorvel does not own was lost: expected \"" + m.line + "\", found \""
                        + found + "\"";
                break;
            }
        }
    }
    SetCurrentDirectoryA(base.c_str());
    DeleteFileA(ini.c_str());
    return failure;
}

uint64_t FromEnvironment(const char *name, uint64_t fallback)
{
    const char *text = getenv(name);
    return text && *text ? strtoull(text, nullptr, 10) : fallback;
}

TEST(SettingsFuzz, GeneratedFilesLoadSafelyAndSurviveTwoSaves)
{
    char previous[MAX_PATH];
    GetCurrentDirectoryA(sizeof previous, previous);
    const std::string base = NewTempDir("fuzz");
    for (int i = 0; i < FUZZ_DIRECTORIES; i++)
        CreateDirectoryA((base + "\\" + std::to_string(i)).c_str(), nullptr);

    const uint64_t only = FromEnvironment("QUORVEL_FUZZ_SEED", 0);
    const uint64_t first = only ? only : 1, last = only ? only : FromEnvironment("QUORVEL_FUZZ_FILES", 600);
    int failures = 0;
    for (uint64_t seed = first; seed <= last && failures < 5; seed++) {
        std::string failure = RunSeed(seed, base);
        if (!failure.empty()) {
            ADD_FAILURE() << "seed " << seed << ": " << failure
                          << "\n  replay with QUORVEL_FUZZ_SEED=" << seed;
            failures++;
        }
    }
    SetCurrentDirectoryA(previous);
    RemoveTree(base);
}

}  // namespace
