#include "pack.h"

#include <cctype>
#include <cstdio>

#include "level.h"
#include "replay.h"

namespace {

RunTally tally;

} // namespace

std::string pack_level_file(int number) { return "level" + std::to_string(number) + ".dat"; }

std::string next_level_path(const std::string &current, const std::string &next)
{
    const std::size_t slash = current.find_last_of("/\\");
    return slash == std::string::npos ? next : current.substr(0, slash + 1) + next;
}

std::string level_name(const Level &level) { return level.header_word_1 + " " + level.header_word_2; }

std::string level_title(const std::string &name)
{
    std::string title = name;
    for (char &c : title)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return title;
}

bool at_level_exit(const Level &level, long long world_point)
{
    return level.level_exit && level.level_exit->x <= world_point &&
           world_point <= static_cast<long long>(level.level_exit->x) + EXIT_WIDTH;
}

void start_tally() { tally = RunTally(); }

const RunTally &run_tally() { return tally; }

void tally_shot() { tally.shots++; }

void tally_hit() { tally.hits++; }

void tally_kill(const std::string &kind)
{
    if (kind == "ZOMBIE")
        tally.zombies++;
    else if (kind == "ROBO")
        tally.robots++;
}

void tally_level(const std::string &name, int passes) { tally.levels.push_back({name, passes}); }

std::string pass_time(int passes)
{
    const long long hundredths = static_cast<long long>(passes) * 100 / PASSES_PER_SECOND;
    const long long seconds = hundredths / 100;
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld.%02lld", seconds / 60, seconds % 60, hundredths % 100);
    return text;
}

int hit_percentage(const RunTally &run)
{
    return run.shots == 0 ? 0 : static_cast<int>(static_cast<long long>(run.hits) * 100 / run.shots);
}

std::string tally_summary(const RunTally &run)
{
    int passes = 0;
    for (const LevelTime &level : run.levels)
        passes += level.passes;
    return std::to_string(run.zombies) + " zombies and " + std::to_string(run.robots) + " robots destroyed, " +
           std::to_string(run.shots) + " shots fired, " + std::to_string(hit_percentage(run)) + " % on target, " +
           std::to_string(run.levels.size()) + (run.levels.size() == 1 ? " level in " : " levels in ") +
           pass_time(passes);
}
