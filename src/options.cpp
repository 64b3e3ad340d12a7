#include "options.h"

#include "pack.h"

#include <allegro.h>
#include <getopt.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "pack.h"
#include "platform.h"

#ifndef TOLBRINT_VERSION
#define TOLBRINT_VERSION "unknown"
#endif

const char *game_version() { return TOLBRINT_VERSION; }

namespace {

// Sets what the option means in options; returns "" or the problem with
// value, worded to follow "--name".
using ApplyOption = std::string (*)(Options &options, const char *value);

struct OptionRow {
    const char *long_name;
    char short_name;       // 0 when the option has only its long name
    const char *argument;  // the value's name in the help, or null for a flag
    const char *help;
    ApplyOption apply;
};

// Reads a whole number from low to high into number; returns "" or the
// problem with value.
std::string whole_number(const char *value, int low, int high, int &number)
{
    errno = 0;
    char *end = nullptr;
    const long read = std::strtol(value, &end, 10);
    if (*value == '\0' || *end != '\0' || errno != 0 || read < low || read > high)
        return "must be a whole number from " + std::to_string(low) + " to " + std::to_string(high) + ", not '" +
               value + "'";
    number = static_cast<int>(read);
    return "";
}

std::string apply_scale(Options &options, const char *value)
{
    return whole_number(value, 0, MAX_SCALE, options.scale); // 0: the most that fits
}

std::string apply_start_x(Options &options, const char *value)
{
    int x = 0;
    const std::string problem = whole_number(value, -LARGEST_START_X, LARGEST_START_X, x);
    if (problem.empty())
        options.start_x = x;
    return problem;
}

std::string apply_start_level(Options &options, const char *value)
{
    int number = 0;
    const std::string problem = whole_number(value, 1, PACK_LEVELS, number);
    if (problem.empty())
        options.start_level = number;
    return problem;
}

static_assert(PACK_LEVELS == 3, "the help of --level names the levels");

const OptionRow option_table[] = {
    {"help", 'h', nullptr, "show this help and exit",
     [](Options &o, const char *) { o.action = Options::Action::ShowHelp; return std::string(); }},
    {"version", 0, nullptr, "show the version number and exit",
     [](Options &o, const char *) { o.action = Options::Action::ShowVersion; return std::string(); }},
    {"scale", 0, "N", "enlarge the picture N times, 1 to 16; 0, the default, is the most that fits",
     apply_scale},
    {"fullscreen", 0, nullptr, "start in fullscreen (F11 or Alt+Enter switches)",
     [](Options &o, const char *) { o.fullscreen = true; return std::string(); }},
    {"windowed", 0, nullptr, "start in a window (the default)",
     [](Options &o, const char *) { o.fullscreen = false; return std::string(); }},
    {"start-x", 0, "X", "start with the hero at world x X, dropping onto what is below him",
     apply_start_x},
    {"level", 0, "N", "start at level N of the game's own levels, 1 to 3 (default 1)",
     apply_start_level},
    {"skip-intro", 0, nullptr, "go straight to play, without the title",
     [](Options &o, const char *) { o.skip_intro = true; return std::string(); }},
    {"from-menu", 0, nullptr,
     "write the side files into $XDG_STATE_HOME/tolbrint (as menu starts do)",
     [](Options &o, const char *) { o.from_menu = true; return std::string(); }},
    {"config", 0, "FILE", "read the settings from FILE instead of ~/.config/tolbrint/tolbrint.cfg",
     [](Options &o, const char *file) { o.config = file; return std::string(); }},
    {"no-save-settings", 0, nullptr, "let the pause menu change the settings for this game only, saving nothing",
     [](Options &o, const char *) { o.save_settings = false; return std::string(); }},
    {"print-config", 0, nullptr, "print the settings in force in the settings file's format and exit",
     [](Options &o, const char *) { o.action = Options::Action::PrintConfig; return std::string(); }},
    {"mute", 0, nullptr, "start with the sound off, music and effects (M switches it)",
     [](Options &o, const char *) { o.muted = true; return std::string(); }},
    {"record", 0, "FILE", "write the run's replay to FILE as well as to the last-run file",
     [](Options &o, const char *file) { o.record = file; return std::string(); }},
    {"playback", 0, "FILE", "show the replay FILE (Space pauses, . steps, F held runs 8 times faster)",
     [](Options &o, const char *file) { o.playback = file; return std::string(); }},
    {"timedemo", 0, "FILE", "play the replay FILE as fast as it goes and print how fast that was",
     [](Options &o, const char *file) { o.timedemo = file; return std::string(); }},
    {"verify", 0, nullptr, "check the replay given as FILE (or by --timedemo) with no display; exit 1 on a difference",
     [](Options &o, const char *) { o.verify = true; return std::string(); }},
    {"frame-hashes", 0, "FILE", "write a hash of every pass's picture to FILE, one line a pass",
     [](Options &o, const char *file) { o.frame_hashes = file; return std::string(); }},
};

constexpr int OPTION_COUNT = sizeof option_table / sizeof option_table[0];

// getopt_long hands back this plus the row for options without a short name.
constexpr int LONG_ONLY_BASE = 256;

const char *const TRY_HELP = "Try 'tolbrint --help'\n";

std::vector<option> getopt_table()
{
    std::vector<option> table;
    for (int i = 0; i < OPTION_COUNT; i++) {
        const OptionRow &row = option_table[i];
        table.push_back({row.long_name, row.argument ? required_argument : no_argument, nullptr,
                         row.short_name ? row.short_name : LONG_ONLY_BASE + i});
    }
    table.push_back({nullptr, 0, nullptr, 0});
    return table;
}

// The leading colon makes getopt report a missing value apart from an
// unknown option, and keeps it from printing anything itself.
std::string short_options()
{
    std::string letters = ":";
    for (const OptionRow &row : option_table) {
        if (!row.short_name)
            continue;
        letters += row.short_name;
        if (row.argument)
            letters += ':';
    }
    return letters;
}

const OptionRow *find_option(int code)
{
    for (int i = 0; i < OPTION_COUNT; i++)
        if (code == LONG_ONLY_BASE + i || (option_table[i].short_name && code == option_table[i].short_name))
            return &option_table[i];
    return nullptr;
}

// How the player wrote the option that getopt stopped at: "--scale" or "-x".
std::string written_option(const char *argument)
{
    std::string written = argument;
    const std::string::size_type equals = written.find('=');
    if (written.rfind("--", 0) == 0 && equals != std::string::npos)
        written.erase(equals);
    return written;
}

// getopt reports '?' for an unknown option and for a value given to a flag
// ("--windowed=1"); optopt tells them apart.
std::string unknown_option_problem(char *written)
{
    const bool long_form = std::string(written).rfind("--", 0) == 0;
    if (!long_form)
        return std::string("unknown option '-") + char(optopt) + "'";
    const std::string name = written_option(written);
    if (optopt)
        return "option '" + name + "' takes no value";
    return "unknown option '" + name + "'";
}

ParseResult usage_error(const std::string &problem)
{
    ParseResult result;
    result.play = false;
    result.exit_code = 2;
    result.err = "tolbrint: " + problem + "\n" + TRY_HELP;
    return result;
}

std::string option_label(const OptionRow &row)
{
    std::string label = row.short_name ? std::string("-") + row.short_name + ", " : "    ";
    label += std::string("--") + row.long_name;
    if (row.argument)
        label += std::string(" ") + row.argument;
    return label;
}

// A replay brings its own level and start, and one run plays one replay.
std::string replay_options_problem(const Options &options)
{
    if (!options.playback.empty() + !options.timedemo.empty() > 1)
        return "--playback and --timedemo each play a replay; give one of them";
    if (options.verify && !options.playback.empty())
        return "--verify checks a replay with no window; give it the FILE instead of --playback";
    if (options.verify && !options.timedemo.empty() && !options.level.empty())
        return "--verify checks one replay, and both '" + options.timedemo + "' and '" + options.level + "' were given";
    if (options.verify && options.replay().empty())
        return "--verify needs a replay FILE";
    if (options.verify && !options.record.empty())
        return "--verify plays no game to record";
    if (options.plays_replay() && !options.verify && !options.level.empty())
        return "a replay plays its own level, and '" + options.level + "' was given too";
    if (options.plays_replay() && options.start_x)
        return "a replay starts where its run started; --start-x cannot be given with it";
    if (options.plays_replay() && options.start_level)
        return "a replay starts where its run started; --level cannot be given with it";
    if (options.start_level && !options.level.empty() && !options.plays_replay())
        return "--level picks one of the game's own levels, and the level file '" + options.level + "' was given too";
    return "";
}

} // namespace

