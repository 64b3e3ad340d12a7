// Presentation without a screen: the scale chosen for a desktop, whole-pixel
// enlargement in the display's colours onto memory targets, palette changes
// reaching the next present, the bottom strip's line and the system keys.
#include <gtest/gtest.h>

#include <cstdlib>
#include <tuple>
#include <vector>

#include "display.h"
#include "headless.h"
#include "input.h"
#include "tolbrint.h"

namespace {

TEST(Scale, WindowFillsAtMostEightyFivePercentOfTheDesktop)
{
    const std::tuple<int, int, int> table[] = {
        {1920, 1080, 3}, {1366, 768, 2}, {3840, 2160, 7}, {640, 480, 1}, {2560, 1440, 5},
        {1280, 720, 2},  {1280, 1024, 3}, {320, 240, 1},  {0, 0, 1},     {7680, 4320, 15},
    };
    for (const auto &[w, h, scale] : table)
        EXPECT_EQ(window_scale_for_desktop(w, h), scale) << w << "x" << h;
}

TEST(Scale, FullscreenTakesTheLargestWholeScaleThatFits)
{
    const std::tuple<int, int, int> table[] = {
        {1920, 1080, 4}, {3840, 2160, 9}, {640, 480, 2}, {1366, 768, 3}, {1280, 1024, 4}, {300, 200, 1},
    };
    for (const auto &[w, h, scale] : table)
        EXPECT_EQ(fullscreen_scale_for_desktop(w, h), scale) << w << "x" << h;
}

TEST(Colour, SixBitComponentsAreWidenedAsTheEightBitDisplayDoes)
{
    headless::start();
    for (int v = 0; v < 64; v++) {
        const RGB entry = {static_cast<unsigned char>(v), static_cast<unsigned char>(63 - v),
                           static_cast<unsigned char>(v / 2), 0};
        const int colour = shown_colour(entry, 32);
        EXPECT_EQ(getr32(colour), (v << 2) | (v >> 4)) << v;
        EXPECT_EQ(getg32(colour), ((63 - v) << 2) | ((63 - v) >> 4)) << v;
        EXPECT_EQ(getb32(colour), ((v / 2) << 2) | ((v / 2) >> 4)) << v;
        EXPECT_EQ(getr32(colour), _rgb_scale_6[v]) << "the library's own 6-to-8-bit table, " << v;
    }
    EXPECT_EQ(shown_colour(RGB{63, 0, 32, 0}, 32), makecol32(255, 0, 130));
}

// A frame whose every pixel differs from its neighbours, and a palette in
// which every entry has a colour of its own.
class Present : public ::testing::Test {
protected:
    void SetUp() override
    {
        headless::start();
        frame_ = create_bitmap_ex(8, FRAME_W, FRAME_H);
        for (int y = 0; y < FRAME_H; y++)
            for (int x = 0; x < FRAME_W; x++)
                putpixel(frame_, x, y, (x * 7 + y * 13) & 255);
        for (int i = 0; i < 256; i++)
            palette_[i] = {static_cast<unsigned char>(i & 63), static_cast<unsigned char>((i >> 2) & 63),
                           static_cast<unsigned char>((i * 5) & 63), 0};
    }
    void TearDown() override
    {
        destroy_bitmap(frame_);
        for (BITMAP *target : targets_)
            destroy_bitmap(target);
    }

    BITMAP *target(int depth, int w, int h, int fill)
    {
        BITMAP *made = create_bitmap_ex(depth, w, h);
        clear_to_color(made, fill);
        targets_.push_back(made);
        return made;
    }

    // Every NxN block at (x, y) is the frame pixel's colour; counts the misses.
    int wrong_blocks(BITMAP *to, int scale, int x, int y)
    {
        int wrong = 0;
        for (int fy = 0; fy < FRAME_H; fy++)
            for (int fx = 0; fx < FRAME_W; fx++) {
                const int want = shown_colour(palette_[getpixel(frame_, fx, fy)], bitmap_color_depth(to));
                bool block_right = true;
                for (int k = 0; k < scale * scale; k++)
                    block_right &= getpixel(to, x + fx * scale + k % scale, y + fy * scale + k / scale) == want;
                wrong += !block_right;
            }
        return wrong;
    }

