/* A sync engine's conflict copies of the record: which names are copies, how a copy's
   values join the record, and whether a copy holds lines of its own. When two PCs save the shared record at once, the engine
   keeps the newer file as the record and the other under a name of its own beside it;
   what that other file holds must not be lost. No platform calls here. */
#include "settings/settings.h"

#include <cstring>
#include <cwchar>

/* The record's name around the engines' markers, compared ignoring case. */
static const wchar_t copy_stem[] = L"Quorvel";
static const wchar_t copy_extension[] = L".ini";

/* A computer name as the file-hosting client puts it into a copy's name: 1 to 15 letters,
   digits and hyphens. */
enum { COMPUTER_NAME_MAX = 15 };

/* Whether text[0..length) begins with the word, ignoring case. */
static bool StartsWith(const wchar_t *text, size_t length, const wchar_t *word)
{
    size_t n = wcslen(word);
    return length >= n && _wcsnicmp(text, word, n) == 0;
}

/* Whether text[0..length) holds the word anywhere, ignoring case. */
static bool Holds(const wchar_t *text, size_t length, const wchar_t *word)
{
    for (size_t at = 0; at < length; at++)
        if (StartsWith(text + at, length - at, word))
            return true;
    return false;
}

/* Whether text[0..length) is a computer name: 1 to 15 letters, digits and hyphens,
   not starting with a hyphen. */
