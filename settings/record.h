/* What the reading, following and saving of the settings file share. Private to the
   settings folder: the rest of the program sees settings/settings.h alone. */
#ifndef QUORVEL_SETTINGS_RECORD_H
#define QUORVEL_SETTINGS_RECORD_H

#include <windows.h>

#include "settings/settings.h"

enum FileState { FILE_MISSING, FILE_READABLE, FILE_UNREADABLE };

/* The file as a look found it: whether it was there, its size and time of last write. */
struct FileStamp {
    int exists;
    uint64_t size;
    FILETIME written;
};

/* The file's sections of the two crafts, in craft order. */
extern const wchar_t *const craft_sections[CRAFT_COUNT];

/* Reading (settings/read.cpp). */
int PathInCurrentDirectory(const wchar_t *name, wchar_t *path, size_t count);
FileState ProbeFile(const wchar_t *path);
bool KeySet(const wchar_t *section, const wchar_t *key, const wchar_t *path);
void ReadOwned(const wchar_t *path, const OwnedValues *unset, OwnedValues *values);
void ReadFile(const wchar_t *path);
OwnedValues MemoryValues();
void SetMemory(const OwnedValues &values);

/* Following (settings/follow.cpp). */
void ForgetSeen();
void ReadWhenFree();
int StampOf(const wchar_t *path, FileStamp *stamp);
bool SameStamp(const FileStamp &a, const FileStamp &b);
void Remember(const OwnedValues &values, const FileStamp &stamp);
void RememberWritten(const wchar_t *path);
bool StillAsLooked(const wchar_t *path);
void Step(int step);
FileState ReadSteadily(const wchar_t *path, const OwnedValues &unset, OwnedValues *values,
                       FileStamp *stamp);
void CountTaken();
int RecordOnDisk(OwnedValues *values);
const SupersededNext &ReplacedNext();
uint32_t SavesDone();

/* Conflict copies (settings/copies.cpp) and their move to the bin (settings/bin.cpp). */
enum RecycleResult { RECYCLE_LATER, RECYCLE_DONE, RECYCLE_STAYS, RECYCLE_NO_BIN };
void ForgetCopies();
void KeepListed(const wchar_t *name);
int SettleGuards();
int RecycleGuarded(const wchar_t *path, const wchar_t *name);
int PostponeSave();

/* Saving (settings/save.cpp). */
int DraftPath(wchar_t *path, size_t count);
int DiscardDraft(const wchar_t *draft);

#endif
