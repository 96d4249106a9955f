/* Reading key combinations from the settings file's text, and writing them back. */
#include "rules/hotkey.h"

#include <cwchar>

/* The modifiers by name, in the order a combination is written: the platform's own
   order for its shortcuts. */
static const struct {
    const wchar_t *name;
    uint32_t modifier;
} modifier_names[] = {
    { L"Win", HOTKEY_WIN }, { L"Ctrl", HOTKEY_CTRL }, { L"Alt", HOTKEY_ALT }, { L"Shift", HOTKEY_SHIFT },
};

/* The keys that have a name of their own, with their virtual-key codes. */
static const struct {
    const wchar_t *name;
    uint32_t key;
} named_keys[] = {
    { L"Space", 0x20 }, { L"PageUp", 0x21 }, { L"PageDown", 0x22 }, { L"End", 0x23 },
    { L"Home", 0x24 },  { L"Left", 0x25 },   { L"Up", 0x26 },       { L"Right", 0x27 },
    { L"Down", 0x28 },  { L"Insert", 0x2D }, { L"Delete", 0x2E },   { L"Pause", 0x13 },
};

/* Virtual-key codes of the numbered keys and of Pause. Letters and digits are their own
   codes, as upper-case characters. */
enum { KEY_F1 = 0x70, KEY_F13 = 0x7C, KEY_F24 = 0x87, KEY_NUM0 = 0x60, KEY_NUM9 = 0x69,
       KEY_PAUSE = 0x13 };

/* A plain letter in upper case; any other character as it is. */
static wchar_t Upper(wchar_t c)
{
    return c >= L'a' && c <= L'z' ? (wchar_t)(c - L'a' + L'A') : c;
}

/* Whether a piece of text, of the given length, is the name, whatever the case. */
static bool IsName(const wchar_t *piece, size_t length, const wchar_t *name)
{
    return length == wcslen(name) && _wcsnicmp(piece, name, length) == 0;
}

/* The number that one or two digits write, without a leading zero; -1 for any other text. */
static int SmallNumber(const wchar_t *digits, size_t length)
{
    if (length == 0 || length > 2 || (length == 2 && digits[0] == L'0'))
        return -1;
    int number = 0;
    for (size_t i = 0; i < length; i++) {
        if (digits[i] < L'0' || digits[i] > L'9')
            return -1;
        number = number * 10 + (digits[i] - L'0');
    }
    return number;
}

/* The modifier a piece names; 0 when it names none. */
static uint32_t ModifierOfName(const wchar_t *piece, size_t length)
{
    for (const auto &named : modifier_names)
        if (IsName(piece, length, named.name))
            return named.modifier;
    return 0;
}