static bool IsComputerName(const wchar_t *text, size_t length)
{
    if (length < 1 || length > COMPUTER_NAME_MAX || text[0] == L'-')
        return false;
    for (size_t i = 0; i < length; i++) {
        wchar_t c = text[i];
        if (!((c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'-'))
            return false;
    }
    return true;
}

/* The marker a file-hosting client adds to the copy it keeps of another computer's
   version: "-" and that computer's name, then maybe "-" and a number for a second copy. */
static bool IsComputerMarker(const wchar_t *marker, size_t length)
{
    if (length < 2 || marker[0] != L'-')
        return false;
    const wchar_t *name = marker + 1;
    size_t n = length - 1;
    if (IsComputerName(name, n))
        return true;
    size_t digits = 0;
    while (digits < n && name[n - 1 - digits] >= L'0' && name[n - 1 - digits] <= L'9')
        digits++;
    return digits > 0 && digits + 1 < n && name[n - 1 - digits] == L'-'
        && IsComputerName(name, n - 1 - digits);
}

/* Whether a name in the record's folder, of the given length, is a sync engine's
   conflict copy of the record: "Quorvel", a marker and ".ini", ignoring case. The
   markers are ".sync-conflict-..." (a peer-to-peer engine), " (... conflicted copy ...)"
   (the file-hosting services), and "-COMPUTER" or "-COMPUTER-2" (another hosting
   client). Every other name, the record's own and its draft's among them, is not. */
bool IsConflictCopyName(const wchar_t *name, size_t length)
{
    const size_t stem = wcslen(copy_stem), extension = wcslen(copy_extension);
    if (length <= stem + extension || !StartsWith(name, length, copy_stem)
        || !StartsWith(name + length - extension, extension, copy_extension))
        return false;
    const wchar_t *marker = name + stem;
    const size_t m = length - stem - extension;
    if (StartsWith(marker, m, L".sync-conflict-"))
        return m > wcslen(L".sync-conflict-");
    if (StartsWith(marker, m, L" (") && marker[m - 1] == L')')
        return Holds(marker, m, L"conflicted copy");
    return IsComputerMarker(marker, m);
}

/* Whether a craft is tracked by either side; the value kept is a tracked one, the same
   whichever side is which, so that the join does not depend on the order. */
static int32_t EitherTracked(int32_t a, int32_t b)
{
    if (a == 0)
        return b;
    if (b == 0)
        return a;
    return a > b ? a : b;
}

/* The record joined with a conflict copy, craft by craft: the later NEXT (an order
   received on the other PC is later than the one before it; 0, no order, is earliest),
   the higher skill (skills rise in play, so no step is lost), and a craft tracked when
   either side tracks it, so that none silently stops alerting. A NEXT of the copy that
   this PC's own orders replaced is old news, whatever its time (a 2-hour wait may follow
   a 6-hour one), and joins nothing. The dialog's position is the record's. Joining is
   idempotent, and the crafts join alike whichever side is which: the same copy joined
   twice, or joined by two PCs at once, ends in the same record. */
OwnedValues JoinCopy(const OwnedValues &record, const OwnedValues &copy, const SupersededNext &replaced)
{
    OwnedValues joined = record;
    for (int k = 0; k < CRAFT_COUNT; k++) {
        const CraftValues &r = record.craft[k], &c = copy.craft[k];
        joined.craft[k].available = EitherTracked(r.available, c.available);
        joined.craft[k].skill = c.skill > r.skill ? c.skill : r.skill;
        if (c.next_time > r.next_time && !IsSuperseded(replaced, k, c.next_time))
            joined.craft[k].next_time = c.next_time;
    }
    return joined;
}

/* The keys Quorvel owns, by section: their values are merged, never compared as lines. */
static const struct {
    const char *section;
    const char *keys[3];
} owned_keys[] = {
    { "SYSTEM", { "VERSION" } },
    { "STATUS", { "X", "Y" } },
    { "SMITH", { "AVAILABLE", "SKILL", "NEXT" } },
    { "TAILOR", { "AVAILABLE", "SKILL", "NEXT" } },
};

/* A piece of a file's text. */
struct Span {
    const char *at;
    size_t length;
};

/* One line as the reader of such files sees it: a section's name, a key and its value,
   or other text (a comment, or a line that is neither), each without the spaces around. */
enum LineKind { LINE_BLANK, LINE_SECTION, LINE_KEY, LINE_OTHER };
struct Line {
    int kind;
    Span name;    /* the section's name, the key, or the whole text */
    Span value;
};

/* The span without the spaces and tabs around it. */
static Span Trimmed(Span text)
{
    while (text.length && (text.at[0] == ' ' || text.at[0] == '\t')) {
        text.at++;
        text.length--;
    }
    while (text.length && (text.at[text.length - 1] == ' ' || text.at[text.length - 1] == '\t'))
        text.length--;
    return text;
}

/* Whether two spans hold the same text; letters in any case when any_case is set. */
static bool SameText(Span a, Span b, bool any_case)
{
    if (a.length != b.length)
        return false;
    for (size_t i = 0; i < a.length; i++) {
        char x = a.at[i], y = b.at[i];
        if (any_case) {
            x = x >= 'a' && x <= 'z' ? (char)(x - 32) : x;
            y = y >= 'a' && y <= 'z' ? (char)(y - 32) : y;
        }
        if (x != y)
            return false;
    }
    return true;
}

/* Whether a span is the word, in any case. */
static bool IsWord(Span text, const char *word)
{
    return SameText(text, Span{ word, strlen(word) }, true);
}

/* Takes the next line from *text, without its line ending; false at the end. */
static bool NextLine(Span *text, Span *line)
{
    if (!text->length)
        return false;
    size_t n = 0;
    while (n < text->length && text->at[n] != '\r' && text->at[n] != '\n')
        n++;
    *line = Span{ text->at, n };
    if (n < text->length && text->at[n] == '\r')
        n++;
    if (n < text->length && text->at[n] == '\n')
        n++;
    text->at += n;
    text->length -= n;
    return true;
}

/* What a line of the file is. */
static Line ReadLine(Span text)
{
    text = Trimmed(text);
    Line line = { LINE_OTHER, text, Span{ "", 0 } };
    if (!text.length) {
        line.kind = LINE_BLANK;
    } else if (text.at[0] == '[') {
        size_t end = 1;
        while (end < text.length && text.at[end] != ']')
            end++;
        line.kind = LINE_SECTION;
        line.name = Trimmed(Span{ text.at + 1, end - 1 });
    } else if (text.at[0] != ';') {
        for (size_t at = 0; at < text.length; at++)
            if (text.at[at] == '=') {
                line.kind = LINE_KEY;
                line.name = Trimmed(Span{ text.at, at });
                line.value = Trimmed(Span{ text.at + at + 1, text.length - at - 1 });
                break;
            }
    }
    return line;
}

/* A file's text without the byte-order mark an editor may put before it. */
static Span Text(const char *text, size_t size)
{
    if (size >= 3 && memcmp(text, "\xEF\xBB\xBF", 3) == 0)
        return Span{ text + 3, size - 3 };
    return Span{ text, size };
}

/* Whether a section is Quorvel's, and with a key, whether that key is. */
static bool Owned(Span section, const Span *key)
{
    for (const auto &owned : owned_keys) {
        if (!IsWord(section, owned.section))
            continue;
        if (!key)
            return true;
        for (const char *name : owned.keys)
            if (name && IsWord(*key, name))
                return true;
    }
    return false;
}

/* Whether the record holds the line: a section line, that section; another line, the
   same in that section, with a key's name in any case and its value exactly. */
static bool RecordHolds(Span record, Span section, const Line &wanted)
{
    Span current = { "", 0 }, text;
    while (NextLine(&record, &text)) {
        Line line = ReadLine(text);
        if (line.kind == LINE_SECTION) {
            current = line.name;
            if (wanted.kind == LINE_SECTION && SameText(line.name, wanted.name, true))
                return true;
        } else if (line.kind == wanted.kind && SameText(current, section, true)
                   && SameText(line.name, wanted.name, line.kind == LINE_KEY)
                   && SameText(line.value, wanted.value, false)) {
            return true;
        }
    }
    return false;
}

/* Whether a conflict copy holds a line of its own, one the player may have written on
   the other PC: a section, key or comment that the record lacks or holds differently.
   Quorvel's own keys are left out, since their values are merged; lines are compared
   ignoring the case of section and key names, spaces around '=' and line endings. A
   copy that holds one must stay in the folder. */
bool HoldsOwnLines(const char *copy, size_t copy_size, const char *record, size_t record_size)
{
    Span lines = Text(copy, copy_size), text, section = { "", 0 };
    const Span held = Text(record, record_size);
    while (NextLine(&lines, &text)) {
        Line line = ReadLine(text);
        if (line.kind == LINE_SECTION)
            section = line.name;
        if (line.kind == LINE_BLANK || (line.kind == LINE_SECTION && Owned(section, nullptr))
            || (line.kind == LINE_KEY && Owned(section, &line.name)))
            continue;
        if (!RecordHolds(held, section, line))
            return true;
    }
    return false;
}
