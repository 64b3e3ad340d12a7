// The game's levels played one after another: the pack's own files, where a
// level's next one is found, and the tally of a run that the ending shows.
#ifndef TOLBRINT_PACK_H
#define TOLBRINT_PACK_H

#include <string>
#include <vector>

class Level;

// The pack is level1.dat to level<PACK_LEVELS>.dat; each names the next in
// its exit, and the last one's exit leads to the ending.
constexpr int PACK_LEVELS = 3;
std::string pack_level_file(int number);

// The level file an exit of the level in current leads to: next, beside
// current.
std::string next_level_path(const std::string &current, const std::string &next);

// The name of the level from its header: "red canyon".
std::string level_name(const Level &level);
// A name as the strip shows it: "RED CANYON".
std::string level_title(const std::string &name);

// Whether the hero's world point stands in the level's exit.
bool at_level_exit(const Level &level, long long world_point);

struct LevelTime {
    std::string name;
    int passes = 0;
};

// What the hero did in one run, from its start to the ending.
struct RunTally {
    int zombies = 0;
    int robots = 0;
    int shots = 0;
    int hits = 0;
    std::vector<LevelTime> levels; // the levels finished, in order
};

void start_tally();
const RunTally &run_tally();
void tally_shot();
void tally_hit();
void tally_kill(const std::string &kind);
void tally_level(const std::string &name, int passes);

// Passes at the game's pace as minutes, seconds and hundredths: "2:07.45".
std::string pass_time(int passes);
// The share of shots that hit, in whole percent; 0 when none was fired.
int hit_percentage(const RunTally &tally);
// The tally in one line, for the terminal.
std::string tally_summary(const RunTally &tally);

#endif
