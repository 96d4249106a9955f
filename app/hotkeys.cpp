/* Hotkeys set in the settings file's [HOTKEYS] section: each does what its tray menu
   item does, without the mouse on the lamp (from inside a game, say), and a sound says
   whether it did anything. The section is followed as the rest of the file is, so a
   change takes effect at the next look; Quorvel never writes it. */
#include "app/tray.h"

#include <mmsystem.h>

#include <cstring>
#include <cwchar>

#include "model/craft.h"
#include "res/resource.h"
#include "rules/hotkey.h"

static_assert(HOTKEY_ALT == MOD_ALT && HOTKEY_CTRL == MOD_CONTROL && HOTKEY_SHIFT == MOD_SHIFT
                  && HOTKEY_WIN == MOD_WIN,
              "a combination is registered with the modifiers it was read with");

/* A menu item's text with its hotkey is built in a buffer as large as the platform's
   formatting can fill. */
enum { HOTKEY_ACTIONS = 5, HOTKEY_ID_FIRST = 1, LINE_SIZE = 1025 };

/* PlaySound's SND_SYSTEM, which these headers lack: the sound plays among the system's
   own notification sounds, under their volume slider (Windows Vista and later). */
const DWORD SND_SYSTEM_SESSION = 0x00200000;

/* The section's keys, in the order they are registered and reported, and the menu
   command each stands for. */
static const struct {
    const wchar_t *key;
    int command;
} hotkey_actions[HOTKEY_ACTIONS] = {
    { L"RECEIVED_SMITH", IDM_RECEIVED_SMITH }, { L"RECEIVED_TAILOR", IDM_RECEIVED_TAILOR },
    { L"UPSKILL_SMITH", IDM_UPSKILL_SMITH },   { L"UPSKILL_TAILOR", IDM_UPSKILL_TAILOR },
    { L"STATUS", IDM_STATUS },
};

/* The section's values as last taken in, what each reads as (key 0 for no combination),
   whether it is registered (as hotkey HOTKEY_ID_FIRST plus its place), and the window
   the registered ones belong to. */
static wchar_t hotkey_texts[HOTKEY_ACTIONS][HOTKEY_TEXT_SIZE];
static Hotkey hotkeys[HOTKEY_ACTIONS];
static int hotkey_held[HOTKEY_ACTIONS];
static HWND hotkey_window;

/* Registers action i's combination for the window; 1 when it is held now. A key held
   down sends one press, not a run of them: one order, one skill step. */
static int Register(HWND window, int i)
{
    hotkey_held[i] = RegisterHotKey(window, HOTKEY_ID_FIRST + i, hotkeys[i].modifiers | MOD_NOREPEAT,
                                    hotkeys[i].key) != FALSE;
    return hotkey_held[i];
}

/* Registers one action's combination for the window, or names in the report why it
   cannot be: a value that is no combination, one that an earlier key of the section
   sets too, or one that another program (another Quorvel, say) holds. An empty value
   sets no hotkey and says nothing. */
static void HoldHotkey(HWND window, int i, wchar_t *report)
{
    const wchar_t *key = hotkey_actions[i].key, *text = hotkey_texts[i];
    hotkeys[i] = Hotkey{ 0, 0 };
    int read = ParseHotkey(text, &hotkeys[i]);
    if (read == HOTKEY_EMPTY)
        return;
    if (read == HOTKEY_BAD) {
        AddBalloonLine(report, IDS_HOTKEY_BAD, key, text);
        return;
    }
    for (int j = 0; j < i; j++) {
        if (SameHotkey(hotkeys[j], hotkeys[i])) {
            AddBalloonLine(report, IDS_HOTKEY_TWICE, key, text, hotkey_actions[j].key);
            hotkeys[i] = Hotkey{ 0, 0 };
            return;
        }
    }
    if (Register(window, i))
        return;
    wchar_t combination[HOTKEY_TEXT_SIZE];
    FormatHotkey(hotkeys[i], combination, HOTKEY_TEXT_SIZE);
    AddBalloonLine(report, IDS_HOTKEY_TAKEN, combination, key);
}

/* Lets go of every hotkey registered. */
static void LetGoOfHeld()
{
    for (int i = 0; i < HOTKEY_ACTIONS; i++) {
        if (hotkey_held[i])
            UnregisterHotKey(hotkey_window, HOTKEY_ID_FIRST + i);
        hotkey_held[i] = 0;
    }
}

/* Tries again, without a word, the combinations that another program held when the
   section was taken in, so that one let go since is taken up at the next look (after
   the player saved the file, say). Returns 1 when one was taken up. */
static int RetryTaken()
{
    int taken = 0;
    for (int i = 0; i < HOTKEY_ACTIONS; i++)
        if (hotkeys[i].key && !hotkey_held[i])
            taken |= Register(hotkey_window, i);
    return taken;
}

