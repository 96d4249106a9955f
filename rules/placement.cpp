/* The status dialog's placement rule, over plain rectangles. */
#include "rules/placement.h"

/* Far enough out to be off every screen, near enough that adding a size cannot overflow. */
static const int32_t FAR_OUT = 1 << 28;

/* The larger of two lengths. */
static int32_t Longer(int32_t a, int32_t b)
{
    return a > b ? a : b;
}

/* The smaller of two lengths. */
static int32_t Shorter(int32_t a, int32_t b)
{
    return a < b ? a : b;
}

/* A coordinate kept within FAR_OUT of the origin. */
static int32_t WithinReach(int32_t v)
{
    return v < -FAR_OUT ? -FAR_OUT : v > FAR_OUT ? FAR_OUT : v;
}

/* The frame of the given size with its upper-left corner at a saved position; a
   hand-edited position past any screen is brought within reach first. */
Box FrameAt(int32_t x, int32_t y, int32_t width, int32_t height)
{
    x = WithinReach(x);
    y = WithinReach(y);
    return Box{ x, y, x + width, y + height };
}

/* Whether an area holds a grip of the caption band: a piece of it CAPTION_GRIP_WIDTH
   wide and CAPTION_GRIP_HEIGHT tall, or the whole band where it is smaller. */
static int HoldsCaptionGrip(const Box &area, const Box &band)
{
    int32_t wide = Shorter(area.right, band.right) - Longer(area.left, band.left);
    int32_t tall = Shorter(area.bottom, band.bottom) - Longer(area.top, band.top);
    return wide >= Shorter(CAPTION_GRIP_WIDTH, band.right - band.left) &&
           tall >= Shorter(CAPTION_GRIP_HEIGHT, band.bottom - band.top);
}

/* The frame moved, at its own size, as little as it takes to lie whole on a work area. */
static Box PullOnto(const Box &frame, const Box &work)
{
    int32_t width = frame.right - frame.left, height = frame.bottom - frame.top;
    int32_t x = frame.left, y = frame.top;
    if (x > work.right - width)
        x = work.right - width;
    if (x < work.left)
        x = work.left;
    if (y > work.bottom - height)
        y = work.bottom - height;
    if (y < work.top)
        y = work.top;
    return Box{ x, y, x + width, y + height };
}

/* Keeps a frame whose caption can be grabbed on some monitor's work area; pulls any
   other (a hand-edited position, a screen since unplugged, a frame that overlaps a
   screen by a sliver) whole onto the nearest monitor's work area, or leaves it where it
   is when there is none to name. The caption band runs across the frame from its top
   down to the client area, caption_height below. */
Box PlaceFrame(const Box &frame, int32_t caption_height, const Box *work_areas, int count,
               const Box *nearest_work)
{
    const Box band = { frame.left, frame.top, frame.right, frame.top + caption_height };
    for (int i = 0; i < count; i++)
        if (HoldsCaptionGrip(work_areas[i], band))
            return frame;
    return nearest_work ? PullOnto(frame, *nearest_work) : frame;
}