/* The virtual-key code of the key a piece names; 0 when it names none. */
static uint32_t KeyOfName(const wchar_t *piece, size_t length)
{
    if (length == 1) {
        wchar_t c = Upper(piece[0]);
        return (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ? (uint32_t)c : 0;
    }
    for (const auto &named : named_keys)
        if (IsName(piece, length, named.name))
            return named.key;
    if (length >= 2 && Upper(piece[0]) == L'F') {
        int number = SmallNumber(piece + 1, length - 1);
        if (number >= 1 && number <= 24)
            return KEY_F1 + (uint32_t)number - 1;
    }
    if (length == 4 && IsName(piece, 3, L"Num")) {
        int number = SmallNumber(piece + 3, 1);
        if (number >= 0)
            return KEY_NUM0 + (uint32_t)number;
    }
    return 0;
}

/* Reads a value of the file: modifiers in any order, then one key, joined by '+',
   whatever the case and wherever the spaces. At least one of Ctrl, Alt and Win is
   needed, so that typing in a game never presses it; F13 to F24, which no keyboard
   types and macro pads send for just this, may stand alone. A text as long as a read
   can be may have been cut short and is refused. So are two that could never fire:
   Windows turns Ctrl+Pause into another key (Break), and with NumLock on it lets go of
   Shift and sends a navigation key for a number-pad key pressed with it. Returns a
   HotkeyRead, and sets *hotkey for HOTKEY_READ. */
int ParseHotkey(const wchar_t *text, Hotkey *hotkey)
{
    if (wcslen(text) >= HOTKEY_TEXT_SIZE - 1)
        return HOTKEY_BAD;
    wchar_t packed[HOTKEY_TEXT_SIZE];
    size_t length = 0;
    for (const wchar_t *at = text; *at; at++)
        if (*at != L' ' && *at != L'\t')
            packed[length++] = *at;
    if (length == 0)
        return HOTKEY_EMPTY;
    Hotkey read = { 0, 0 };
    for (size_t start = 0, end = 0; end <= length; end++) {
        if (end < length && packed[end] != L'+')
            continue;
        const wchar_t *piece = packed + start;
        size_t size = end - start;
        start = end + 1;
        /* Nothing may follow the key: not a second key, nor a modifier. */
        if (read.key)
            return HOTKEY_BAD;
        uint32_t modifier = ModifierOfName(piece, size);
        if (modifier) {
            if (read.modifiers & modifier)
                return HOTKEY_BAD;
            read.modifiers |= modifier;
            continue;
        }
        read.key = KeyOfName(piece, size);
        if (!read.key)
            return HOTKEY_BAD;
    }
    bool macro_key = read.key >= KEY_F13 && read.key <= KEY_F24;
    if (!read.key || (!(read.modifiers & (HOTKEY_CTRL | HOTKEY_ALT | HOTKEY_WIN)) && !macro_key))
        return HOTKEY_BAD;
    if ((read.key == KEY_PAUSE && (read.modifiers & HOTKEY_CTRL))
        || (read.key >= KEY_NUM0 && read.key <= KEY_NUM9 && (read.modifiers & HOTKEY_SHIFT)))
        return HOTKEY_BAD;
    *hotkey = read;
    return HOTKEY_READ;
}

/* Adds a text at the end of text, as much as fits in size. */
static void Append(wchar_t *text, size_t size, const wchar_t *piece)
{
    size_t room = size - 1 - wcslen(text);
    wcsncat(text, piece, wcslen(piece) < room ? wcslen(piece) : room);
}

/* Writes a prefix and a number below 100 ("F5", "F13", "Num0"). */
static void Numbered(const wchar_t *prefix, uint32_t number, wchar_t *name)
{
    wcscpy(name, prefix);
    size_t at = wcslen(name);
    if (number >= 10)
        name[at++] = (wchar_t)(L'0' + number / 10);
    name[at++] = (wchar_t)(L'0' + number % 10);
    name[at] = L'\0';
}

/* Writes the name of a key that ParseHotkey reads back as that key; name holds 16. */
static void KeyName(uint32_t key, wchar_t *name)
{
    name[0] = L'\0';
    if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) {
        name[0] = (wchar_t)key;
        name[1] = L'\0';
    } else if (key >= KEY_F1 && key <= KEY_F24) {
        Numbered(L"F", key - KEY_F1 + 1, name);
    } else if (key >= KEY_NUM0 && key <= KEY_NUM9) {
        Numbered(L"Num", key - KEY_NUM0, name);
    } else {
        for (const auto &named : named_keys)
            if (named.key == key)
                wcscpy(name, named.name);
    }
}

/* Writes a combination as the menu shows it beside an item: the modifiers in the
   platform's order, then the key ("Ctrl+Alt+B", "Win+Shift+F5"); cut to size. */
void FormatHotkey(const Hotkey &hotkey, wchar_t *text, size_t size)
{
    if (size == 0)
        return;
    text[0] = L'\0';
    for (const auto &named : modifier_names) {
        if (hotkey.modifiers & named.modifier) {
            Append(text, size, named.name);
            Append(text, size, L"+");
        }
    }
    wchar_t key[16];
    KeyName(hotkey.key, key);
    Append(text, size, key);
}

/* Whether two combinations are the same keys. */
bool SameHotkey(const Hotkey &a, const Hotkey &b)
{
    return a.modifiers == b.modifiers && a.key == b.key;
}
