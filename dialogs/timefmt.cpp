/* Formatting of the status dialog's times and skills. */
#include "dialogs/timefmt.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

const char NO_TIME_TEXT[] = "----/--/-- --:--:--";

/* Writes the placeholder of a moment that has no local time. */
static int NoTime(char *text, size_t size)
{
    snprintf(text, size, "%s", NO_TIME_TEXT);
    return 0;
}

/* A moment as local time, "2004/06/15 13:45:02". A moment the runtime cannot convert
   (before 1970, or whose text does not fit) shows the placeholder; returns 0 then. */
int FormatLocalTime(int32_t when, char *text, size_t size)
{
    if (size == 0)
        return 0;
    time_t moment = (time_t)when;
    struct tm *local = localtime(&moment);
    if (!local || strftime(text, size, "%Y/%m/%d %H:%M:%S", local) == 0)
        return NoTime(text, size);
    return 1;
}

/* A number of seconds rounded to the nearest whole second. Values beyond the 32-bit
   range (a next time far in the past) give its nearest end rather than garbage. */
int32_t WholeSeconds(double seconds)
{
    if (std::isnan(seconds))
        return 0;
    if (seconds >= (double)INT32_MAX)
        return INT32_MAX;
    if (seconds <= (double)INT32_MIN)
        return INT32_MIN;
    char text[16];
    snprintf(text, sizeof text, "%14.0f", seconds);
    return (int32_t)atol(text);
}

/* Seconds until a craft's next order, and whether it is overdue (to be shown red). An
   untracked craft shows nothing left and is never overdue; a tracked one whose time
   has come, or that was never scheduled, shows nothing left in red. */
int32_t RemainingTime(int32_t available, int32_t next_time, int32_t now, int *overdue)
{
    *overdue = 0;
    if (available == 0)
        return 0;
    int32_t remaining = WholeSeconds(difftime((time_t)next_time, (time_t)now));
    if (remaining > 0)
        return remaining;
    *overdue = 1;
    return 0;
}

/* A remaining time as hours, minutes and seconds, "1:00:00". Written within size,
   whatever the hours; returns 0 when it had to be cut. */
int FormatRemain(int32_t remaining, char *text, size_t size)
{
    if (size == 0)
        return 0;
    if (remaining < 0)
        remaining = 0;
    div_t hours = div(remaining, 3600);
    div_t minutes = div(hours.rem, 60);
    int n = snprintf(text, size, "%01d:%02d:%02d", hours.quot, minutes.quot, minutes.rem);
    return n >= 0 && (size_t)n < size;
}

/* A skill as shown in its box, " 50.0": one decimal, at least five characters. */
int FormatSkill(double skill, char *text, size_t size)
{
    if (size == 0)
        return 0;
    int n = snprintf(text, size, "%5.1f", skill);
    return n >= 0 && (size_t)n < size;
}

/* The tray tip: the program name, then one line per tracked craft with its remaining
   time, or the ready text once nothing is left. labels name the crafts in order.
   Returns 0 when the text had to be cut. */
int FormatTrayTip(const CraftTimer *records, int count, const char *const *labels,
                  const char *ready, int32_t now, char *text, size_t size)
{
    if (size == 0)
        return 0;
    snprintf(text, size, "%s", "Quorvel");
    for (int k = 0; k < count; k++) {
        if (records[k].available == 0)
            continue;
        int overdue;
        char remain[REMAIN_TEXT_SIZE];
        FormatRemain(RemainingTime(records[k].available, records[k].next_time, now, &overdue),
                     remain, sizeof remain);
        size_t used = strlen(text);
        int n = snprintf(text + used, size - used, "\n%s: %s", labels[k], overdue ? ready : remain);
        if (n < 0 || (size_t)n >= size - used)
            return 0;
    }
    return 1;
}
