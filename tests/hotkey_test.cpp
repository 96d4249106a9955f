// Key combinations as players write them in the settings file, read and written back.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "rules/hotkey.h"

namespace {

// A text reads as the platform's modifiers and virtual-key code and is written back as
// the menu shows it. Every key name is checked with Alt, so that the table's codes are
// the platform's.
TEST(Hotkey, ReadsModifiersInAnyOrderAndCaseWhereverTheSpacesAndEveryKeyName)
{
    const uint32_t ctrl_alt = MOD_CONTROL | MOD_ALT;
    struct Case { std::wstring text; uint32_t modifiers, key; std::wstring shown; };
    std::vector<Case> cases = {
        { L"Ctrl+Alt+B", ctrl_alt, 'B', L"Ctrl+Alt+B" }, { L"alt+CTRL+b", ctrl_alt, 'B', L"Ctrl+Alt+B" },
        { L"shift+win+f5", MOD_WIN | MOD_SHIFT, VK_F5, L"Win+Shift+F5" },
        { L"Shift+Alt+Win+Ctrl+Z", ctrl_alt | MOD_SHIFT | MOD_WIN, 'Z', L"Win+Ctrl+Alt+Shift+Z" },
        { L" Ctrl + Page Up ", MOD_CONTROL, VK_PRIOR, L"Ctrl+PageUp" },
        { L"F13", 0, VK_F13, L"F13" }, { L"Shift+F24", MOD_SHIFT, VK_F24, L"Shift+F24" },
        { L"Ctrl+Alt+                                                    B", ctrl_alt, 'B', L"Ctrl+Alt+B" },
    };
    const struct { const wchar_t *name; uint32_t key; } keys[] = {
        { L"A", 'A' }, { L"Z", 'Z' }, { L"0", '0' }, { L"9", '9' }, { L"F1", VK_F1 }, { L"F12", VK_F12 },
        { L"Num0", VK_NUMPAD0 }, { L"Num9", VK_NUMPAD9 }, { L"Space", VK_SPACE }, { L"Insert", VK_INSERT },
        { L"Delete", VK_DELETE }, { L"Home", VK_HOME }, { L"End", VK_END }, { L"PageUp", VK_PRIOR },
        { L"PageDown", VK_NEXT }, { L"Up", VK_UP }, { L"Down", VK_DOWN }, { L"Left", VK_LEFT },
        { L"Right", VK_RIGHT }, { L"Pause", VK_PAUSE },
    };
    for (const auto &key : keys)
        cases.push_back({ std::wstring(L"Alt+") + key.name, MOD_ALT, key.key, std::wstring(L"Alt+") + key.name });
    for (const Case &c : cases) {
        Hotkey hotkey = {};
        wchar_t shown[HOTKEY_TEXT_SIZE];
        ASSERT_EQ(ParseHotkey(c.text.c_str(), &hotkey), HOTKEY_READ) << c.text;
        EXPECT_TRUE(hotkey.modifiers == c.modifiers && hotkey.key == c.key) << c.text;
        FormatHotkey(hotkey, shown, HOTKEY_TEXT_SIZE);
        EXPECT_EQ(shown, c.shown) << c.text;
    }
}

// Refused texts get a balloon; an empty value is no hotkey and gets none.
TEST(Hotkey, RefusesWhatIsNoCombinationAndReadsAnEmptyValueAsNone)
{
    const struct { const wchar_t *text; int read; } cases[] = {
        { L"Ctrl+Alt", HOTKEY_BAD },     { L"Ctrl+Alt+", HOTKEY_BAD },   { L"+B", HOTKEY_BAD },
        { L"Ctrl++B", HOTKEY_BAD },      { L"Ctrl+A+B", HOTKEY_BAD },    { L"B+Ctrl", HOTKEY_BAD },
        { L"Ctrl+Ctrl+B", HOTKEY_BAD },  { L"Ctrl+Foo", HOTKEY_BAD },    { L"Control+B", HOTKEY_BAD },
        { L"A", HOTKEY_BAD },            { L"Shift+A", HOTKEY_BAD },     { L"F12", HOTKEY_BAD },
        { L"Shift+Delete", HOTKEY_BAD }, { L"Ctrl+F25", HOTKEY_BAD },    { L"Ctrl+F0", HOTKEY_BAD },
        { L"Ctrl+F05", HOTKEY_BAD },     { L"Ctrl+Num10", HOTKEY_BAD },  { L"Ctrl+\u00c4", HOTKEY_BAD },
        // Could never fire: Windows makes Ctrl+Pause Break, and Shift+Num5 Clear with NumLock on.
        { L"Ctrl+Pause", HOTKEY_BAD },   { L"Alt+Ctrl+Pause", HOTKEY_BAD }, { L"Ctrl+Shift+Num5", HOTKEY_BAD },
        { L"Win+Shift+Num0", HOTKEY_BAD },
        // As long as a read can be: it may have been cut, from "...+BB" say.
        { L"Ctrl+Alt+                                                     B", HOTKEY_BAD },
        { L"", HOTKEY_EMPTY },           { L"   ", HOTKEY_EMPTY },
    };
    for (const auto &c : cases) {
        Hotkey hotkey = { 7, 7 };
        EXPECT_EQ(ParseHotkey(c.text, &hotkey), c.read) << c.text;
        EXPECT_TRUE(hotkey.modifiers == 7 && hotkey.key == 7) << "left as it was: " << c.text;
    }
}

}  // namespace
