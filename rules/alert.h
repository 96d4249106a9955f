/* The [ALERT] section's rules: its values as the player writes them, whether a file
   starts as a WAV file, and the schedule of reminders and notices ahead. Plain rules,
   free of windows, so that they test on their own: the caller brings the clock. */
#ifndef QUORVEL_RULES_ALERT_H
#define QUORVEL_RULES_ALERT_H

#include <cstddef>
#include <cstdint>

#include "model/craft.h"

/* The most minutes REPEAT and AHEAD take; 0 turns either off. */
enum { REPEAT_MOST = 240, AHEAD_MOST = 60 };

/* What a value of minutes is: none written (empty), a number in range, or neither. */
enum AlertRead { ALERT_EMPTY, ALERT_READ, ALERT_BAD };

/* The bytes a WAV file starts with: "RIFF", the size, "WAVE". */
enum { WAVE_HEADER_SIZE = 12 };

/* What the section asks for, in minutes; 0 where a key is off. */
struct AlertTimes {
    int32_t repeat;
    int32_t ahead;
};

/* What the schedule keeps between looks: when the next reminder sounds (0 while none is
   due), and per craft the NEXT whose alert the player has seen and the NEXT whose
   notice ahead has shown. */
struct AlertSchedule {
    int32_t remind_at;
    int32_t seen_next[CRAFT_COUNT];
    int32_t warned_next[CRAFT_COUNT];
};

/* What to do at one look: sound a reminder, show the notice ahead of the crafts in
   ahead (bit k for craft k) with the minutes left, and look again in wait seconds (0:
   nothing to wait for). */
struct AlertStep {
    int sound;
    int ahead;
    int32_t ahead_minutes[CRAFT_COUNT];
    int32_t wait;
};

/* A look sleeps at most a day: the due check looks far more often anyway. */
enum { ALERT_WAIT_MOST = 86400 };

int ReadAlertMinutes(const wchar_t *text, int32_t most, int32_t *minutes);
bool IsWaveHeader(const unsigned char *bytes, size_t length);
void SeeAlerts(AlertSchedule *schedule, const CraftTimer *records, int count);
AlertStep StepAlerts(AlertSchedule *schedule, const CraftTimer *records, int count, AlertTimes times,
                     int32_t now);

#endif
