// Shared game state, the program's start-up and shutdown, the main loop, the
// key dispatch and horizontal scrolling.
#ifndef TOLBRINT_H
#define TOLBRINT_H

#include <allegro.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "datafile.h"
#include "display.h"
#include "eweapon.h"
#include "input.h"
#include "zarnbullet.h"

class Level;
class Zarn;

// The graphics datafile; every picture, the palette and the fonts are read
// from it by entry number.
extern DATAFILE *data1;

// The three panels, shown side by side at scroll_x_1, scroll_x_2 and
// scroll_x_3; every drawer draws into all three with that panel's offset.
extern BITMAP *buffer;
extern BITMAP *buffer2;
extern BITMAP *buffer3;
extern int scroll_x_1;
extern int scroll_x_2;
extern int scroll_x_3;

// The hero's feet are on row 180 + shift_y; the landing test asks the
// columns global_x - 10 to global_x + 19.
constexpr int HERO_FEET_ROW = 180;
constexpr int LANDING_FIRST_COLUMN = -10;
constexpr int LANDING_LAST_COLUMN = 19;

extern int global_x;          // how far the view has scrolled
extern int global_y;          // vertical view offset; never changes
extern int shift_x;           // hero's horizontal offset from screen column 130
extern int shift_y;           // hero's vertical offset from screen row 100
extern int shift_xs;          // hero's step while the view cannot scroll
extern int shift_ys;          // hero's vertical speed, negative upwards
extern int global_xs;         // the view's step while it scrolls
extern int global_ys;         // vertical speed on a vertically scrolling level
extern int global_difference; // top row of the last solid object landed on
extern bool zarnjump;         // the hero is in the air
extern bool QUIT;             // Escape was pressed

extern std::vector<ZarnBullet> zarnbullets;
extern std::vector<EWeapon> eweapons;

// Ticks of the 30 ms timer; written from Allegro's timer thread.
extern std::atomic<int> game_time;

// The hero's position stays this far inside the int range, so that every sum
// the game forms with it (his feet, a shot's start, a probe column) fits.
constexpr int WORLD_EDGE_MARGIN = 1000;

// Level coordinates may lie anywhere in the int range: sums with them are
// made in long long and brought back with these.
inline bool fits_int(long long value) { return value >= INT_MIN && value <= INT_MAX; }
inline int clamp_to_int(long long value)
{
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

// One panel and the screen column at which it is shown.
struct Panel {
    BITMAP *bitmap;
    int offset;
};

// The panels in drawing order: buffer, buffer2, buffer3.
std::array<Panel, 3> panels();

void game_timer();
// The panels at their first places and the hero standing at the view's start.
void reset_view_and_hero();

void right_translate(Level &level, Zarn &zarn);
void left_translate(Level &level, Zarn &zarn);

// Pause: no pass runs and the game's clock stands still. The player's pause
// key toggles it; with pause_in_background the game also pauses while its
// window is in the background.
void set_pause_in_background(bool pause);
bool game_paused();

void begin_level(Level &level, Zarn &zarn);
// The part of one pass that changes the game and draws the panels: bullets,
// gravity and landing, the level's update and drawing, bullets, hero.
void game_pass(Level &level, Zarn &zarn);
void game_loop(Level &level, Zarn &zarn);
// Acts on the pass's command when it holds a press.
void game_loop_helper(Level &level, Zarn &zarn, const PassCommand &command);
// Acts on the command's press, then on the held walk-and-fire combinations,
// which act whatever the press was.
void dispatch_command(Level &level, Zarn &zarn, const PassCommand &command);
// dispatch_command for a press of the key, with what is held now.
void dispatch_key(Level &level, Zarn &zarn, int scancode);

// Allegro with no display, the graphics datafile and the panels, as a
// replay is checked; false after saying why on stderr. Unless drawn, nothing
// is drawn into the panels, which the game's state never depends on.
bool start_headless(std::uint32_t &datafile_checksum, bool drawn);
// Plays a replay from its start with no display, comparing its checkpoints;
// the run's own record (run_record()) then holds its commands with the
// checkpoints this game keeps. Throws LevelError when its level does not load.
// True when the run reached the ending.
struct Replay;
bool play_headless(const Replay &replay);

// The whole program: start-up, intro, play and shutdown. Returns the exit code.
int game_main(int argc, char **argv);

#endif
