#include "object.h"

#include <algorithm>
#include <climits>
#include <fstream>
#include <iterator>

#include "character.h"
#include "sidefiles.h"
#include "tolbrint.h"

namespace {

const int FLAME_PERIOD = 10;
const int FLAME_LOW = 27;
const int FLAME_HIGH = 28;
const int TORCH_LOW = 137;
const int TORCH_HIGH = 138;
// The ridged sand tile is drawn a second time RIDGE_RISE rows higher.
const int RIDGED_SAND = 92;
const int RIDGE_RISE = 2;

// Both ways of building an object read this table; only solid sand differs.
const SceneryPicture SCENERY_PICTURES[] = {
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
    // The red canyon's and the temple's tiles.
    {"RROCK", 125, 125},
    {"RROCK2", 126, 126},
    {"PLANK", 127, 127},
    {"ROPE", 128, 128},
    {"SCRUB", 129, 129},
    {"PEBBLE", 130, 130},
    {"CAVEL", 131, 131},
    {"CAVER", 132, 132},
    {"TBRICK", 133, 133},
    {"TBRICK2", 134, 134},
    {"PILLAR", 135, 135},
    {"PILLART", 136, 136},
    {"TORCH", TORCH_LOW, TORCH_LOW},
    {"IDOL", 139, 139},
    {"DOORL", 140, 140},
    {"DOORR", 141, 141},
};

// Tiles that flicker between two pictures, half a period each.
struct Flicker {
    const char *name;
    int low;
    int high;
};

const Flicker FLICKERS[] = {
    {"FLAME", FLAME_LOW, FLAME_HIGH},
    {"TORCH", TORCH_LOW, TORCH_HIGH},
};

const Flicker *find_flicker(const std::string &name)
{
    for (const Flicker &flicker : FLICKERS)
        if (name == flicker.name)
            return &flicker;
    return nullptr;
}

const SceneryPicture *find_scenery_picture(const std::string &name)
{
    for (const SceneryPicture &picture : SCENERY_PICTURES)
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

long long floor_div(long long a, long long b) { return a / b - (a % b != 0 && (a < 0) != (b < 0)); }

// Tile numbers first..last; empty when first > last.
struct TileSpan {
    long long first;
    long long last;
};

// The tiles of one axis of a box: first, first + TILE, ... up to last.
struct TileRange {
    long long first;
    long long last;

    long long at(long long index) const { return first + index * TILE; }

    // The tiles of the given size that reach into [low, high).
    TileSpan reaching(long long low, long long high, int size) const
    {
        if (last < first || last + size <= low || first >= high)
            return {0, -1};
        const long long count = (last - first) / TILE + 1;
        return {std::max(0LL, floor_div(low - size - first, TILE) + 1),
                std::min(count - 1, floor_div(high - 1 - first, TILE))};
    }
};

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

const char *const TRACE_FILE = "default_object.txt";

const char TRACE_LINE[] = "Calling default object()\n";
constexpr std::streamsize TRACE_LENGTH = sizeof TRACE_LINE - 1;

// Loading a level rewrote the trace file with the same line for every solid
// object, which made loading thousands of them take seconds; reading 25
// bytes is far cheaper, so the file is rewritten only when it does not hold
// the line already. The content decides, not the file's time: a change of
// the same size within one timestamp tick would look unchanged.
bool trace_file_holds_line()
{
    std::ifstream trace(side_file_path(TRACE_FILE), std::ios::binary);
    char text[TRACE_LENGTH + 1]; // one byte more, to see a longer file
    trace.read(text, sizeof text);
    return trace.gcount() == TRACE_LENGTH && std::equal(text, text + TRACE_LENGTH, TRACE_LINE);
}

} // namespace

bool is_scenery_sprite_name(const std::string &name)
{
    return find_scenery_picture(name) != nullptr;
}

bool scenery_pictures_present(const std::string &name)
{
    const SceneryPicture *picture = find_scenery_picture(name);
    return picture && sprite_entry(picture->plain_entry) && sprite_entry(picture->solid_entry);
}

std::vector<SceneryPicture> scenery_picture_table()
{
    return std::vector<SceneryPicture>(std::begin(SCENERY_PICTURES), std::end(SCENERY_PICTURES));
}

int scenery_rise(const Object &object)
{
    return object.sprite && object.sprite == sprite_entry(RIDGED_SAND) ? RIDGE_RISE : 0;
}

Object::Object()
{
    if (trace_file_holds_line())
        return;
    std::ofstream trace(side_file_path(TRACE_FILE), std::ios::trunc);
    trace << TRACE_LINE;
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
    const Flicker *flicker = find_flicker(sprite_name);
    if (!flicker)
        return;
    anim_counter--;
    if (anim_counter <= 0)
        anim_counter = FLAME_PERIOD;
    sprite = sprite_entry(anim_counter > FLAME_PERIOD / 2 ? flicker->high : flicker->low);
}

void Object::display()
{
    if (!sprite)
        return;
    const bool drawn_twice = scenery_rise(*this) > 0;
    // Wide arithmetic: a box reaching the end of the int range still ends.
    const TileRange columns{static_cast<long long>(x1) + SCENERY_SHIFT, static_cast<long long>(x2) + SCENERY_SHIFT};
    const TileRange rows{y1, y2};
    // Panel by panel, each panel's tiles in the order rows, then columns.
    for (const Panel &panel : panels()) {
        const BITMAP *bitmap = panel.bitmap;
        const long long shift = -static_cast<long long>(global_x) - panel.offset;
        const TileSpan across = columns.reaching(bitmap->cl - shift, bitmap->cr - shift, sprite->w);
        if (across.first > across.last)
            continue;
        // The second picture of a ridged tile stands two rows higher.
        const TileSpan down = rows.reaching(bitmap->ct, bitmap->cb + scenery_rise(*this), sprite->h);
        for (long long j = down.first; j <= down.last; j++) {
            const long long row = rows.at(j);
            for (long long k = across.first; k <= across.last; k++) {
                const long long x = columns.at(k) + shift;
                draw_in_panel(panel, sprite, x, row);
                if (drawn_twice)
                    draw_in_panel(panel, sprite, x, row - RIDGE_RISE);
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
