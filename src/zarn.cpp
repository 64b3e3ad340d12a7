#include "zarn.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "pack.h"
#include "replay.h"
#include "sound.h"
#include "tolbrint.h"

namespace {

// The hero is drawn at this screen point plus his shift.

const int WALK_STEP = 2;
const int HIT_POINTS = 50;
const int POSE_FRAMES = 10;  // passes a walking or firing picture stays up
const int FRAME_CYCLE = 6;   // countdown of the two-picture walking cycles
const int FRAME_A_ABOVE = 3; // countdown values above this show frame A

// The gravity clock: move every 5th tick, speed up every 15th.
const int MOVE_TICKS = 5;
const int SPEED_UP_TICKS = 15;
const int TOP_SPEED = 4;
// The clock wraps at the largest multiple of 15 an int holds, so the ticks on
// which the hero moves and speeds up come round exactly as if it never did.
const int CLOCK_WRAP = INT_MAX - INT_MAX % SPEED_UP_TICKS;

const int SHOT_COLOUR = 4;
const int COLOUR_RANGE = 63;

// The hero's pictures facing one way.
struct Pictures {
    int standing;
    int walk_a, walk_b;
    int firing;
    int fire_level_a, fire_level_b;
    int fire_up_a, fire_up_b;
};

// Indexed by facing: 0 left, 1 right.
const Pictures pictures_by_facing[2] = {
    {55, 56, 59, 33, 58, 61, 57, 60},
    {48, 49, 52, 32, 51, 54, 50, 53},
};

// Where a shot starts, relative to the hero's firing point, and its step.
struct Shot {
    int from_x, from_y;
    int dx, dy;
};

const Shot LEVEL_RIGHT = {55, 38, 2, 0};
const Shot LEVEL_LEFT = {0, 38, -2, 0};
const Shot UP_RIGHT = {55, 0, 2, -2};
const Shot UP_LEFT = {0, 0, -2, -2};

const Pictures &pictures(int facing) { return pictures_by_facing[facing == 1 ? 1 : 0]; }

// Picks frame A or B of a two-picture cycle and moves its countdown on.
int next_frame(int &countdown, int frame_a, int frame_b)
{
    const int picture = countdown > FRAME_A_ABOVE ? frame_a : frame_b;
    countdown = countdown > 1 ? countdown - 1 : FRAME_CYCLE;
    return picture;
}

// Whatever is drawn in the shot colour changes colour with every shot.
void recolour_shots()
{
    const int red = game_random() % COLOUR_RANGE;
    const int green = game_random() % COLOUR_RANGE;
    const int blue = game_random() % COLOUR_RANGE;
    set_palette_entry(SHOT_COLOUR, red, green, blue);
}

} // namespace

void add_bullet(int x, int y, int dx, int dy, std::string kind)
{
    ZarnBullet bullet(x, y, dx, dy, kind);
    zarnbullets.push_back(bullet);
    tally_shot();
    if (dy == 0)
        sound_level_shot(x);
    else
        sound_diagonal_shot(x);
}

Zarn::Zarn(int &x, int &y) : Character()
{
    int step_x = WALK_STEP;
    int step_y = 0;
    int hits = HIT_POINTS;
    bool player = true;
    std::string hero_kind = "ZARN";
    set_values(x, y, step_x, step_y, hits, player, hero_kind);
    sprite = sprite_entry(pictures(1).standing);
    walk_frame = pose_timer = fire_walk_frame = fall_ticks = 0;
    facing = 1;
}

void Zarn::translate(int &step_x, int &)
{
    dx = step_x;
    if (step_x == 0)
        return;
    facing = step_x > 0 ? 1 : 0;
    const Pictures &facing_pictures = pictures(facing);
    if (zarnjump) {
        // No walking in the air: he only turns.
        sprite = sprite_entry(facing_pictures.standing);
        return;
    }
    pose_timer = POSE_FRAMES;
    sprite = sprite_entry(next_frame(walk_frame, facing_pictures.walk_a, facing_pictures.walk_b));
}

namespace {

// A hero who falls through a gap in the ground falls for ever; his depth
// stops short of the int range's end, far out of sight.
int fall_step(int depth, int speed)
{
    return static_cast<int>(std::clamp<long long>(static_cast<long long>(depth) + speed,
                                                  INT_MIN + WORLD_EDGE_MARGIN, INT_MAX - WORLD_EDGE_MARGIN));
}

} // namespace

void Zarn::vertical_translate(int &, int &speed_y)
{
    fall_ticks = fall_ticks % CLOCK_WRAP + 1;
    if (fall_ticks % MOVE_TICKS == 0)
        shift_y = fall_step(shift_y, speed_y);
    if (fall_ticks % SPEED_UP_TICKS == 0 && speed_y < TOP_SPEED)
        speed_y += 1;
}

void Zarn::standstill()
{
    // Held at 0 once it runs out, so that idling forever cannot overflow it.
    if (pose_timer > 0)
        pose_timer--;
    if (pose_timer <= 0)
        sprite = sprite_entry(pictures(facing).standing);
}

void Zarn::display()
{
    draw_in_panels(sprite, HERO_SCREEN_X + static_cast<long long>(shift_x),
                   HERO_SCREEN_Y + static_cast<long long>(shift_y));
}

namespace {

// Starts a machine-gun bullet from the hero's firing point.
void fire(const Zarn &hero, const Shot &shot, int extra_x)
{
    const long long x = static_cast<long long>(global_x) + hero.x + shot.from_x + extra_x;
    const long long y = static_cast<long long>(global_y) + hero.y + shift_y + shot.from_y;
    add_bullet(clamp_to_int(x), clamp_to_int(y), shot.dx, shot.dy, "MACHINE_GUN");
}

} // namespace

void Zarn::firegun()
{
    recolour_shots();
    pose_timer = POSE_FRAMES;
    facing = dx > 0 ? 1 : 0;
    sprite = sprite_entry(pictures(facing).firing);
    // Only the standing shot to the right starts from where he is drawn.
    if (facing == 1)
        fire(*this, LEVEL_RIGHT, shift_x);
    else
        fire(*this, LEVEL_LEFT, 0);
}

void Zarn::diagonal_translate(int &step_x, int &aim_up)
{
    recolour_shots();
    if (step_x == 0 || aim_up < 0)
        return;
    const bool right = step_x > 0;
    const bool up = aim_up > 0;
    pose_timer = POSE_FRAMES;
    facing = right ? 1 : 0;
    fire(*this, up ? (right ? UP_RIGHT : UP_LEFT) : (right ? LEVEL_RIGHT : LEVEL_LEFT), 0);
    const Pictures &facing_pictures = pictures(facing);
    sprite = sprite_entry(up ? next_frame(fire_walk_frame, facing_pictures.fire_up_a, facing_pictures.fire_up_b)
                             : next_frame(fire_walk_frame, facing_pictures.fire_level_a,
                                          facing_pictures.fire_level_b));
}
