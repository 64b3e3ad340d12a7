// The explosion: which picture each age shows, and where.
#include <gtest/gtest.h>

#include "effect.h"
#include "headless.h"
#include "tolbrint.h"

namespace {

class Explosion : public ::testing::Test {
protected:
    void SetUp() override { headless::start(); }
};

// The datafile entry whose picture alone the panel holds, 0 when it is
// empty, -1 when it holds anything else.
int picture_in(BITMAP *panel)
{
    const int pixels = panel->w * panel->h;
    const int blank = headless::count_colour(panel, 0);
    for (int entry = 0; entry < 123; entry++)
        if (blank + headless::count_colour(panel, headless::entry_colour(entry)) == pixels)
            return blank == pixels ? 0 : entry;
    return -1;
}

TEST_F(Explosion, PictureFollowsTheAgeInStepsOfTwenty)
{
    const int cases[][2] = {{-25, 22}, {0, 22}, {19, 22}, {20, 23}, {39, 23}, {40, 24},
                            {60, 25}, {80, 26}, {99, 26}, {100, 0}, {5000, 0}};
    for (const auto &c : cases) {
        headless::reset_game_state();
        explosion_effect(c[0], 150, 60);
        EXPECT_EQ(picture_in(buffer), c[1]) << "age " << c[0];
    }
}

TEST_F(Explosion, DrawnTwentyFiveRightAndTenBelowThePointInEachPanel)
{
    global_x = 30;
    scroll_x_1 = 6;
    scroll_x_2 = 326;
    scroll_x_3 = -314;
    const int colour = headless::entry_colour(24);
    int x, y;
    explosion_effect(45, 150, 60); // screen column 120
    ASSERT_TRUE(headless::find_colour(buffer, colour, x, y));
    EXPECT_EQ(x, 120 - 6 + 25);
    EXPECT_EQ(y, 70);
    EXPECT_EQ(headless::count_colour(buffer3, colour), 0);
    explosion_effect(45, 0, 60); // screen column -30, shown by buffer3
    ASSERT_TRUE(headless::find_colour(buffer3, colour, x, y));
    EXPECT_EQ(x, -30 + 314 + 25);
    EXPECT_EQ(headless::count_colour(buffer2, colour), 0);
}

} // namespace
