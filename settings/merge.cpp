/* How a change made to the file outside Quorvel meets what Quorvel holds in memory.
   No platform calls here. */
#include "settings/settings.h"

/* One key that at most one side changed since Quorvel last saw the file: the file's
   value when something outside changed it, else memory's. */
template <typename T>
static T Pick(T base, T file, T memory)
{
    return file != base && memory == base ? file : memory;
}

/* Whether both sides changed a key since the file was last seen, each to its own value. */
template <typename T>
static bool BothChanged(T base, T file, T memory)
{
    return file != base && memory != base && file != memory;
}

/* Keeps a NEXT value that an order just replaced, pushing out the oldest kept. */
void NoteSuperseded(SupersededNext *superseded, int k, int32_t next_time)
{
    int32_t *kept = superseded->next_time[k];
    int count = superseded->count[k];
    if (count > 0 && kept[0] == next_time)
        return;
    for (int i = (count < SUPERSEDED_KEPT ? count : SUPERSEDED_KEPT - 1); i > 0; i--)
        kept[i] = kept[i - 1];
    kept[0] = next_time;
    if (count < SUPERSEDED_KEPT)
        superseded->count[k] = count + 1;
}

/* Whether a craft held this NEXT value before its latest order. */
bool IsSuperseded(const SupersededNext &superseded, int k, int32_t next_time)
{
    for (int i = 0; i < superseded.count[k]; i++)
        if (superseded.next_time[k][i] == next_time)
            return true;
    return false;
}

/* The record to hold and to save, key by key: base is what the file held when last
   read or written, file what it holds now, memory what Quorvel holds. A key changed on
   one side only takes that side's value, so an edit by hand or the other PC's change is
   taken in, and a step not yet saved is kept. A key both sides changed is joined as a
   conflict copy is (the later NEXT, the higher skill, tracked if either tracks; the
   dialog's position is memory's), so neither side's news is lost. A NEXT that the file
   brings back from before the craft's latest order is a stale copy (a sync tool's old
   version, an editor's old buffer), not news: memory keeps the order, and *stale_found,
   when given, counts it. */
OwnedValues MergeOwned(const OwnedValues &base, const OwnedValues &file, const OwnedValues &memory,
                       const SupersededNext &superseded, int *stale_found)
{
    const OwnedValues joined = JoinCopy(memory, file, superseded);
    OwnedValues merged;
    merged.position.x = Pick(base.position.x, file.position.x, memory.position.x);
    merged.position.y = Pick(base.position.y, file.position.y, memory.position.y);
    for (int k = 0; k < CRAFT_COUNT; k++) {
        const CraftValues &b = base.craft[k], &f = file.craft[k], &m = memory.craft[k], &j = joined.craft[k];
        CraftValues &craft = merged.craft[k];
        craft.available = BothChanged(b.available, f.available, m.available) ? j.available
                                                                             : Pick(b.available, f.available, m.available);
        craft.skill = BothChanged(b.skill, f.skill, m.skill) ? j.skill : Pick(b.skill, f.skill, m.skill);
        craft.next_time = BothChanged(b.next_time, f.next_time, m.next_time)
            ? j.next_time : Pick(b.next_time, f.next_time, m.next_time);
        if (f.next_time != b.next_time && f.next_time != m.next_time
            && IsSuperseded(superseded, k, f.next_time)) {
            craft.next_time = m.next_time;
            if (stale_found)
                ++*stale_found;
        }
    }
    return merged;
}

/* Whether two records hold the same values, key by key. */
bool SameOwned(const OwnedValues &a, const OwnedValues &b)
{
    if (a.position.x != b.position.x || a.position.y != b.position.y)
        return false;
    for (int k = 0; k < CRAFT_COUNT; k++)
        if (a.craft[k].available != b.craft[k].available || a.craft[k].skill != b.craft[k].skill
            || a.craft[k].next_time != b.craft[k].next_time)
            return false;
    return true;
}
