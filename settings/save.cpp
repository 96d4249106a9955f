/* Saving the record whole and atomically: a draft built beside it, flushed, and renamed
   over it in one step, with the look before every save and the retries of a brief lock. */
#include "settings/record.h"

#include <cstdio>

/* The draft a save builds beside the record before putting it in place; its name is as
   long as the record's, so that every folder that can hold the record can hold it too. */
static const wchar_t draft_name[] = L"Quorvel.new";

/* A save that finds the file being written by another program at that moment tries
   again a little later, a few times, before it gives up. One refused while the file is
   as last seen (a virus scanner or a sync client reading it just after a save) waits
   for it up to LOCK_PATIENCE_MS, the longest a save may hold the user's clicks. */
enum { SAVE_TRIES = 4, SAVE_RETRY_MS = 50, LOCK_PATIENCE_MS = 2000, LOCK_RETRY_MS = 100 };

/* The full name of the draft in the current directory of this moment. */
int DraftPath(wchar_t *path, size_t count)
{
    return PathInCurrentDirectory(draft_name, path, count);
}

/* Removes a draft, also one that was copied from a read-only record; 1 when none is left. */
int DiscardDraft(const wchar_t *draft)
{
    SetFileAttributesW(draft, FILE_ATTRIBUTE_NORMAL);
    return DeleteFileW(draft) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

/* Starts the draft as a copy of the record, so that the sections, keys and comments
   Quorvel does not own survive; with no record yet it starts empty. A draft left behind
   by a save that never finished is thrown away first, never read. A record that cannot
   be copied (another program holds it) fails the save rather than lose those lines. */
static int StartDraft(const wchar_t *path, const wchar_t *draft)
{
    if (!DiscardDraft(draft))
        return 0;
    if (CopyFileW(path, draft, FALSE))
        return 1;
    return GetLastError() == ERROR_FILE_NOT_FOUND;
}

/* Writes one key into the draft; 1 when the platform took it. */
static int WriteKey(const wchar_t *section, const wchar_t *key, const char *value,
                    const wchar_t *draft)
{
    wchar_t wide[32];
    int i = 0;
    for (; value[i] && i < 31; i++)
        wide[i] = (unsigned char)value[i];
    wide[i] = 0;
    return WritePrivateProfileStringW(section, key, wide, draft) ? 1 : 0;
}

/* Writes one integer key as signed decimal text. */
static int WriteInt(const wchar_t *section, const wchar_t *key, int32_t value, const wchar_t *draft)
{
    char text[16];
    snprintf(text, sizeof text, "%d", (int)value);
    return WriteKey(section, key, text, draft);
}

/* Writes every key of the state into the draft. */
static int WriteState(const wchar_t *draft)
{
    int ok = WriteKey(L"SYSTEM", L"VERSION", "1", draft);
    ok &= WriteInt(L"STATUS", L"X", StatusPosition.x, draft);
    ok &= WriteInt(L"STATUS", L"Y", StatusPosition.y, draft);
    for (int k = 0; k < CRAFT_COUNT; k++) {
        char skill[32];
        snprintf(skill, sizeof skill, "%.1f", crafts[k].skill.load());
        ok &= WriteInt(craft_sections[k], L"AVAILABLE", crafts[k].available, draft);
        ok &= WriteKey(craft_sections[k], L"SKILL", skill, draft);
        ok &= WriteInt(craft_sections[k], L"NEXT", crafts[k].next_time, draft);
    }
    return ok;
}

/* Makes sure the draft's bytes are on the disk before it becomes the record, so that a
   power cut after the swap cannot leave a record whose contents never arrived. The
   platform's cached copy of the draft is let go as well: the next draft is a copy that
   carries the record's time stamp, which that cache would take for its own. */
static int FlushDraft(const wchar_t *draft)
{
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, draft);
    HANDLE file = CreateFileW(draft, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    int ok = FlushFileBuffers(file) ? 1 : 0;
    CloseHandle(file);
    return ok;
}

/* Puts the finished draft in the record's place in one step: a rename over the record,
   which the file system does whole or not at all. (ReplaceFileW is no such step under
   Wine: a kill in the middle of it has left an empty record.) While another program has
   the record open without sharing its deletion the rename is refused. */
static int PutInPlace(const wchar_t *path, const wchar_t *draft)
{
    return MoveFileExW(draft, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ? 1 : 0;
}

enum SaveTry { TRY_SAVED, TRY_FAILED, TRY_REFUSED, TRY_CHANGED };

/* One try of a save, after its look: builds the draft and puts it in place. A draft
   or a rename that another program's hold refuses is TRY_REFUSED, a file that changed
   meanwhile TRY_CHANGED; neither leaves a draft behind. */
static int SaveOnce(const wchar_t *path, const wchar_t *draft)
{
    if (!StartDraft(path, draft)) {
        DiscardDraft(draft);
        return StillAsLooked(path) ? TRY_REFUSED : TRY_CHANGED;
    }
    if (!WriteState(draft) || !FlushDraft(draft)) {
        DiscardDraft(draft);
        return TRY_FAILED;
    }
    Step(STEP_SAVE_BUILT);
    if (StillAsLooked(path) && PutInPlace(path, draft)) {
        RememberWritten(path);
        return TRY_SAVED;
    }
    DiscardDraft(draft);
    return StillAsLooked(path) ? TRY_REFUSED : TRY_CHANGED;
}

/* Writes the whole state. The record is never written in place: the new one is built
   beside it and then takes its place in one step, so that a kill or a power cut at any
   moment leaves either the old record or the new one, complete. Each try first takes in
   what was changed in the file outside Quorvel and what conflict copies beside it add,
   and a file that changes again while the new one is being built is looked at anew, so
   a save never writes back a value over one changed since Quorvel last saw it, nor the
   other PC's values over this one's. A save asked for while the shell moves a copy to
   the bin is made right after the move (the caller asks SaveAskedDuringMove). A record that another program holds a moment
   is waited for, up to about two seconds. Returns 1 when every key was written and the
   new record is in place; what was not saved stays in memory and goes out with the
   next save. */
int SaveSettings()
{
    wchar_t path[SETTINGS_PATH_MAX + 1], draft[SETTINGS_PATH_MAX + 1];
    if (!SettingsPath(path, SETTINGS_PATH_MAX + 1)
        || !DraftPath(draft, SETTINGS_PATH_MAX + 1))
        return 0;
    if (PostponeSave())
        return 1;
    const DWORD started = GetTickCount();
    for (int changed = 0;;) {
        int result = TRY_REFUSED;
        if (LookAtRecord() != LOOK_LATER) {
            MergeCopies();
            result = SaveOnce(path, draft);
        }
        else if (!StillAsLooked(path))
            result = TRY_CHANGED;
        if (result == TRY_SAVED)
            return 1;
        if (result == TRY_FAILED || GetTickCount() - started >= LOCK_PATIENCE_MS)
            return 0;
        if (result == TRY_CHANGED && ++changed >= SAVE_TRIES)
            return 0;
        Sleep(result == TRY_REFUSED ? LOCK_RETRY_MS : SAVE_RETRY_MS);
    }
}
