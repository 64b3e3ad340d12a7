#include "effect.h"

#include "character.h"
#include "tolbrint.h"

namespace {
const int FIRST_PICTURE = 22;
const int FRAMES_PER_PICTURE = 20;
const int LENGTH = 100;
const int OFFSET_X = 25;
const int OFFSET_Y = 10;
} // namespace

void explosion_effect(int t, int x, int y)
{
    if (t >= LENGTH)
        return;
    const int picture = FIRST_PICTURE + (t < 0 ? 0 : t / FRAMES_PER_PICTURE);
    RLE_SPRITE *sprite = sprite_entry(picture);
    if (!sprite)
        return;
    draw_in_panels(sprite, static_cast<long long>(x) - global_x + OFFSET_X, static_cast<long long>(y) + OFFSET_Y);
}
