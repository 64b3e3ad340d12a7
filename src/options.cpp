#include "options.h"

#include <getopt.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <vector>

#ifndef TOLBRINT_VERSION
#define TOLBRINT_VERSION "unknown"
#endif

const char *game_version() { return TOLBRINT_VERSION; }

namespace {

// Sets what the option means in options; returns "" or the problem with
// value, worded to follow "--name".
using ApplyOption = std::string (*)(Options &options, const char *value);

struct OptionSpec {
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
    return whole_number(value, MIN_SCALE, MAX_SCALE, options.scale);
}

std::string apply_start_x(Options &options, const char *value)
{
    int x = 0;
    const std::string problem = whole_number(value, -LARGEST_START_X, LARGEST_START_X, x);
    if (problem.empty())
        options.start_x = x;
    return problem;
}

const OptionSpec option_table[] = {
    {"help", 'h', nullptr, "show this help and exit",
     [](Options &o, const char *) { o.action = Options::Action::ShowHelp; return std::string(); }},
    {"version", 0, nullptr, "show the version number and exit",
     [](Options &o, const char *) { o.action = Options::Action::ShowVersion; return std::string(); }},
    {"scale", 0, "N", "enlarge the picture N times, 1 to 16 (default: the most that fits)",
     apply_scale},
    {"fullscreen", 0, nullptr, "start in fullscreen (F11 or Alt+Enter switches)",
     [](Options &o, const char *) { o.fullscreen = true; return std::string(); }},
    {"windowed", 0, nullptr, "start in a window (the default)",
     [](Options &o, const char *) { o.fullscreen = false; return std::string(); }},
    {"start-x", 0, "X", "start with the hero at world x X, dropping onto what is below him",
     apply_start_x},
    {"skip-intro", 0, nullptr, "go straight to play, without the title",
     [](Options &o, const char *) { o.skip_intro = true; return std::string(); }},
    {"from-menu", 0, nullptr,
     "write the side files into $XDG_STATE_HOME/tolbrint (as menu starts do)",
     [](Options &o, const char *) { o.from_menu = true; return std::string(); }},
};

constexpr int OPTION_COUNT = sizeof option_table / sizeof option_table[0];

// getopt_long hands back this plus the row for options without a short name.
constexpr int LONG_ONLY_BASE = 256;

const char *const TRY_HELP = "Try 'tolbrint --help'\n";

std::vector<option> getopt_table()
{
    std::vector<option> table;
    for (int i = 0; i < OPTION_COUNT; i++) {
        const OptionSpec &spec = option_table[i];
        table.push_back({spec.long_name, spec.argument ? required_argument : no_argument, nullptr,
                         spec.short_name ? spec.short_name : LONG_ONLY_BASE + i});
    }
    table.push_back({nullptr, 0, nullptr, 0});
    return table;
}

// The leading colon makes getopt report a missing value apart from an
// unknown option, and keeps it from printing anything itself.
std::string short_options()
{
    std::string letters = ":";
    for (const OptionSpec &spec : option_table) {
        if (!spec.short_name)
            continue;
        letters += spec.short_name;
        if (spec.argument)
            letters += ':';
    }
    return letters;
}

const OptionSpec *find_option(int code)
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

std::string spec_label(const OptionSpec &spec)
{
    std::string label = spec.short_name ? std::string("-") + spec.short_name + ", " : "    ";
    label += std::string("--") + spec.long_name;
    if (spec.argument)
        label += std::string(" ") + spec.argument;
    return label;
}

} // namespace

std::string usage_text()
{
    std::string text = "Usage: tolbrint [OPTIONS] [LEVEL]\n"
                       "Plays LEVEL, a level file (the shipped level1.dat when none is given).\n\n"
                       "Options:\n";
    std::size_t width = 0;
    for (const OptionSpec &spec : option_table)
        width = std::max(width, spec_label(spec).size());
    for (const OptionSpec &spec : option_table) {
        const std::string label = spec_label(spec);
        text += "  " + label + std::string(width - label.size() + 2, ' ') + spec.help + "\n";
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
        const OptionSpec *spec = find_option(code);
        const std::string problem = spec->apply(options, optarg);
        if (!problem.empty())
            return usage_error(std::string("--") + spec->long_name + " " + problem);
    }
    for (int i = optind; i < argc; i++) {
        if (!options.level.empty())
            return usage_error("more than one level given ('" + options.level + "' and '" + argv[i] + "')");
        options.level = argv[i];
    }

    ParseResult result;
    if (options.action == Options::Action::ShowHelp)
        result.out = usage_text();
    else if (options.action == Options::Action::ShowVersion)
        result.out = std::string("tolbrint ") + game_version() + "\n";
    result.play = options.action == Options::Action::Play;
    return result;
}
