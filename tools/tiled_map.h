// What the Tiled exporter and importer share: a level as its records, the
// scenery tileset, the names of the map's properties and object classes,
// and writing files so that no half-written one is ever left behind.
#ifndef TILED_MAP_H
#define TILED_MAP_H

#include <allegro.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "level.h"

namespace tiled {

// A map that cannot be exported or imported; the message names the file,
// the layer, object or tile, and the problem.
class TiledError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// --- A level as the records of its file ------------------------------------

struct SceneryRecord {
    int x1, y1, x2, y2;
    std::string sprite;
};

struct EnemyRecord {
    int x, y;
    std::string kind;
};

struct PortalRecord {
    int x, y;
    std::string procedure;
    std::vector<std::string> args;
};

// The sixteen header values, the flags as the game reads them.
struct Header {
    int value_1 = 0, value_2 = 0;
    std::string background = "DUNE1";
    bool scroll_x = true, scroll_y = false;
    bool flags[4] = {false, false, false, false}; // tokens 6 to 9
    int left_limit = 0, right_limit = 0, top_limit = 0, bottom_limit = 200;
    std::string word_1 = "desert", word_2 = "dusk";
    bool flag_7 = false;
};

struct LevelRecords {
    Header header;
    std::vector<EnemyRecord> header_enemies;
    std::vector<SceneryRecord> scenery;
    std::vector<SceneryRecord> solid;
    std::vector<PalmTreeRecord> palm_trees;
    std::vector<EnemyRecord> enemies;
    std::vector<PortalRecord> portals;
    std::optional<LevelExit> level_exit;
};

// The records of a loaded level, whose file names its background so: its
// plain scenery records are the objects before its palm trees' pieces.
LevelRecords records_of(const Level &level, const std::string &background);

// The level file that the game loads as these records.
std::string level_text(const LevelRecords &records);

// --- The scenery tileset ------------------------------------------------------

constexpr const char *TILESET_NAME = "tolbrint-scenery";
constexpr const char *TILESET_FILE = "tolbrint-scenery.tsx";
constexpr const char *TILESET_IMAGE = "tolbrint-scenery.png";
constexpr const char *BACKGROUND_IMAGE = "tolbrint-background.png";
constexpr int TILESET_COLUMNS = 8;

// One tile: a sprite as plain scenery draws it, or as solid scenery draws it
// where that looks different.
struct Tile {
    std::string sprite;
    int entry;
    bool solid_look;
};

// Every sprite's plain picture in the game's order, then the solid pictures
// that differ from the plain ones. A tile's id is its index.
const std::vector<Tile> &tileset();

// The tile that shows sprite in the given section.
int tile_for(const std::string &sprite, bool solid);

// --- The things tileset -----------------------------------------------------------

// Pictures of the palm tree and the enemies, one image each, so that their
// objects show in Tiled as the game draws them.
constexpr const char *THINGS_TILESET_NAME = "tolbrint-things";
constexpr const char *THINGS_TILESET_FILE = "tolbrint-things.tsx";

// The classes that have a picture, in the tileset's order; a tile's id is
// its index.
const std::vector<std::string> &thing_classes();

// The height of a thing's picture: its object stands on its bottom edge.
int thing_height(const std::string &kind);

// --- Names in the map ------------------------------------------------------------

constexpr const char *PALM_TREE_CLASS = "PALMTREE";
constexpr const char *PORTAL_CLASS = "portal";
constexpr const char *EXIT_CLASS = "exit";
// Exit property: the level file it leads to, or ENDING_WORD.
constexpr const char *EXIT_NEXT_PROPERTY = "next";
// Layer property: true when the layer's tiles are solid scenery.
constexpr const char *SOLID_PROPERTY = "solid";
// Enemy property: true for an enemy of the header's list.
constexpr const char *HEADER_ENEMY_PROPERTY = "header";
// Map properties: the scenery column and row of the map's top left corner.
constexpr const char *ORIGIN_X = "origin x";
constexpr const char *ORIGIN_Y = "origin y";

// A palm tree's picture: its four bushes in a row at its y, its trunk from
// the top of the view down to them.
constexpr int PALM_TREE_WIDTH = 90;
constexpr int PALM_TREE_HEIGHT = 180;
// The portal's marker stands on the portal's y as tall as the hero; the
// exit's, which has no y, on the ground of the hero's start.
constexpr int PORTAL_MARKER_HEIGHT = 80;

// --- Files ---------------------------------------------------------------------

// Writes text to a temporary file beside path and renames it into place.
void write_file(const std::string &path, const std::string &text);

// Saves an 8-bit picture as PNG the same way.
void save_picture(const std::string &path, BITMAP *picture, const PALETTE palette);

// The directory part of a path, "." when it has none.
std::string directory_of(const std::string &path);

// --- The two directions ----------------------------------------------------------

// Writes out_tmx with the tileset and background beside it; level_name
// names the level in messages, background is its background's name.
void export_map(const Level &level, const std::string &background, const std::string &level_name,
                const std::string &out_tmx, const PALETTE palette);

// Reads in_tmx (and the tileset it names) into level records.
LevelRecords import_map(const std::string &in_tmx);

} // namespace tiled

#endif
