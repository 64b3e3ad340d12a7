#include "character.h"

#include "tolbrint.h"

Character::Character() = default;

Character::Character(int &x, int &y, std::string &kind) : x(x), y(y), kind(kind) {}

void Character::set_values(int &x, int &y, int &dx, int &dy, int &hit_points, bool &is_player,
                           std::string &kind)
{
    start_x = x;
    start_y = y;
    this->x = x;
    this->y = y;
    this->dx = dx;
    this->dy = dy;
    this->hit_points = hit_points;
    this->is_player = is_player;
    this->kind = kind;
}

void Character::translate(int &step_x, int &step_y)
{
    x += step_x;
    y += step_y;
}

void Character::display()
{
    draw_in_panels(sprite, static_cast<long long>(x) - global_x, y);
}

void draw_in_panels(RLE_SPRITE *sprite, long long screen_x, long long y)
{
    if (!sprite)
        return;
    for (const Panel &panel : panels())
        draw_in_panel(panel, sprite, screen_x - panel.offset, y);
}

void draw_in_panel(const Panel &panel, RLE_SPRITE *sprite, long long x, long long y)
{
    const BITMAP *bitmap = panel.bitmap;
    if (x < bitmap->cr && x + sprite->w > bitmap->cl && y < bitmap->cb && y + sprite->h > bitmap->ct)
        draw_rle_sprite(panel.bitmap, sprite, static_cast<int>(x), static_cast<int>(y));
}
