/* The [ALERT] section's values, the WAV header, and the schedule of reminders and
   notices ahead. */
#include "rules/alert.h"

#include <cstring>
#include <cwctype>

/* Reads whole minutes from 0 to most, with spaces around them allowed, into *minutes,
   which is left alone unless the value reads. A fraction, a sign, a unit or a number
   out of range is no value of minutes. */
int ReadAlertMinutes(const wchar_t *text, int32_t most, int32_t *minutes)
{
    while (iswspace(*text))
        text++;
    if (!*text)
        return ALERT_EMPTY;
    int64_t read = 0;
    int digits = 0;
    for (; *text >= L'0' && *text <= L'9'; text++, digits++) {
        read = read * 10 + (*text - L'0');
        if (read > most)
            return ALERT_BAD;
    }
    while (iswspace(*text))
        text++;
    if (!digits || *text)
        return ALERT_BAD;
    *minutes = (int32_t)read;
    return ALERT_READ;
}

/* Whether the first bytes of a file are those of a WAV file: a RIFF file of the WAVE
   form. Anything else is never handed to the player of sounds. */
bool IsWaveHeader(const unsigned char *bytes, size_t length)
{
    return length >= WAVE_HEADER_SIZE && memcmp(bytes, "RIFF", 4) == 0 && memcmp(bytes + 8, "WAVE", 4) == 0;
}

/* The player has seen every craft that alerts now: no reminders for them until an
   order comes due again, that is until their NEXT changes. */
void SeeAlerts(AlertSchedule *schedule, const CraftTimer *records, int count)
{
    for (int k = 0; k < count && k < CRAFT_COUNT; k++)
        if (records[k].alerted)
            schedule->seen_next[k] = records[k].next_time;
}

/* Whether a tracked craft alerts that the player has not seen yet. */
static bool AlertUnseen(const AlertSchedule *schedule, const CraftTimer *records, int count)
{
    for (int k = 0; k < count && k < CRAFT_COUNT; k++)
        if (records[k].available && records[k].alerted && schedule->seen_next[k] != records[k].next_time)
            return true;
    return false;
}

/* The reminder at now. The first period starts when an unseen alert is first looked
   at, which is when it sounded. However late a look comes (after sleep, or the clock
   set forward), one reminder sounds and the next period starts at now, so reminders
   never come in a burst; a clock set back before the last one starts the period anew
   from now. */
static void StepReminder(AlertSchedule *schedule, bool unseen, int32_t period, int32_t now, AlertStep *step)
{
    if (!period || !unseen) {
        schedule->remind_at = 0;
        return;
    }
    if (!schedule->remind_at || (int64_t)schedule->remind_at - period > now) {
        schedule->remind_at = now + period;
    } else if (now >= schedule->remind_at) {
        step->sound = 1;
        schedule->remind_at = now + period;
    }
    step->wait = schedule->remind_at - now;
}

/* The notice ahead of craft k at now: once per NEXT, as soon as its time is at most
   lead seconds away, with the minutes actually left (to the nearest, at least one).
   A craft that is due or alerts has no notice ahead. */
static void StepAhead(AlertSchedule *schedule, const CraftTimer &craft, int k, int32_t lead, int32_t now,
                      AlertStep *step)
{
    if (!lead || !craft.available || !craft.next_time || craft.alerted || IsDue(&craft, now)
        || schedule->warned_next[k] == craft.next_time)
        return;
    int64_t left = (int64_t)craft.next_time - now;
    if (left > lead) {
        int64_t wait = left - lead;
        if (!step->wait || wait < step->wait)
            step->wait = wait > ALERT_WAIT_MOST ? ALERT_WAIT_MOST : (int32_t)wait;
        return;
    }
    int64_t minutes = (left + 30) / 60;
    step->ahead |= 1 << k;
    step->ahead_minutes[k] = minutes < 1 ? 1 : (int32_t)minutes;
    schedule->warned_next[k] = craft.next_time;
}

/* What [ALERT] asks for at now, given the crafts and what the schedule kept: a
   reminder, notices ahead, and when to look next. Two crafts alerting together share
   one reminder. */
AlertStep StepAlerts(AlertSchedule *schedule, const CraftTimer *records, int count, AlertTimes times,
                     int32_t now)
{
    AlertStep step = {};
    StepReminder(schedule, AlertUnseen(schedule, records, count), times.repeat * 60, now, &step);
    for (int k = 0; k < count && k < CRAFT_COUNT; k++)
        StepAhead(schedule, records[k], k, times.ahead * 60, now, &step);
    return step;
}
