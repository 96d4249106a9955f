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

enum { SETTINGS_PATH_MAX = 260 };

int SettingsPath(char *path, size_t size);
double ParseSkill(const char *text);
int LoadSettings();
int SaveSettings();

#endif
