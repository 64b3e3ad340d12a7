// Where the hero can get to on a level: every place he can stand, found by
// moving him from his start with the game's own walking, falling and landing
// code, and jumping up where a step is in his way.
#ifndef WALK_H
#define WALK_H

#include <vector>

#include "level.h"

namespace level_tool {

// The hero's rise that a player can count on: his jump lifts him 30 pixels,
// but only for a moment; one 20-pixel tile is what he reliably climbs.
constexpr int CLIMB_HEIGHT = 20;

// The hero standing still; his world point is global_x + shift_x.
struct Stance {
    int global_x;
    int shift_x;
    int feet; // row
};

int world_point(const Stance &stance);

// A step that takes the hero out of the level.
struct Exit {
    enum Kind { fell_out, off_screen };
    Kind kind;
    int position; // his world point when it happened
    int from;     // the stance he stepped from
};

struct WalkMap {
    std::vector<Stance> stances;         // every place he can reach; [0] is the start
    std::vector<std::vector<int>> next;  // the stances one step (or jump) leads to
    std::vector<Exit> exits;
    bool complete = true;                // false when the level was too wide to follow
};

// The level must not scroll vertically: there the hero never lands.
WalkMap explore_walks(const Level &level);

// For each stance, the number of its group: the stances between which the
// hero can go back and forth.
std::vector<int> strongly_connected(const WalkMap &map);

} // namespace level_tool

#endif