std::string usage_text()
{
    std::string text = "Usage: tolbrint [OPTIONS] [LEVEL]\n"
                       "       tolbrint --verify [--timedemo] FILE\n"
                       "Plays LEVEL, a level file, and the levels its exit leads to (the game's own\n"
                       "levels, level1.dat to level" + std::to_string(PACK_LEVELS) + ".dat, when none is given).\n\n"
                       "Options:\n";
    std::size_t width = 0;
    for (const OptionRow &row : option_table)
        width = std::max(width, option_label(row).size());
    for (const OptionRow &row : option_table) {
        const std::string label = option_label(row);
        text += "  " + label + std::string(width - label.size() + 2, ' ') + row.help + "\n";
    }
    return text;
}

ParseResult parse_options(int argc, char **argv, Options &options)
{
    const std::vector<option> table = getopt_table();
    const std::string letters = short_options();
    optind = 0; // a fresh scan, also when the command line is read again
    opterr = 0;
    for (;;) {
        const int code = getopt_long(argc, argv, letters.c_str(), table.data(), nullptr);
        if (code == -1)
            break;
        // getopt has just stepped past the option it reports.
        if (code == '?')
            return usage_error(unknown_option_problem(argv[optind - 1]));
        if (code == ':')
            return usage_error("option '" + written_option(argv[optind - 1]) + "' needs a value");
        const OptionRow *row = find_option(code);
        const std::string problem = row->apply(options, optarg);
        if (!problem.empty())
            return usage_error(std::string("--") + row->long_name + " " + problem);
    }
    for (int i = optind; i < argc; i++) {
        if (!options.level.empty())
            return usage_error("more than one level given ('" + options.level + "' and '" + argv[i] + "')");
        options.level = argv[i];
    }

    const std::string conflict = replay_options_problem(options);
    if (!conflict.empty())
        return usage_error(conflict);

    ParseResult result;
    if (options.action == Options::Action::ShowHelp)
        result.out = usage_text();
    else if (options.action == Options::Action::ShowVersion)
        result.out = std::string("tolbrint ") + game_version() + "\n";
    result.play = options.action == Options::Action::Play;
    return result;
}

