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

OwnedValues MergeOwned(const OwnedValues &base, const OwnedValues &file, const OwnedValues &memory);
bool SameOwned(const OwnedValues &a, const OwnedValues &b);

/* What a look at the file found: nothing new, values taken in, no file, or a file that
   cannot be read whole at this moment (held by another program, being written). */
enum RecordLook { LOOK_SAME, LOOK_TAKEN, LOOK_MISSING, LOOK_LATER };

int LookAtRecord();
uint32_t ChangesTaken();

#endif
