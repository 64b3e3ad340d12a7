#include "eweapon.h"

#include "tolbrint.h"

namespace {
const char *const LASER = "laser";
const int MOVE_INTERVAL = 3;
const int RANGE = 160;
const int LENGTH = 26;
const int COLOUR = 3;
} // namespace

EWeapon::EWeapon(int &x, int &y, int &dx, int &dy, std::string &kind)
    : start_x(x), start_y(y), x(x), y(y), dx(dx), dy(dy), move_countdown(1), kind(kind),
      hit(false), out_of_range(false)
{
}

// A laser moves on its 1st, 4th, 7th ... update; other kinds stay put.
void EWeapon::update()
{
    if (kind != LASER)
        return;
    move_countdown--;
    if (move_countdown <= 0) {
        translate();
        move_countdown = MOVE_INTERVAL;
    }
    const long long start = start_x;
    // A laser that would fly out of the int range ends there.
    if (x < start - RANGE || x > start + RANGE || !fits_int(static_cast<long long>(x) + dx) ||
        !fits_int(static_cast<long long>(y) + dy))
        out_of_range = true;
}

void EWeapon::translate()
{
    x = clamp_to_int(static_cast<long long>(x) + dx);
    y = clamp_to_int(static_cast<long long>(y) + dy);
}

bool EWeapon::active() { return !out_of_range && !hit; }

void EWeapon::display()
{
    if (kind != LASER)
        return;
    for (const Panel &panel : panels()) {
        const long long left = static_cast<long long>(x) - global_x - panel.offset;
        // Wholly off the panel the library would draw nothing; near the int
        // limits its clipping would overflow.
        if (left >= panel.bitmap->cr || left + LENGTH <= panel.bitmap->cl)
            continue;
        hline(panel.bitmap, static_cast<int>(left), y, static_cast<int>(left) + LENGTH - 1, COLOUR);
    }
}

bool EWeapon::boundary_check(int, int, int, int) { return false; }

bool EWeapon::out_of_range_check() { return false; }
