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

void ZarnBullet::translate()
{
    x += dx;
    y += dy;
}

bool ZarnBullet::out_of_range_check()
{
    return x > start_x + RANGE_ACROSS || x < start_x - RANGE_ACROSS ||
           y > start_y + RANGE_UP_DOWN || y < start_y - RANGE_UP_DOWN;
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
    for (const Panel &panel : panels())
        circlefill(panel.bitmap, x - global_x - panel.offset, y, RADIUS, COLOUR);
}
