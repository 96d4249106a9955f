// The status dialog's texts: local times, remaining times and skills.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <string>

#include "rules/timefmt.h"
#include "rules/tip.h"
#include "test_support.h"

namespace {

std::string LocalTime(int32_t when)
{
    char text[TIME_TEXT_SIZE];
    FormatLocalTime(when, text, sizeof text);
    return text;
}

TEST(FormatLocalTime, ShowsTheMomentInTheLocalZone)
{
    const struct { const char *zone; int32_t when; const char *text; } cases[] = {
        { "TZ=UTC0", 0, "1970/01/01 00:00:00" },
        { "TZ=JST-9", 0, "1970/01/01 09:00:00" },
        { "TZ=UTC0", 1087307102, "2004/06/15 13:45:02" },
        { "TZ=JST-9", 1087307102, "2004/06/15 22:45:02" },
        { "TZ=UTC0", INT32_MAX, "2038/01/19 03:14:07" },
    };
    for (const auto &c : cases) {
        ZoneScope zone(c.zone);
        EXPECT_EQ(LocalTime(c.when), c.text) << c.zone << " " << c.when;
    }
}

TEST(FormatLocalTime, AMomentWithoutALocalTimeShowsThePlaceholder)
{
    ZoneScope zone("TZ=UTC0");
    for (int32_t when : { -1, -86400, INT32_MIN }) {
        char text[TIME_TEXT_SIZE] = "untouched";
        EXPECT_EQ(FormatLocalTime(when, text, sizeof text), 0) << when;
        EXPECT_STREQ(text, NO_TIME_TEXT) << when;
    }
    EXPECT_EQ(strlen(NO_TIME_TEXT), 19u) << "as wide as a real time";
}

TEST(FormatLocalTime, ABufferTooSmallGetsACutPlaceholderNotAnOverflow)
{
    char text[8];
    memset(text, 'x', sizeof text);
    EXPECT_EQ(FormatLocalTime(0, text, 6), 0);
    EXPECT_STREQ(text, "----/");
    EXPECT_EQ(text[6], 'x');
}

TEST(WholeSeconds, RoundsToTheNearestSecondAndSaturatesAtTheEnds)
{
    const struct { double seconds; int32_t whole; } cases[] = {
        { 0.0, 0 }, { 3600.0, 3600 }, { 0.4, 0 }, { 0.6, 1 }, { -0.6, -1 },
        { -7200.0, -7200 }, { 4294967295.0, INT32_MAX }, { -4294967296.0, INT32_MIN },
        { 1e300, INT32_MAX }, { -INFINITY, INT32_MIN }, { NAN, 0 },
    };
    for (const auto &c : cases)
        EXPECT_EQ(WholeSeconds(c.seconds), c.whole) << c.seconds;
}

TEST(RemainingTime, CountsDownForTrackedCraftsAndIsOverdueFromTheDueSecond)
{
    const int32_t now = 1700000000;
    const struct { int32_t available, next_time, now; int32_t remaining; int overdue; } cases[] = {
        { 1, now + 3600, now, 3600, 0 },
        { 1, now + 1, now, 1, 0 },
        { 1, now, now, 0, 1 },
        { 1, now - 50, now, 0, 1 },
        { 1, 0, now, 0, 1 },               // never scheduled: red, though the tray stays green
        { 1, -5, now, 0, 1 },
        { 0, now + 3600, now, 0, 0 },      // untracked: nothing left, in black
        { 0, now - 3600, now, 0, 0 },
        { 5, now + 60, now, 60, 0 },       // any non-zero AVAILABLE tracks
        { 1, INT32_MAX, 1, INT32_MAX - 1, 0 },
    };
    for (const auto &c : cases) {
        int overdue = -1;
        EXPECT_EQ(RemainingTime(c.available, c.next_time, c.now, &overdue), c.remaining)
            << c.available << " " << c.next_time;
        EXPECT_EQ(overdue, c.overdue) << c.available << " " << c.next_time;
    }
}

TEST(FormatRemain, HoursMinutesSecondsWithHoursUnbounded)
{
    const struct { int32_t seconds; const char *text; } cases[] = {
        { 0, "0:00:00" }, { 59, "0:00:59" }, { 3599, "0:59:59" }, { 3600, "1:00:00" },
        { 21600, "6:00:00" }, { 36000, "10:00:00" }, { 359999999, "99999:59:59" },
        { 360000000, "100000:00:00" }, { INT32_MAX, "596523:14:07" }, { -5, "0:00:00" },
    };
    for (const auto &c : cases) {
        char text[REMAIN_TEXT_SIZE];
        EXPECT_EQ(FormatRemain(c.seconds, text, sizeof text), 1) << c.seconds;
        EXPECT_STREQ(text, c.text) << c.seconds;
    }
}

TEST(FormatRemain, ATextThatDoesNotFitIsCutWithinItsBuffer)
{
    char text[16];
    memset(text, 'x', sizeof text);
    EXPECT_EQ(FormatRemain(INT32_MAX, text, 8), 0);
    EXPECT_STREQ(text, "596523:");
    EXPECT_EQ(text[8], 'x');
}

TEST(FormatSkill, OneDecimalPaddedToFive)
{
    const struct { double skill; const char *text; } cases[] = {
        { 50.0, " 50.0" }, { 0.0, "  0.0" }, { 120.0, "120.0" }, { -0.0, " -0.0" },
        { 69.89999999999986, " 69.9" }, { 0.1, "  0.1" },
    };
    for (const auto &c : cases) {
        char text[SKILL_TEXT_SIZE];
        FormatSkill(c.skill, text, sizeof text);
        EXPECT_STREQ(text, c.text) << c.skill;
    }
}

// Not due, a remaining time is the scheme's text (a fixed black vanishes on a black
// face); due, red only outside high contrast, and never the text's or the face's colour.
TEST(RemainColour, TextUnlessDueAndADueColourThatStandsOutOfEveryScheme)
{
    const struct { RemainScheme scheme; uint32_t due; } cases[] = {
        { { 0, 0x000000, 0xF0F0F0, 0xCC6600, 0xD77800 }, 0x0000FF },
        { { 1, 0xFFFFFF, 0x000000, 0x00FFFF, 0xFFEB1A }, 0x00FFFF },
        { { 1, 0xFFFFFF, 0x000000, 0xFFFFFF, 0xFFEB1A }, 0xFFEB1A },
        { { 1, 0x000000, 0xFFFFFF, 0xFFFFFF, 0x000000 }, 0x000000 },
    };
    for (const auto &c : cases) {
        for (int state : { REMAIN_UNTRACKED, REMAIN_WAITING })
            EXPECT_EQ(RemainColour(&c.scheme, state), c.scheme.text);
        EXPECT_EQ(RemainColour(&c.scheme, REMAIN_DUE), c.due) << c.scheme.high_contrast << " " << c.scheme.hot;
    }
}

// The title names the record's folder unless it is the program's own, cut to leave the
// lines whole but never inside a character; a clock time is rounded up to the minute.
TEST(FormatTrayTip, TheFolderThenOneLinePerTrackedCraftWithItsClockTime)
{
    ZoneScope zone("TZ=UTC0");
    const int32_t now = 1800000000;  // 08:00:00
    const TipWords words = { { L"Blacksmith", L"Tailor" }, L"ready", L"at" };
    const std::wstring lines = L"\nBlacksmith: 0:00:01 (at 08:01)\nTailor: 6:00:00 (at 14:00)";
    const struct { std::wstring dir; int32_t smith, smith_next, tailor, tailor_next; std::wstring tip; } cases[] = {
        { L"C:\\Quorvel", 0, now + 60, 0, now - 60, L"Quorvel" },
        { L"C:\\games\\Anna", 1, now + 4311, 0, now - 60, L"Quorvel: Anna\nBlacksmith: 1:11:51 (at 09:12)" },
        { L"C:\\Roaming\\quorvel\\", 0, 0, 5, now + 1, L"Quorvel\nTailor: 0:00:01 (at 08:01)" },
        { L"D:\\\u0410\u043d\u043d\u0430", 1, now - 1, 1, now + 21600,
          L"Quorvel: \u0410\u043d\u043d\u0430\nBlacksmith: ready\nTailor: 6:00:00 (at 14:00)" },
        { L"C:\\", 1, 0, 1, now, L"Quorvel\nBlacksmith: ready\nTailor: ready" },
        { L"C:\\" + std::wstring(200, L'x'), 1, now + 1, 1, now + 21600,
          L"Quorvel: " + std::wstring(59, L'x') + L"\u2026" + lines },
        { L"C:\\" + std::wstring(58, L'x') + L"\U0001F600yy", 1, now + 1, 1, now + 21600,
          L"Quorvel: " + std::wstring(58, L'x') + L"\u2026" + lines },
    };
    for (const auto &c : cases) {
        CraftTimer records[2] = { { c.smith, 50.0, c.smith_next, 0 }, { c.tailor, 50.0, c.tailor_next, 0 } };
        wchar_t tip[TIP_TEXT_SIZE];
        EXPECT_EQ(FormatTrayTip(records, 2, &words, c.dir.c_str(), now, tip, TIP_TEXT_SIZE), 1);
        EXPECT_EQ(std::wstring(tip), c.tip);
    }
    CraftTimer both[2] = { { 1, 50.0, now + 60, 0 }, { 1, 50.0, now + 60, 0 } };
    wchar_t small[24];
    EXPECT_EQ(FormatTrayTip(both, 2, &words, L"C:\\Anna", now, small, 24), 0);
    EXPECT_STREQ(small, L"Quorvel\nBlacksmith: 0:0");
}

}  // namespace
