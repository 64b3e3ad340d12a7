// Counters and positions near the ends of the int range: nothing that moves
// once a pass may overflow, however long the game runs or wherever a level
// puts its things. The sanitizer build turns any overflow here into a failure.
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>

#include "effect.h"
#include "enemy.h"
#include "eweapon.h"
#include "headless.h"
#include "level.h"
#include "tolbrint.h"
#include "zarn.h"
#include "zarnbullet.h"

namespace {

class Limits : public ::testing::Test {
protected:
    void SetUp() override
    {
        headless::start();
        scratch = std::make_unique<headless::InDirectory>(headless::temp_dir());
    }
    std::unique_ptr<headless::InDirectory> scratch;
};

Enemy enemy_at(int x, int y, std::string kind) { return Enemy(x, y, kind); }

ZarnBullet bullet_at(int x, int y, int dx, int dy)
{
    std::string kind = "MACHINE_GUN";
    return ZarnBullet(x, y, dx, dy, kind);
}

int painted_pixels()
{
    int count = 0;
    for (const Panel &panel : panels())
        count += panel.bitmap->w * panel.bitmap->h - headless::count_colour(panel.bitmap, 0);
    return count;
}

// A level whose scroll limits and ground span the whole int range.
std::string boundless_level(const std::string &enemies)
{
    return "0 0 DUNE1 yes no no no no no -2147483648 2147483647 0 200 far out no\nBREAK\nw w\nBREAK\n"
           "-2147483648 180 2147483647 180 SAND4\nBREAK\nBREAK\nBREAK\n" +
           enemies + "BREAK\nBREAK\n";
}

TEST_F(Limits, ZombiesAtTheEndsOfTheRangeTurnBackFromThem)
{
    Enemy low = enemy_at(INT_MIN, 120, "ZOMBIE");
    low.update();
    EXPECT_EQ(low.facing, 1);
    EXPECT_EQ(low.x, INT_MIN + 1);
    Enemy high = enemy_at(INT_MAX, 120, "ZOMBIE");
    high.update();
    EXPECT_EQ(high.facing, 0);
    EXPECT_EQ(high.x, INT_MAX - 1);
}

TEST_F(Limits, EnemiesAtTheRightEndStillTakeHits)
{
    Enemy zombie = enemy_at(INT_MAX - 10, INT_MAX - 30, "ZOMBIE");
    zarnbullets.push_back(bullet_at(INT_MAX - 5, INT_MAX - 5, 0, 0));
    zombie.update();
    EXPECT_EQ(zombie.hit_points, 9);
}

TEST_F(Limits, ShotsEndWhereTheirNextMoveWouldLeaveTheRange)
{
    ZarnBullet right = bullet_at(INT_MAX - 1, 100, 2, 0);
    EXPECT_FALSE(right.active()) << "the next move would pass INT_MAX";
    right.update();
    EXPECT_EQ(right.x, INT_MAX);
    ZarnBullet up = bullet_at(0, INT_MIN + 3, 2, -2);
    up.update();
    EXPECT_EQ(up.y, INT_MIN + 1);
    EXPECT_FALSE(up.active());
    ZarnBullet ordinary = bullet_at(0, 100, 2, 0);
    ordinary.update();
    EXPECT_TRUE(ordinary.active());

    // A robot at the left end fires a laser that ends at once.
    Enemy robot = enemy_at(INT_MIN + 5, 100, "ROBO");
    robot.update();
    robot.update();
    ASSERT_EQ(eweapons.size(), 1u);
    EXPECT_EQ(eweapons[0].x, INT_MIN);
    eweapons[0].update();
    EXPECT_FALSE(eweapons[0].active());
}

TEST_F(Limits, ThingsFarOffEveryPanelDrawNothing)
{
    Enemy far_left = enemy_at(INT_MIN, INT_MIN, "ROBO");
    Enemy far_right = enemy_at(INT_MAX, INT_MAX, "ZOMBIE");
    global_x = 1000;
    far_left.display();
    far_right.display();
    explosion_effect(0, INT_MIN, INT_MIN);
    explosion_effect(0, INT_MAX, INT_MAX);
    bullet_at(INT_MIN, INT_MAX, 0, 0).display();
    bullet_at(100, INT_MAX, 0, 0).display();
    int x = INT_MIN, y = 100, dx = -4, dy = 0;
    std::string laser = "laser";
    EWeapon(x, y, dx, dy, laser).display();
    EXPECT_EQ(painted_pixels(), 0);
}

TEST_F(Limits, AHeroFallingForEverStopsShortOfTheEnd)
{
    Level level(LevelText{boundless_level(""), "level1.dat"});
    level.solid_objects.clear();
    int x = 130, y = 100;
    Zarn zarn(x, y);
    zarnjump = true;
    shift_ys = 4;
    shift_y = INT_MAX - WORLD_EDGE_MARGIN - 6;
    for (int pass = 0; pass < 100; pass++)
        game_pass(level, zarn);
    EXPECT_EQ(shift_y, INT_MAX - WORLD_EDGE_MARGIN);
    EXPECT_TRUE(zarnjump);
    for (const Panel &panel : panels())
        EXPECT_EQ(headless::count_colour(panel.bitmap, headless::entry_colour(48)), 0) << "he is out of sight";
}

TEST_F(Limits, StepsStopAMarginShortOfTheEndsOfTheRange)
{
    Level level(LevelText{boundless_level(""), "level1.dat"});
    int x = 130, y = 100;
    Zarn zarn(x, y);
    global_x = INT_MAX - WORLD_EDGE_MARGIN - 2;
    right_translate(level, zarn);
    EXPECT_EQ(global_x, INT_MAX - WORLD_EDGE_MARGIN);
    right_translate(level, zarn);
    EXPECT_EQ(global_x, INT_MAX - WORLD_EDGE_MARGIN) << "refused like a step into a wall";
    EXPECT_EQ(global_xs, 2);
    left_translate(level, zarn);
    EXPECT_EQ(global_x, INT_MAX - WORLD_EDGE_MARGIN - 2);

    // Past a scroll limit the hero walks across the screen; the same margin holds.
    level.right_limit = 0;
    global_x = 0;
    shift_x = INT_MAX - WORLD_EDGE_MARGIN - 1;
    right_translate(level, zarn);
    EXPECT_EQ(shift_x, INT_MAX - WORLD_EDGE_MARGIN - 1);
    left_translate(level, zarn);
    EXPECT_EQ(shift_x, INT_MAX - WORLD_EDGE_MARGIN - 3);
}

// Every kind of enemy in every corner of the range, the hero firing,
// walking and jumping: a thousand passes without an overflow.
TEST_F(Limits, PassesWithEverythingAtTheEndsOfTheRange)
{
    std::string enemies;
    for (const char *where : {"-2147483648 120", "2147483647 120", "2147483630 2147483640", "-2147483640 -2147483648"})
        for (const char *kind : {"ZOMBIE", "ROBO", "CACTUS", "RHAND"})
            enemies += std::string(where) + " " + kind + "\n";
    Level level(LevelText{boundless_level(enemies), "level1.dat"});
    int x = 130, y = 100;
    Zarn zarn(x, y);
    global_x = INT_MAX - WORLD_EDGE_MARGIN - 400;
    for (int pass = 0; pass < 1000; pass++) {
        if (pass % 7 == 0)
            zarn.firegun();
        if (pass % 100 == 0)
            dispatch_key(level, zarn, KEY_X);
        dispatch_key(level, zarn, KEY_RIGHT);
        game_pass(level, zarn);
    }
    EXPECT_EQ(global_x, INT_MAX - WORLD_EDGE_MARGIN);
}

} // namespace
