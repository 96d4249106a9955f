/* Key combinations as a player writes them in the settings file ("Ctrl+Alt+B",
   "Win+Shift+F5"), read into modifiers and a key, and written back as the menu shows
   them. Plain rules, free of windows, so that they test on their own. */
#ifndef QUORVEL_RULES_HOTKEY_H
#define QUORVEL_RULES_HOTKEY_H

#include <cstddef>
#include <cstdint>

/* The modifiers, with the platform's values for them (MOD_ALT and the rest), so that a
   combination is registered as it was read. */
enum { HOTKEY_ALT = 0x1, HOTKEY_CTRL = 0x2, HOTKEY_SHIFT = 0x4, HOTKEY_WIN = 0x8 };

/* A value of the file as long as this, terminator included, may have been cut short
   by the read, so it is never taken as a combination; and the longest text a
   combination is written as ("Win+Ctrl+Alt+Shift+PageDown") fits with room to spare. */
enum { HOTKEY_TEXT_SIZE = 64 };

/* A combination: the modifiers, and the key as the platform's virtual-key code. */
struct Hotkey {
    uint32_t modifiers;
    uint32_t key;
};

/* What a value of the file is: no combination (empty), one, or text that is none. */
enum HotkeyRead { HOTKEY_EMPTY, HOTKEY_READ, HOTKEY_BAD };

int ParseHotkey(const wchar_t *text, Hotkey *hotkey);
void FormatHotkey(const Hotkey &hotkey, wchar_t *text, size_t size);
bool SameHotkey(const Hotkey &a, const Hotkey &b);

#endif
