// A week in the tray with the clock handed in: the due check every second or so, with
// jitter, busy spells and sleep; orders received late, early or not at all; skills
// stepped; crafts ticked off and on; and the clock set back and forward by hours.
// Each scheduling alerts once, never before its next time and at the first tick after
// it, and the status dialog's texts agree with the clock across a daylight-saving change.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "rules/timefmt.h"
#include "model/craft.h"
#include "res/resource.h"
#include "test_support.h"

namespace {

// US Eastern time, whose rules this runtime applies: in 2024 summer time began at
// 07:00 UTC on 10 March and ended at 06:00 UTC on 3 November.
const char kZone[] = "TZ=EST5EDT";
const int32_t kSummerFrom = 1710054000, kSummerUntil = 1730613600;

// The local time of a moment in that zone, worked out without the runtime's zone rules.
std::string EasternText(int32_t when)
{
    time_t local = (time_t)when + (when >= kSummerFrom && when < kSummerUntil ? -4 : -5) * 3600;
    char text[32];
    strftime(text, sizeof text, "%Y/%m/%d %H:%M:%S", gmtime(&local));
    return text;
}

// How often the week met the situations that matter, so that a quiet week cannot pass.
struct Seen {
    int alerts = 0, receipts = 0, early_receipts = 0, sleeps = 0, jumps_back = 0,
        jumps_forward = 0, back_past_an_alert = 0, forward_over_a_due_time = 0, dst_ticks = 0;
};

// One simulated week. The machine's timer runs on real time; the clock that the rules
// see is real time plus every adjustment made to it.
class Week {
public:
    Week(uint64_t seed, int32_t start) : rng_{ seed }, start_(start)
    {
        for (CraftTimer &craft : crafts) {
            craft.available = 1;
            craft.skill.store(40.0 + rng_.Below(800) / 10.0);
            craft.next_time = 0;
            craft.alerted = 0;
        }
        alerts_[0] = alerts_[1] = 0;
    }

    // Runs the week; an empty result when every rule held.
    std::string Run(Seen &seen)
    {
        const int64_t week_ms = 7 * 86400 * 1000LL;
        while (real_ms_ < week_ms) {
            real_ms_ += 1000 + rng_.Below(150);
            if (rng_.OneIn(30000)) {
                real_ms_ += (60 + rng_.Below(9 * 3600)) * 1000LL;  // asleep: no ticks at all
                seen.sleeps++;
            } else if (rng_.OneIn(4000)) {
                real_ms_ += rng_.Below(90000);  // a busy spell delays the timer
            }
            if (rng_.OneIn(40000))
                JumpClock(seen);
            int32_t now = Clock();
            Player(now, seen);
            std::string failure = Tick(now, seen);
            if (!failure.empty())
                return "at clock " + std::to_string(now) + ": " + failure;
        }
        return "";
    }

private:
    Rng rng_;
    int32_t start_;
    int64_t real_ms_ = 0, adjusted_ = 0;
    int alerts_[CRAFT_COUNT];  // alerts since the craft was last scheduled or ticked on

    int32_t Clock() const { return start_ + (int32_t)(real_ms_ / 1000) + (int32_t)adjusted_; }

    // The clock is set by hand or corrected after a resume, by hours either way.
    void JumpClock(Seen &seen)
    {
        int32_t before = Clock();
        int64_t by = (1 + rng_.Below(12)) * 3600LL + rng_.Below(3600);
        if (rng_.OneIn(2))
            by = -by;
        adjusted_ += by;
        int32_t after = Clock();
        (by < 0 ? seen.jumps_back : seen.jumps_forward)++;
        for (const CraftTimer &craft : crafts) {
            if (craft.alerted && after <= craft.next_time)
                seen.back_past_an_alert++;
            if (!craft.alerted && craft.available && craft.next_time > before && craft.next_time < after)
                seen.forward_over_a_due_time++;
        }
    }

    // What the player does between two ticks.
    void Player(int32_t now, Seen &seen)
    {
        for (int k = 0; k < CRAFT_COUNT; k++) {
            CraftTimer &craft = crafts[k];
            bool late = craft.alerted && rng_.OneIn(3600);
            bool early = !craft.alerted && craft.next_time != 0 && rng_.OneIn(60000);
            bool first = craft.next_time == 0 && rng_.OneIn(100);
            if (craft.available && (late || early || first)) {
                ScheduleNext(&craft, now);
                alerts_[k] = 0;
                seen.receipts++;
                seen.early_receipts += early;
            }
            if (rng_.OneIn(150000)) {  // ticked off in the status dialog, or on again
                craft.available = !craft.available;
                craft.alerted = 0;
                alerts_[k] = 0;
            }
        }
        if (rng_.OneIn(7000))
            StepSkill(rng_.OneIn(2) ? IDM_UPSKILL_SMITH : IDC_TAILOR_SPIN, rng_.Below(2));
    }

