// Enemies: construction per kind, zombie walking and steering, robot lasers
// and flashes, hit scans, death sequences and the cactus's hand.
#include <gtest/gtest.h>

#include <algorithm>

#include "enemy.h"
#include "headless.h"
#include "tolbrint.h"

namespace {

class Enemies : public ::testing::Test {
protected:
    void SetUp() override
    {
        headless::start();
        set_palette_entry(7, 42, 42, 42);
    }
};

Enemy make_enemy(int x, int y, std::string kind) { return Enemy(x, y, kind); }

void fire_at(int x, int y)
{
    int dx = 0, dy = 0;
    std::string kind = "MACHINE_GUN";
    zarnbullets.push_back(ZarnBullet(x, y, dx, dy, kind));
}

bool colour_7_is(int r, int g, int b)
{
    RGB c;
    get_color(7, &c);
    return c.r == r && c.g == g && c.b == b;
}

// Kills the enemy with one bullet in the update it is on its last hit point.
void kill(Enemy &enemy)
{
    enemy.hit_points = 1;
    fire_at(enemy.x + 5, enemy.y + 5);
    enemy.update();
    zarnbullets.clear();
    ASSERT_TRUE(enemy.dying);
}

// How many updates after the killing one the enemy reports dead.
int updates_until_dead(Enemy &enemy)
{
    int updates = 0;
    while (!enemy.isDead() && updates < 10000) {
        enemy.update();
        updates++;
    }
    return updates;
}

TEST_F(Enemies, AnUnknownKindIsInertButDefined)
{
    EXPECT_TRUE(is_enemy_kind("ROBO"));
    EXPECT_FALSE(is_enemy_kind("robo"));
    Enemy ghost = make_enemy(50, 60, "GHOST");
    EXPECT_EQ(ghost.sprite, nullptr);
    EXPECT_EQ(ghost.dx, 0);
    EXPECT_EQ(ghost.dy, 0);
    EXPECT_EQ(ghost.hit_points, 0);
    EXPECT_EQ(ghost.facing, 0);
    EXPECT_EQ(ghost.action_timer, 0);
    EXPECT_EQ(ghost.step_pause, 0);
    EXPECT_EQ(ghost.anim_timer, 0);
    fire_at(55, 65);
    for (int i = 0; i < 300; i++)
        ghost.update();
    ghost.display();
    EXPECT_FALSE(ghost.isDead());
    EXPECT_EQ(ghost.x, 50);
    EXPECT_FALSE(zarnbullets[0].hit);
    EXPECT_TRUE(eweapons.empty());
    EXPECT_EQ(headless::count_colour(buffer, 0), 320 * 240) << "nothing drawn";
}

// The level's update of a cactus in its list is tested with the level.
TEST_F(Enemies, ACactusHoldsAHandBelowItsRightSide)
{
    Enemy cactus = make_enemy(300, 90, "CACTUS");
    ASSERT_EQ(cactus.parts.size(), 1u);
    EXPECT_EQ(cactus.parts[0].kind, "RHAND");
    EXPECT_EQ(cactus.parts[0].x, 305);
    EXPECT_EQ(cactus.parts[0].y, 120);
    EXPECT_EQ(cactus.parts[0].action_timer, 14);
}

TEST_F(Enemies, ZombieTurnsOnlyBeyondItsThresholds)
{
    // The hero reference point is global_x + shift_x + 160.
    const int cases[][3] = {// offset of the point from x, facing before, after
                            {-50, 1, 1}, {-51, 1, 0}, {80, 0, 0}, {81, 0, 1}};
    for (const auto &c : cases) {
        Enemy zombie = make_enemy(1000, 90, "ZOMBIE");
        zombie.facing = c[1];
        global_x = 1000 + c[0] - 160 - 7;
        shift_x = 7;
        zombie.update();
        EXPECT_EQ(zombie.facing, c[2]) << "point at x " << c[0];
        EXPECT_EQ(zombie.x, 1000 + (c[2] ? 1 : -1));
    }
}

TEST_F(Enemies, ZombieStepsEveryFourthUpdateAndWalksInTwoFrames)
{
    shift_x = -1000; // the hero is far to the left: it keeps facing left
    Enemy zombie = make_enemy(300, 90, "ZOMBIE");
    // Walking left: 26 updates on frame A (119), 25 on frame B (120), again.
    std::vector<int> expected_frames;
    for (const auto &run : {std::make_pair(26, 119), std::make_pair(25, 120), std::make_pair(26, 119),
                            std::make_pair(25, 120)})
        expected_frames.insert(expected_frames.end(), run.first, run.second);
    std::vector<int> steps;
    for (int update = 1; update <= 102; update++) {
        const int before = zombie.x;
        zombie.update();
        if (zombie.x != before)
            steps.push_back(update);
        EXPECT_EQ(zombie.sprite, sprite_entry(expected_frames[update - 1])) << "update " << update;
        if (update == 8) {
            EXPECT_EQ(zombie.x, 298);
        }
    }
    EXPECT_EQ(steps.size(), 26u);
    EXPECT_EQ(steps[1], 5);
    shift_x = 1000;
    zombie.update();
    EXPECT_EQ(zombie.sprite, sprite_entry(121)) << "update 103 turns right, frame A again";
}

TEST_F(Enemies, ManyBulletsInOneUpdateCostOnePointAndTenHitsKill)
{
    shift_x = -1000;
    Enemy zombie = make_enemy(300, 90, "ZOMBIE");
    fire_at(301, 91);
    fire_at(310, 120);
    fire_at(319, 149);
    fire_at(320, 120); // on the right edge
    fire_at(310, 150); // on the bottom edge
    zombie.update();
    EXPECT_EQ(zombie.hit_points, 9);
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(zarnbullets[i].hit, i < 3) << "bullet " << i;
    for (int hits = 2; hits <= 10; hits++) {
        EXPECT_FALSE(zombie.dying) << "after " << hits - 1 << " hits";
        fire_at(zombie.x + 10, 120);
        zombie.update();
    }
    EXPECT_TRUE(zombie.dying);
}

TEST_F(Enemies, KilledZombieExplodesAndIsDeadInTheHundredAndFirstUpdate)
{
    shift_x = -1000;
    Enemy zombie = make_enemy(300, 90, "ZOMBIE");
    kill(zombie);
    const int x = zombie.x;
    EXPECT_EQ(zombie.x, 299) << "the killing update still steps";
    zombie.display();
    EXPECT_EQ(headless::count_colour(buffer, headless::entry_colour(119)), 0);
    int px, py;
    ASSERT_TRUE(headless::find_colour(buffer, headless::entry_colour(22), px, py));
    EXPECT_EQ(px, x - 10 + 25);
    fire_at(x + 5, 100);
    EXPECT_EQ(updates_until_dead(zombie), 101);
    EXPECT_EQ(zombie.x, x) << "a dying zombie stands";
    EXPECT_FALSE(zarnbullets[0].hit) << "and ignores bullets";
    for (int i = 0; i < 50; i++)
        zombie.update();
    EXPECT_EQ(zombie.death_timer, 101) << "a dead enemy stops counting";
}

TEST_F(Enemies, RobotFiresOnItsSecondUpdateAndEvery250th)
{
    Enemy robot = make_enemy(400, 70, "ROBO");
    robot.update();
    EXPECT_TRUE(eweapons.empty());
    robot.update();
    ASSERT_EQ(eweapons.size(), 1u);
    const EWeapon &laser = eweapons[0];
    EXPECT_EQ(laser.x, 385);
    EXPECT_EQ(laser.y, 90);
    EXPECT_EQ(laser.dx, -4);
    EXPECT_EQ(laser.dy, 0);
    EXPECT_EQ(laser.kind, "laser");
    for (int i = 0; i < 249; i++)
        robot.update();
    EXPECT_EQ(eweapons.size(), 1u);
    robot.update();
    EXPECT_EQ(eweapons.size(), 2u);
}

TEST_F(Enemies, RobotFlashesOnceOnEntrySevenEvenWhenHitAgain)
{
    Enemy robot = make_enemy(400, 70, "ROBO");
    const char *expected[] = {"blue", "white", "blue", "white", "grey", "grey"};
    for (int update = 0; update < 6; update++) {
        zarnbullets.clear();
        if (update == 0 || update == 2)
            fire_at(410, 100);
        robot.update();
        const std::string seen = colour_7_is(0, 0, 20)      ? "blue"
                                 : colour_7_is(62, 62, 62) ? "white"
                                 : colour_7_is(42, 42, 42) ? "grey"
                                                           : "other";
        EXPECT_EQ(seen, expected[update]) << "update " << update;
    }
    EXPECT_EQ(robot.hit_points, 8);
}

std::string colour_7_name()
{
    return colour_7_is(0, 0, 20)      ? "blue"
           : colour_7_is(62, 62, 62) ? "white"
           : colour_7_is(42, 42, 42) ? "grey"
                                     : "other";
}

// One pass over the robots in the given order: every update, then every
// drawing, as the level does it. Returns entry 7 as the pass leaves it.
std::string robot_pass(std::vector<Enemy> &robots, const std::vector<int> &order)
{
    for (int i : order)
        robots[i].update();
    for (int i : order)
        robots[i].display();
    return colour_7_name();
}

// The robots that are hit, and in which pass of six; the rest stand idle.
struct FlashScene {
    int robots;
    std::vector<std::pair<int, int>> hits; // robot, pass
    std::vector<std::string> expected;     // entry 7 after each pass
};

TEST_F(Enemies, EveryRobotsFlashShowsWhateverOrderTheRobotsAreUpdatedIn)
{
    const FlashScene scenes[] = {
        {2, {{0, 0}}, {"blue", "white", "blue", "white", "grey", "grey"}},
        {2, {{1, 0}}, {"blue", "white", "blue", "white", "grey", "grey"}},
        {3, {{1, 0}}, {"blue", "white", "blue", "white", "grey", "grey"}},
        // Two flashes overlap: the second shows for all of its four passes,
        // also in the pass in which the first one ends.
        {3, {{0, 0}, {2, 2}}, {"blue", "white", "*", "*", "*", "white"}},
    };
    for (const FlashScene &scene : scenes) {
        std::vector<int> order(scene.robots);
        for (int i = 0; i < scene.robots; i++)
            order[i] = i;
        do {
            std::vector<Enemy> robots;
            for (int i = 0; i < scene.robots; i++)
                robots.push_back(make_enemy(100 + 100 * i, 70, "ROBO"));
            set_palette_entry(7, 42, 42, 42);
            std::string order_text;
            for (int i : order)
                order_text += std::to_string(i);
            for (int pass = 0; pass < 6; pass++) {
                zarnbullets.clear();
                for (const auto &hit : scene.hits)
                    if (hit.second == pass)
                        fire_at(robots[hit.first].x + 5, robots[hit.first].y + 5);
                const std::string seen = robot_pass(robots, order);
                const std::string &want = scene.expected[pass];
                const bool flash = seen == "blue" || seen == "white";
                EXPECT_TRUE(want == "*" ? flash : seen == want)
                    << "update order " << order_text << ", pass " << pass << ": " << seen << " instead of " << want;
            }
        } while (std::next_permutation(order.begin(), order.end()));
    }
}

TEST_F(Enemies, KilledRobotFlashesExplodesThriceAndIsDeadInThe501stUpdate)
{
    Enemy robot = make_enemy(100, 70, "ROBO");
    kill(robot);
    EXPECT_TRUE(colour_7_is(42, 42, 42));
    const size_t lasers = eweapons.size();
    const int checks[][2] = {{199, 85}, {200, 22}, {299, 26}, {300, 22}, {450, 24}, {500, 0}};
    int done = 0;
    for (const auto &c : checks) {
        while (robot.death_timer < c[0]) {
            robot.update();
            done++;
        }
        headless::reset_game_state();
        robot.display();
        int shown = 0;
        for (int entry : {85, 22, 23, 24, 25, 26})
            if (headless::count_colour(buffer, headless::entry_colour(entry)) > 0)
                shown = entry;
        EXPECT_EQ(shown, c[1]) << "death_timer " << c[0];
    }
    EXPECT_TRUE(colour_7_is(42, 42, 42)) << "grey again once the death flash is over";
    EXPECT_EQ(done + updates_until_dead(robot), 501);
    EXPECT_TRUE(colour_7_is(42, 42, 42));
    EXPECT_EQ(eweapons.size(), lasers) << "a dying robot does not fire";
}

TEST_F(Enemies, CactusAnimatesItsHandAndShrugsOffBullets)
{
    Enemy cactus = make_enemy(300, 90, "CACTUS");
    fire_at(305, 100);
    std::vector<int> pictures;
    for (int i = 0; i < 15 + 46 + 1; i++) {
        cactus.update();
        for (int entry : {79, 80, 81})
            if (cactus.parts[0].sprite == sprite_entry(entry))
                pictures.push_back(entry);
    }
    std::vector<int> expected(15, 81);
    expected.insert(expected.end(), 15, 79);
    expected.insert(expected.end(), 15, 80);
    expected.insert(expected.end(), 16, 81);
    expected.push_back(79);
    EXPECT_EQ(pictures, expected);
    EXPECT_FALSE(zarnbullets[0].hit);
    EXPECT_EQ(cactus.hit_points, 10);
    cactus.display();
    EXPECT_GT(headless::count_colour(buffer, headless::entry_colour(16)), 0);
    EXPECT_GT(headless::count_colour(buffer, headless::entry_colour(79)), 0);
}

} // namespace
