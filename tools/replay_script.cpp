// Makes a replay from a script of commands, played with no display:
//   tolbrint-replay [--trace] SCRIPT OUT.tbr
// --trace prints where the hero is at every checkpoint, for writing scripts.
// The script is text, one instruction a line ('#' starts a comment):
//   level FILE           the level played (read now, kept in the replay);
//                        given again, the text that the next reload reads
//   seed N               the random seed (default 1)
//   start-x X            start the hero at world x X
//   hold ACTION...       these actions are held from now on
//   release ACTION...    and no longer
//   press ACTION [N [EVERY]]
//                        N presses (default 1), one every EVERY passes
//                        (default 4, a key's repeat)
//   wait N               N passes with no press
//   walk left|right N    N steps: the arrow held, a press every 4 passes
// ACTION is left, right, up, jump, fire, walk-fire, reload, quit or other
// (a key no action uses).
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "options.h"
#include "replay.h"
#include "tolbrint.h"

namespace {

struct ActionName {
    const char *name;
    Action action;
};

const ActionName action_names[] = {
    {"left", Action::left},   {"right", Action::right},         {"up", Action::up},
    {"jump", Action::jump},   {"fire", Action::fire},           {"walk-fire", Action::walk_fire},
    {"reload", Action::reload}, {"quit", Action::quit},         {"other", Action::none},
};

constexpr int KEY_REPEAT_PASSES = 4;

struct Script {
    Replay replay;
    ActionSet held;
    std::string problem;

    void add(bool pressed, Action press = Action::none)
    {
        PassCommand command;
        command.pressed = pressed;
        command.press = press;
        command.held = held;
        replay.commands.push_back(command_byte(command));
    }
    void presses(Action action, int count, int every)
    {
        for (int i = 0; i < count; i++) {
            add(true, action);
            for (int idle = 1; idle < every; idle++)
                add(false);
        }
    }
};

bool parse_action(const std::string &word, Action &action)
{
    for (const ActionName &entry : action_names)
        if (word == entry.name) {
            action = entry.action;
            return true;
        }
    return false;
}

bool read_level(Script &script, const std::string &path)
{
    ReplayLevel level;
    try {
        level.level = read_level_text(path);
    } catch (const LevelError &error) {
        script.problem = error.what();
        return false;
    }
    script.replay.levels.push_back(level);
    return true;
}

// One instruction; false with the problem set.
bool run_line(Script &script, std::istringstream &words)
{
    std::string verb;
    words >> verb;
    if (verb.empty())
        return true;
    std::vector<std::string> rest;
    for (std::string word; words >> word;)
        rest.push_back(word);
    auto number = [&](std::size_t i, int fallback) {
        return i < rest.size() ? std::stoi(rest[i]) : fallback;
    };
    Action action = Action::none;
    if (verb == "level" && rest.size() == 1)
        return read_level(script, rest[0]);
    if (verb == "seed" && rest.size() == 1)
        return script.replay.seed = static_cast<std::uint32_t>(std::stoul(rest[0])), true;
    if (verb == "start-x" && rest.size() == 1)
        return script.replay.start_x = number(0, 0), true;
    if (verb == "wait" && rest.size() == 1) {
        for (int i = number(0, 0); i > 0; i--)
            script.add(false);
        return true;
    }
    if ((verb == "hold" || verb == "release") && !rest.empty()) {
        for (const std::string &word : rest) {
            if (!parse_action(word, action))
                return script.problem = "unknown action '" + word + "'", false;
            script.held[static_cast<int>(action)] = verb == "hold";
        }
        return true;
    }
    if (verb == "press" && !rest.empty() && rest.size() <= 3 && parse_action(rest[0], action)) {
        script.presses(action, number(1, 1), number(2, KEY_REPEAT_PASSES));
        return true;
    }
    if (verb == "walk" && rest.size() == 2 && parse_action(rest[0], action) &&
        (action == Action::left || action == Action::right)) {
        script.held[static_cast<int>(action)] = true;
        script.presses(action, number(1, 0), KEY_REPEAT_PASSES);
        script.held[static_cast<int>(action)] = false;
        return true;
    }
    script.problem = "cannot read '" + verb + "' with what follows it";
    return false;
}

bool read_script(const std::string &path, Script &script)
{
    std::ifstream in(path);
    if (!in)
        return script.problem = path + ": cannot open it", false;
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        number++;
        std::istringstream words(line.substr(0, line.find('#')));
        bool ok = false;
        try {
            ok = run_line(script, words);
        } catch (const std::exception &) {
            script.problem = "a number is not a number";
        }
        if (!ok) {
            script.problem = path + ":" + std::to_string(number) + ": " + script.problem;
            return false;
        }
    }
    if (script.replay.levels.empty())
        return script.problem = path + ": names no level", false;
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    const bool trace = argc == 4 && std::string(argv[1]) == "--trace";
    if (argc != 3 && !trace) {
        std::fprintf(stderr, "Usage: tolbrint-replay [--trace] SCRIPT OUT.tbr\n");
        return 2;
    }
    argv += trace;
    Script script;
    script.replay.seed = 1;
    script.replay.game_version = game_version();
    if (!read_script(argv[1], script)) {
        std::fprintf(stderr, "tolbrint-replay: %s\n", script.problem.c_str());
        return 1;
    }
    if (!start_headless(script.replay.datafile_checksum, false))
        return 1;
    try {
        play_headless(script.replay);
    } catch (const LevelError &error) {
        std::fprintf(stderr, "tolbrint-replay: %s\n", error.what());
        return 1;
    }
    std::string problem;
    if (!write_file_atomically(argv[2], encode_replay(run_record()), problem)) {
        std::fprintf(stderr, "tolbrint-replay: %s\n", problem.c_str());
        return 1;
    }
    if (trace)
        for (const Checkpoint &point : run_record().checkpoints)
            std::printf("pass %d: hero x %d, y %d; %d enemies, %d bullets, %d lasers\n", point.pass, point.hero_x,
                        point.hero_y, point.enemies, point.bullets, point.lasers);
    std::printf("%s: %d passes, the hero ends at x %d, y %d\n", argv[2], passes_run(), global_x + shift_x, shift_y);
    return 0;
}