// ---------------------------------------------------------------------------
// The settings file

namespace {

enum class SettingKind { flag, number, key, button, text, repeat };

// The variable a setting binds to: one of the three, by its kind.
struct SettingField {
    bool *(*flag)(Options &);
    int *(*number)(Options &);
    std::string *(*text)(Options &);
};

struct Setting {
    const char *section;
    const char *name;
    SettingKind kind;
    int max; // numbers run from 0 to max
    SettingField field;
    const char *doc;
};

#define FLAG(member) SettingField{[](Options &o) { return &o.member; }, nullptr, nullptr}
#define NUMBER(member) SettingField{nullptr, [](Options &o) { return &o.member; }, nullptr}
#define TEXT(member) SettingField{nullptr, nullptr, [](Options &o) { return &o.member; }}
#define KEY(action) NUMBER(bindings.keys[static_cast<int>(Action::action)])
#define BUTTON(action) NUMBER(bindings.buttons[static_cast<int>(Action::action)])

// A repeat's times in milliseconds run up to this.
constexpr int MAX_REPEAT_MS = 2000;

// Every setting of the file, in the order --print-config writes them.
const Setting settings_table[] = {
    {"video", "scale", SettingKind::number, MAX_SCALE, NUMBER(scale),
     "Enlarge the picture this many times; 0 picks the most that fits the desktop."},
    {"video", "fullscreen", SettingKind::flag, 0, FLAG(fullscreen), "Start in fullscreen."},
    {"video", "pause_in_background", SettingKind::flag, 0, FLAG(pause_in_background),
     "Pause while the window is in the background."},
    {"keys", "left", SettingKind::key, 0, KEY(left), "Walk left."},
    {"keys", "right", SettingKind::key, 0, KEY(right), "Walk right."},
    {"keys", "up", SettingKind::key, 0, KEY(up),
     "Enter a tent; held with walk_fire, fire diagonally upwards."},
    {"keys", "jump", SettingKind::key, 0, KEY(jump), "Jump."},
    {"keys", "fire", SettingKind::key, 0, KEY(fire), "Fire."},
    {"keys", "walk_fire", SettingKind::key, 0, KEY(walk_fire),
     "Held with left or right: walk while firing."},
    {"keys", "repeat", SettingKind::repeat, 0, FLAG(key_repeat.system),
     "How held walking and firing repeat: game (the game's own timing, below) or system (the desktop's key repeat)."},
    {"keys", "repeat_delay", SettingKind::number, MAX_REPEAT_MS, NUMBER(key_repeat.delay_ms),
     "Milliseconds from a press to the first repeat."},
    {"keys", "repeat_interval", SettingKind::number, MAX_REPEAT_MS, NUMBER(key_repeat.interval_ms),
     "Milliseconds between repeats (40: 25 steps a second)."},
    {"keys", "pause", SettingKind::key, 0, KEY(pause), "Pause and go on."},
    {"keys", "fullscreen", SettingKind::key, 0, KEY(fullscreen), "Switch between window and fullscreen."},
    {"keys", "quit", SettingKind::key, 0, KEY(quit), "Quit."},
    {"keys", "reload", SettingKind::key, 0, KEY(reload), "Read the level file again, keeping the hero's place."},
    {"keys", "mute", SettingKind::key, 0, KEY(mute), "Sound (music and effects) off and on, at any moment."},
    {"joystick", "enabled", SettingKind::flag, 0, FLAG(gamepad),
     "Play with a gamepad when one is plugged in; its stick and d-pad walk and give up."},
    {"joystick", "joystick_device", SettingKind::text, 0, TEXT(joystick_device),
     "The gamepad's device file; empty looks for /dev/input/js0, then /dev/js0."},
    {"joystick", "left", SettingKind::button, 0, BUTTON(left), "Gamepad button that walks left."},
    {"joystick", "right", SettingKind::button, 0, BUTTON(right), "Gamepad button that walks right."},
    {"joystick", "up", SettingKind::button, 0, BUTTON(up), "Gamepad button for up."},
    {"joystick", "jump", SettingKind::button, 0, BUTTON(jump), "Gamepad button that jumps."},
    {"joystick", "fire", SettingKind::button, 0, BUTTON(fire), "Gamepad button that fires."},
    {"joystick", "walk_fire", SettingKind::button, 0, BUTTON(walk_fire), "Gamepad button for walk_fire."},
    {"joystick", "pause", SettingKind::button, 0, BUTTON(pause), "Gamepad button that pauses (Start)."},
    {"joystick", "fullscreen", SettingKind::button, 0, BUTTON(fullscreen),
     "Gamepad button that switches fullscreen."},
    {"joystick", "quit", SettingKind::button, 0, BUTTON(quit), "Gamepad button that quits (Back or Select)."},
    {"joystick", "reload", SettingKind::button, 0, BUTTON(reload), "Gamepad button that reads the level file again."},
    {"joystick", "mute", SettingKind::button, 0, BUTTON(mute), "Gamepad button that switches the sound off and on."},
    {"sound", "effects_volume", SettingKind::number, MAX_VOLUME, NUMBER(effects_volume),
     "Sound effects' volume, 0 (silent) to 255; older files call it volume."},
    {"sound", "music_volume", SettingKind::number, MAX_VOLUME, NUMBER(music_volume), "Music volume, 0 (silent) to 255."},
};

#undef FLAG
#undef NUMBER
#undef TEXT
#undef KEY
#undef BUTTON

// The words of the repeat setting, for false and true.
const char *const REPEAT_WORDS[] = {"game", "system"};

// Settings files are a few lines; anything far bigger is not one.
constexpr long MAX_SETTINGS_BYTES = 1 << 20;

const char *const BUTTON_NONE = "none";

std::string lower(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The value as the file writes it.
std::string value_text(const Setting &setting, Options &options)
{
    switch (setting.kind) {
    case SettingKind::flag:
        return *setting.field.flag(options) ? "yes" : "no";
    case SettingKind::number:
        return std::to_string(*setting.field.number(options));
    case SettingKind::key:
        return key_name(*setting.field.number(options));
    case SettingKind::button: {
        const int button = *setting.field.number(options);
        return button == NO_BUTTON ? BUTTON_NONE : std::to_string(button);
    }
    case SettingKind::text:
        return *setting.field.text(options);
    case SettingKind::repeat:
        return REPEAT_WORDS[*setting.field.flag(options)];
    }
    return "";
}

bool parse_whole_number(const std::string &text, int max, int &number)
{
    errno = 0;
    char *end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || value < 0 || value > max || !std::isdigit(static_cast<unsigned char>(text[0])))
        return false;
    number = static_cast<int>(value);
    return true;
}

// Stores the value into the setting's variable; "" or what is wrong with it.
std::string apply_value(const Setting &setting, const std::string &value, Options &options)
{
    switch (setting.kind) {
    case SettingKind::flag: {
        const std::string word = lower(value);
        if (word == "yes" || word == "true" || word == "on" || word == "1")
            *setting.field.flag(options) = true;
        else if (word == "no" || word == "false" || word == "off" || word == "0")
            *setting.field.flag(options) = false;
        else
            return "not yes or no";
        return "";
    }
    case SettingKind::number:
        if (!parse_whole_number(value, setting.max, *setting.field.number(options)))
            return "not a whole number from 0 to " + std::to_string(setting.max);
        return "";
    case SettingKind::key: {
        const int scancode = key_from_name(value);
        if (!scancode)
            return "no key has that name";
        *setting.field.number(options) = scancode;
        return "";
    }
    case SettingKind::button:
        if (lower(value) == BUTTON_NONE)
            *setting.field.number(options) = NO_BUTTON;
        else if (!parse_whole_number(value, PAD_BUTTONS - 1, *setting.field.number(options)))
            return "not a button number from 0 to " + std::to_string(PAD_BUTTONS - 1) + " or none";
        return "";
    case SettingKind::text:
        *setting.field.text(options) = value;
        return "";
    case SettingKind::repeat:
        for (bool system : {false, true})
            if (lower(value) == REPEAT_WORDS[system]) {
                *setting.field.flag(options) = system;
                return "";
            }
        return "not game or system";
    }
    return "";
}

// Settings that older files wrote under another name, read when the file
// lacks the new one.
const struct {
    const char *section;
    const char *old_name;
    const char *name;
} renamed_settings[] = {{"sound", "volume", "effects_volume"}};

// The setting of that name, or of that older name, or null.
const Setting *find_setting(const std::string &section, const std::string &name)
{
    std::string wanted = lower(name);
    for (const auto &renamed : renamed_settings)
        if (lower(section) == renamed.section && wanted == renamed.old_name)
            wanted = renamed.name;
    for (const Setting &setting : settings_table)
        if (lower(section) == setting.section && wanted == setting.name)
            return &setting;
    return nullptr;
}

// The setting's value in the file, under its older name if need be (which
// is then the name the warnings give); null when the file has neither.
const char *setting_value(Setting &setting)
{
    const char *raw = get_config_string(setting.section, setting.name, nullptr);
    for (const auto &renamed : renamed_settings)
        if (!raw && std::string(setting.section) == renamed.section && std::string(setting.name) == renamed.name) {
            raw = get_config_string(setting.section, renamed.old_name, nullptr);
            setting.name = renamed.old_name;
        }
    return raw;
}

// Reads the whole file; "" or why it cannot be read.
std::string read_whole_file(const std::string &path, std::string &contents)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0)
        return std::strerror(errno);
    if (S_ISDIR(info.st_mode))
        return "it is a directory";
    // A pipe or a device could keep the game waiting for ever.
    if (!S_ISREG(info.st_mode))
        return "it is not a regular file";
    if (info.st_size > MAX_SETTINGS_BYTES)
        return "it is larger than " + std::to_string(MAX_SETTINGS_BYTES) + " bytes";
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (!file)
        return std::strerror(errno);
    char block[4096];
    std::size_t got;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0 &&
           contents.size() <= static_cast<std::size_t>(MAX_SETTINGS_BYTES))
        contents.append(block, got);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    return failed ? "it cannot be read" : "";
}

