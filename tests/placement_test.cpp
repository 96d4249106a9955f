// Where the status dialog opens: the rule over plain rectangles, at its edges.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "rules/placement.h"

// A saved place is kept while a grip of the caption, 40 pixels wide and 8 tall, lies on
// some work area; otherwise the whole frame is pulled onto the nearest work area.
TEST(Placement, KeepsACaptionThatCanBeGrabbedElsePullsTheFrameOntoTheNearestWorkArea)
{
    const Box work = { 0, 0, 1280, 984 }, right_monitor = { 1280, 0, 2560, 1024 };
    const std::vector<Box> one = { work }, two = { work, right_monitor };
    const int32_t w = 330, h = 370;
    const struct { const char *what; int32_t x, y, width, height, caption; std::vector<Box> areas;
                   int32_t want_x, want_y; } cases[] = {
        { "far off", -5000, -5000, w, h, 30, one, 0, 0 },
        { "far right", 100000, 200, w, h, 30, one, 1280 - w, 200 },
        { "past any screen", INT32_MIN, INT32_MAX, w, h, 30, one, 0, 984 - h },
        { "one pixel on, right", 1279, 200, w, h, 30, one, 1280 - w, 200 },
        { "one pixel on, left", 1 - w, 200, w, h, 30, one, 0, 200 },
        { "one pixel on, bottom", 200, 983, w, h, 30, one, 200, 984 - h },
        { "one pixel on, top", 200, 1 - h, w, h, 30, one, 200, 0 },
        { "caption 7 below the top", 200, -23, w, h, 30, one, 200, 0 },
        { "caption 8 below the top", 200, -22, w, h, 30, one, 200, -22 },
        { "caption 7 above the bottom", 200, 977, w, h, 30, one, 200, 984 - h },
        { "caption 8 above the bottom", 200, 976, w, h, 30, one, 200, 976 },
        { "caption 39 on, right", 1241, 200, w, h, 30, one, 1280 - w, 200 },
        { "caption 40 on, right", 1240, 200, w, h, 30, one, 1240, 200 },
        { "caption 39 on, left", 39 - w, 200, w, h, 30, one, 0, 200 },
        { "caption 40 on, left", 40 - w, 200, w, h, 30, one, 40 - w, 200 },
        { "on the second monitor", 1500, 300, w, h, 30, two, 1500, 300 },
        { "the second monitor gone", 1500, 300, w, h, 30, one, 1280 - w, 300 },
        { "caption 8 on at 144 DPI", 200, -26, 495, 555, 34, one, 200, -26 },
        { "the same place at 96 DPI", 200, -26, w, h, 23, one, 200, 0 },
    };
    for (const auto &c : cases) {
        Box frame = FrameAt(c.x, c.y, c.width, c.height);
        Box placed = PlaceFrame(frame, c.caption, c.areas.data(), (int)c.areas.size(), &work);
        EXPECT_EQ(placed.left, c.want_x) << c.what;
        EXPECT_EQ(placed.top, c.want_y) << c.what;
        EXPECT_EQ(placed.right - placed.left, c.width) << c.what;
        EXPECT_EQ(placed.bottom - placed.top, c.height) << c.what;
    }
}
