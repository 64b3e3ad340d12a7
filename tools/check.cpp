// Checks a level file with the game's loader, and for what loads but plays
// badly:
//   tolbrint-check [--world-x] LEVEL
// Prints "FILE:LINE:COL: error: ..." or "FILE:LINE:COL: warning: ..." for
// each problem, in file order; exits 0 when clean, 1 on an error, 2 on
// warnings only. With --world-x it lists where each thing of the level is
// in world x instead.
#include <allegro.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "level_tool.h"
#include "pack.h"
#include "walk.h"

namespace {

using namespace level_tool;

const char *const PROGRAM = "tolbrint-check";
const char *const USAGE = "tolbrint-check [--world-x] LEVEL";

enum Status { CLEAN = 0, ERRORS = 1, WARNINGS = 2 };

// Indexes of the header tokens whose places the warnings name.
enum HeaderToken { FIRST_TOKEN = 0, VERTICAL_SCROLLING = 4, LEFT_LIMIT = 9, RIGHT_LIMIT = 10 };

void print_help()
{
    std::printf("Usage: %s\n"
                "Loads the level file LEVEL as the game does and prints each problem as\n"
                "FILE:LINE:COL: error: ... (it does not load) or FILE:LINE:COL: warning: ...\n"
                "(it loads but plays badly).\n"
                "\n"
                "Options:\n"
                "      --world-x      list every enemy, scenery record, palm tree, portal and\n"
                "                     exit with its place in the file and the world x it covers\n"
                "                     (an enemy's x less 160), instead of checking\n"
                "%s"
                "\n"
                "Exit status: 0 when clean, 1 on an error, 2 on warnings only; with --world-x,\n"
                "0 when the level loads and 1 when it does not.\n",
                USAGE, TOOL_HELP_OPTIONS);
}

class Findings {
public:
    void add(FilePlace place, const std::string &text) { warnings_.push_back({place, text}); }