// Collects the warnings of one reading, each naming the file.
class Warnings {
public:
    explicit Warnings(const std::string &path) : path_(path) {}
    void about(const Setting &setting, const std::string &value, const std::string &problem)
    {
        about(setting.section, setting.name, value, problem);
    }
    void about(const std::string &section, const std::string &name, const std::string &value,
               const std::string &problem)
    {
        text_ += "tolbrint: " + path_ + ": [" + section + "] " + name + " = " + value + ": " + problem + "\n";
    }
    void about_file(const std::string &problem) { text_ += "tolbrint: " + path_ + ": " + problem + "\n"; }
    const std::string &text() const { return text_; }

private:
    std::string path_;
    std::string text_;
};

// The action whose key or button the setting holds, or -1.
int bound_action(const Setting &setting)
{
    if (setting.kind != SettingKind::key && setting.kind != SettingKind::button)
        return -1;
    static Options scratch;
    const int *field = setting.field.number(scratch);
    const auto &bound = setting.kind == SettingKind::key ? scratch.bindings.keys : scratch.bindings.buttons;
    return static_cast<int>(field - bound.data());
}

const Setting &binding_setting(SettingKind kind, int action)
{
    for (const Setting &setting : settings_table)
        if (setting.kind == kind && bound_action(setting) == action)
            return setting;
    return settings_table[0]; // every action has both rows
}