    BITMAP *frame_ = nullptr;
    RGB palette_[256];
    std::vector<BITMAP *> targets_;
    Presenter presenter_;
};

TEST_F(Present, EachPixelBecomesABlockOfItsColourAtEveryScaleAndDepth)
{
    for (int depth : {32, 24, 16}) {
        for (int scale : {1, 2, 3}) {
            Presenter presenter;
            BITMAP *to = target(depth, FRAME_W * scale, FRAME_H * scale, 0);
            presenter.present(frame_, palette_, to, scale, 0, 0);
            EXPECT_EQ(wrong_blocks(to, scale, 0, 0), 0) << depth << " bits at " << scale << "x";
        }
    }
}

TEST_F(Present, PictureSitsAtItsOffsetAndLeavesTheBordersAlone)
{
    const int border = makecol32(1, 2, 3);
    BITMAP *to = target(32, 1920, 1080, border);
    presenter_.present(frame_, palette_, to, 4, 320, 60);
    EXPECT_EQ(wrong_blocks(to, 4, 320, 60), 0);
    for (auto [x, y] : {std::pair{319, 60}, {1600, 60}, {320, 59}, {320, 1020}, {0, 0}, {1919, 1079}})
        EXPECT_EQ(getpixel(to, x, y), border) << x << "," << y;
}

TEST_F(Present, PaletteChangeShowsOnTheNextPresent)
{
    BITMAP *to = target(32, FRAME_W * 2, FRAME_H * 2, 0);
    presenter_.present(frame_, palette_, to, 2, 0, 0);
    const int index = getpixel(frame_, 10, 20);
    palette_[index] = {63, 0, 0, 0};
    EXPECT_NE(getpixel(to, 20, 40), makecol32(255, 0, 0)) << "nothing shows before the present";
    presenter_.present(frame_, palette_, to, 2, 0, 0);
    EXPECT_EQ(getpixel(to, 20, 40), makecol32(255, 0, 0));
    EXPECT_EQ(getpixel(to, 21, 41), makecol32(255, 0, 0));
    EXPECT_EQ(wrong_blocks(to, 2, 0, 0), 0) << "every pixel of that entry, and no other, changed";
}

TEST_F(Present, ChangedPixelsShowAndAForgottenTargetIsDrawnWhole)
{
    BITMAP *to = target(32, FRAME_W * 3, FRAME_H * 3, 0);
    presenter_.present(frame_, palette_, to, 3, 0, 0);
    putpixel(frame_, 319, 239, 200);
    rectfill(frame_, 0, 100, 50, 110, 9);
    presenter_.present(frame_, palette_, to, 3, 0, 0);
    EXPECT_EQ(wrong_blocks(to, 3, 0, 0), 0);

    clear_to_color(to, makecol32(9, 9, 9)); // a new window starts blank
    presenter_.present(frame_, palette_, to, 3, 0, 0);
    EXPECT_EQ(getpixel(to, 0, 0), makecol32(9, 9, 9)) << "an unchanged frame draws nothing";
    presenter_.forget();
    presenter_.present(frame_, palette_, to, 3, 0, 0);
    EXPECT_EQ(wrong_blocks(to, 3, 0, 0), 0);
}

TEST(Strip, OneLineInTheRowsUnderThePictureAndEmptyAgain)
{
    headless::start();
    BITMAP *frame = game_frame();
    ASSERT_NE(frame, nullptr);
    clear_to_color(frame, 5);
    show_strip_text("PAUSED");
    int lit = 0;
    for (int y = 0; y < FRAME_H; y++)
        for (int x = 0; x < FRAME_W; x++) {
            const int pixel = getpixel(frame, x, y);
            if (y < STRIP_TOP) {
                ASSERT_EQ(pixel, 5) << "the picture above the strip is left alone at " << x << "," << y;
            }
            lit += y >= STRIP_TOP && pixel != 0;
        }
    EXPECT_GT(lit, 20);
    int left = FRAME_W, right = 0;
    for (int y = STRIP_TOP; y < FRAME_H; y++)
        for (int x = 0; x < FRAME_W; x++)
            if (getpixel(frame, x, y)) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    EXPECT_LE(std::abs((left + right) / 2 - FRAME_W / 2), 2) << "the line is centred";

    show_strip_text("");
    for (int y = STRIP_TOP; y < FRAME_H; y++)
        for (int x = 0; x < FRAME_W; x++)
            ASSERT_EQ(getpixel(frame, x, y), 0);
}

TEST(SystemKeys, PauseFullscreenMuteAndQuitAreKnownWithTheirShifts)
{
    EXPECT_EQ(system_action(KEY_P, 0), SystemAction::Pause);
    EXPECT_EQ(system_action(KEY_PAUSE, 0), SystemAction::Pause);
    EXPECT_EQ(system_action(KEY_F11, 0), SystemAction::Fullscreen);
    EXPECT_EQ(system_action(KEY_ENTER, KB_ALT_FLAG), SystemAction::Fullscreen);
    EXPECT_EQ(system_action(KEY_ENTER, 0), SystemAction::None);
    EXPECT_EQ(system_action(KEY_ESC, 0), SystemAction::Quit);
    EXPECT_EQ(system_action(KEY_M, 0), SystemAction::Mute);
    EXPECT_EQ(system_action(KEY_D, 0), SystemAction::None);
    EXPECT_EQ(system_action(KEY_RIGHT, KB_ALT_FLAG), SystemAction::None);
}

} // namespace
