#include "walk.h"

#include <algorithm>
#include <deque>
#include <map>
#include <utility>

#include "level_tool.h"
#include "tolbrint.h"
#include "zarn.h"

namespace level_tool {

int world_point(const Stance &stance) { return stance.global_x + stance.shift_x; }

namespace {

constexpr int STEP = 2;
// A fall this long never ends: the hero is far below the view by then.
constexpr int LONGEST_FALL = 4000;
// Far more places than a level of a hundred screens has.
constexpr std::size_t LARGEST_WALK_MAP = 400000;

enum class Outcome { blocked, moved, fell_out, off_screen };

struct Move {
    Outcome outcome;
    Stance to;
};

Zarn new_hero()
{
    int x = HERO_SCREEN_X, y = HERO_SCREEN_Y;
    return Zarn(x, y);
}

// Moves the hero one step at a time with the game's own code, on a copy of
// the level that holds only what he can stand on; the drawing that a game
// pass does goes into single-pixel panels.
class Probe {
public:
    explicit Probe(const Level &level) : terrain_(level), hero_(new_hero())
    {
        terrain_.objects.clear();
        terrain_.enemies.clear();
        terrain_.header_enemies.clear();
        terrain_.portals.clear();
        zarnbullets.clear();
        eweapons.clear();
        panel_ = create_bitmap_ex(8, 1, 1);
        buffer = buffer2 = buffer3 = panel_;
    }
    ~Probe()
    {
        buffer = buffer2 = buffer3 = nullptr;
        destroy_bitmap(panel_);
    }
    Probe(const Probe &) = delete;
    Probe &operator=(const Probe &) = delete;

    // One step from a stance, on the ground or from `raised` pixels up in
    // the air (the top of a jump), and wherever he falls to after it.
    Move step(const Stance &from, int direction, int raised)
    {
        put_hero(from, raised);
        const int before = global_x + shift_x;
        if (direction > 0)
            right_translate(terrain_, hero_);
        else
            left_translate(terrain_, hero_);
        if (global_x + shift_x == before)
            return {Outcome::blocked, from};
        if (off_screen())
            return {Outcome::off_screen, here()};
        for (int pass = 0; zarnjump && pass < LONGEST_FALL && feet() <= VIEW_HEIGHT; pass++)
            game_pass(terrain_, hero_);
        if (zarnjump || feet() > VIEW_HEIGHT)
            return {Outcome::fell_out, here()};
        return {Outcome::moved, here()};
    }

private:
    void put_hero(const Stance &from, int raised)
    {
        global_x = from.global_x;
        shift_x = from.shift_x;
        global_y = 0;
        shift_y = from.feet - HERO_FEET_ROW - raised;
        scroll_x_1 = 0;
        scroll_x_2 = VIEW_WIDTH;
        scroll_x_3 = -VIEW_WIDTH;
        shift_xs = shift_ys = global_xs = global_ys = 0;
        global_difference = from.feet; // what he last landed on
        zarnjump = raised > 0;
        hero_.fall_ticks = 0;
    }

    static int feet() { return shift_y + HERO_FEET_ROW; }
    static Stance here() { return {global_x, shift_x, feet()}; }

    bool off_screen() const
    {
        const int left = HERO_SCREEN_X + shift_x;
        const int width = hero_.sprite ? hero_.sprite->w : 1;
        return left >= VIEW_WIDTH || left + width <= 0;
    }

    Level terrain_;
    Zarn hero_;
    BITMAP *panel_;
};

// A stance is known by where the hero stands, not by how his world point
// is split between the view's scroll and his shift: at a scroll limit each
// turn back moves two pixels from one to the other, a drift that a player
// hardly sees and that would otherwise make every place new again.
using StanceKey = std::pair<int, int>;

StanceKey key_of(const Stance &stance) { return {world_point(stance), stance.feet}; }

// A step, or when a step is in the way, a jump over it.
Move step_or_climb(Probe &probe, const Stance &from, int direction)
{
    const Move walked = probe.step(from, direction, 0);
    return walked.outcome == Outcome::blocked ? probe.step(from, direction, CLIMB_HEIGHT) : walked;
}

} // namespace

WalkMap explore_walks(const Level &level)
{
    WalkMap map;
    Probe probe(level);
    std::map<StanceKey, int> known;
    std::deque<int> waiting;
    auto reach = [&](const Stance &stance) {
        const auto [place, added] = known.emplace(key_of(stance), static_cast<int>(map.stances.size()));
        if (added) {
            map.stances.push_back(stance);
            map.next.emplace_back();
            waiting.push_back(place->second);
        }
        return place->second;
    };
    reach({HERO_START_POSITION, 0, HERO_FEET_ROW});
    while (!waiting.empty()) {
        if (map.stances.size() > LARGEST_WALK_MAP) {
            map.complete = false;
            break;
        }
        const int from = waiting.front();
        waiting.pop_front();
        for (int direction : {STEP, -STEP}) {
            const Move move = step_or_climb(probe, map.stances[from], direction);
            if (move.outcome == Outcome::moved) {
                const int to = reach(move.to); // may grow map.next
                map.next[from].push_back(to);
            } else if (move.outcome != Outcome::blocked) {
                map.exits.push_back({move.outcome == Outcome::fell_out ? Exit::fell_out : Exit::off_screen,
                                     world_point(move.to), from});
            }
        }
    }
    return map;
}

std::vector<int> strongly_connected(const WalkMap &map)
{
    const int count = static_cast<int>(map.stances.size());
    std::vector<int> order(count, -1), lowest(count, 0), component(count, -1);
    std::vector<int> open;
    std::vector<bool> is_open(count, false);
    int next_order = 0, next_component = 0;
    // Tarjan's method with its own stack of calls: a level of a few hundred
    // screens would run a recursive one out of stack.
    struct Call {
        int stance;
        std::size_t step;
    };
    auto enter = [&](std::vector<Call> &calls, int stance) {
        order[stance] = lowest[stance] = next_order++;
        open.push_back(stance);
        is_open[stance] = true;
        calls.push_back({stance, 0});
    };
    for (int root = 0; root < count; root++) {
        if (order[root] >= 0)
            continue;
        std::vector<Call> calls;
        enter(calls, root);
        while (!calls.empty()) {
            const int at = calls.back().stance;
            if (calls.back().step < map.next[at].size()) {
                const int to = map.next[at][calls.back().step++];
                if (order[to] < 0)
                    enter(calls, to);
                else if (is_open[to])
                    lowest[at] = std::min(lowest[at], order[to]);
                continue;
            }
            if (lowest[at] == order[at]) {
                int member;
                do {
                    member = open.back();
                    open.pop_back();
                    is_open[member] = false;
                    component[member] = next_component;
                } while (member != at);
                next_component++;
            }
            calls.pop_back();
            if (!calls.empty())
                lowest[calls.back().stance] = std::min(lowest[calls.back().stance], lowest[at]);
        }
    }
    return component;
}

} // namespace level_tool
