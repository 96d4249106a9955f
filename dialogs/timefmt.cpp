/* Formatting of the status dialog's times and skills. */
#include "dialogs/timefmt.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <cstdint>
#include <cwchar>
#include <cwctype>

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

/* Whether a folder's name is the program's own, as the setup's record folder and a
   portable copy's folder are: such a lamp needs no name of its own. */
static int IsProgramsOwnName(const wchar_t *name, size_t length)
{
    static const wchar_t own[] = L"Quorvel";
    if (length != wcslen(own))
        return 0;
    for (size_t i = 0; i < length; i++)
        if (towlower(name[i]) != towlower(own[i]))
            return 0;
    return 1;
}

/* Adds at most count characters of a wide text at the end of text, as many as fit in size. */
static void Append(wchar_t *text, size_t size, const wchar_t *piece, size_t count = SIZE_MAX)
{
    size_t room = size - 1 - wcslen(text);
    wcsncat(text, piece, count < room ? count : room);
}

/* Adds a text of plain characters (digits, colons) at the end of text, as much as fits. */
static void AppendPlain(wchar_t *text, size_t size, const char *piece)
{
    size_t used = wcslen(text);
    for (; *piece && used + 1 < size; piece++)
        text[used++] = (unsigned char)*piece;
    text[used] = L'\0';
}

/* The first line of the tip and the notices' title: "Quorvel", or "Quorvel: Anna" for
   a record kept in the folder Anna, so that the lamps of several characters can be told
   apart. A name too long for size is cut with an ellipsis, never inside a character
   made of two wide units. */
void FormatTrayTitle(const wchar_t *directory, wchar_t *text, size_t size)
{
    static const wchar_t prefix[] = L"Quorvel: ";
    const size_t prefix_length = wcslen(prefix);
    if (size == 0)
        return;
    text[0] = L'\0';
    size_t end = wcslen(directory);
    while (end > 0 && (directory[end - 1] == L'\\' || directory[end - 1] == L'/'))
        end--;
    size_t start = end;
    while (start > 0 && directory[start - 1] != L'\\' && directory[start - 1] != L'/')
        start--;
    size_t length = end - start;
    /* A drive's root ("C:") names no record folder. */
    int no_name = length == 0 || directory[end - 1] == L':' || IsProgramsOwnName(directory + start, length);
    if (no_name || size < prefix_length + 3) {
        Append(text, size, L"Quorvel");
        return;
    }
    size_t room = size - 1 - prefix_length;
    int cut = length > room;
    if (cut) {
        length = room - 1;
        if (directory[start + length - 1] >= 0xD800 && directory[start + length - 1] <= 0xDBFF)
            length--;
    }
    Append(text, size, prefix);
    Append(text, size, directory + start, length);
    if (cut)
        Append(text, size, L"\u2026");
}

/* The clock time from which an order can be collected, "14:05": the minute is rounded
   up, so that the time shown has always come when it is read. Empty when the moment has
   no local time. */
static void FormatCollectTime(int32_t when, char *text, size_t size)
{
    time_t moment = (time_t)when;
    if (moment > 0 && moment % 60 != 0)
        moment += 60 - moment % 60;
    struct tm *local = localtime(&moment);
    if (!local || strftime(text, size, "%H:%M", local) == 0)
        text[0] = '\0';
}

/* Adds one craft's line to the tip's lines: "\nBlacksmith: 1:11:51 (at 14:05)", or
   "\nBlacksmith: ready" once nothing is left. */
static void AppendTipLine(wchar_t *lines, size_t size, const CraftTimer *record, const wchar_t *label,
                          const TipWords *words, int32_t now)
{
    int overdue;
    char remain[REMAIN_TEXT_SIZE], at[TIME_TEXT_SIZE];
    FormatRemain(RemainingTime(record->available, record->next_time, now, &overdue), remain, sizeof remain);
    FormatCollectTime(record->next_time, at, sizeof at);
    Append(lines, size, L"\n");
    Append(lines, size, label);
    Append(lines, size, L": ");
    if (overdue) {
        Append(lines, size, words->ready);
        return;
    }
    AppendPlain(lines, size, remain);
    if (at[0]) {
        Append(lines, size, L" (");
        Append(lines, size, words->at);
        Append(lines, size, L" ");
        AppendPlain(lines, size, at);
        Append(lines, size, L")");
    }
}

/* The tray tip: the title, then one line per tracked craft with its remaining time and
   the clock time its order can be collected, or the ready text once nothing is left. The
   clock time keeps the tip right however long ago it was written. The folder's name in
   the title is cut to leave room for the lines. Returns 0 when the lines themselves had
   to be cut. */
int FormatTrayTip(const CraftTimer *records, int count, const TipWords *words, const wchar_t *directory,
                  int32_t now, wchar_t *text, size_t size)
{
    if (size == 0)
        return 0;
    wchar_t lines[TIP_TEXT_SIZE * 2] = L"";
    for (int k = 0; k < count; k++)
        if (records[k].available != 0)
            AppendTipLine(lines, TIP_TEXT_SIZE * 2, &records[k], words->labels[k], words, now);
    size_t needed = wcslen(lines);
    int whole = needed + sizeof "Quorvel" <= size;
    FormatTrayTitle(whole ? directory : L"", text, whole ? size - needed : size);
    Append(text, size, lines);
    return whole;
}
