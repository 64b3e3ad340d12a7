// The command line: `tolbrint [OPTIONS] [LEVEL]`. One table of options drives
// both getopt_long and the --help text; adding an option is adding a row.
// The settings file: one table of settings drives its reading, --print-config
// and the settings section of the manual.
#ifndef TOLBRINT_OPTIONS_H
#define TOLBRINT_OPTIONS_H

#include <optional>
#include <string>

#include "input.h"

constexpr int MAX_VOLUME = 255;
constexpr int DEFAULT_MUSIC_VOLUME = 160;

// What the player asked for. Fields start at the game's defaults; a settings
// file may change them before the command line is read, and the command line
// has the last word.
struct Options {
    enum class Action { Play, ShowHelp, ShowVersion, PrintConfig };
    Action action = Action::Play;

    int scale = 0;                    // 1..16; 0 chooses from the desktop's size
    bool fullscreen = false;          // start in fullscreen instead of a window
    bool pause_in_background = true;  // play pauses while the window is in the background
    std::string level;                // the level file; "" plays the game's own levels
    std::optional<int> start_level;   // --level: the first of the game's own levels played
    bool skip_intro = false;          // straight to play, for level authors and tests
    std::optional<int> start_x;       // the hero's world x at the start, when not the level's own start
    bool from_menu = false;           // started from the desktop menu: side files go to the state directory
    std::string config;               // --config: the settings file; "" reads the usual one
    bool save_settings = true;        // the pause menu writes its changes into the settings file

    Bindings bindings = default_bindings(); // the keys and gamepad buttons of each action
    KeyRepeat key_repeat;                   // how held keys and buttons repeat
    bool gamepad = true;                    // play with a gamepad when one is plugged in
    std::string joystick_device;            // the gamepad's device; "" lets the library look
    int effects_volume = MAX_VOLUME;        // the sound effects' volume, 0 to MAX_VOLUME
    int music_volume = DEFAULT_MUSIC_VOLUME; // the music's, 0 to MAX_VOLUME
    bool muted = false;                     // start with the sound effects off (M switches)

    std::string record;       // --record: write the run's replay here too
    std::string playback;     // --playback: show this replay in the window
    std::string timedemo;     // --timedemo: play this replay as fast as it goes
    bool verify = false;      // --verify: check a replay with no display
    std::string frame_hashes; // --frame-hashes: write a hash of each pass's picture here

    // The replay that plays instead of the player, "" for none.
    const std::string &replay() const { return !playback.empty() ? playback : !timedemo.empty() ? timedemo : level; }
    bool plays_replay() const { return verify || !playback.empty() || !timedemo.empty(); }
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

// $XDG_CONFIG_HOME/tolbrint/tolbrint.cfg, or ~/.config/tolbrint/tolbrint.cfg
// when XDG_CONFIG_HOME is unset; "" when neither it nor HOME is set.
std::string default_settings_path();

// What reading the settings file came to: warnings (one line each) for what
// was ignored; play is false, with exit code 2, only when a file the player
// named with --config does not exist.
struct SettingsResult {
    bool play = true;
    int exit_code = 0;
    std::string warnings;
};

// Reads the settings file at path into options with Allegro's configuration
// functions, which need Allegro installed (any system driver). The file's
// text stays Allegro's configuration, where the joystick driver finds its
// device. A missing file is no error unless named is set.
SettingsResult read_settings(const std::string &path, bool named, Options &options);

// The settings in force, in the settings file's own format, with a comment
// on each; what --print-config prints. It reads back to the same settings.
std::string settings_text(const Options &options);

// The settings file described for the manual page (help2man include format).
std::string settings_manual();

#endif