    // Prints the warnings in file order; the exit status.
    int print(const std::string &file)
    {
        std::stable_sort(warnings_.begin(), warnings_.end(), [](const Warning &a, const Warning &b) {
            return a.place.line != b.place.line ? a.place.line < b.place.line : a.place.column < b.place.column;
        });
        for (const Warning &warning : warnings_)
            std::printf("%s\n", located(file, warning.place, "warning", warning.text).c_str());
        if (warnings_.empty())
            std::printf("%s: no problems found\n", file.c_str());
        return warnings_.empty() ? CLEAN : WARNINGS;
    }

private:
    struct Warning {
        FilePlace place;
        std::string text;
    };
    std::vector<Warning> warnings_;
};

std::string number(long long value) { return std::to_string(value); }

std::string on_line(const Level &level, int solid)
{
    return "the solid record on line " + number(level.places.solid_objects[solid].line);
}

// --------------------------------------------------------------------------
// Standing on the ground

// A figure standing over scenery columns first to last (on the scenery
// axis), with its top and feet rows.
struct Figure {
    long long first_column;
    long long last_column;
    long long top;
    long long feet;
};

struct Footing {
    enum Kind { stands, floats, buried, unsupported };
    Kind kind = unsupported;
    int solid = -1;     // the record it floats above or is buried in
    long long gap = 0;  // how far above it, or how deep in it
};

bool reaches_under(const Solid_Object &box, long long first_column, long long last_column)
{
    return std::max(first_column, box.x1 + 1LL) <= std::min(last_column, box.x2 + 19LL);
}

Footing footing(const Level &level, const Figure &figure)
{
    Footing nearest_below;
    bool stands = false;
    for (std::size_t i = 0; i < level.solid_objects.size(); i++) {
        const Solid_Object &box = level.solid_objects[i];
        if (!reaches_under(box, figure.first_column, figure.last_column))
            continue;
        const int solid = static_cast<int>(i);
        if (box.y1 < figure.feet && figure.top < box.y2 + 20LL)
            return {Footing::buried, solid, figure.feet - box.y1};
        const long long gap = box.y1 - figure.feet;
        if (gap == 0)
            stands = true;
        else if (gap > 0 && (nearest_below.kind == Footing::unsupported || gap < nearest_below.gap))
            nearest_below = {Footing::floats, solid, gap};
    }
    return stands ? Footing{Footing::stands} : nearest_below;
}

// The figure's top nearest to its own, upwards (direction -1) or downwards
// (+1), at which footing() finds it standing. Only the tops of the records
// under it can be where its feet stand; the one it is buried in may have
// another record on it.
std::optional<long long> standing_top(const Level &level, const Figure &figure, int direction)
{
    std::vector<long long> tops;
    for (const Solid_Object &box : level.solid_objects)
        if (reaches_under(box, figure.first_column, figure.last_column) && (box.y1 - figure.feet) * direction > 0)
            tops.push_back(box.y1);
    std::sort(tops.begin(), tops.end(), [&](long long a, long long b) { return a * direction < b * direction; });
    const long long height = figure.feet - figure.top;
    for (long long top : tops) {
        const Figure moved = {figure.first_column, figure.last_column, top - height, top};
        if (footing(level, moved).kind == Footing::stands)
            return moved.top;
    }
    return std::nullopt;
}

// "; a y of N stands it WHERE", or nothing when no y does.
std::string proposed_y(const Level &level, const Figure &figure, int direction, const char *where)
{
    const std::optional<long long> y = standing_top(level, figure, direction);
    return y ? "; a y of " + number(*y) + " stands it " + where : "";
}

void check_enemy(const Level &level, const Enemy &enemy, FilePlace place, Findings &findings)
{
    const EnemyShape *shape = enemy_shape(enemy.kind);
    if (!shape || !shape->stands)
        return;
    const long long left = static_cast<long long>(enemy.x) - SCENERY_SHIFT;
    const long long feet = static_cast<long long>(enemy.y) + shape->height;
    const Figure figure = {left, left + ENEMY_WIDTH - 1, enemy.y, feet};
    const Footing found = footing(level, figure);
    const std::string name = shape->name;
    const std::string feet_text = "its feet are on row " + number(feet);
    switch (found.kind) {
    case Footing::stands:
        return;
    case Footing::floats:
        findings.add(place, name + " floats " + number(found.gap) + " px above the ground: " + feet_text + ", " +
                                on_line(level, found.solid) + " has its top on row " +
                                number(level.solid_objects[found.solid].y1) + proposed_y(level, figure, 1, "there"));
        return;
    case Footing::buried:
        findings.add(place, name + " is buried " + number(found.gap) + " px deep in " + on_line(level, found.solid) +
                                ": " + feet_text + ", that record's top is row " +
                                number(level.solid_objects[found.solid].y1) +
                                proposed_y(level, figure, -1, "on top"));
        return;
    case Footing::unsupported:
        findings.add(place, name + " has nothing solid under it: " + feet_text +
                                " and no solid record reaches under its x at or below that row");
        return;
    }
}

void check_enemies(const Level &level, Findings &findings)
{
    for (std::size_t i = 0; i < level.header_enemies.size(); i++)
        check_enemy(level, level.header_enemies[i], level.places.header_enemies[i], findings);
    for (std::size_t i = 0; i < level.enemies.size(); i++)
        check_enemy(level, level.enemies[i], level.places.enemies[i], findings);
}

void check_hero_start(const Level &level, Findings &findings)
{
    const Figure hero = {HERO_START_POSITION + LANDING_FIRST_COLUMN, HERO_START_POSITION + LANDING_LAST_COLUMN,
                         HERO_SCREEN_Y, HERO_FEET_ROW};
    const Footing found = footing(level, hero);
    const std::string start = "the hero starts at world x " + number(HERO_START_POSITION) + " with his feet on row " +
                              number(HERO_FEET_ROW);
    if (found.kind == Footing::floats)
        findings.add(level.places.solid_objects[found.solid],
                     start + ", " + number(found.gap) + " px above the top of this record: he drops at his first step");
    else if (found.kind == Footing::buried)
        findings.add(level.places.solid_objects[found.solid],
                     start + ", " + number(found.gap) + " px deep in this record, whose top is row " +
                         number(level.solid_objects[found.solid].y1));
    else if (found.kind == Footing::unsupported)
        findings.add(level.places.header[FIRST_TOKEN], start + ", and nothing solid is under him");
}

// --------------------------------------------------------------------------
// Ground along the scroll range

// World points of the hero from which a fall lands on a solid record.
struct GroundSpan {
    long long first;
    long long last;
    int solid;
};

// Only ground he stands on inside the view counts.
std::vector<GroundSpan> ground_spans(const Level &level)
{
    std::vector<GroundSpan> spans;
    for (std::size_t i = 0; i < level.solid_objects.size(); i++) {
        const Solid_Object &box = level.solid_objects[i];
        if (box.y1 > VIEW_HEIGHT || box.x2 + 20LL <= box.x1 + 1LL)
            continue;
        spans.push_back({box.x1 + 1LL - LANDING_LAST_COLUMN, box.x2 + 19LL - LANDING_FIRST_COLUMN, static_cast<int>(i)});
    }
    std::sort(spans.begin(), spans.end(), [](const GroundSpan &a, const GroundSpan &b) { return a.first < b.first; });
    return spans;
}

struct Gap {
    long long first;
    long long last;
};

bool within(const std::vector<Gap> &gaps, long long position)
{
    return std::any_of(gaps.begin(), gaps.end(),
                       [&](const Gap &gap) { return gap.first <= position && position <= gap.last; });
}

bool has_ground(const std::vector<GroundSpan> &spans, long long first, long long last)
{
    return std::any_of(spans.begin(), spans.end(),
                       [&](const GroundSpan &span) { return span.first <= last && first <= span.last; });
}

// Stretches of the scroll range where the hero falls out of the level.
std::vector<Gap> check_ground(const Level &level, const std::vector<GroundSpan> &spans, Findings &findings)
{
    std::vector<Gap> gaps;
    auto report = [&](long long first, long long last, int neighbour) {
        gaps.push_back({first, last});
        const FilePlace place =
            neighbour >= 0 ? level.places.solid_objects[neighbour] : level.places.header[LEFT_LIMIT];
        findings.add(place, "no ground under the hero from world x " + number(first) + " to " + number(last) +
                                ", inside the scroll range: he falls out of the level there");
    };
    long long covered_to = static_cast<long long>(level.left_limit) - 1;
    int left_neighbour = -1;
    for (const GroundSpan &span : spans) {
        if (covered_to >= level.right_limit)
            break;
        if (span.first > covered_to + 1)
            report(covered_to + 1, std::min<long long>(span.first - 1, level.right_limit),
                   left_neighbour >= 0 ? left_neighbour : span.solid);
        if (span.last > covered_to) {
            covered_to = span.last;
            left_neighbour = span.solid;
        }
    }
    if (covered_to < level.right_limit)
        report(covered_to + 1, level.right_limit, left_neighbour);
    return gaps;
}

// --------------------------------------------------------------------------
// Where the hero can go

// The solid record the hero stands on there; -1 for none.
int floor_under(const Level &level, const Stance &stance)
{
    const long long first = static_cast<long long>(stance.global_x) + LANDING_FIRST_COLUMN;
    const long long last = static_cast<long long>(stance.global_x) + LANDING_LAST_COLUMN;
    for (std::size_t i = 0; i < level.solid_objects.size(); i++) {
        const Solid_Object &box = level.solid_objects[i];
        if (box.y1 == stance.feet && reaches_under(box, first, last))
            return static_cast<int>(i);
    }
    return -1;
}

FilePlace place_of_floor(const Level &level, const Stance &stance)
{
    const int solid = floor_under(level, stance);
    return solid >= 0 ? level.places.solid_objects[solid] : level.places.header[FIRST_TOKEN];
}

// A step that the hero cannot take back: from one group of stances (between
// which he goes back and forth) into another.
struct OneWay {
    int from;
    int to;
};

int drop_of(const WalkMap &map, const OneWay &step) { return map.stances[step.to].feet - map.stances[step.from].feet; }

// The deepest one-way step into each group that has one. Steps from the
// start are left out: he may start in the air, and the start check says so.
std::map<int, OneWay> deepest_ways_in(const WalkMap &map, const std::vector<int> &group)
{
    std::map<int, OneWay> deepest;
    for (std::size_t from = 1; from < map.next.size(); from++)
        for (int to : map.next[from]) {
            if (group[from] == group[to])
                continue;
            const OneWay step = {static_cast<int>(from), to};
            const auto found = deepest.find(group[to]);
            if (found == deepest.end() || drop_of(map, step) > drop_of(map, found->second))
                deepest[group[to]] = step;
        }
    return deepest;
}

void check_pits(const Level &level, const WalkMap &map, Findings &findings)
{
    const std::vector<int> group = strongly_connected(map);
    std::map<int, std::pair<int, int>> stretch; // group -> its first and last world point
    for (std::size_t i = 0; i < map.stances.size(); i++) {
        const int at = world_point(map.stances[i]);
        const auto found = stretch.find(group[i]);
        if (found == stretch.end())
            stretch[group[i]] = {at, at};
        else
            found->second = {std::min(found->second.first, at), std::max(found->second.second, at)};
    }
    for (const auto &[into, step] : deepest_ways_in(map, group)) {
        const Stance &landing = map.stances[step.to];
        const int drop = drop_of(map, step);
        const std::string where =
            "world x " + number(stretch[into].first) + " to " + number(stretch[into].second);
        findings.add(place_of_floor(level, landing),
                     drop > CLIMB_HEIGHT
                         ? "the hero can drop " + number(drop) + " px at world x " + number(world_point(landing)) +
                               " into a pit he cannot climb out of (" + where + "); he climbs at most " +
                               number(CLIMB_HEIGHT) + " px"
                         : "the hero can get to " + where + " but not back from there");
    }
}

// Warns when no stance reaches the span first to first + width of a place
// that the player enters with Up: what is "the portal" or "the exit".
void check_reach(const std::string &what, long long first, long long width, FilePlace place, const WalkMap &map,
                 const std::vector<GroundSpan> &ground, Findings &findings)
{
    const long long last = first + width;
    const bool reached = std::any_of(map.stances.begin(), map.stances.end(), [&](const Stance &stance) {
        return first <= world_point(stance) && world_point(stance) <= last;
    });
    if (reached)
        return;
    const std::string span = "world x " + number(first) + " to " + number(last);
    findings.add(place, has_ground(ground, first, last)
                            ? "no hero can stand in " + what + ": he cannot get to its span, " + span + ", from his start"
                            : "no hero can stand in " + what + ": nothing solid is under its span, " + span);
}

void check_portal_and_exit(const Level &level, const WalkMap &map, const std::vector<GroundSpan> &ground,
                           Findings &findings)
{
    for (std::size_t i = 0; i < level.portals.size(); i++)
        check_reach("the portal", level.portals[i].x, PORTAL_WIDTH, level.places.portals[i], map, ground, findings);
    if (level.level_exit)
        check_reach("the exit", level.level_exit->x, EXIT_WIDTH, level.places.level_exit, map, ground, findings);
}

// The game looks for the exit's next level beside the level file when the
// hero enters the exit, and shows an error there when it is missing.
void check_next_level(const std::string &file, const Level &level, Findings &findings)
{
    if (!level.level_exit || level.level_exit->next == ENDING_WORD)
        return;
    const std::string next = next_level_path(file, level.level_exit->next);
    if (!file_exists(next))
        findings.add(level.places.level_exit, "the exit leads to " + next +
                                                  ", which does not exist: the game shows an error at the exit; "
                                                  "write the name of a level file beside this one, or \"" +
                                                  ENDING_WORD + "\"");
}

const char *exit_text(const Exit &exit)
{
    return exit.kind == Exit::fell_out ? "falls out of the level" : "walks off the screen";
}

// Falls inside the scroll range that the ground check has not found: ground
// only above the hero's feet.
void check_falls_inside(const Level &level, const WalkMap &map, const std::vector<Gap> &gaps, Findings &findings)
{
    std::map<int, int> first_fall_by_floor; // floor record -> exit
    for (std::size_t i = 0; i < map.exits.size(); i++) {
        const Exit &exit = map.exits[i];
        if (exit.kind != Exit::fell_out || exit.position < level.left_limit || exit.position > level.right_limit ||
            within(gaps, exit.position))
            continue;
        const int floor = floor_under(level, map.stances[exit.from]);
        const auto found = first_fall_by_floor.find(floor);
        if (found == first_fall_by_floor.end() || exit.position < map.exits[found->second].position)
            first_fall_by_floor[floor] = static_cast<int>(i);
    }
    for (const auto &[floor, index] : first_fall_by_floor) {
        const Exit &exit = map.exits[index];
        findings.add(place_of_floor(level, map.stances[exit.from]),
                     "the hero walks off this ground at world x " + number(exit.position) +
                         " and falls out of the level: nothing solid is below his feet there");
    }
}

// Beyond each scroll limit a wall should stop the hero on the screen, and
// each limit should lie where the hero can get to.
void check_ends(const Level &level, const WalkMap &map, Findings &findings)
{
    struct End {
        const char *side;
        HeaderToken token;
        int limit;
        int direction; // +1 for the right end
    };
    const End ends[] = {{"left", LEFT_LIMIT, level.left_limit, -1}, {"right", RIGHT_LIMIT, level.right_limit, 1}};
    for (const End &end : ends) {
        // Positions measured outwards from the start, so both ends read alike.
        auto outwards = [&](long long position) { return position * end.direction; };
        const Exit *nearest_beyond = nullptr;
        long long farthest_exit = LLONG_MIN;
        for (const Exit &exit : map.exits) {
            farthest_exit = std::max(farthest_exit, outwards(exit.position));
            if (outwards(exit.position) > outwards(end.limit) &&
                (!nearest_beyond || outwards(exit.position) < outwards(nearest_beyond->position)))
                nearest_beyond = &exit;
        }
        long long farthest = LLONG_MIN;
        for (const Stance &stance : map.stances)
            farthest = std::max(farthest, outwards(world_point(stance)));
        const FilePlace place = level.places.header[end.token];
        const std::string side = end.side;
        if (nearest_beyond)
            findings.add(place, "nothing stops the hero beyond the " + side + " scroll limit: he " +
                                    exit_text(*nearest_beyond) + " at world x " + number(nearest_beyond->position) +
                                    "; put a wall there that he cannot climb");
        else if (outwards(end.limit) - farthest > TILE && farthest_exit < farthest)
            findings.add(place, "the " + side + " scroll limit " + number(end.limit) +
                                    " lies past the farthest the hero can get, world x " +
                                    number(farthest * end.direction) + ": the view never scrolls that far; make it " +
                                    (end.direction > 0 ? "at most " : "at least ") +
                                    number(farthest * end.direction));
    }
}

void check_walks(const Level &level, const std::vector<GroundSpan> &ground, const std::vector<Gap> &gaps,
                 Findings &findings)
{
    const WalkMap map = explore_walks(level);
    if (!map.complete) {
        findings.add(level.places.header[LEFT_LIMIT],
                     "the level is too wide to follow the hero everywhere: pits, walls and the portal are not checked");
        return;
    }
    check_pits(level, map, findings);
    check_portal_and_exit(level, map, ground, findings);
    check_falls_inside(level, map, gaps, findings);
    if (level.left_limit <= level.right_limit)
        check_ends(level, map, findings);
}

int check(const std::string &file, const Level &level)
{
    Findings findings;
    check_hero_start(level, findings);
    check_enemies(level, findings);
    const std::vector<GroundSpan> ground = ground_spans(level);
    std::vector<Gap> gaps;
    if (level.left_limit > level.right_limit)
        findings.add(level.places.header[LEFT_LIMIT],
                     "the left scroll limit " + number(level.left_limit) + " is greater than the right one, " +
                         number(level.right_limit) + ": the view never scrolls");
    else
        gaps = check_ground(level, ground, findings);
    if (level.scroll_y_enabled)
        findings.add(level.places.header[VERTICAL_SCROLLING],
                     "vertical scrolling is switched on: the hero never lands after a jump or a fall, and "
                     "pits, walls and the portal are not checked; write \"no\"");
    else
        check_walks(level, ground, gaps, findings);
    check_next_level(file, level, findings);
    return findings.print(file);
}

// --------------------------------------------------------------------------
// Where everything is, in world x

// "world x FIRST to LAST".
std::string world_span(long long first, long long last)
{
    return "world x " + number(first) + " to " + number(last);
}

// The last column (or row) that tiles of size pixels, every TILE from first
// while their corner is at most last, cover.
long long tiles_end(long long first, long long last, int size)
{
    return first + (last - first) / TILE * TILE + size - 1;
}

struct Cover {
    long long first_x, last_x, first_row, last_row;
};

// The columns and rows a scenery object's tiles cover; none when it draws none.
std::optional<Cover> tiles_cover(const Object &object)
{
    if (!object.sprite || object.x2 < object.x1 || object.y2 < object.y1)
        return std::nullopt;
    return Cover{object.x1, tiles_end(object.x1, object.x2, object.sprite->w), object.y1,
                 tiles_end(object.y1, object.y2, object.sprite->h)};
}

std::string cover_text(const std::optional<Cover> &cover)
{
    if (!cover)
        return "draws nothing";
    return world_span(cover->first_x, cover->last_x) + ", rows " + number(cover->first_row) + " to " +
           number(cover->last_row);
}

// A palm tree covers what its pieces cover together.
std::optional<Cover> palm_cover(const Level &level, std::size_t first_piece)
{
    std::optional<Cover> whole;
    for (std::size_t i = first_piece; i < first_piece + PALM_TREE_PIECES; i++) {
        const std::optional<Cover> piece = tiles_cover(level.objects[i]);
        if (!piece)
            continue;
        if (!whole)
            whole = piece;
        whole->first_x = std::min(whole->first_x, piece->first_x);
        whole->last_x = std::max(whole->last_x, piece->last_x);
        whole->first_row = std::min(whole->first_row, piece->first_row);
        whole->last_row = std::max(whole->last_row, piece->last_row);
    }
    return whole;
}

std::string enemy_text(const Enemy &enemy)
{
    const long long left = static_cast<long long>(enemy.x) - SCENERY_SHIFT;
    const int width = enemy.sprite ? enemy.sprite->w : ENEMY_WIDTH;
    const int height = enemy.sprite ? enemy.sprite->h : 1;
    return world_span(left, left + width - 1) + ", rows " + number(enemy.y) + " to " +
           number(static_cast<long long>(enemy.y) + height - 1) + " (its x " + number(enemy.x) + " less " +
           number(SCENERY_SHIFT) + ")";
}

// One line for each enemy, scenery record, palm tree, portal and exit, in
// the order of the file: sections come in file order, and so do their records.
void list_world_x(const std::string &file, const Level &level)
{
    auto line = [&](FilePlace place, const std::string &what, const std::string &where) {
        std::printf("%s\n", located(file, place, what.c_str(), where).c_str());
    };
    for (std::size_t i = 0; i < level.header_enemies.size(); i++)
        line(level.places.header_enemies[i], level.header_enemies[i].kind, enemy_text(level.header_enemies[i]));
    const std::size_t plain = level.objects.size() - PALM_TREE_PIECES * level.palm_trees.size();
    for (std::size_t i = 0; i < plain; i++)
        line(level.places.objects[i], "scenery " + level.objects[i].sprite_name,
             cover_text(tiles_cover(level.objects[i])));
    for (std::size_t i = 0; i < level.solid_objects.size(); i++)
        line(level.places.solid_objects[i], "solid " + level.solid_objects[i].sprite_name,
             cover_text(tiles_cover(level.solid_objects[i])));
    for (std::size_t first = plain; first < level.objects.size(); first += PALM_TREE_PIECES)
        line(level.places.objects[first], "PALMTREE", cover_text(palm_cover(level, first)));
    for (std::size_t i = 0; i < level.enemies.size(); i++)
        line(level.places.enemies[i], level.enemies[i].kind, enemy_text(level.enemies[i]));
    for (std::size_t i = 0; i < level.portals.size(); i++)
        line(level.places.portals[i], "portal",
             world_span(level.portals[i].x, static_cast<long long>(level.portals[i].x) + PORTAL_WIDTH));
    if (level.level_exit)
        line(level.places.level_exit, "exit to " + level.level_exit->next,
             world_span(level.level_exit->x, static_cast<long long>(level.level_exit->x) + EXIT_WIDTH));
}

// The checker's or the list's exit status; a level that does not load is an
// error for both.
int check_or_list(const std::string &file, bool world_x)
{
    Loaded loaded = load_level(file);
    if (!loaded.level) {
        std::printf("%s\n", loaded.error.c_str());
        return ERRORS;
    }
    if (!world_x)
        return check(file, *loaded.level);
    list_world_x(file, *loaded.level);
    return CLEAN;
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> files;
    bool world_x = false;
    for (int i = 1; i < argc; i++) {
        const std::string argument = argv[i];
        if (argument == "--world-x") {
            world_x = true;
            continue;
        }
        if (argument == "--help" || argument == "-h") {
            print_help();
            return CLEAN;
        }
        if (argument == "--version") {
            print_version(PROGRAM);
            return CLEAN;
        }
        if (argument.size() > 1 && argument[0] == '-') {
            print_usage_error(PROGRAM, "unknown option \"" + argument + "\"", USAGE);
            return ERRORS;
        }
        files.push_back(argument);
    }
    if (files.size() != 1) {
        print_usage_error(PROGRAM, files.empty() ? "needs a level file" : "checks one level file at a time", USAGE);
        return ERRORS;
    }
    PALETTE palette;
    if (!start(PROGRAM, palette))
        return ERRORS;
    return check_or_list(files[0], world_x);
}
END_OF_MAIN()
