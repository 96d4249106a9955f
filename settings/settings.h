/* The settings file Quorvel.ini in the current directory. */
#ifndef QUORVEL_SETTINGS_H
#define QUORVEL_SETTINGS_H

#include <cstddef>
#include <cstdint>

#include "model/craft.h"

/* Where the status dialog was last left on screen: its outer frame's upper-left corner. */
struct ScreenPoint {
    int32_t x;
    int32_t y;
};

extern ScreenPoint StatusPosition;

enum { SETTINGS_PATH_MAX = 259 };   /* characters, without the terminator */

int SettingsPath(wchar_t *path, size_t count);
bool IsRecordName(const wchar_t *name, size_t length);
double ParseSkill(const char *text);
int LoadSettings();
int SaveSettings();

/* The values of one craft that the file keeps. */
struct CraftValues {
    int32_t available;
    double skill;
    int32_t next_time;
};

/* Every value Quorvel owns in the file, as one record: what the file held when Quorvel
   last read or wrote it, what it holds now, or what memory holds. */
struct OwnedValues {
    ScreenPoint position;
    CraftValues craft[CRAFT_COUNT];
};

/* The NEXT values each craft held before its latest order was received, newest first:
   a copy of the file that still carries one of them was made before that order. */
enum { SUPERSEDED_KEPT = 4 };
struct SupersededNext {
    int count[CRAFT_COUNT];
    int32_t next_time[CRAFT_COUNT][SUPERSEDED_KEPT];
};

void NoteSuperseded(SupersededNext *superseded, int k, int32_t next_time);
bool IsSuperseded(const SupersededNext &superseded, int k, int32_t next_time);
OwnedValues MergeOwned(const OwnedValues &base, const OwnedValues &file, const OwnedValues &memory,
                       const SupersededNext &superseded, int *stale_found);
bool SameOwned(const OwnedValues &a, const OwnedValues &b);

/* What a look at the file found: nothing new, values taken in, no file, or a file that
   cannot be read whole at this moment (held by another program, being written). */
enum RecordLook { LOOK_SAME, LOOK_TAKEN, LOOK_MISSING, LOOK_LATER };

int LookAtRecord();
int GlanceAtRecord();
uint32_t ChangesTaken();
void OrderReceived(int k);
uint32_t StaleCopiesFound();

/* A sync engine's conflict copies of the record beside it (settings/conflict.cpp,
   settings/copies.cpp). What merging them found: the record on disk lacks what a copy
   adds and wants saving; a copy could not be read whole now and wants another look. */
bool IsConflictCopyName(const wchar_t *name, size_t length);
OwnedValues JoinCopy(const OwnedValues &record, const OwnedValues &copy, const SupersededNext &replaced);
bool HoldsOwnLines(const char *copy, size_t copy_size, const char *record, size_t record_size);
enum { COPIES_SAVE = 1, COPIES_LATER = 2 };
int MergeCopies();
int RecycleCopies();
int CopyToReport(wchar_t *name, size_t count);
int SaveAskedDuringMove();

/* Called, when set, at the named steps of a look and of a save, so that a test can
   change the file at exactly that moment. Null in the program. */
enum SettingsStep { STEP_LOOK_READ, STEP_SAVE_BUILT, STEP_COPY_MOVED };
extern void (*settings_step_hook)(int step);

#endif
