// The record every moving figure shares: its values, its moves and where it
// is drawn in the three panels.
#include <gtest/gtest.h>

#include "character.h"
#include "headless.h"
#include "tolbrint.h"
#include "zarn.h"

namespace {

class Figures : public ::testing::Test {
protected:
    void SetUp() override { headless::start(); }
};

Character figure(int x, int y, std::string kind)
{
    Character character;
    int dx = -1, dy = 0, hits = 10;
    bool player = false;
    character.set_values(x, y, dx, dy, hits, player, kind);
    return character;
}

TEST_F(Figures, SetValuesMovesTheStartButLeavesPictureAndFacing)
{
    Character zombie = figure(300, 120, "ZOMBIE");
    zombie.sprite = sprite_entry(22);
    zombie.facing = 1;
    zombie.translate(zombie.dx, zombie.dy); // by its own step, as the enemies move
    EXPECT_EQ(zombie.x, 299);
    EXPECT_EQ(zombie.start_x, 300) << "a move keeps the start";

    zombie = figure(40, 60, "ROBO");
    zombie.facing = 1;
    EXPECT_EQ(zombie.start_x, 40);
    EXPECT_EQ(zombie.start_y, 60);
    EXPECT_EQ(zombie.kind, "ROBO");
    Character again = zombie;
    int x = 7, y = 8, dx = 0, dy = 0, hits = 1;
    bool player = true;
    std::string kind = "CACTUS";
    again.sprite = sprite_entry(22);
    again.set_values(x, y, dx, dy, hits, player, kind);
    EXPECT_EQ(again.start_x, 7);
    EXPECT_EQ(again.start_y, 8);
    EXPECT_EQ(again.sprite, sprite_entry(22)) << "picture and facing are the caller's";
    EXPECT_EQ(again.facing, 1);
}

TEST_F(Figures, AFigureOnTheSeamIsDrawnHalfInEachPanel)
{
    global_x = 1000;
    scroll_x_1 = -180;
    scroll_x_2 = 140;
    scroll_x_3 = -500;
    Character zombie = figure(1138, 70, "ZOMBIE"); // screen x 138, across 140
    zombie.sprite = sprite_entry(22);
    zombie.display();
    int x = 0, y = 0;
    ASSERT_TRUE(headless::find_colour(buffer, headless::entry_colour(22), x, y));
    EXPECT_EQ(x, 318);
    EXPECT_EQ(y, 70);
    EXPECT_EQ(headless::count_colour(buffer, headless::entry_colour(22)), 8);
    ASSERT_TRUE(headless::find_colour(buffer2, headless::entry_colour(22), x, y));
    EXPECT_EQ(x, 0);
    EXPECT_EQ(headless::count_colour(buffer2, headless::entry_colour(22)), 8);
    EXPECT_EQ(headless::count_colour(buffer3, headless::entry_colour(22)), 0);

    Character unseen = figure(1100, 70, "ZOMBIE");
    unseen.display(); // no picture yet: nothing drawn, nothing read
    EXPECT_EQ(headless::count_colour(buffer, 0), 320 * 240 - 8);
}

TEST_F(Figures, CopiesShareThePictureAndOwnTheirKind)
{
    Character robot = figure(10, 20, "ROBO");
    robot.sprite = sprite_entry(79);
    Character copy = robot;
    copy.kind += "X";
    EXPECT_EQ(robot.kind, "ROBO");
    EXPECT_EQ(copy.sprite, robot.sprite);

    int x = 130, y = 100;
    Zarn hero(x, y);
    Zarn twin = hero;
    twin.kind.clear();
    EXPECT_EQ(hero.kind, "ZARN");
    EXPECT_EQ(twin.sprite, hero.sprite);
}

} // namespace
