#include "zarnbullet.h"

#include "tolbrint.h"

namespace {
const int RANGE_ACROSS = 130;
const int RANGE_UP_DOWN = 90;
const int RADIUS = 3;
const int COLOUR = 6;
} // namespace

ZarnBullet::ZarnBullet(int &x, int &y, int &dx, int &dy, std::string &kind)
    : start_x(x), start_y(y), x(x), y(y), dx(dx), dy(dy), move_countdown(1), kind(kind),
      hit(false), out_of_range(false)
{
}

// The countdown starts at 1 and is reset to 1, so a bullet moves on every update.
void ZarnBullet::update()
{
    move_countdown--;
    if (move_countdown == 0) {
        translate();
        move_countdown = 1;
    }
}

// Held at the ends of the int range, where out_of_range_check ends the flight.
void ZarnBullet::translate()
{
    x = clamp_to_int(static_cast<long long>(x) + dx);
    y = clamp_to_int(static_cast<long long>(y) + dy);
}

// Also out of range when the next move would leave the int range.
bool ZarnBullet::out_of_range_check()
{
    const long long sx = start_x, sy = start_y;
    return x > sx + RANGE_ACROSS || x < sx - RANGE_ACROSS || y > sy + RANGE_UP_DOWN ||
           y < sy - RANGE_UP_DOWN || !fits_int(static_cast<long long>(x) + dx) ||
           !fits_int(static_cast<long long>(y) + dy);
}

bool ZarnBullet::boundary_check(int left, int top, int right, int bottom)
{
    const bool inside = left < x && x < right && top < y && y < bottom;
    if (inside)
        hit = true;
    return inside;
}

bool ZarnBullet::active()
{
    out_of_range = out_of_range_check();
    return !hit && !out_of_range;
}

void ZarnBullet::display()
{
    for (const Panel &panel : panels()) {
        const long long centre = static_cast<long long>(x) - global_x - panel.offset;
        const long long row = y;
        // The library's clipping would drop a circle this far off; near the
        // int limits its own arithmetic would overflow.
        if (centre + RADIUS < panel.bitmap->cl || centre - RADIUS >= panel.bitmap->cr ||
            row + RADIUS < panel.bitmap->ct || row - RADIUS >= panel.bitmap->cb)
            continue;
        circlefill(panel.bitmap, static_cast<int>(centre), y, RADIUS, COLOUR);
    }
}
