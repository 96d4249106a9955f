/* The texts of local times, remaining times and skills, and the colour a remaining
   time is drawn in. Plain standard library rules, free of windows, so that they test
   on their own. */
#ifndef QUORVEL_RULES_TIMEFMT_H
#define QUORVEL_RULES_TIMEFMT_H

#include <cstddef>
#include <cstdint>

enum {
    TIME_TEXT_SIZE = 256,   /* a local time, "%Y/%m/%d %H:%M:%S" */
    REMAIN_TEXT_SIZE = 16,  /* any remaining time a 32-bit clock can give, "596523:14:07" at most */
    SKILL_TEXT_SIZE = 32,   /* a skill, "%5.1f" */
};

/* What a craft's remaining time stands for, which chooses its colour. */
enum RemainState { REMAIN_UNTRACKED, REMAIN_WAITING, REMAIN_DUE };

/* The system colours a remaining time is drawn from (0x00BBGGRR, as the platform's
   colour values), and whether the scheme is a high-contrast one. */
struct RemainScheme {
    int high_contrast;
    uint32_t text;       /* button text */
    uint32_t face;       /* the dialog's face */
    uint32_t hot;        /* hyperlinks */
    uint32_t highlight;  /* selected items */
};

/* A due craft's red in the ordinary schemes, RGB(255, 0, 0). */
const uint32_t REMAIN_DUE_RED = 0x0000FF;

/* Shown for a moment that has no local time, such as a hand-edited negative NEXT. */
extern const char NO_TIME_TEXT[];

int FormatLocalTime(int32_t when, char *text, size_t size);
int32_t WholeSeconds(double seconds);
int32_t RemainingTime(int32_t available, int32_t next_time, int32_t now, int *overdue);
int FormatRemain(int32_t remaining, char *text, size_t size);
int FormatSkill(double skill, char *text, size_t size);
uint32_t RemainColour(const RemainScheme *scheme, int state);

#endif