/* Takes in the section as the record holds it now, after a look at the file. An
   unchanged section costs a read of its five values, and a try of any combination
   another program held; a changed one lets go of every hotkey and registers them all
   anew, and one balloon names what could not be registered, so each change of the
   file is reported once. Returns 1 when the hotkeys held changed. */
int FollowHotkeys(HWND window)
{
    const wchar_t *keys[HOTKEY_ACTIONS];
    for (int i = 0; i < HOTKEY_ACTIONS; i++)
        keys[i] = hotkey_actions[i].key;
    wchar_t texts[HOTKEY_ACTIONS][HOTKEY_TEXT_SIZE];
    if (!ReadRecordSection(L"HOTKEYS", keys, HOTKEY_ACTIONS, texts[0], HOTKEY_TEXT_SIZE))
        return 0;
    int changed = 0;
    for (int i = 0; i < HOTKEY_ACTIONS; i++)
        changed |= wcscmp(texts[i], hotkey_texts[i]) != 0;
    if (!changed)
        return RetryTaken();
    LetGoOfHeld();
    hotkey_window = window;
    wchar_t report[BALLOON_TEXT_SIZE] = L"";
    for (int i = 0; i < HOTKEY_ACTIONS; i++) {
        wcscpy(hotkey_texts[i], texts[i]);
        HoldHotkey(window, i, report);
    }
    if (report[0])
        ShowBalloon(report);
    return 1;
}

/* Lets go of every hotkey as the main window goes. The section is forgotten with them,
   so that a window made later takes it in afresh at its first look. */
void LetGoOfHotkeys()
{
    LetGoOfHeld();
    memset(hotkey_texts, 0, sizeof hotkey_texts);
    memset(hotkeys, 0, sizeof hotkeys);
    hotkey_window = nullptr;
}

/* Writes each registered hotkey beside its item of the tray menu, after a tab, as the
   platform's menus show shortcuts ("Received &Blacksmith BOD\tCtrl+Alt+B"). Items
   without one keep their text as it is. */
void ShowHotkeysInMenu(HMENU popup)
{
    for (int i = 0; i < HOTKEY_ACTIONS; i++) {
        if (!hotkey_held[i])
            continue;
        UINT command = (UINT)hotkey_actions[i].command;
        wchar_t text[LINE_SIZE];
        if (GetMenuStringW(popup, command, text, LINE_SIZE - HOTKEY_TEXT_SIZE - 1, MF_BYCOMMAND) <= 0)
            continue;
        wcscat(text, L"\t");
        FormatHotkey(hotkeys[i], text + wcslen(text), HOTKEY_TEXT_SIZE);
        MENUITEMINFOW item = {};
        item.cbSize = sizeof item;
        item.fMask = MIIM_STRING;
        item.dwTypeData = text;
        SetMenuItemInfoW(popup, command, FALSE, &item);
    }
}

/* The sound of a hotkey that did something: the system's "Notification" sound. Under
   the default sound scheme of Windows 10 and 11 the due beep (Asterisk) and the
   Default Beep share one sound, and every other message beep but Critical Stop, an
   error's sound, shares it too or is silent; this one differs from them all. A scheme
   without it (Windows 7 has no such event) stays silent. */
static void SoundDone()
{
    PlaySystemSound(L"Notification.Default", SND_ALIAS | SND_ASYNC | SND_NODEFAULT | SND_SYSTEM_SESSION);
}

/* A hotkey pressed: the menu item it stands for, carried out by the main window's
   command handler as a choice in the menu is, so that the same save, lamp, tip and
   dialog follow. An untracked craft's action does nothing, as its greyed item does.
   The system's Default Beep, its sound for a key that can do nothing, answers an
   action that changed nothing (an untracked craft, a skill at the top); the status
   dialog's loop holds the command until the dialog closes, so its sound comes first.
   Returns 1 when the action did something. */
LRESULT OnHotkey(HWND window, WPARAM id)
{
    int i = (int)id - HOTKEY_ID_FIRST;
    if (i < 0 || i >= HOTKEY_ACTIONS || !hotkey_held[i])
        return 0;
    int command = hotkey_actions[i].command;
    int k = CraftOfId(command);
    if (k < 0) {
        SoundDone();
        SendMessageA(window, WM_COMMAND, (WPARAM)command, 0);
        return 1;
    }
    double skill = crafts[k].skill.load();
    int32_t next_time = crafts[k].next_time;
    if (crafts[k].available)
        SendMessageA(window, WM_COMMAND, (WPARAM)command, 0);
    if (crafts[k].skill.load() == skill && crafts[k].next_time == next_time) {
        MessageBeep(MB_OK);
        return 0;
    }
    SoundDone();
    return 1;
}
