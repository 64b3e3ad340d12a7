#include "authoring.h"

#include <cstdio>
#include <memory>

#include "display.h"
#include "level.h"
#include "replay.h"
#include "strip.h"
#include "tolbrint.h"
#include "zarn.h"

namespace {

std::string playing_file;

const int PALETTE_ENTRY = 100;
// The palette entries that shots and robots' hit flashes recolour.
const int RECOLOURED_ENTRIES[] = {4, 7};
constexpr int PANEL_WIDTH = 320;

long long floor_mod(long long a, long long m) { return ((a % m) + m) % m; }

// Puts the view at world x `view` (even, as walking leaves it) with the panel
// offsets where scrolling there from the start would have left them, so the
// background lines up and the panels wrap as they should.
void place_view(int view)
{
    global_x = view;
    scroll_x_1 = -static_cast<int>(floor_mod(view, PANEL_WIDTH));
    scroll_x_2 = scroll_x_1 + PANEL_WIDTH;
    scroll_x_3 = scroll_x_1 - PANEL_WIDTH;
}

bool inside_limits(const Level &level, long long position)
{
    return position >= level.left_limit && position <= level.right_limit;
}

// Moves the view, by whole steps, until the hero's world point lies within
// the level's scroll limits; the hero keeps his place on the screen.
void bring_view_within_limits(const Level &level)
{
    const long long hero = static_cast<long long>(global_x) + shift_x;
    if (level.left_limit > level.right_limit || inside_limits(level, hero))
        return;
    const long long target = std::clamp<long long>(hero, level.left_limit, level.right_limit);
    long long move = target - hero;
    if (move % 2 != 0)
        move += move > 0 ? 1 : -1;
    if (!inside_limits(level, hero + move))
        move -= move > 0 ? 2 : -2;
    place_view(clamp_to_int(global_x + move));
}


// Asks every column he lands on, as the landing test does.
bool ground_under_feet(Level &level)
{
    bool ground = false;
    int none = 0, down = 1;
    for (int column = global_x + LANDING_FIRST_COLUMN; column <= global_x + LANDING_LAST_COLUMN; column++) {
        int row = shift_y + HERO_FEET_ROW;
        ground |= level.boundary_y_violation_check(column, row, none, down);
    }
    return ground;
}

void start_falling(Level &level)
{
    zarnjump = true;
    if (level.scroll_y_check())
        global_ys = 1;
    else
        shift_ys = 1;
}

} // namespace

void restore_recoloured_entries()
{
    const RGB *palette = data1 ? static_cast<const RGB *>(data1[PALETTE_ENTRY].dat) : nullptr;
    if (!palette)
        return;
    for (int entry : RECOLOURED_ENTRIES)
        set_palette_entry(entry, palette[entry].r, palette[entry].g, palette[entry].b);
}

void set_level_file(const std::string &path) { playing_file = path; }

const std::string &level_file() { return playing_file; }

std::string reload_level(Level &level, const std::string &path)
{
    try {
        return reload_level(level, read_level_text(path));
    } catch (const LevelError &error) {
        return error.what();
    }
}

std::string reload_level(Level &level, const LevelText &source)
{
    std::unique_ptr<Level> fresh;
    try {
        fresh = std::make_unique<Level>(source);
    } catch (const LevelError &error) {
        return error.what();
    }
    const bool hero_was_inside = inside_limits(level, static_cast<long long>(global_x) + shift_x);
    level = *fresh;
    zarnbullets.clear();
    eweapons.clear();
    restore_recoloured_entries();
    if (hero_was_inside)
        bring_view_within_limits(level);
    if (!zarnjump && !ground_under_feet(level))
        start_falling(level);
    return "";
}

std::string strip_line(const std::string &message)
{
    // "FILE:LINE:COLUMN: ...": the file without its folders, the rest whole.
    const std::size_t slash = message.rfind('/', message.find(':'));
    return slash == std::string::npos ? message : message.substr(slash + 1);
}

// A run's replay keeps the text that each reload read.
void reload_key(Level &level, Zarn &)
{
    const ReplayLevel source = run_level_text(playing_file);
    const std::string error = source.unreadable.empty() ? reload_level(level, source.level) : source.unreadable;
    if (!error.empty())
        std::fprintf(stderr, "tolbrint: %s\n", error.c_str());
    strip_reload_result(error.empty() ? "" : strip_line(error));
}

void start_at(int x)
{
    const int view = x - static_cast<int>(floor_mod(x, 2));
    place_view(view);
    shift_x = x - view;
    shift_y = -HERO_SCREEN_Y;
    shift_ys = global_ys = 0;
    zarnjump = true;
}