// What the file wrote for each action's key or button, "" when it did not.
using Written = std::array<std::string, ACTION_COUNT>;

// Two actions on one key or button: the one the file set gives way (the
// later one when the file set both) and goes back to its default, until no
// two share one. Defaults never share, so this ends.
void resolve_clashes(SettingKind kind, Options &options, const Options &defaults, Written &written,
                     Warnings &warnings)
{
    const bool keys = kind == SettingKind::key;
    auto &bound = keys ? options.bindings.keys : options.bindings.buttons;
    const auto &fallback = keys ? defaults.bindings.keys : defaults.bindings.buttons;
    for (bool clash = true; clash;) {
        clash = false;
        for (int a = 0; a < ACTION_COUNT && !clash; a++)
            for (int b = a + 1; b < ACTION_COUNT && !clash; b++) {
                if (bound[a] != bound[b] || bound[a] == NO_BUTTON)
                    continue;
                const int yielding = written[b].empty() ? a : b;
                const int keeping = yielding == a ? b : a;
                const Setting &setting = binding_setting(kind, yielding);
                bound[yielding] = fallback[yielding];
                warnings.about(setting, written[yielding],
                               std::string("already the ") + (keys ? "key" : "button") + " of " +
                                   binding_setting(kind, keeping).name + "; using " +
                                   value_text(setting, options));
                written[yielding].clear();
                clash = true;
            }
    }
}

