// What the level tools share: starting Allegro without a display, the
// graphics datafile, loading a level with the game's loader, messages, and
// where the game puts things.
#ifndef LEVEL_TOOL_H
#define LEVEL_TOOL_H

#include <allegro.h>

#include <memory>
#include <string>

#include "level.h"
#include "tolbrint.h"
#include "zarn.h"

namespace level_tool {

// --- Where the game puts things ---------------------------------------------
//
// The map's columns are the characters' axis: an enemy at x is drawn at
// column x - global_x. Scenery columns and the hero's world point
// (global_x + shift_x, which portals and scroll limits use) sit 160 columns
// to the left of it. The game's own headers give the tile, the shifts, the
// hero's place, the landing columns, the portal's width and the enemies' sizes.
constexpr int VIEW_WIDTH = 320;
constexpr int VIEW_HEIGHT = 200;
constexpr int HERO_START_POSITION = 0; // his world point at the start

// How an enemy kind stands on the ground and where bullets hit it.
struct EnemyShape {
    const char *kind;
    const char *name; // for messages
    int height;       // from its y to its feet
    bool can_be_hit;  // has a hit rectangle, 20 wide and height high
    bool stands;      // should stand on the ground (a hand hangs on its cactus)
};

// Null for a kind the table does not know.
const EnemyShape *enemy_shape(const std::string &kind);

// --- Start-up ----------------------------------------------------------------

// Installs Allegro without a display, 8-bit colour, and loads tolbrint.dat
// where the game finds it; on failure prints why (prefixed with program)
// and returns false. palette receives the game palette.
bool start(const char *program, PALETTE palette);

// --- Loading a level -----------------------------------------------------------

// A level loaded with the game's loader, or why it could not be.
struct Loaded {
    std::unique_ptr<Level> level;
    std::string text;  // the file as it was loaded
    std::string error; // "FILE:LINE:COL: error: ..." or "FILE: error: ..."
    int line = 0;
    int column = 0;
};

// Loads the level file with the game's loader. The loader's side files
// (debuglevel.txt, default_object.txt) are removed again unless they were
// there before.
Loaded load_level(const std::string &path);

// The name of a loaded level's background as its file writes it (header
// token 3): the level keeps only the picture.
std::string background_name(const Loaded &loaded);

// Whether anything is at path.
bool file_exists(const std::string &path);

// --- Drawing with the game's drawers ------------------------------------------

// Points the game's panels at one picture while it lives: buffer is the
// picture, shown as if the view had scrolled to left_column; the other two
// panels are a single pixel, where whatever they receive is lost.
class MapPanels {
public:
    MapPanels(BITMAP *picture, int left_column);
    ~MapPanels();
    MapPanels(const MapPanels &) = delete;
    MapPanels &operator=(const MapPanels &) = delete;

private:
    BITMAP *unused_;
};

// "FILE:LINE:COL: KIND: TEXT".
std::string located(const std::string &file, FilePlace place, const char *kind, const std::string &text);

// The lines of the tools' --help for the options every tool takes.
extern const char *const TOOL_HELP_OPTIONS;

// Prints "PROGRAM VERSION": the tools carry the game's version.
void print_version(const char *program);

// Prints "usage: ..." and the hint to see --help on stderr.
void print_usage_error(const char *program, const std::string &problem, const char *usage);

} // namespace level_tool

#endif
