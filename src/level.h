// A level: its header, scenery, enemies and portal, loaded from a text file,
// and its per-pass update, drawing and collision queries.
#ifndef LEVEL_H
#define LEVEL_H

#include <allegro.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "enemy.h"
#include "object.h"
#include "portal.h"

class Zarn;

// A level file that cannot be loaded; the message names the file, where in it
// the problem is and what was expected.
class LevelError : public std::runtime_error {
public:
    LevelError(const std::string &message, int line, int column)
        : std::runtime_error(message), line(line), column(column) {}
    int line;   // 0 when the problem is not at a place in the file
    int column;
};

// A place in a level file, counted from 1.
struct FilePlace {
    int line = 0;
    int column = 0;
};

// Where the loaded things stand in the level file, for the level tools: the
// sixteen header tokens, and the first token of each record, parallel to the
// level's lists (a palm tree's nine objects share their record's place).
struct LevelPlaces {
    std::vector<FilePlace> header;
    std::vector<FilePlace> header_enemies;
    std::vector<FilePlace> objects;
    std::vector<FilePlace> solid_objects;
    std::vector<FilePlace> enemies;
    std::vector<FilePlace> portals;
    FilePlace level_exit; // the word "EXIT"
};

// The way out of a level: Up at a world point from x to x + 20 leads on to
// the level file next, found beside this one, or, for ENDING_WORD, to the
// ending.
struct LevelExit {
    int x = 0;
    std::string next;
};

// The next level of the last level's exit.
constexpr const char *ENDING_WORD = "ENDING";
// The span of world points an exit (like a portal) holds.
constexpr int EXIT_WIDTH = 20;

// A palm tree record as read: where it stands and its two values that the
// game reads but never uses.
struct PalmTreeRecord {
    int x;
    int y;
    int third;
    int fourth;
};

// A palm tree is built of this many plain scenery objects, appended to the
// level's objects after those of the plain scenery records.
constexpr int PALM_TREE_PIECES = 9;

// A level file's contents already in memory, with the name that messages
// give it.
struct LevelText {
    std::string text;
    std::string name;
};

// Reads a level file whole, as the loader does; throws LevelError, naming
// the file, when it cannot.
LevelText read_level_text(const std::string &filename);

class Level {
public:
    int header_value_1 = 0;
    int header_value_2 = 0;
    BITMAP *background = nullptr; // borrowed from the datafile
    std::string background_name;  // as the header names it, such as "DUNE1"
    bool scroll_x_enabled = false;
    bool scroll_y_enabled = false;
    bool flag_3 = false;
    bool flag_4 = false;
    bool flag_5 = false;
    bool flag_6 = false;
    int left_limit = 0;
    int right_limit = 0;
    int top_limit = 0;
    int bottom_limit = 0;
    std::string header_word_1;
    std::string header_word_2;
    bool flag_7 = false;
    std::vector<Object> objects;
    std::vector<Solid_Object> solid_objects;
    std::vector<Fall_Thru_Object> fall_thru_objects;
    std::vector<Enemy> enemies;
    std::vector<Enemy> header_enemies;
    std::vector<Portal> portals;
    bool boundary_x_violation = false;
    bool boundary_y_violation = false;
    bool enemy_violation = false;
    bool scroll_x_violation = false;
    bool scroll_y_violation = false;
    // As loaded; the game never reads it, nor keeps it in step when enemies die.
    LevelPlaces places;
    // As loaded, for the level tools: the game reads only their pieces.
    std::vector<PalmTreeRecord> palm_trees;
    // Levels without an exit have none: they are played to the end as ever.
    std::optional<LevelExit> level_exit;

    // Loads the level file; throws LevelError when it cannot.
    explicit Level(std::string filename);
    // Loads a level from memory, exactly as from a file of that name.
    explicit Level(const LevelText &source);
    ~Level();

    void display();
    void update();
    bool scroll_x_violation_check(int position, int step);
    bool boundary_x_violation_check(int x, int y, int dx, int dy);
    bool boundary_y_violation_check(int x, int y, int dx, int dy);
    bool scroll_x_check();
    bool scroll_y_check();
    bool scroll_y_violation_check(int, int);
    bool enemy_violation_check(int, int);
    void portal_handler(Zarn &hero);
};

#endif
