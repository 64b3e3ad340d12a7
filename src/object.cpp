#include "object.h"

#include <climits>
#include <fstream>

#include "tolbrint.h"

namespace {

const int TILE = 20;
// Scenery columns sit 160 pixels to the right of the axis that characters use.
const int SCENERY_SHIFT = 160;
const int FLAME_PERIOD = 10;
const int FLAME_LOW = 27;
const int FLAME_HIGH = 28;
// The ridged sand tile is drawn a second time two rows higher.
const int RIDGED_SAND = 92;

struct SceneryPicture {
    const char *name;
    int plain_entry;
    int solid_entry;
};

// Both ways of building an object read this table; only solid sand differs.
const SceneryPicture scenery_pictures[] = {
    {"SAND4", 91, RIDGED_SAND},
    {"GRASS1", 34, 34},
    {"BARK1", 0, 0},
    {"BARK2", 1, 1},
    {"PALMT1", 72, 72},
    {"PALMT2", 73, 73},
    {"PALMS1", 70, 70},
    {"PALMS2", 71, 71},
    {"DIRT", 19, 19},
    {"DIRT2", 20, 20},
    {"TENT1", 104, 104},
    {"TENTZ", 109, 109},
    {"TENT2", 105, 105},
    {"TENT3", 107, 107},
    {"TENT2A", 106, 106},
    {"TENT3A", 108, 108},
    {"BONE", 5, 5},
    {"BONE2", 6, 6},
    {"FLAME", FLAME_LOW, FLAME_LOW},
    {"BRASS", 13, 13},
    {"FLOOR1", 31, 31},
    {"TILE5A", 118, 118},
    {"TILE3A", 116, 116},
};

const SceneryPicture *find_scenery_picture(const std::string &name)
{
    for (const SceneryPicture &picture : scenery_pictures)
        if (name == picture.name)
            return &picture;
    return nullptr;
}

// Strictly between low and high; wide arithmetic so that no sum of level
// coordinates and steps can overflow.
bool strictly_between(long long low, long long value, long long high)
{
    return low < value && value < high;
}

bool fits_int(long long value) { return value >= INT_MIN && value <= INT_MAX; }

// The steps both ways of building an object share; column picks the picture.
void take_values(Object &object, int x1, int y1, int x2, int y2, const std::string &name,
                 int SceneryPicture::*column)
{
    object.x1 = x1;
    object.y1 = y1;
    object.x2 = x2;
    object.y2 = y2;
    object.sprite_name = name;
    const SceneryPicture *picture = find_scenery_picture(name);
    object.sprite = picture ? sprite_entry(picture->*column) : nullptr;
    object.anim_counter = FLAME_PERIOD;
}

} // namespace

bool is_scenery_sprite_name(const std::string &name)
{
    return find_scenery_picture(name) != nullptr;
}

Object::Object()
{
    std::ofstream trace("default_object.txt", std::ios::trunc);
    if (trace)
        trace << "Calling default object()" << '\n';
}

Object::Object(int &x1, int &y1, int &x2, int &y2, std::string &name)
{
    take_values(*this, x1, y1, x2, y2, name, &SceneryPicture::plain_entry);
}

void Object::set_values(int &x1, int &y1, int &x2, int &y2, std::string &name)
{
    take_values(*this, x1, y1, x2, y2, name, &SceneryPicture::solid_entry);
}

void Object::update()
{
    if (sprite_name != "FLAME")
        return;
    anim_counter--;
    if (anim_counter <= 0)
        anim_counter = FLAME_PERIOD;
    sprite = sprite_entry(anim_counter > FLAME_PERIOD / 2 ? FLAME_HIGH : FLAME_LOW);
}

void Object::display()
{
    if (!sprite)
        return;
    const bool drawn_twice = sprite == sprite_entry(RIDGED_SAND);
    // Wide counters: a box reaching the end of the int range still ends.
    const long long first_column = static_cast<long long>(x1) + SCENERY_SHIFT;
    const long long last_column = static_cast<long long>(x2) + SCENERY_SHIFT;
    for (long long row = y1; row <= y2; row += TILE) {
        for (long long column = first_column; column <= last_column; column += TILE) {
            for (const Panel &panel : panels()) {
                const long long x = column - global_x - panel.offset;
                // So far off every panel that the library would clip it anyway.
                if (!fits_int(x) || !fits_int(row - 2))
                    continue;
                draw_rle_sprite(panel.bitmap, sprite, static_cast<int>(x), static_cast<int>(row));
                if (drawn_twice)
                    draw_rle_sprite(panel.bitmap, sprite, static_cast<int>(x), static_cast<int>(row - 2));
            }
        }
    }
}

Solid_Object::Solid_Object(int &x1, int &y1, int &x2, int &y2, std::string &name) : Object()
{
    set_values(x1, y1, x2, y2, name);
}

bool Solid_Object::boundary_x_check(int &x, int &y, int &dx, int &)
{
    return strictly_between(x1, static_cast<long long>(x) + dx, static_cast<long long>(x2) + TILE) &&
           strictly_between(y1, y, static_cast<long long>(y2) + TILE);
}

bool Solid_Object::boundary_y_check(int &x, int &y, int &, int &dy)
{
    const bool hit =
        strictly_between(y1, static_cast<long long>(y) + dy, static_cast<long long>(y2) + TILE) &&
        strictly_between(x1, x, static_cast<long long>(x2) + TILE);
    if (hit && dy > 0)
        global_difference = y1;
    return hit;
}
