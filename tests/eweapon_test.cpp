// The robots' lasers: their crawl, range and drawing.
#include <gtest/gtest.h>

#include "headless.h"
#include "tolbrint.h"

namespace {

class Lasers : public ::testing::Test {
protected:
    void SetUp() override { headless::start(); }
};

EWeapon make_weapon(int x, int y, int dx, int dy, std::string kind)
{
    return EWeapon(x, y, dx, dy, kind);
}

TEST_F(Lasers, MoveEveryThirdUpdateAndLiveOneHundredTwentyFrames)
{
    for (int dx : {-4, 4}) {
        eweapons.assign(1, make_weapon(500, 80, dx, 0, "laser"));
        int frames = 0;
        while (!eweapons.empty() && frames < 1000) {
            const int before = eweapons[0].x;
            eweapons[0].update();
            const bool moved = eweapons[0].x != before;
            EXPECT_EQ(moved, frames % 3 == 0) << "update " << frames + 1;
            if (!eweapons[0].active())
                eweapons.clear();
            else
                frames++;
        }
        EXPECT_EQ(frames, 120) << "40 moves reach 160 pixels, the 41st leaves the range";
    }
}

TEST_F(Lasers, OtherKindsNeitherMoveNorShowNorExpire)
{
    EWeapon rock = make_weapon(100, 80, -4, 2, "rock");
    for (int i = 0; i < 500; i++)
        rock.update();
    EXPECT_EQ(rock.x, 100);
    EXPECT_EQ(rock.y, 80);
    EXPECT_TRUE(rock.active());
    rock.display();
    EXPECT_EQ(headless::count_colour(buffer, 3), 0);
}

TEST_F(Lasers, DrawnAsTwentySixRedPixelsToTheRightOfX)
{
    global_x = 40;
    scroll_x_1 = 20;
    scroll_x_2 = 340;
    scroll_x_3 = -300;
    make_weapon(100, 77, -4, 0, "laser").display();
    // World 100 is screen column 60, column 40 of buffer.
    EXPECT_EQ(headless::count_colour(buffer, 3), 26);
    for (int column = 40; column <= 65; column++)
        EXPECT_EQ(getpixel(buffer, column, 77), 3) << column;
    EXPECT_EQ(headless::count_colour(buffer2, 3), 0);
    EXPECT_EQ(headless::count_colour(buffer3, 3), 0);
}

} // namespace
