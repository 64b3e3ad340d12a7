// The command line: `tolbrint [OPTIONS] [LEVEL]`. One table of options drives
// both getopt_long and the --help text; adding an option is adding a row.
#ifndef TOLBRINT_OPTIONS_H
#define TOLBRINT_OPTIONS_H

#include <optional>
#include <string>

// What the player asked for. Fields start at the game's defaults; a settings
// file may change them before the command line is read, and the command line
// has the last word.
struct Options {
    enum class Action { Play, ShowHelp, ShowVersion };
    Action action = Action::Play;

    int scale = 0;                    // 1..16; 0 chooses from the desktop's size
    bool fullscreen = false;          // start in fullscreen instead of a window
    bool pause_in_background = true;  // play pauses while the window is in the background
    std::string level;                // the level file; "" plays the shipped level1.dat
    bool skip_intro = false;          // straight to play, for level authors and tests
    std::optional<int> start_x;       // the hero's world x at the start, when not the level's own start
    bool from_menu = false;           // started from the desktop menu: side files go to the state directory
};

// --start-x takes a world x at most this far from 0, well inside the range
// the hero's position may take.
constexpr int LARGEST_START_X = 1000000000;

constexpr int MIN_SCALE = 1;
constexpr int MAX_SCALE = 16;

// The program's one version number, kept in the build's project().
const char *game_version();

// What reading the command line came to: play on, or leave at once with
// exit_code after printing out (to stdout) and err (to stderr).
struct ParseResult {
    bool play = true;
    int exit_code = 0;
    std::string out;
    std::string err;
};

// Reads argv into options. Needs no display and no library set-up.
ParseResult parse_options(int argc, char **argv, Options &options);

// The usage text that --help prints.
std::string usage_text();

#endif
