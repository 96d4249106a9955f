/* The tray tip and the notices' title: the record's folder and a line per tracked craft. */
#include "rules/tip.h"

#include <cstdint>
#include <cstring>
#include <ctime>
#include <cwchar>
#include <cwctype>

#include "rules/timefmt.h"

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
