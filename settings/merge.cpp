/* How a change made to the file outside Quorvel meets what Quorvel holds in memory.
   No platform calls here. */
#include "settings/settings.h"

/* One key: the file's value when something outside changed it since Quorvel last saw
   the file, else memory's, so that neither side's news is lost. */
template <typename T>
static T Pick(T base, T file, T memory)
{
    return file != base ? file : memory;
}

/* The record to hold and to save, key by key: base is what the file held when last
   read or written, file what it holds now, memory what Quorvel holds. */
OwnedValues MergeOwned(const OwnedValues &base, const OwnedValues &file, const OwnedValues &memory)
{
    OwnedValues merged;
    merged.position.x = Pick(base.position.x, file.position.x, memory.position.x);
    merged.position.y = Pick(base.position.y, file.position.y, memory.position.y);
    for (int k = 0; k < CRAFT_COUNT; k++) {
        const CraftValues &b = base.craft[k], &f = file.craft[k], &m = memory.craft[k];
        merged.craft[k].available = Pick(b.available, f.available, m.available);
        merged.craft[k].skill = Pick(b.skill, f.skill, m.skill);
        merged.craft[k].next_time = Pick(b.next_time, f.next_time, m.next_time);
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
