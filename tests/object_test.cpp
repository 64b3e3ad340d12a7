// Scenery: where tiles land in the three panels, the ridged sand tile, the
// burning flame, the solid boxes and the trace file of solid objects.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <climits>
#include <cstdio>

#include "headless.h"
#include "object.h"
#include "tolbrint.h"

namespace {

using headless::count_colour;
using headless::entry_colour;

const int TILE_PIXELS = headless::SPRITE_SIZE * headless::SPRITE_SIZE;

class Scenery : public ::testing::Test {
protected:
    void SetUp() override { headless::start(); }
};

Object plain(int x1, int y1, int x2, int y2, std::string name)
{
    return Object(x1, y1, x2, y2, name);
}

Solid_Object solid(int x1, int y1, int x2, int y2, std::string name)
{
    return Solid_Object(x1, y1, x2, y2, name);
}

void expect_at(BITMAP *panel, int colour, int x, int y)
{
    int found_x = 0, found_y = 0;
    ASSERT_TRUE(headless::find_colour(panel, colour, found_x, found_y)) << "colour " << colour;
    EXPECT_EQ(found_x, x);
    EXPECT_EQ(found_y, y);
}

TEST_F(Scenery, TilesLandAtTheirShiftedWorldColumnInEachPanel)
{
    global_x = 100;
    scroll_x_1 = -6;
    scroll_x_2 = 314;
    scroll_x_3 = -326;
    // Two columns by two rows, on the screen at x -210 and -190: the left panel's.
    Object left = plain(-270, 40, -250, 60, "GRASS1");
    // One tile on the screen at x 325: the right panel's.
    Object right = plain(265, 100, 265, 100, "BONE");
    // On the screen at x 312, across the seam between the middle and right panels.
    Object seam = plain(252, 10, 252, 10, "DIRT");
    left.display();
    right.display();
    seam.display();

    EXPECT_EQ(count_colour(buffer3, entry_colour(34)), 4 * TILE_PIXELS);
    expect_at(buffer3, entry_colour(34), -210 + 326, 40);
    EXPECT_EQ(getpixel(buffer3, -190 + 326, 60), entry_colour(34));
    EXPECT_EQ(count_colour(buffer, entry_colour(34)) + count_colour(buffer2, entry_colour(34)), 0);

    EXPECT_EQ(count_colour(buffer2, entry_colour(5)), TILE_PIXELS);
    expect_at(buffer2, entry_colour(5), 325 - 314, 100);
    EXPECT_EQ(count_colour(buffer, entry_colour(5)), 0);

    // Half of the seam tile in each panel, so the screen shows it whole.
    EXPECT_EQ(count_colour(buffer, entry_colour(19)), TILE_PIXELS / 2);
    expect_at(buffer, entry_colour(19), 318, 10);
    EXPECT_EQ(count_colour(buffer2, entry_colour(19)), TILE_PIXELS / 2);
    expect_at(buffer2, entry_colour(19), 0, 10);
}

TEST_F(Scenery, TilesStepOnTheGridUpToTheInclusiveBound)
{
    plain(0, 0, 30, 0, "GRASS1").display(); // columns 0 and 20 only
    EXPECT_EQ(count_colour(buffer, entry_colour(34)), 2 * TILE_PIXELS);
    EXPECT_EQ(getpixel(buffer, 160, 0), entry_colour(34));
    EXPECT_EQ(getpixel(buffer, 180, 0), entry_colour(34));

    plain(0, 50, -1, 50, "BONE2").display(); // right bound left of the start
    plain(0, 50, 0, 49, "BONE2").display();  // bottom bound above the start
    EXPECT_EQ(count_colour(buffer, entry_colour(6)), 0);
}

TEST_F(Scenery, SolidSandIsTheRidgedTileDrawnTwice)
{
    Object loose = plain(0, 50, 0, 50, "SAND4");
    Solid_Object firm = solid(40, 50, 40, 50, "SAND4");
    EXPECT_EQ(loose.sprite, sprite_entry(91));
    EXPECT_EQ(firm.sprite, sprite_entry(92));
    loose.display();
    firm.display();
    EXPECT_EQ(count_colour(buffer, entry_colour(91)), TILE_PIXELS);
    expect_at(buffer, entry_colour(91), 160, 50);
    // Drawn at 50 and again at 48: six rows of the four-row test tile.
    EXPECT_EQ(count_colour(buffer, entry_colour(92)), 6 * headless::SPRITE_SIZE);
    expect_at(buffer, entry_colour(92), 200, 48);

    // Every other name maps alike on both paths and is drawn once.
    Solid_Object grass = solid(80, 50, 80, 50, "GRASS1");
    EXPECT_EQ(grass.sprite, plain(0, 0, 0, 0, "GRASS1").sprite);
    grass.display();
    EXPECT_EQ(count_colour(buffer, entry_colour(34)), TILE_PIXELS);

    // The double draw follows the picture, not the name.
    Object borrowed = plain(120, 80, 120, 80, "BONE");
    borrowed.sprite = sprite_entry(92);
    borrowed.display();
    EXPECT_EQ(getpixel(buffer, 280, 78), entry_colour(92));
}

TEST_F(Scenery, UnknownNamesHoldNoPictureAndDrawNothing)
{
    EXPECT_TRUE(is_scenery_sprite_name("SAND4"));
    EXPECT_TRUE(is_scenery_sprite_name("TILE3A"));
    EXPECT_FALSE(is_scenery_sprite_name("sand4"));
    EXPECT_FALSE(is_scenery_sprite_name("SAND"));
    EXPECT_FALSE(is_scenery_sprite_name(""));

    Object odd = plain(0, 0, 100, 100, "sand4");
    Solid_Object odd_solid = solid(0, 0, 100, 100, "ROCK");
    EXPECT_EQ(odd.sprite, nullptr);
    EXPECT_EQ(odd_solid.sprite, nullptr);
    odd.update();
    odd.display();
    odd_solid.display();
    EXPECT_EQ(count_colour(buffer, 0), 320 * 240);
}

TEST_F(Scenery, FlameAlternatesFivePassesOnEachPicture)
{
    Object flame = plain(0, 0, 0, 0, "FLAME");
    EXPECT_EQ(flame.sprite, sprite_entry(27));
    EXPECT_EQ(flame.anim_counter, 10);
    // The counter runs 9 down to 1 and back to 10; the flame shows its high
    // picture while the counter is above 5.
    const int counters[] = {9, 8, 7, 6, 5, 4, 3, 2, 1, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 10};
    const int pictures[] = {28, 28, 28, 28, 27, 27, 27, 27, 27, 28, 28, 28, 28, 28, 27, 27, 27, 27, 27, 28};
    for (int pass = 0; pass < 20; pass++) {
        flame.update();
        EXPECT_EQ(flame.sprite, sprite_entry(pictures[pass])) << "update " << pass + 1;
        EXPECT_EQ(flame.anim_counter, counters[pass]) << "update " << pass + 1;
    }

    Object bark = plain(0, 0, 0, 0, "BARK1");
    bark.update();
    EXPECT_EQ(bark.sprite, sprite_entry(0));
    EXPECT_EQ(bark.anim_counter, 10);
}

TEST_F(Scenery, HorizontalQueryUsesTheStrictBoxAfterTheStep)
{
    Solid_Object block = solid(100, 50, 100, 50, "DIRT"); // box 100 < x < 120, 50 < y < 70
    auto inside = [&](int x, int y, int dx) {
        int dy = 999; // never read
        return block.boundary_x_check(x, y, dx, dy);
    };
    EXPECT_FALSE(inside(95, 60, 5)) << "on the left edge";
    EXPECT_TRUE(inside(95, 60, 6));
    EXPECT_TRUE(inside(121, 60, -2));
    EXPECT_FALSE(inside(122, 60, -2)) << "on the right edge";
    EXPECT_FALSE(inside(110, 50, 0)) << "on the top edge";
    EXPECT_TRUE(inside(110, 51, 0));
    EXPECT_TRUE(inside(110, 69, 0));
    EXPECT_FALSE(inside(110, 70, 0)) << "on the bottom edge";
    EXPECT_FALSE(inside(110, 60, 20)) << "the step, not the start, is tested";

    // x2 = x1 + 30 still reaches x2 + 20.
    Solid_Object wide = solid(0, 0, 30, 0, "DIRT");
    int x = 49, y = 10, dx = 0, dy = 0;
    EXPECT_TRUE(wide.boundary_x_check(x, y, dx, dy));
    x = 50;
    EXPECT_FALSE(wide.boundary_x_check(x, y, dx, dy));
}

TEST_F(Scenery, OnlyADownwardHitRecordsTheLandingHeight)
{
    Solid_Object block = solid(100, 50, 100, 50, "DIRT");
    int x = 110, y = 40, dx = 7, dy = 0;
    global_difference = -777;

    dy = 11; // 51: inside from above
    EXPECT_TRUE(block.boundary_y_check(x, y, dx, dy));
    EXPECT_EQ(global_difference, 50);

    global_difference = -777;
    y = 60;
    dy = 0;
    EXPECT_TRUE(block.boundary_y_check(x, y, dx, dy)) << "a level query still hits";
    dy = -5;
    EXPECT_TRUE(block.boundary_y_check(x, y, dx, dy)) << "so does an upward one";
    EXPECT_EQ(global_difference, -777);

    dy = 10; // 70: on the bottom edge
    EXPECT_FALSE(block.boundary_y_check(x, y, dx, dy));
    x = 100;
    dy = 1;
    EXPECT_FALSE(block.boundary_y_check(x, y, dx, dy)) << "on the left edge";
    EXPECT_EQ(global_difference, -777);

    // Every downward hit overwrites the height; a miss leaves it.
    Solid_Object lower = solid(90, 60, 110, 60, "DIRT");
    x = 105;
    y = 55;
    dy = 8;
    EXPECT_TRUE(block.boundary_y_check(x, y, dx, dy));
    EXPECT_TRUE(lower.boundary_y_check(x, y, dx, dy));
    EXPECT_EQ(global_difference, 60);
    x = 300;
    EXPECT_FALSE(block.boundary_y_check(x, y, dx, dy));
    EXPECT_EQ(global_difference, 60);
}

TEST_F(Scenery, BoxesAtTheEndOfTheIntRangeStaySound)
{
    Solid_Object edge = solid(INT_MAX - 40, INT_MAX - 40, INT_MAX, INT_MAX, "DIRT");
    int x = INT_MAX - 10, y = INT_MAX - 10, dx = 5, dy = 5;
    EXPECT_TRUE(edge.boundary_x_check(x, y, dx, dy)) << "x2 + 20 lies past INT_MAX";
    EXPECT_TRUE(edge.boundary_y_check(x, y, dx, dy));
    dx = dy = INT_MAX;
    EXPECT_FALSE(edge.boundary_x_check(x, y, dx, dy));
    EXPECT_FALSE(edge.boundary_y_check(x, y, dx, dy));

    // The tiling loops end even though the next grid step leaves the range.
    edge.display();
    solid(INT_MIN, INT_MIN, INT_MIN + 10, INT_MIN + 10, "DIRT").display();
    EXPECT_EQ(count_colour(buffer, entry_colour(19)), 0);
}

TEST_F(Scenery, OnlySolidObjectsRewriteTheTraceFile)
{
    const std::string dir = headless::temp_dir();
    headless::InDirectory inside(dir);
    const std::string trace = dir + "/default_object.txt";
    struct stat info;

    Object decoration = plain(0, 0, 0, 0, "BONE");
    EXPECT_NE(stat(trace.c_str(), &info), 0) << "plain objects write nothing";

    headless::write_file(trace, "old\nlines\n");
    Solid_Object first = solid(0, 0, 0, 0, "DIRT");
    Solid_Object second = solid(0, 0, 0, 0, "DIRT");
    EXPECT_EQ(headless::read_file(trace), "Calling default object()\n");

    // Copies, as the level's lists make them, are not constructions.
    std::remove(trace.c_str());
    Solid_Object copy = first;
    copy = second;
    EXPECT_NE(stat(trace.c_str(), &info), 0);

    // A file that cannot be opened is skipped and the object is still built.
    mkdir(trace.c_str(), 0700);
    Solid_Object blocked = solid(20, 40, 60, 80, "GRASS1");
    EXPECT_EQ(blocked.x2, 60);
    EXPECT_EQ(blocked.sprite, sprite_entry(34));
}

} // namespace
