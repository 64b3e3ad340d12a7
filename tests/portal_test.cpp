// Portals: the span the hero must stand in, and the tent's message screen.
#include <gtest/gtest.h>

#include <climits>

#include "headless.h"
#include "portal.h"
#include "tolbrint.h"

namespace {

class PortalTest : public ::testing::Test {
protected:
    void SetUp() override { headless::start(); }
};

Portal portal_at(int x)
{
    int y = 0;
    std::string procedure = "tent";
    return Portal(x, y, procedure, {});
}

bool hero_inside(Portal &portal, int view, int shift)
{
    global_x = view;
    shift_x = shift;
    return portal.boundary_check();
}

TEST_F(PortalTest, SpanHoldsBothEndsAndNothingBeyond)
{
    Portal portal = portal_at(100);
    EXPECT_TRUE(hero_inside(portal, 60, 40));
    EXPECT_TRUE(hero_inside(portal, 100, 20));
    EXPECT_FALSE(hero_inside(portal, 99, 0));
    EXPECT_FALSE(hero_inside(portal, 100, 21));

    Portal far_right = portal_at(INT_MAX - 5);
    EXPECT_TRUE(hero_inside(far_right, INT_MAX, 0)) << "the span's end must not wrap";
}

// Left-most and right-most columns of what was drawn in rows top..top+7
// over the backdrop.
std::pair<int, int> drawn_columns(BITMAP *page, int top, int backdrop)
{
    int left = page->w, right = -1;
    for (int y = top; y < top + 8; y++)
        for (int x = 0; x < page->w; x++)
            if (getpixel(page, x, y) != backdrop) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    return {left, right};
}

TEST_F(PortalTest, TentShowsTheWordsFromTheThirdOnCentredOnColumn50)
{
    BITMAP *page = create_bitmap_ex(8, 320, 240);
    clear_to_color(page, 7);
    const std::vector<std::string> args = {"false", "0", "ab", "cdef"};
    draw_tent(page, args);

    const int backdrop = headless::entry_colour(38);
    // "ab" is 16 pixels wide at y 50, "cdef" 32 wide at y 65, both centred on 50.
    EXPECT_EQ(drawn_columns(page, 50, backdrop), std::make_pair(42, 57));
    EXPECT_EQ(drawn_columns(page, 65, backdrop), std::make_pair(34, 65));
    int text_pixels = 0;
    for (int y = 0; y < 200; y++)
        for (int x = 0; x < 320; x++)
            text_pixels += getpixel(page, x, y) != backdrop;
    EXPECT_EQ(text_pixels, (16 + 32) * 8) << "the first two words are not shown";
    EXPECT_GT(headless::count_colour(page, 1), 0) << "text in colour 1";
    EXPECT_EQ(getpixel(page, 10, 220), 0) << "the rest of the screen is cleared";
    destroy_bitmap(page);
}

} // namespace
