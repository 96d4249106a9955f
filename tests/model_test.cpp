// The craft rules: wait bands, scheduling, skill steps, due and alert decisions.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "model/craft.h"
#include "res/resource.h"

namespace {

void ResetCrafts()
{
    for (CraftTimer &craft : crafts) {
        craft.available = 0;
        craft.skill.store(50.0);
        craft.next_time = 0;
        craft.alerted = 0;
    }
}

std::string Shown(double skill)
{
    char text[16];
    snprintf(text, sizeof text, "%5.1f", skill);
    return text;
}

class CraftModel : public ::testing::Test {
protected:
    void SetUp() override { ResetCrafts(); }
};

TEST(WaitForSkill, FollowsTheThreeBands)
{
    const struct { double skill; int32_t wait; } cases[] = {
        { 0.0, 3600 },      { 50.0, 3600 },     { 50.000001, 7200 },
        { 69.9, 7200 },     { 69.95, 21600 },   { 70.0, 21600 },
        { 120.0, 21600 },   { 120.1, 0 },       { -1.0, 3600 },
    };
    for (const auto &c : cases)
        EXPECT_EQ(WaitForSkill(c.skill), c.wait) << "skill " << c.skill;
}

TEST(CraftOfId, MapsOnlyTheCraftsOwnCommandsAndControls)
{
    const int smith[] = { 202, 204, 206, 208, 209, 210, IDM_RECEIVED_SMITH, IDM_UPSKILL_SMITH };
    const int tailor[] = { 302, 304, 306, 308, 309, 310, IDM_RECEIVED_TAILOR, IDM_UPSKILL_TAILOR };
    const int neither[] = { 0, -1, 201, 203, 205, 207, 211, 303, 305, 307, 104,
                            IDM_EXIT, IDM_ABOUT, IDM_STATUS, 40008 };
    for (int id : smith) EXPECT_EQ(CraftOfId(id), 0) << id;
    for (int id : tailor) EXPECT_EQ(CraftOfId(id), 1) << id;
    for (int id : neither) EXPECT_EQ(CraftOfId(id), -1) << id;
}

TEST_F(CraftModel, ScheduleNextAddsTheWaitAndClearsTheAlert)
{
    crafts[0].skill.store(69.9);
    crafts[0].alerted = 1;
    ScheduleNext(&crafts[0], 1000000);
    EXPECT_EQ(crafts[0].next_time, 1007200);
    EXPECT_EQ(crafts[0].alerted, 0);
    EXPECT_EQ(crafts[1].next_time, 0);
}

TEST_F(CraftModel, SevenHundredStepsUpReachExactly120AndStop)
{
    for (int i = 0; i < 700; i++)
        ASSERT_EQ(StepSkill(IDM_UPSKILL_SMITH, STEP_UP), 1);
    EXPECT_EQ(crafts[0].skill.load(), 120.0);
    EXPECT_EQ(StepSkill(IDM_UPSKILL_SMITH, STEP_UP), 1);
    EXPECT_EQ(crafts[0].skill.load(), 120.0);
    EXPECT_EQ(WaitForSkill(crafts[0].skill.load()), 21600);
    EXPECT_EQ(crafts[1].skill.load(), 50.0);
}

TEST_F(CraftModel, StepsDownEndAtExactlyZero)
{
    for (int i = 0; i < 501; i++)
        ASSERT_EQ(StepSkill(IDC_TAILOR_SPIN, STEP_DOWN), 1);
    EXPECT_EQ(crafts[1].skill.load(), 0.0);
    EXPECT_FALSE(std::signbit(crafts[1].skill.load()));
    EXPECT_EQ(Shown(crafts[1].skill.load()), "  0.0");
}

TEST_F(CraftModel, EveryStepLandsOnTheTenthItsTextReads)
{
    // Up and down through the whole range: every value is the one its text parses to,
    // so a skill shown as 69.9 always waits two hours and 50.0 always one.
    crafts[0].skill.store(0.0);
    for (int i = 0; i < 1200; i++) {
        StepSkill(IDC_SMITH_SPIN, STEP_UP);
        double skill = crafts[0].skill.load();
        ASSERT_EQ(skill, std::stod(Shown(skill))) << "after " << i + 1 << " steps up";
    }
    for (int i = 0; i < 1200; i++) {
        StepSkill(IDC_SMITH_SPIN, STEP_DOWN);
        double skill = crafts[0].skill.load();
        ASSERT_EQ(skill, std::stod(Shown(skill))) << "after " << i + 1 << " steps down";
    }
    EXPECT_EQ(crafts[0].skill.load(), 0.0);

    crafts[0].skill.store(50.0);
    for (int i = 0; i < 199; i++)
        StepSkill(IDM_UPSKILL_SMITH, STEP_UP);
    EXPECT_EQ(crafts[0].skill.load(), 69.9);
    EXPECT_EQ(WaitForSkill(crafts[0].skill.load()), 7200);
    StepSkill(IDM_UPSKILL_SMITH, STEP_UP);
    EXPECT_EQ(WaitForSkill(crafts[0].skill.load()), 21600);
}

TEST_F(CraftModel, StepFromAnUnroundedLoadedSkillLandsOnATenth)
{
    crafts[0].skill.store(69.95);
    StepSkill(IDM_UPSKILL_SMITH, STEP_UP);
    EXPECT_EQ(crafts[0].skill.load(), 70.1);
    crafts[0].skill.store(119.97);
    StepSkill(IDM_UPSKILL_SMITH, STEP_UP);
    EXPECT_EQ(crafts[0].skill.load(), 120.0);
    crafts[0].skill.store(0.04);
    StepSkill(IDM_UPSKILL_SMITH, STEP_DOWN);
    EXPECT_EQ(crafts[0].skill.load(), 0.0);
}

TEST_F(CraftModel, StepRequestsThatNameNoCraftOrDirectionAreRefused)
{
    EXPECT_EQ(StepSkill(IDC_SMITH_SKILL_LABEL, STEP_UP), 0);
    EXPECT_EQ(StepSkill(IDM_EXIT, STEP_UP), 0);
    EXPECT_EQ(StepSkill(IDM_UPSKILL_SMITH, 2), 0);
    EXPECT_EQ(StepSkill(IDM_UPSKILL_SMITH, -1), 0);
    EXPECT_EQ(crafts[0].skill.load(), 50.0);
    EXPECT_EQ(crafts[1].skill.load(), 50.0);
}

TEST_F(CraftModel, DueOnlyWhenTrackedScheduledAndStrictlyPast)
{
    const int32_t now = 1800000000;
    const struct { int32_t available, next_time; bool due; } cases[] = {
        { 1, now - 1, true },  { 1, now, false },    { 1, now + 1, false },
        { 0, now - 1, false }, { 1, 0, false },      { 5, now - 3600, true },
        { 1, -5, true },       { -1, now - 1, true },
    };
    for (const auto &c : cases) {
        crafts[0].available = c.available;
        crafts[0].next_time = c.next_time;
        EXPECT_EQ(IsDue(&crafts[0], now), c.due) << c.available << " " << c.next_time;
    }
    crafts[0].available = 1;
    crafts[0].next_time = 0;
    EXPECT_FALSE(IsDue(&crafts[0], INT32_MAX));
}

TEST_F(CraftModel, AlertWantedNeedsATrackedCraftAndAnAlertedOne)
{
    const struct { int32_t avail0, alert0, avail1, alert1; bool wanted; } cases[] = {
        { 0, 0, 0, 0, false }, { 1, 0, 1, 0, false }, { 1, 1, 0, 0, true },
        { 0, 1, 1, 0, true },  { 0, 1, 0, 1, false }, { 1, 0, 0, 1, true },
    };
    for (const auto &c : cases) {
        crafts[0].available = c.avail0;
        crafts[0].alerted = c.alert0;
        crafts[1].available = c.avail1;
        crafts[1].alerted = c.alert1;
        EXPECT_EQ(AlertWanted(), c.wanted)
            << c.avail0 << c.alert0 << c.avail1 << c.alert1;
    }
}

TEST_F(CraftModel, TheDueCheckSleepsUntilTheFirstPendingCraftIsDueWithinASecondAndAMinute)
{
    const int32_t now = 1800000000;
    const struct { int32_t avail0, next0, alert0, avail1, next1, alert1, wait; } cases[] = {
        { 0, 0, 0, 0, 0, 0, 60 },                       // nothing scheduled
        { 1, now + 5, 0, 0, 0, 0, 6 },                  // due once now passes next_time
        { 1, now, 0, 0, 0, 0, 1 },
        { 1, now - 3600, 0, 0, 0, 0, 1 },               // already past: at once
        { 1, now + 59, 0, 1, now + 3600, 0, 60 },
        { 1, now + 60, 0, 1, now + 7200, 0, 60 },       // never later than a minute
        { 1, now + 30, 0, 1, now + 9, 0, 10 },          // the sooner of the two
        { 0, now + 2, 0, 1, now + 40, 0, 41 },          // an untracked craft waits for nothing
        { 1, now - 5, 1, 1, now + 20, 0, 21 },          // nor one that has alerted
        { 1, now - 5, 1, 1, now - 9, 1, 60 },
        { 1, INT32_MAX, 0, 1, INT32_MIN + 1, 0, 1 },
    };
    for (const auto &c : cases) {
        crafts[0].available = c.avail0;
        crafts[0].next_time = c.next0;
        crafts[0].alerted = c.alert0;
        crafts[1].available = c.avail1;
        crafts[1].next_time = c.next1;
        crafts[1].alerted = c.alert1;
        EXPECT_EQ(SecondsToNextCheck(now), c.wait) << "case " << &c - cases;
    }
}

TEST(CraftTimer, SkillIsReadWithoutTearing)
{
    EXPECT_TRUE(std::atomic<double>::is_always_lock_free);
}

}  // namespace