    // One run of the due check, and what the open status dialog would show.
    std::string Tick(int32_t now, Seen &seen)
    {
        // The texts are read every tick near the change to summer time, and a sample of
        // the other ticks.
        const bool read_texts = std::abs(now - kSummerFrom) <= 3 * 3600 || rng_.OneIn(50);
        for (int k = 0; k < CRAFT_COUNT; k++) {
            CraftTimer &craft = crafts[k];
            const bool past = craft.available && craft.next_time != 0 && now > craft.next_time;
            const int32_t before = craft.alerted;
            const int fired = AlertIfDue(&craft, now);
            if (fired && !past)
                return "craft " + std::to_string(k) + " alerted before its time";
            if (fired && ++alerts_[k] > 1)
                return "craft " + std::to_string(k) + " alerted twice for one scheduling";
            if (past && craft.alerted != 1)
                return "craft " + std::to_string(k) + " is due but did not alert";
            if (!fired && craft.alerted != before)
                return "the alert changed without a due check";
            seen.alerts += fired;

            int overdue = -1;
            int32_t remaining = RemainingTime(craft.available, craft.next_time, now, &overdue);
            int64_t left = (int64_t)craft.next_time - now;
            int32_t expected = craft.available && left > 0 ? (int32_t)left : 0;
            if (remaining != expected || overdue != (craft.available && left <= 0))
                return "remaining " + std::to_string(remaining) + " red " + std::to_string(overdue)
                     + " for " + std::to_string(left) + " seconds left";
            if (fired && !overdue)
                return "the lamp turned red while the dialog still counted down";
            if (!read_texts)
                continue;
            char text[REMAIN_TEXT_SIZE];
            int h = -1, m = -1, s = -1;
            FormatRemain(remaining, text, sizeof text);
            if (sscanf(text, "%d:%d:%d", &h, &m, &s) != 3 || m > 59 || s > 59
                || h * 3600 + m * 60 + s != remaining)
                return std::string("remaining ") + std::to_string(remaining) + " shown as " + text;
        }
        if (!read_texts)
            return "";
        char now_text[TIME_TEXT_SIZE];
        FormatLocalTime(now, now_text, sizeof now_text);
        if (EasternText(now) != now_text)
            return "the time reads " + std::string(now_text) + ", not " + EasternText(now);
        seen.dst_ticks += now >= kSummerFrom;
        return "";
    }
};

TEST(TimeSimulation, AWeekAcrossTheChangeToSummerTimeAlertsOncePerScheduling)
{
    ZoneScope zone(kZone);
    Seen seen;
    for (uint64_t seed = 1; seed <= 4; seed++) {
        // Monday before the change, give or take a few hours.
        Week week(seed, kSummerFrom - 5 * 86400 + (int32_t)(seed * 7919 % 86400));
        std::string failure = week.Run(seen);
        ASSERT_EQ(failure, "") << "week of seed " << seed;
    }
    EXPECT_GT(seen.alerts, 100);
    EXPECT_GT(seen.early_receipts, 3);
    EXPECT_GT(seen.sleeps, 10);
    EXPECT_GT(seen.jumps_back, 5);
    EXPECT_GT(seen.jumps_forward, 5);
    EXPECT_GT(seen.back_past_an_alert, 0);
    EXPECT_GT(seen.forward_over_a_due_time, 0);
    EXPECT_GT(seen.dst_ticks, 0);
}

TEST(TimeSimulation, TheHourThatRepeatsInAutumnShowsTwiceButAlertsOnce)
{
    ZoneScope zone(kZone);
    // An order received at 00:30 summer time with an hour's wait: its next time, 01:30,
    // comes twice on the wall clock, and the craft is due after the first.
    const int32_t received = kSummerUntil - 5400;
    crafts[0].available = 1;
    crafts[0].skill.store(50.0);
    ScheduleNext(&crafts[0], received);
    const int32_t next = crafts[0].next_time;
    char text[TIME_TEXT_SIZE];
    FormatLocalTime(next, text, sizeof text);
    EXPECT_STREQ(text, "2024/11/03 01:30:00");
    FormatLocalTime(next + 3600, text, sizeof text);
    EXPECT_STREQ(text, "2024/11/03 01:30:00");
    int overdue;
    EXPECT_EQ(RemainingTime(1, next, received, &overdue), 3600);
    EXPECT_EQ(RemainingTime(1, next, kSummerUntil - 3600, &overdue), 1800);
    EXPECT_EQ(AlertIfDue(&crafts[0], next), 0);
    EXPECT_EQ(AlertIfDue(&crafts[0], next + 1), 1) << "due one real hour after receipt";
    EXPECT_EQ(AlertIfDue(&crafts[0], next + 3601), 0) << "the second 01:30 does not alert again";
    EXPECT_EQ(RemainingTime(1, next, next + 3600, &overdue), 0);
    EXPECT_EQ(overdue, 1);
}

}  // namespace
