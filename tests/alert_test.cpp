// The [ALERT] section's rules: its values of minutes, the WAV header, and the schedule
// of reminders and notices ahead across clock jumps, seen alerts and crafts due together.
#include <gtest/gtest.h>

#include <string>

#include "rules/alert.h"

namespace {

const int32_t T = 1800000000;

// A row of the schedule: the crafts (tracked, NEXT, alerted), what the schedule kept,
// whether the player saw the alerts first, REPEAT and AHEAD, the time of the look;
// then what the look does.
struct Craft { int32_t available, next_time, alerted; };
struct Kept { int32_t remind_at, seen_next[2], warned_next[2]; };
struct Row {
    const char *what;
    Craft crafts[2];
    Kept kept;
    bool see;
    AlertTimes times;
    int32_t now;
    int sound, ahead;
    int32_t minutes[2], wait;
};

const Craft due = { 1, T - 1, 1 }, idle = { 0, 0, 0 };

TEST(AlertSchedule, RemindsOnceALateLookAndNoticesAheadOncePerNext)
{
    const Row rows[] = {
        { "an alert first looked at (as it sounds) starts the period", { due, idle }, {}, false, { 1, 0 }, T,
          0, 0, {}, 60 },
        { "a period later, a reminder", { due, idle }, { T + 60, {}, {} }, false, { 1, 0 }, T + 60, 1, 0, {}, 60 },
        { "the clock set forward over three periods: one reminder, the next a period on", { due, idle },
          { T + 60, {}, {} }, false, { 1, 0 }, T + 3 * 60 + 30, 1, 0, {}, 60 },
        { "the clock set back: no sound, the period starts anew from the new time", { due, idle }, { T + 60, {}, {} },
          false, { 1, 0 }, T - 3600, 0, 0, {}, 60 },
        { "two crafts due together share one reminder", { due, due }, { T + 60, {}, {} }, false, { 1, 0 }, T + 60, 1, 0,
          {}, 60 },
        { "an alert seen reminds no more, and nothing waits", { due, idle }, { T + 60, {}, {} }, true, { 1, 0 }, T + 60,
          0, 0, {}, 0 },
        { "the one alert seen, by its NEXT: no reminder", { due, idle }, { T + 60, { T - 1 }, {} }, false, { 1, 0 },
          T + 60, 0, 0, {}, 0 },
        { "a craft seen before the other came due", { due, { 1, T + 30, 1 } }, { T + 60, { T - 1 }, {} }, false,
          { 1, 0 }, T + 60, 1, 0, {}, 60 },
        { "REPEAT off: no reminder and no timer", { due, due }, { T + 60, {}, {} }, false, { 0, 0 }, T + 60, 0, 0, {},
          0 },
        { "an untracked craft reminds of nothing", { { 0, T - 1, 1 }, idle }, { T + 60, {}, {} }, false, { 1, 0 },
          T + 60, 0, 0, {}, 0 },
        { "the notice ahead waits until AHEAD before NEXT", { { 1, T + 3600, 0 }, idle }, {}, false, { 0, 5 }, T,
          0, 0, {}, 3300 },
        { "AHEAD before NEXT: the notice, once", { { 1, T + 3600, 0 }, idle }, {}, false, { 0, 5 }, T + 3300, 0,
          1, { 5 }, 0 },
        { "started inside the window: at once, with the minutes left", { { 1, T + 130, 0 }, idle }, {}, false,
          { 0, 5 }, T, 0, 1, { 2 }, 0 },
        { "AHEAD longer than the time left: at once", { { 1, T + 1800, 0 }, idle }, {}, false, { 0, 60 }, T, 0,
          1, { 30 }, 0 },
        { "shown for this NEXT: not again", { { 1, T + 3600, 0 }, idle }, { 0, {}, { T + 3600 } }, false,
          { 0, 5 }, T + 3400, 0, 0, {}, 0 },
        { "a new NEXT has a notice of its own", { { 1, T + 100, 0 }, idle }, { 0, {}, { T } }, false, { 0, 5 }, T,
          0, 1, { 2 }, 0 },
        { "the clock set past NEXT: the craft is due, no notice ahead", { { 1, T + 3600, 0 }, idle }, {}, false,
          { 0, 5 }, T + 3700, 0, 0, {}, 0 },
        { "both crafts inside the window, in one notice", { { 1, T + 200, 0 }, { 1, T + 40, 0 } }, {}, false,
          { 0, 5 }, T, 0, 3, { 3, 1 }, 0 },
        { "a reminder and a notice ahead: the sooner sets the wait", { due, { 1, T + 600, 0 } }, { T + 60, {}, {} },
          false, { 1, 5 }, T + 30, 0, 0, {}, 30 },
    };
    for (const Row &row : rows) {
        CraftTimer records[CRAFT_COUNT];
        for (int k = 0; k < CRAFT_COUNT; k++) {
            records[k].available = row.crafts[k].available;
            records[k].next_time = row.crafts[k].next_time;
            records[k].alerted = row.crafts[k].alerted;
        }
        AlertSchedule schedule = { row.kept.remind_at, { row.kept.seen_next[0], row.kept.seen_next[1] },
                                   { row.kept.warned_next[0], row.kept.warned_next[1] } };
        if (row.see)
            SeeAlerts(&schedule, records, CRAFT_COUNT);
        AlertStep step = StepAlerts(&schedule, records, CRAFT_COUNT, row.times, row.now);
        EXPECT_EQ(step.sound, row.sound) << row.what;
        EXPECT_EQ(step.ahead, row.ahead) << row.what;
        for (int k = 0; k < CRAFT_COUNT; k++) {
            if (row.ahead & (1 << k)) {
                EXPECT_EQ(step.ahead_minutes[k], row.minutes[k]) << row.what;
            }
        }
        EXPECT_EQ(step.wait, row.wait) << row.what;
        AlertStep again = StepAlerts(&schedule, records, CRAFT_COUNT, row.times, row.now);
        EXPECT_TRUE(again.sound == 0 && again.ahead == 0) << "a second look at the same time: " << row.what;
    }
}

// Minutes are whole numbers in range; anything else turns the key off with a balloon,
// and nothing written keeps today's behaviour without one.
TEST(AlertValues, ReadWholeMinutesInRangeAndOnlyWavHeaders)
{
    const struct { const wchar_t *text; int32_t most; int read; int32_t minutes; } cases[] = {
        { L"", 240, ALERT_EMPTY, -1 },    { L"   ", 240, ALERT_EMPTY, -1 }, { L"5", 240, ALERT_READ, 5 },
        { L" 10 ", 240, ALERT_READ, 10 }, { L"0", 240, ALERT_READ, 0 },    { L"007", 60, ALERT_READ, 7 },
        { L"240", 240, ALERT_READ, 240 }, { L"241", 240, ALERT_BAD, -1 },  { L"60", 60, ALERT_READ, 60 },
        { L"999", 60, ALERT_BAD, -1 },    { L"0.5", 240, ALERT_BAD, -1 },  { L"-1", 240, ALERT_BAD, -1 },
        { L"+5", 240, ALERT_BAD, -1 },    { L"5 min", 240, ALERT_BAD, -1 }, { L"1 0", 240, ALERT_BAD, -1 },
        { L"abc", 240, ALERT_BAD, -1 },   { L"99999999999999999999", 240, ALERT_BAD, -1 },
    };
    for (const auto &c : cases) {
        int32_t minutes = -1;
        EXPECT_EQ(ReadAlertMinutes(c.text, c.most, &minutes), c.read) << c.text;
        EXPECT_EQ(minutes, c.minutes) << c.text;
    }
    const struct { std::string head; bool wave; } heads[] = {
        { std::string("RIFF\x24\x08\0\0WAVEfmt ", 16), true }, { std::string("RIFF\0\0\0\0WAVE", 12), true },
        { std::string("RIFF\0\0\0\0AVI ", 12), false },        { std::string("ID3\x03\0\0\0\0\0\0\0\0", 12), false },
        { std::string("RIFF\0\0\0\0WAV", 11), false },         { "", false },
    };
    for (const auto &h : heads)
        EXPECT_EQ(IsWaveHeader((const unsigned char *)h.head.data(), h.head.size()), h.wave) << h.head;
}

}  // namespace
