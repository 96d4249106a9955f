/* The status dialog's texts: local times, remaining times and skills. Plain standard
   library rules, free of windows, so that they test on their own. */
#ifndef QUORVEL_TIMEFMT_H
#define QUORVEL_TIMEFMT_H

#include <cstddef>
#include <cstdint>

#include "model/craft.h"

enum {
    TIME_TEXT_SIZE = 256,   /* a local time, "%Y/%m/%d %H:%M:%S" */
    REMAIN_TEXT_SIZE = 16,  /* any remaining time a 32-bit clock can give, "596523:14:07" at most */
    SKILL_TEXT_SIZE = 32,   /* a skill, "%5.1f" */
    TIP_TEXT_SIZE = 128,    /* the tray tip, the shell's limit with its terminator */
};

/* Shown for a moment that has no local time, such as a hand-edited negative NEXT. */
extern const char NO_TIME_TEXT[];

int FormatLocalTime(int32_t when, char *text, size_t size);
int32_t WholeSeconds(double seconds);
int32_t RemainingTime(int32_t available, int32_t next_time, int32_t now, int *overdue);
int FormatRemain(int32_t remaining, char *text, size_t size);
int FormatSkill(double skill, char *text, size_t size);
int FormatTrayTip(const CraftTimer *records, int count, const char *const *labels,
                  const char *ready, int32_t now, char *text, size_t size);

#endif
