// Key combinations as players write them in the settings file, read and written back.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "rules/hotkey.h"

namespace {

std::wstring Formatted(const Hotkey &hotkey)
{
    wchar_t text[HOTKEY_TEXT_SIZE];
    FormatHotkey(hotkey, text, HOTKEY_TEXT_SIZE);
    return text;
}

// Each accepted text reads as the platform's modifiers and virtual-key code, and is
// written back as the menu shows it, which reads as the same combination again.
TEST(Hotkey, ReadsModifiersInAnyOrderAndCaseWhereverTheSpacesAndEveryKeyName)
{
    const uint32_t ctrl_alt = MOD_CONTROL | MOD_ALT;
    const struct { const wchar_t *text; uint32_t modifiers, key; const wchar_t *shown; } cases[] = {
        { L"Ctrl+Alt+B", ctrl_alt, 'B', L"Ctrl+Alt+B" },
        { L"alt+CTRL+b", ctrl_alt, 'B', L"Ctrl+Alt+B" },
        { L"Win+Shift+F5", MOD_WIN | MOD_SHIFT, VK_F5, L"Win+Shift+F5" },
        { L"shift+win+f5", MOD_WIN | MOD_SHIFT, VK_F5, L"Win+Shift+F5" },
        { L"Shift+Alt+Win+Ctrl+Z", ctrl_alt | MOD_SHIFT | MOD_WIN, 'Z', L"Win+Ctrl+Alt+Shift+Z" },
        { L" Ctrl + Page Up ", MOD_CONTROL, VK_PRIOR, L"Ctrl+PageUp" },
        { L"F13", 0, VK_F13, L"F13" },
        { L"Shift+F24", MOD_SHIFT, VK_F24, L"Shift+F24" },
        { L"Alt+F1", MOD_ALT, VK_F1, L"Alt+F1" },
        { L"Ctrl+0", MOD_CONTROL, '0', L"Ctrl+0" },
        { L"Win+9", MOD_WIN, '9', L"Win+9" },
        { L"Ctrl+Num0", MOD_CONTROL, VK_NUMPAD0, L"Ctrl+Num0" },
        { L"Ctrl+NUM9", MOD_CONTROL, VK_NUMPAD9, L"Ctrl+Num9" },
        { L"Alt+Space", MOD_ALT, VK_SPACE, L"Alt+Space" },
        { L"Alt+Insert", MOD_ALT, VK_INSERT, L"Alt+Insert" },
        { L"Alt+Delete", MOD_ALT, VK_DELETE, L"Alt+Delete" },
        { L"Alt+Home", MOD_ALT, VK_HOME, L"Alt+Home" },
        { L"Alt+End", MOD_ALT, VK_END, L"Alt+End" },
        { L"Alt+PageDown", MOD_ALT, VK_NEXT, L"Alt+PageDown" },
        { L"Alt+Up", MOD_ALT, VK_UP, L"Alt+Up" },
        { L"Alt+Down", MOD_ALT, VK_DOWN, L"Alt+Down" },
        { L"Alt+Left", MOD_ALT, VK_LEFT, L"Alt+Left" },
        { L"Alt+Right", MOD_ALT, VK_RIGHT, L"Alt+Right" },
        { L"Ctrl+Pause", MOD_CONTROL, VK_PAUSE, L"Ctrl+Pause" },
        { L"Ctrl+Alt+                                                    B", ctrl_alt, 'B', L"Ctrl+Alt+B" },
    };
    for (const auto &c : cases) {
        Hotkey hotkey = {}, again = {};
        ASSERT_EQ(ParseHotkey(c.text, &hotkey), HOTKEY_READ) << c.text;
        EXPECT_EQ(hotkey.modifiers, c.modifiers) << c.text;
        EXPECT_EQ(hotkey.key, c.key) << c.text;
        EXPECT_EQ(Formatted(hotkey), c.shown) << c.text;
        EXPECT_EQ(ParseHotkey(c.shown, &again), HOTKEY_READ) << c.shown;
        EXPECT_TRUE(SameHotkey(hotkey, again)) << c.shown;
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