// Every entry of the file that no setting reads, named once.
void warn_unknown_settings(Warnings &warnings)
{
    const char **sections = nullptr;
    const char **entries = nullptr;
    std::vector<std::string> section_names{""};
    const int section_count = list_config_sections(&sections);
    for (int i = 0; i < section_count; i++) {
        std::string name = sections[i];
        // Allegro hands sections back in their brackets.
        if (name.size() >= 2 && name.front() == '[' && name.back() == ']')
            name = name.substr(1, name.size() - 2);
        section_names.push_back(name);
    }
    std::vector<std::string> reported;
    for (const std::string &section : section_names) {
        const char *section_arg = section.empty() ? nullptr : section.c_str();
        const int entry_count = list_config_entries(section_arg, &entries);
        for (int i = 0; i < entry_count; i++) {
            // Allegro matches names without regard to case.
            const std::string seen = lower(section) + "\n" + lower(entries[i]);
            if (find_setting(section, entries[i]) ||
                std::find(reported.begin(), reported.end(), seen) != reported.end())
                continue;
            reported.push_back(seen);
            warnings.about(section, entries[i], get_config_string(section_arg, entries[i], ""),
                           "no such setting; ignored");
        }
    }
    free_config_entries(&sections);
    free_config_entries(&entries);
}

// Reads every setting the configuration holds into options.
void apply_settings(Options &options, Warnings &warnings)
{
    const Options defaults = options;
    Written keys_written, buttons_written;
    for (Setting setting : settings_table) {
        const char *raw = setting_value(setting);
        if (!raw)
            continue;
        const std::string value = raw;
        const std::string problem = apply_value(setting, value, options);
        if (!problem.empty()) {
            warnings.about(setting, value, problem + "; using " + value_text(setting, options));
            continue;
        }
        const int action = bound_action(setting);
        if (setting.kind == SettingKind::key) {
            int &scancode = options.bindings.keys[action];
            if (is_modifier_key(scancode) && !is_held_only(static_cast<Action>(action))) {
                scancode = defaults.bindings.keys[action];
                warnings.about(setting, value,
                               "a key that can only be held suits walk_fire alone; using " +
                                   value_text(setting, options));
                continue;
            }
            keys_written[action] = value;
        } else if (setting.kind == SettingKind::button) {
            buttons_written[action] = value;
        }
    }
    resolve_clashes(SettingKind::key, options, defaults, keys_written, warnings);
    resolve_clashes(SettingKind::button, options, defaults, buttons_written, warnings);
    warn_unknown_settings(warnings);
}

