#include "effect.h"

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
    for (const Panel &panel : panels())
        draw_rle_sprite(panel.bitmap, sprite, x - global_x - panel.offset + OFFSET_X, y + OFFSET_Y);
}
