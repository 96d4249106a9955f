// The resources of the built Quorvel.exe: their language tags and the version block.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "quorvel_version.h"
#include "test_support.h"

namespace {

// One node of a version block: a length, a value and child nodes, each 32-bit aligned.
struct VersionNode {
    std::string key;
    std::string text;  // the value, for text nodes
    const BYTE *children;
    const BYTE *end;
};

const BYTE *Align4(const BYTE *p)
{
    return (const BYTE *)(((uintptr_t)p + 3) & ~(uintptr_t)3);
}

std::string Narrow(const WCHAR *text, size_t max)
{
    std::string out;
    for (size_t i = 0; i < max && text[i]; i++)
        out += (char)text[i];
    return out;
}

VersionNode ReadNode(const BYTE *p)
{
    WORD length, value_length, type;
    memcpy(&length, p, 2);
    memcpy(&value_length, p + 2, 2);
    memcpy(&type, p + 4, 2);
    VersionNode node;
    const WCHAR *key = (const WCHAR *)(p + 6);
    node.key = Narrow(key, 64);
    const BYTE *value = Align4(p + 6 + 2 * (node.key.size() + 1));
    size_t value_bytes = type == 1 ? 2u * value_length : value_length;
    if (type == 1)
        node.text = Narrow((const WCHAR *)value, value_length);
    node.children = Align4(value + value_bytes);
    node.end = p + length;
    return node;
}

std::vector<VersionNode> ChildrenOf(const VersionNode &parent)
{
    std::vector<VersionNode> nodes;
    for (const BYTE *p = parent.children; p < parent.end;) {
        nodes.push_back(ReadNode(p));
        p = Align4(nodes.back().end);
    }
    return nodes;
}

class ProgramFile : public ::testing::Test {
protected:
    HMODULE module = nullptr;

    void SetUp() override
    {
        module = LoadLibraryExA(WinePath(QUORVEL_EXE).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module, nullptr) << QUORVEL_EXE;
    }

    void TearDown() override { FreeLibrary(module); }
};

std::string ResourceName(LPCSTR name)
{
    return IS_INTRESOURCE(name) ? std::to_string((uintptr_t)name) : std::string(name);
}

struct ResourceTag {
    std::string type, name;
    WORD language;
};

BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR type, LPCSTR name, WORD language, LONG_PTR data)
{
    ((std::vector<ResourceTag> *)data)->push_back({ ResourceName(type), ResourceName(name), language });
    return TRUE;
}

BOOL CALLBACK CollectName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR data)
{
    EnumResourceLanguagesA(module, type, name, CollectLanguage, data);
    return TRUE;
}

BOOL CALLBACK CollectType(HMODULE module, LPSTR type, LONG_PTR data)
{
    EnumResourceNamesA(module, type, CollectName, data);
    return TRUE;
}

TEST_F(ProgramFile, EveryResourceIsTaggedJapanese)
{
    std::vector<ResourceTag> tags;
    EnumResourceTypesA(module, CollectType, (LONG_PTR)&tags);
    bool has_about = false, has_version = false;
    for (const ResourceTag &tag : tags) {
        EXPECT_EQ(tag.language, 1041) << "type " << tag.type << " name " << tag.name;
        has_about |= tag.type == "5" && tag.name == "1001";
        has_version |= tag.type == "16" && tag.name == "1";
    }
    EXPECT_TRUE(has_about);
    EXPECT_TRUE(has_version);
}

TEST_F(ProgramFile, VersionBlockReadsAsListed)
{
    const std::string path = WinePath(QUORVEL_EXE);
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));

    void *value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", &value, &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    VS_FIXEDFILEINFO fixed;
    memcpy(&fixed, value, sizeof fixed);
    // The project's version as major, minor, patch, build: two words to a number.
    const WORD version[] = { QUORVEL_VERSION_FIXED };
    const DWORD ms = MAKELONG(version[1], version[0]), ls = MAKELONG(version[3], version[2]);
    const DWORD expected_fixed[] = { 0xFEEF04BD, 0x10000, ms, ls, ms, ls,
                                     0x3F, 0, 0x40004, 1, 0, 0, 0 };
    DWORD actual_fixed[13];
    memcpy(actual_fixed, &fixed, sizeof actual_fixed);
    EXPECT_EQ(std::vector<DWORD>(actual_fixed, actual_fixed + 13),
              std::vector<DWORD>(expected_fixed, expected_fixed + 13));

    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length));
    ASSERT_EQ(length, 4u);
    WORD pair[2];
    memcpy(pair, value, sizeof pair);
    EXPECT_EQ(pair[0], 0x0411);
    EXPECT_EQ(pair[1], 0x04B0);

    // The strings, in the order the block holds them.
    HRSRC found = FindResourceExA(module, MAKEINTRESOURCEA(16), MAKEINTRESOURCEA(1), 1041);
    ASSERT_NE(found, nullptr);
    VersionNode root = ReadNode((const BYTE *)LockResource(LoadResource(module, found)));
    EXPECT_EQ(root.key, "VS_VERSION_INFO");
    std::vector<std::pair<std::string, std::string>> strings;
    std::vector<std::string> tables;
    for (const VersionNode &info : ChildrenOf(root))
        if (info.key == "StringFileInfo")
            for (const VersionNode &table : ChildrenOf(info)) {
                tables.push_back(table.key);
                for (const VersionNode &string : ChildrenOf(table))
                    strings.emplace_back(string.key, string.text);
            }
    EXPECT_EQ(tables, std::vector<std::string>{ "041104b0" });
    const std::vector<std::pair<std::string, std::string>> expected = {
        { "Comments", COMMENTS },
        { "CompanyName", " " },
        { "FileDescription", "Quorvel" },
        { "FileVersion", QUORVEL_VERSION_TEXT },
        { "InternalName", "Quorvel" },
        { "LegalCopyright", COPYRIGHT },
        { "LegalTrademarks", "" },
        { "OriginalFilename", "Quorvel.exe" },
        { "PrivateBuild", "" },
        { "ProductName", "Quorvel" },
        { "ProductVersion", QUORVEL_VERSION_TEXT },
        { "SpecialBuild", "" },
    };
    EXPECT_EQ(strings, expected);
}

}  // namespace
