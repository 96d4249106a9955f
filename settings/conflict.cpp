/* A sync engine's conflict copies of the record: which names are copies, and how a
   copy's values join the record. When two PCs save the shared record at once, the engine
   keeps the newer file as the record and the other under a name of its own beside it;
   what that other file holds must not be lost. No platform calls here. */
#include "settings/settings.h"

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
   either side tracks it, so that none silently stops alerting. The dialog's position is
   the record's. Joining is idempotent, and the crafts join alike whichever side is
   which: the same copy joined twice, or joined by two PCs at once, ends in the same
   record. */
OwnedValues JoinCopy(const OwnedValues &record, const OwnedValues &copy)
{
    OwnedValues joined = record;
    for (int k = 0; k < CRAFT_COUNT; k++) {
        const CraftValues &r = record.craft[k], &c = copy.craft[k];
        joined.craft[k].available = EitherTracked(r.available, c.available);
        joined.craft[k].skill = c.skill > r.skill ? c.skill : r.skill;
        joined.craft[k].next_time = c.next_time > r.next_time ? c.next_time : r.next_time;
    }
    return joined;
}
