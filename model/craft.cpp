/* Craft timers: waiting times by skill, scheduling, skill steps, due and alert rules. */
#include "model/craft.h"

#include <cmath>

#include "res/resource.h"

CraftTimer crafts[CRAFT_COUNT];

/* Which craft a menu command or status dialog control belongs to; -1 for none. */
int CraftOfId(int32_t id)
{
    switch (id) {
    case IDC_SMITH_AVAILABLE:
    case IDC_SMITH_NEXT:
    case IDC_SMITH_REMAIN:
    case IDC_SMITH_SKILL:
    case IDC_SMITH_SPIN:
    case IDC_SMITH_RECEIVE:
    case IDM_RECEIVED_SMITH:
    case IDM_UPSKILL_SMITH:
        return CRAFT_SMITH;
    case IDC_TAILOR_AVAILABLE:
    case IDC_TAILOR_NEXT:
    case IDC_TAILOR_REMAIN:
    case IDC_TAILOR_SKILL:
    case IDC_TAILOR_SPIN:
    case IDC_TAILOR_RECEIVE:
    case IDM_RECEIVED_TAILOR:
    case IDM_UPSKILL_TAILOR:
        return CRAFT_TAILOR;
    default:
        return -1;
    }
}

/* The wait between two orders grows with skill: one hour up to 50.0, two up to 69.9,
   six up to 120.0. A skill beyond every band (or NaN) waits nothing. */
int32_t WaitForSkill(double skill)
{
    static const struct { double most; int32_t wait; } bands[] = {
        { 50.0, 3600 },
        { 69.9, 7200 },
        { 120.0, 21600 },
    };
    for (const auto &band : bands)
        if (skill <= band.most)
            return band.wait;
    return 0;
}

/* Records an order received at now: the next one can be had one wait later. */
void ScheduleNext(CraftTimer *craft, int32_t now)
{
    craft->next_time = WaitForSkill(craft->skill.load()) + now;
    craft->alerted = 0;
}

/* Steps a craft's skill by a tenth. Each step lands on a whole tenth and stays within
   0.0 to 120.0, so repeated steps never drift into a neighbouring wait band. */
int StepSkill(int32_t id, int direction)
{
    int k = CraftOfId(id);
    if (k < 0 || (direction != STEP_UP && direction != STEP_DOWN))
        return 0;
    double skill = crafts[k].skill.load();
    if (direction == STEP_UP ? !(skill < SKILL_MAX) : !(skill > SKILL_MIN))
        return 1;
    long tenths = std::lround(skill * 10.0) + (direction == STEP_UP ? 1 : -1);
    if (tenths < 0)
        tenths = 0;
    if (tenths > 1200)
        tenths = 1200;
    crafts[k].skill.store(tenths / 10.0);  /* the double that the text "n.n" reads as */
    return 1;
}

/* True once a tracked, scheduled craft's time lies strictly in the past. */
bool IsDue(const CraftTimer *craft, int32_t now)
{
    return craft->available != 0 && craft->next_time != 0
        && (double)craft->next_time - (double)now < 0.0;
}

/* The due check's decision for one craft at now: the first time it is seen due it is
   marked alerted and 1 is returned, so that each scheduling alerts exactly once. */
int AlertIfDue(CraftTimer *craft, int32_t now)
{
    if (!IsDue(craft, now) || craft->alerted != 0)
        return 0;
    craft->alerted = 1;
    return 1;
}

/* The tray alerts while any craft is tracked and any craft has alerted. */
bool AlertWanted()
{
    bool tracked = false, alerted = false;
    for (const CraftTimer &craft : crafts) {
        tracked = tracked || craft.available != 0;
        alerted = alerted || craft.alerted != 0;
    }
    return tracked && alerted;
}

/* Drops the alert of every craft that is not due at now (its next time was moved on, or
   it is no longer tracked), so that its lamp turns green without a sound and it alerts
   again when its new time comes. A craft still due keeps its alert and does not beep twice. */
void SettleAlerts(int32_t now)
{
    for (CraftTimer &craft : crafts)
        if (!IsDue(&craft, now))
            craft.alerted = 0;
}

/* How long the due check may sleep at now: until the first tracked, scheduled craft
   that has not alerted yet becomes due, one second past its next time. */
int32_t SecondsToNextCheck(int32_t now)
{
    int64_t wait = CHECK_EVERY_MOST;
    for (const CraftTimer &craft : crafts) {
        if (craft.available == 0 || craft.next_time == 0 || craft.alerted != 0)
            continue;
        int64_t until_due = (int64_t)craft.next_time + 1 - now;
        if (until_due < wait)
            wait = until_due;
    }
    return wait < CHECK_EVERY_LEAST ? CHECK_EVERY_LEAST : (int32_t)wait;
}
