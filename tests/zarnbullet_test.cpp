// The hero's bullets: their flight, range window, hit test and drawing.
#include <gtest/gtest.h>

#include "headless.h"
#include "tolbrint.h"

namespace {

class Bullets : public ::testing::Test {
protected:
    void SetUp() override { headless::start(); }
};

ZarnBullet make_bullet(int x, int y, int dx, int dy)
{
    std::string kind = "MACHINE_GUN";
    return ZarnBullet(x, y, dx, dy, kind);
}

// Drives one bullet as the main loop does (update, then active, erase when
// spent) and counts the passes after which it is still there to be drawn.
int drawn_frames(int dx, int dy)
{
    zarnbullets.push_back(make_bullet(400, 100, dx, dy));
    int frames = 0;
    while (!zarnbullets.empty() && frames < 1000) {
        zarnbullets[0].update();
        if (!zarnbullets[0].active())
            zarnbullets.erase(zarnbullets.begin());
        else
            frames++;
    }
    return frames;
}

TEST_F(Bullets, LevelShotsLiveSixtyFiveFramesAndDiagonalOnesFortyFive)
{
    EXPECT_EQ(drawn_frames(2, 0), 65);
    EXPECT_EQ(drawn_frames(-2, 0), 65);
    EXPECT_EQ(drawn_frames(2, -2), 45);
    EXPECT_EQ(drawn_frames(-2, -2), 45);
}

TEST_F(Bullets, RangeWindowIncludesItsEdges)
{
    const int cases[][3] = {// moved across, moved up or down, still active
                            {130, 0, 1}, {-130, 0, 1}, {131, 0, 0}, {-131, 0, 0},
                            {0, 90, 1},  {0, -90, 1},  {0, 91, 0},  {0, -91, 0}};
    for (const auto &c : cases) {
        ZarnBullet bullet = make_bullet(400, 100, 0, 0);
        bullet.x += c[0];
        bullet.y += c[1];
        EXPECT_EQ(bullet.active(), c[2] == 1) << c[0] << "," << c[1];
        EXPECT_EQ(bullet.out_of_range, c[2] == 0);
    }
}

TEST_F(Bullets, HitTestIsStrictAndSpendsTheBullet)
{
    const int on_edges[][2] = {{10, 25}, {30, 25}, {20, 20}, {20, 60}};
    for (const auto &p : on_edges) {
        ZarnBullet bullet = make_bullet(p[0], p[1], 0, 0);
        EXPECT_FALSE(bullet.boundary_check(10, 20, 30, 60)) << p[0] << "," << p[1];
        EXPECT_TRUE(bullet.active());
    }
    ZarnBullet bullet = make_bullet(11, 59, 0, 0);
    EXPECT_TRUE(bullet.boundary_check(10, 20, 30, 60));
    EXPECT_TRUE(bullet.hit);
    EXPECT_FALSE(bullet.active());
    EXPECT_TRUE(bullet.boundary_check(10, 20, 30, 60)) << "a spent bullet still answers";
}

TEST_F(Bullets, DrawnAsAYellowDotOfRadiusThreeInEveryPanel)
{
    global_x = 100;
    scroll_x_1 = -10;
    scroll_x_2 = 310;
    scroll_x_3 = -330;
    // World x 250 is screen column 150: panel column 160 of buffer and, as
    // column -160, outside buffer2.
    ZarnBullet bullet = make_bullet(250, 50, 0, 0);
    bullet.display();
    EXPECT_EQ(getpixel(buffer, 160, 50), 6);
    EXPECT_EQ(getpixel(buffer, 163, 50), 6);
    EXPECT_EQ(getpixel(buffer, 164, 50), 0);
    EXPECT_EQ(getpixel(buffer, 160, 47), 6);
    EXPECT_EQ(getpixel(buffer, 160, 46), 0);
    EXPECT_EQ(headless::count_colour(buffer2, 6), 0);
    // A bullet near the right edge of the screen shows in buffer2 too.
    ZarnBullet seam = make_bullet(100 + 309, 50, 0, 0);
    seam.display();
    EXPECT_EQ(getpixel(buffer2, -1 + 3, 50), 6) << "the part past the seam";
    EXPECT_EQ(getpixel(buffer, 319, 50), 6);
}

} // namespace
