/* Where the status dialog may open: at its saved place while enough of its caption to
   drag it by lies on a monitor, else whole on the nearest monitor. Plain rectangles, free
   of windows, so that the rule tests on its own. */
#ifndef QUORVEL_RULES_PLACEMENT_H
#define QUORVEL_RULES_PLACEMENT_H

#include <cstdint>

/* A rectangle of the screen in pixels: left and top lie inside it, right and bottom just
   outside, as the platform's rectangles. */
struct Box {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

/* The least of the caption that must lie on one monitor's work area for a saved place
   to be kept: enough to see the caption and drag the dialog back by it. */
enum { CAPTION_GRIP_WIDTH = 40, CAPTION_GRIP_HEIGHT = 8 };

/* The most monitors whose work areas the rule looks at. */
enum { PLACEMENT_MONITORS_MAX = 32 };

Box FrameAt(int32_t x, int32_t y, int32_t width, int32_t height);
Box PlaceFrame(const Box &frame, int32_t caption_height, const Box *work_areas, int count,
               const Box *nearest_work);

#endif
