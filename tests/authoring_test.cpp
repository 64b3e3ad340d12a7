// Live reload and starting anywhere, on small level files rewritten while
// the hero stands in them.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "authoring.h"
#include "display.h"
#include "headless.h"
#include "level.h"
#include "scratch_test.h"
#include "tolbrint.h"
#include "zarn.h"

namespace {

// Ground under the whole walk, a step at world x 1000 and a cactus at x.
std::string level_with_cactus(int cactus_x, const std::string &limits = "-100000 100000",
                              const std::string &ground = "-1000 180 5000 180 SAND4\n")
{
    return "0 0 DUNE1 yes no no no no no " + limits + " 0 200 desert noon no\n" +
           "ZOMBIE 900 120\nBREAK\nignored words\nBREAK\n" + ground +
           "1000 160 1060 160 FLOOR1\nBREAK\nBREAK\nBREAK\n" + std::to_string(cactus_x) +
           " 100 CACTUS\nBREAK\nBREAK\n";
}

class Authoring : public headless::ScratchTest {
protected:
    void SetUp() override
    {
        ScratchTest::SetUp();
        headless::reset_game_state();
        path = dir + "/level1.dat";
        headless::write_file(path, level_with_cactus(400));
        level = std::make_unique<Level>(path);
        int x = HERO_SCREEN_X, y = HERO_SCREEN_Y;
        zarn = std::make_unique<Zarn>(x, y);
    }

    void walk_right(int steps)
    {
        for (int i = 0; i < steps; i++)
            right_translate(*level, *zarn);
    }

    // Runs passes until the hero stands; false when he is still in the air.
    bool land()
    {
        for (int pass = 0; pass < 2000 && zarnjump; pass++)
            game_pass(*level, *zarn);
        return !zarnjump;
    }

    std::string path;
    std::unique_ptr<Level> level;
    std::unique_ptr<Zarn> zarn;
};

TEST_F(Authoring, ReloadTakesTheNewLevelWithTheHeroAndTheViewWhereTheyWere)
{
    walk_right(117);
    const int view = global_x, panel = scroll_x_1, on_screen = shift_x;
    ASSERT_EQ(view, 234);
    zarn->firegun();
    ASSERT_FALSE(zarnbullets.empty());
    int x = 500, y = 100, dx = -2, dy = 0;
    std::string kind = "laser";
    eweapons.push_back(EWeapon(x, y, dx, dy, kind));

    headless::write_file(path, level_with_cactus(520));
    EXPECT_EQ(reload_level(*level, path), "");
    ASSERT_EQ(level->enemies.size(), 1u);
    EXPECT_EQ(level->enemies[0].x, 520) << "the cactus moved";
    ASSERT_EQ(level->header_enemies.size(), 1u);
    EXPECT_EQ(level->header_enemies[0].x, 900) << "the zombie starts again where the file puts it";
    EXPECT_EQ(global_x, view);
    EXPECT_EQ(scroll_x_1, panel);
    EXPECT_EQ(shift_x, on_screen);
    EXPECT_EQ(shift_y, 0);
    EXPECT_FALSE(zarnjump);
    EXPECT_TRUE(zarnbullets.empty());
    EXPECT_TRUE(eweapons.empty());
}

TEST_F(Authoring, ABrokenFileKeepsTheOldLevelAndSaysWhereTheMistakeIs)
{
    walk_right(50);
    std::string broken = level_with_cactus(520);
    broken.replace(broken.find("1000 160 1060"), 13, "1000 abc 1060");
    headless::write_file(path, broken);

    zarn->firegun();
    ASSERT_EQ(zarnbullets.size(), 1u);
    const std::string error = reload_level(*level, path);
    EXPECT_EQ(error, path + ":7:6: expected an integer (y1 of a solid record), found \"abc\"");
    EXPECT_EQ(level->enemies[0].x, 400) << "the old level plays on";
    EXPECT_EQ(zarnbullets.size(), 1u) << "with the shot in flight";
    EXPECT_EQ(global_x, 100);
    EXPECT_EQ(strip_line(error), "level1.dat:7:6: expected an integer (y1 of a solid record), found \"abc\"");
    EXPECT_EQ(strip_line("a/very/long/directory/name/far-away-levels.dat:123:45: expected \"DUNE1\""),
              "far-away-levels.dat:123:45: expected \"DUNE1\"");
    // The strip wraps the whole message onto at most three lines, the place
    // first; what does not fit ends in "...".
    const std::vector<std::string> lines = strip_lines(strip_line(error), STRIP_LINES);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("level1.dat:7:6:", 0), 0u) << lines[0];
    const std::vector<std::string> cut = strip_lines(std::string(2000, 'x') + " " + error, STRIP_LINES);
    ASSERT_EQ(cut.size(), 3u);
    for (const std::string &line : cut)
        EXPECT_LE(text_length(font, line.c_str()), FRAME_W) << line;
    EXPECT_EQ(cut[2].substr(cut[2].size() - 3), "...");

    std::remove(path.c_str());
    EXPECT_NE(reload_level(*level, path).find("cannot open the level file"), std::string::npos);
    EXPECT_EQ(level->enemies[0].x, 400);
}

TEST_F(Authoring, NewScrollLimitsThatShutTheHeroOutBringTheViewToTheNearestLimit)
{
    walk_right(300);
    ASSERT_EQ(global_x, 600);
    headless::write_file(path, level_with_cactus(400, "-100 401"));
    EXPECT_EQ(reload_level(*level, path), "");
    EXPECT_EQ(global_x + shift_x, 400) << "a whole step inside the new limit";
    EXPECT_EQ(shift_x, 0) << "the hero keeps his place on the screen";
    EXPECT_EQ(scroll_x_1, -80);
    EXPECT_EQ(scroll_x_2, scroll_x_1 + 320);
    EXPECT_EQ(scroll_x_3, scroll_x_1 - 320);

    // Beyond the limit already, as at the end of a level, he stays put.
    walk_right(10);
    ASSERT_EQ(shift_x, 20) << "he walks across the screen past the limit";
    EXPECT_EQ(reload_level(*level, path), "");
    EXPECT_EQ(global_x, 400);
    EXPECT_EQ(shift_x, 20);
}

TEST_F(Authoring, WhenTheGroundUnderHimIsGoneTheHeroFallsOntoWhatIsLeft)
{
    walk_right(100);
    headless::write_file(path, level_with_cactus(400, "-100000 100000", "-1000 180 100 180 SAND4\n"
                                                                          "-1000 199 5000 199 SAND4\n"));
    EXPECT_EQ(reload_level(*level, path), "");
    EXPECT_TRUE(zarnjump);
    EXPECT_TRUE(land());
    EXPECT_EQ(shift_y, 19);
}

TEST_F(Authoring, StartAnywherePutsTheHeroAtThatWorldXDroppingOntoWhatIsBelow)
{
    start_at(1021);
    EXPECT_EQ(global_x + shift_x, 1021);
    EXPECT_EQ(global_x % 2, 0) << "the view moves in whole steps";
    EXPECT_EQ(scroll_x_1, -(1020 % 320));
    EXPECT_TRUE(land());
    EXPECT_EQ(shift_y, 160 - HERO_FEET_ROW) << "on the step at 1000, one tile above the ground";
    right_translate(*level, *zarn);
    EXPECT_EQ(global_x, 1022);

    start_at(-301);
    EXPECT_EQ(global_x + shift_x, -301);
    EXPECT_EQ(scroll_x_1, -((-302 % 320 + 320) % 320));
    EXPECT_TRUE(land());
    EXPECT_EQ(shift_y, 0) << "on the ground";
}

} // namespace
