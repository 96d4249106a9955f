/* The texts of times and skills, and the colour a remaining time is drawn in. */
#include "rules/timefmt.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <cstdint>

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

/* The colour of a craft's remaining time. Not due, it is the scheme's button text, the
   colour every scheme makes readable on the dialog's face. Due, it is red; but red
   can vanish in a high-contrast scheme, which then gives its hyperlink colour, a text
   colour made to stand out, or else its selection colour, or else the plain text. */
uint32_t RemainColour(const RemainScheme *scheme, int state)
{
    if (state != REMAIN_DUE)
        return scheme->text;
    if (!scheme->high_contrast)
        return REMAIN_DUE_RED;
    const uint32_t standing_out[] = { scheme->hot, scheme->highlight };
    for (uint32_t colour : standing_out)
        if (colour != scheme->text && colour != scheme->face)
            return colour;
    return scheme->text;
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