// Text for a roff page: hyphens and backslashes are special there.
std::string roff(const std::string &text)
{
    std::string escaped;
    for (char c : text) {
        if (c == '-' || c == '\\')
            escaped += '\\';
        escaped += c;
    }
    return escaped;
}

} // namespace

std::string default_settings_path()
{
    const std::string dir = settings_dir();
    return dir.empty() ? "" : dir + "/tolbrint.cfg";
}

SettingsResult read_settings(const std::string &path, bool named, Options &options)
{
    SettingsResult result;
    struct stat info;
    if (path.empty() || (stat(path.c_str(), &info) != 0 && errno == ENOENT)) {
        if (named) {
            result.play = false;
            result.exit_code = 2;
            result.warnings = "tolbrint: " + path + ": cannot open the settings file: No such file or directory\n";
        }
        return result;
    }
    Warnings warnings(path);
    std::string contents;
    const std::string problem = read_whole_file(path, contents);
    if (!problem.empty()) {
        warnings.about_file("cannot read the settings file (" + problem + "); using the defaults");
    } else {
        // Data, not the file: Allegro writes a configuration file back at
        // exit when anything changed it, and the game never writes this one.
        if (contents.empty())
            contents = "\n";
        set_config_data(contents.data(), static_cast<int>(contents.size()));
        apply_settings(options, warnings);
    }
    result.warnings = warnings.text();
    return result;
}

std::string settings_text(const Options &options)
{
    Options copy = options;
    std::string text = "# tolbrint settings. Lines starting with # are comments.\n";
    std::string section;
    for (const Setting &setting : settings_table) {
        if (section != setting.section) {
            section = setting.section;
            text += "\n[" + section + "]\n";
        }
        text += "# " + std::string(setting.doc) + "\n";
        const std::string value = value_text(setting, copy);
        text += std::string(setting.name) + (value.empty() ? " =" : " = " + value) + "\n";
    }
    return text;
}

std::string settings_manual()
{
    Options defaults;
    std::string text =
        "[SETTINGS]\n"
        ".B tolbrint\n"
        "reads its settings from\n"
        ".I $XDG_CONFIG_HOME/tolbrint/tolbrint.cfg\n"
        "or, when XDG_CONFIG_HOME is unset,\n"
        ".IR ~/.config/tolbrint/tolbrint.cfg ,\n"
        "or from the file named with\n"
        ".BR \\-\\-config .\n"
        "The file is optional. The pause menu writes into it what is changed there,\n"
        "and nothing else, keeping every comment and line of the file's own;\n"
        ".B tolbrint \\-\\-print\\-config\n"
        "prints the settings in force in the file's format, a good start for one.\n"
        "Options on the command line take precedence over the file.\n"
        "A value the game cannot use, an unknown setting or two actions on one key\n"
        "is named on standard error and the default is used.\n"
        ".PP\n"
        "Keys are named like Allegro's KEY_ constants without KEY_:\n"
        "A to Z, 0 to 9, F1 to F12, LEFT, RIGHT, UP, DOWN, SPACE, ENTER, ESC, TAB,\n"
        "LCONTROL, RCONTROL, LSHIFT, RSHIFT, ALT, PAUSE, 0_PAD to 9_PAD and so on.\n"
        "Shift, Ctrl and Alt can only be held, so they suit walk_fire alone.\n"
        "Gamepad buttons are numbers from 0, or none.\n"
        "Flags are yes or no.\n";
    std::string section;
    for (const Setting &setting : settings_table) {
        if (section != setting.section) {
            section = setting.section;
            text += ".SS [" + section + "]\n";
        }
        const std::string value = value_text(setting, defaults);
        text += ".TP\n.B " + roff(setting.name) + "\n" + roff(setting.doc) + " Default: " +
                (value.empty() ? "empty" : roff(value)) + ".\n";
    }
    return text;
}
