#include "enemy.h"

#include "effect.h"
#include "eweapon.h"
#include "pack.h"
#include "sound.h"
#include "tolbrint.h"
#include "zarnbullet.h"

namespace {

// How a kind starts out and what it does each update.
struct KindRule {
    const char *name;
    int dx;
    int dy;
    int hit_points;
    int step_pause;
    int anim_timer;
    int action_timer;
    int picture;
    int death_length; // updates from the killing one until it is dead
    void (*alive_update)(Enemy &);
    void (*alive_display)(Enemy &);
    void (*death_step)(Enemy &); // after each update of the death sequence
    void (*dying_display)(Enemy &);
};

// Where the zombies head: thirty pixels right of the hero's left edge.
long long hero_reference_x() { return static_cast<long long>(shift_x) + global_x + 160; }


// Asks every bullet, even after one has answered, so that each bullet inside
// marks itself spent; the enemy is hit once however many there are.
bool hit_by_bullets(Enemy &enemy, int height)
{
    bool hit = false;
    for (ZarnBullet &bullet : zarnbullets)
        if (bullet.boundary_check(enemy.x, enemy.y, clamp_to_int(static_cast<long long>(enemy.x) + ENEMY_WIDTH),
                                  clamp_to_int(static_cast<long long>(enemy.y) + height)))
            hit = true;
    return hit;
}

// Where the enemy's sounds are heard from: the middle of its body.
int centre_x(const Enemy &enemy) { return clamp_to_int(enemy.x + ENEMY_WIDTH / 2LL); }

void start_dying(Enemy &enemy)
{
    tally_kill(enemy.kind);
    enemy.death_timer = 0;
    enemy.dying = true;
}

void show_picture(Enemy &enemy, int entry) { enemy.sprite = sprite_entry(entry); }

// --- Zombie ---

const int TURN_LEFT_MARGIN = 50;
const int TURN_RIGHT_MARGIN = 80;
const int ZOMBIE_STEP_PAUSE = 3;
const int ZOMBIE_WALK_CYCLE = 50;
const int ZOMBIE_FRAME_B_FROM = 24;
const int ZOMBIE_PICTURES[2][2] = {{119, 120}, {121, 122}}; // [facing][frame A, B]

void steer_zombie(Enemy &zombie)
{
    // Wide arithmetic, so that a zombie near an end of the int range turns
    // back from it instead of overflowing.
    const long long hero = hero_reference_x();
    if (hero < static_cast<long long>(zombie.x) - TURN_LEFT_MARGIN)
        zombie.facing = 0;
    else if (hero > static_cast<long long>(zombie.x) + TURN_RIGHT_MARGIN)
        zombie.facing = 1;
}

void update_zombie(Enemy &zombie)
{
    if (hit_by_bullets(zombie, ZOMBIE_HEIGHT)) {
        zombie.hit_points--;
        if (zombie.hit_points <= 0) {
            start_dying(zombie); // it still takes this update's step
            sound_explosion(centre_x(zombie));
        } else {
            sound_bullet_hit(centre_x(zombie));
        }
    }
    steer_zombie(zombie);
    const int facing_right = zombie.facing == 1 ? 1 : 0;
    zombie.dx = zombie.step_pause == 0 ? (facing_right ? 1 : -1) : 0;
    const int frame = zombie.anim_timer > ZOMBIE_FRAME_B_FROM ? 0 : 1;
    show_picture(zombie, ZOMBIE_PICTURES[facing_right][frame]);
    zombie.step_pause--;
    zombie.anim_timer--;
    if (zombie.step_pause < 0)
        zombie.step_pause = ZOMBIE_STEP_PAUSE;
    if (zombie.anim_timer < 0)
        zombie.anim_timer = ZOMBIE_WALK_CYCLE;
    zombie.translate(zombie.dx, zombie.dy);
}

void display_dying_zombie(Enemy &zombie)
{
    explosion_effect(zombie.death_timer, clamp_to_int(zombie.x - 10LL), zombie.y);
}

// --- Robot ---

const int FIRE_INTERVAL = 250;
const int FLASH_LENGTH = 5;
const int DEATH_FLASH_END = 200;
const int EXPLOSION_LENGTH = 100;
const int FLASH_ENTRY = 7;

// Palette entry 7 at rest, and its two flash colours.
void show_rest_colour() { set_palette_entry(FLASH_ENTRY, 42, 42, 42); }

void show_flash_colour(int timer)
{
    if (timer % 2 != 0)
        set_palette_entry(FLASH_ENTRY, 0, 0, 20);
    else
        set_palette_entry(FLASH_ENTRY, 62, 62, 62);
}

// All robots share entry 7, so only a robot whose own flash ends puts the
// rest colour back: an idle robot leaves it alone, or it would wipe the flash
// of any robot updated before it in the same pass.
void end_flash(Enemy &robot)
{
    robot.flashing = false;
    show_rest_colour();
}

void fire_laser(Enemy &robot)
{
    int x = clamp_to_int(robot.x - 15LL);
    int y = clamp_to_int(robot.y + 20LL);
    int dx = -4;
    int dy = 0;
    std::string kind = "laser";
    eweapons.push_back(EWeapon(x, y, dx, dy, kind));
    sound_laser(x);
}

void update_robot(Enemy &robot)
{
    if (robot.action_timer <= 0) {
        fire_laser(robot);
        robot.action_timer = FIRE_INTERVAL;
    }
    robot.action_timer--;
    if (hit_by_bullets(robot, ROBOT_HEIGHT)) {
        robot.hit_points--;
        sound_bullet_hit(centre_x(robot));
        if (!robot.flashing) { // a hit during a flash does not restart it
            robot.flashing = true;
            robot.flash_timer = FLASH_LENGTH;
        }
    }
    if (robot.flashing)
        show_flash_colour(robot.flash_timer);
    if (robot.hit_points <= 0) {
        start_dying(robot);
        robot.flash_timer = 0;
        end_flash(robot);
    }
    if (robot.flash_timer > 0)
        robot.flash_timer--;
    if (robot.flashing && robot.flash_timer <= 0)
        end_flash(robot);
}

// A flash that ends in a later robot's update would otherwise leave this one
// unseen for a pass: after all updates, each flashing robot shows again the
// colour its own update chose.
void display_robot(Enemy &robot)
{
    if (robot.flashing)
        show_flash_colour(robot.flash_timer + 1);
}

// Each of the three explosions is heard as it starts.
void robot_death_step(Enemy &robot)
{
    if (robot.death_timer == DEATH_FLASH_END || robot.dead)
        show_rest_colour();
    if (robot.death_timer >= DEATH_FLASH_END && robot.death_timer < DEATH_FLASH_END + 3 * EXPLOSION_LENGTH &&
        (robot.death_timer - DEATH_FLASH_END) % EXPLOSION_LENGTH == 0)
        sound_explosion(centre_x(robot));
}

// It flashes for 200 updates, then explodes three times in a row in place.
void display_dying_robot(Enemy &robot)
{
    if (robot.death_timer < DEATH_FLASH_END) {
        robot.Character::display();
        show_flash_colour(robot.death_timer);
    } else if (robot.death_timer < DEATH_FLASH_END + 3 * EXPLOSION_LENGTH) {
        explosion_effect((robot.death_timer - DEATH_FLASH_END) % EXPLOSION_LENGTH,
                         clamp_to_int(robot.x - 10LL), robot.y);
    }
}

// --- Cactus and its hand ---

const int HAND_CYCLE = 45;

void update_cactus(Enemy &cactus)
{
    for (Enemy &part : cactus.parts)
        part.update();
}

void update_hand(Enemy &hand)
{
    if (hand.action_timer > 30)
        show_picture(hand, 79);
    else if (hand.action_timer > 15)
        show_picture(hand, 80);
    else
        show_picture(hand, 81);
    hand.action_timer--;
    if (hand.action_timer < 0)
        hand.action_timer = HAND_CYCLE;
}

const KindRule KIND_RULES[] = {
    // name     dx  dy  hp pause anim action picture death
    {"ZOMBIE", -1, 0, 10, 0, 50, 0, 119, 100, update_zombie, nullptr, nullptr, display_dying_zombie},
    {"ROBO", 0, 0, 10, 0, 0, 1, 85, 500, update_robot, display_robot, robot_death_step, display_dying_robot},
    {"CACTUS", 0, 0, 10, 0, 0, 12, 16, 0, update_cactus, nullptr, nullptr, nullptr},
    {"RHAND", 0, 0, 5, 0, 0, 14, 79, 0, update_hand, nullptr, nullptr, nullptr},
};

const KindRule *rule_for(const std::string &kind)
{
    for (const KindRule &rule : KIND_RULES)
        if (kind == rule.name)
            return &rule;
    return nullptr;
}

void add_hand(Enemy &cactus)
{
    int x = clamp_to_int(cactus.x + 5LL);
    int y = clamp_to_int(cactus.y + 30LL);
    std::string kind = "RHAND";
    cactus.parts.push_back(Enemy(x, y, kind));
}

} // namespace

