/* The two craft timers and the rules that act on them. No platform calls here:
   every rule takes the clock value from its caller. */
#ifndef QUORVEL_CRAFT_H
#define QUORVEL_CRAFT_H

#include <atomic>
#include <cstdint>

/* One craft's timer. skill is atomic because the status dialog's refresher thread
   reads it while the user-interface thread steps it; a plain double could tear on a
   32-bit target. */
struct CraftTimer {
    int32_t available;          /* non-zero: the craft is tracked */
    std::atomic<double> skill;  /* 0.0 to 120.0 */
    int32_t next_time;          /* seconds since 1970 UTC when the next order can be had; 0 = none */
    int32_t alerted;            /* 1 once the due alert has fired for this scheduling */
};

enum { CRAFT_COUNT = 2, CRAFT_SMITH = 0, CRAFT_TAILOR = 1 };

extern CraftTimer crafts[CRAFT_COUNT];

enum { STEP_UP = 0, STEP_DOWN = 1 };

const double SKILL_MIN = 0.0;
const double SKILL_MAX = 120.0;
const double SKILL_DEFAULT = 50.0;

int CraftOfId(int32_t id);
int32_t WaitForSkill(double skill);
void ScheduleNext(CraftTimer *craft, int32_t now);
int StepSkill(int32_t id, int direction);
bool IsDue(const CraftTimer *craft, int32_t now);
int AlertIfDue(CraftTimer *craft, int32_t now);
bool AlertWanted();
void SettleAlerts(int32_t now);

/* The due check sleeps at most a minute, so that a clock set by hand or a resume from
   sleep is noticed soon, and at least a second. */
enum { CHECK_EVERY_LEAST = 1, CHECK_EVERY_MOST = 60 };
int32_t SecondsToNextCheck(int32_t now);

#endif
