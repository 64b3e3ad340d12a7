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

// A figure set up anew stands at its new start and walks by its new step;
// its picture and facing are the caller's to set.
TEST_F(Figures, SetValuesPutsAFigureAtANewStartWithANewStep)
{
    Character zombie = figure(300, 120, "ZOMBIE"); // a step of (-1, 0)
    zombie.sprite = sprite_entry(22);
    zombie.facing = 1;
    for (int move = 0; move < 3; move++)
        zombie.translate(zombie.dx, zombie.dy);
    EXPECT_EQ(zombie.x, 297);
    EXPECT_EQ(zombie.y, 120);
    EXPECT_EQ(zombie.start_x, 300) << "moves keep the start";

    int x = 7, y = 8, dx = 3, dy = -2, hits = 1;
    bool player = true;
    std::string kind = "CACTUS";
    zombie.set_values(x, y, dx, dy, hits, player, kind);
    zombie.translate(zombie.dx, zombie.dy);
    zombie.translate(zombie.dx, zombie.dy);
    EXPECT_EQ(zombie.x, 13);
    EXPECT_EQ(zombie.y, 4);
    EXPECT_EQ(zombie.start_x, 7);
    EXPECT_EQ(zombie.start_y, 8);
    EXPECT_EQ(zombie.kind, "CACTUS");
    EXPECT_EQ(zombie.sprite, sprite_entry(22));
    EXPECT_EQ(zombie.facing, 1);
    EXPECT_EQ(x, 7) << "the arguments are left as they were";
    EXPECT_EQ(kind, "CACTUS");

    // Drawn where it now stands: 13 - global_x across, row 4.
    zombie.display();
    int drawn_x = 0, drawn_y = 0;
    ASSERT_TRUE(headless::find_colour(buffer, headless::entry_colour(22), drawn_x, drawn_y));
    EXPECT_EQ(drawn_x, 13);
    EXPECT_EQ(drawn_y, 4);
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

} // namespace
