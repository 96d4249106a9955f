/* The settings file Quorvel.ini in the current directory. */
#ifndef QUORVEL_SETTINGS_H
#define QUORVEL_SETTINGS_H

#include <cstddef>
#include <cstdint>

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

#endif