bool is_enemy_kind(const std::string &kind) { return rule_for(kind) != nullptr; }

// An unknown kind is kept at its place with no picture and no behaviour.
Enemy::Enemy(int &x, int &y, std::string &kind)
{
    const KindRule *rule = rule_for(kind);
    int dx = rule ? rule->dx : 0;
    int dy = rule ? rule->dy : 0;
    int hit_points = rule ? rule->hit_points : 0;
    bool is_player = false;
    set_values(x, y, dx, dy, hit_points, is_player, kind);
    facing = 0;
    sprite = rule ? sprite_entry(rule->picture) : nullptr;
    step_pause = rule ? rule->step_pause : 0;
    anim_timer = rule ? rule->anim_timer : 0;
    action_timer = rule ? rule->action_timer : 0;
    if (kind == "CACTUS")
        add_hand(*this);
}

void Enemy::update()
{
    // The level removes a dead enemy at once; stopping here keeps death_timer
    // bounded should anything go on updating it.
    if (dead)
        return;
    const KindRule *rule = rule_for(kind);
    if (!rule)
        return;
    if (!dying) {
        rule->alive_update(*this);
        return;
    }
    death_timer++;
    if (death_timer > rule->death_length) {
        dead = true;
        flashing = false;
    }
    if (rule->death_step)
        rule->death_step(*this);
}

void Enemy::display()
{
    const KindRule *rule = rule_for(kind);
    if (!dying) {
        Character::display();
        for (Enemy &part : parts)
            part.Character::display();
        if (rule && rule->alive_display)
            rule->alive_display(*this);
        return;
    }
    if (rule && rule->dying_display)
        rule->dying_display(*this);
}

bool Enemy::isDead() { return dead; }
