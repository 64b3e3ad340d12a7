// Start-up pieces that need no window: the datafile contract, where data
// files are found, and how a bad graphics datafile is reported.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <memory>

#include "headless.h"
#include "level.h"
#include "tolbrint.h"
#include "zarn.h"

namespace {

class Startup : public ::testing::Test {
protected:
    void SetUp() override { headless::start(); }
};

std::string built_datafile() { return std::string(TOLBRINT_BINARY_DIR) + "/tolbrint.dat"; }

TEST_F(Startup, BuiltDatafileMeetsTheContract)
{
    std::string error;
    DATAFILE *datafile = load_game_datafile(built_datafile(), error);
    ASSERT_NE(datafile, nullptr) << error;
    EXPECT_EQ(datafile_problem(datafile), "");
    // The palette roles the game relies on.
    const RGB *palette = static_cast<RGB *>(datafile[100].dat);
    EXPECT_EQ(palette[7].r, 42);
    EXPECT_EQ(palette[7].g, 42);
    EXPECT_EQ(palette[7].b, 42);
    EXPECT_GE(palette[1].r + palette[1].g + palette[1].b, 170) << "colour 1 is near white";
    EXPECT_GT(palette[3].r, 40) << "colour 3 is a bright red";
    EXPECT_LT(palette[3].g, 20);
    EXPECT_GT(palette[6].r, 40) << "colour 6 is a bright yellow";
    EXPECT_GT(palette[6].g, 40);
    EXPECT_LT(palette[6].b, 30);
    // Fixed picture sizes that the game's coordinates depend on.
    for (int hero : {32, 33, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61}) {
        const RLE_SPRITE *sprite = static_cast<RLE_SPRITE *>(datafile[hero].dat);
        EXPECT_EQ(sprite->w, 56) << "hero entry " << hero;
        EXPECT_EQ(sprite->h, 80) << "hero entry " << hero;
    }
    for (int tile : {0, 1, 5, 6, 13, 19, 20, 27, 28, 31, 34, 70, 71, 72, 73, 91, 92, 104, 105,
                     106, 107, 108, 109, 116, 118}) {
        const RLE_SPRITE *sprite = static_cast<RLE_SPRITE *>(datafile[tile].dat);
        EXPECT_EQ(sprite->w, 20) << "tile entry " << tile;
        EXPECT_EQ(sprite->h, 20) << "tile entry " << tile;
    }
    // Both fonts can write every printable character.
    BITMAP *page = create_bitmap_ex(8, 200, 20);
    for (int f : {62, 65}) {
        clear_bitmap(page);
        textout_ex(page, static_cast<FONT *>(datafile[f].dat), "Az", 0, 0, f == 62 ? 1 : -1, -1);
        EXPECT_GT(200 * 20 - headless::count_colour(page, 0), 0) << "font " << f << " draws nothing";
    }
    destroy_bitmap(page);
    unload_datafile(datafile);
}

TEST_F(Startup, ContractReportsMissingWrongTypeAndSmallEntries)
{
    EXPECT_EQ(datafile_problem(data1), "") << "the test datafile itself is complete";
    DATAFILE copy[124];
    for (int i = 0; i < 124; i++)
        copy[i] = data1[i];

    copy[50].type = DAT_END;
    EXPECT_EQ(datafile_problem(copy),
              "entry 50 is missing (the file holds 50 entries, the game needs 123)");
    copy[50] = data1[50];

    copy[62] = data1[21];
    EXPECT_EQ(datafile_problem(copy), "entry 62 should be a font but is a bitmap");
    copy[62] = data1[62];

    BITMAP *small = create_bitmap_ex(8, 75, 99);
    copy[37].dat = small;
    EXPECT_EQ(datafile_problem(copy),
              "entry 37 is 75 x 99 pixels, the game needs at least 75 x 100");
    destroy_bitmap(small);
}

TEST_F(Startup, BadGraphicsDatafilesAreReportedByName)
{
    const std::string dir = headless::temp_dir();
    std::string error;

    EXPECT_EQ(load_game_datafile(dir + "/absent.dat", error), nullptr);
    EXPECT_EQ(error, dir + "/absent.dat: cannot open the graphics datafile: No such file or directory");

    EXPECT_EQ(load_game_datafile(dir, error), nullptr);
    EXPECT_EQ(error, dir + ": the graphics datafile is not a regular file");

    headless::write_file(dir + "/garbage.dat", "this is not a datafile at all");
    EXPECT_EQ(load_game_datafile(dir + "/garbage.dat", error), nullptr);
    EXPECT_EQ(error, dir + "/garbage.dat: not a readable Allegro datafile");
}

TEST_F(Startup, DataFilesAreFoundInTheWorkingDirectoryFirst)
{
    const std::string dir = headless::temp_dir();
    headless::InDirectory inside(dir);
    // Not here and not installed: the bare name comes back for the message.
    EXPECT_EQ(find_data_file("no-such-file.dat"), "no-such-file.dat");
    headless::write_file(dir + "/here.dat", "x");
    EXPECT_EQ(find_data_file("here.dat"), "here.dat");
    mkdir((dir + "/adir.dat").c_str(), 0700);
    EXPECT_EQ(find_data_file("adir.dat"), "adir.dat") << "a directory is not a data file";
}

TEST_F(Startup, PanelsAreListedInDrawingOrder)
{
    scroll_x_1 = -6;
    scroll_x_2 = 314;
    scroll_x_3 = -326;
    const auto list = panels();
    EXPECT_EQ(list[0].bitmap, buffer);
    EXPECT_EQ(list[0].offset, -6);
    EXPECT_EQ(list[1].bitmap, buffer2);
    EXPECT_EQ(list[1].offset, 314);
    EXPECT_EQ(list[2].bitmap, buffer3);
    EXPECT_EQ(list[2].offset, -326);
}

} // namespace

// ---------------------------------------------------------------------------
// Scrolling, the pass and the key dispatch, on small levels of our own.

namespace {

struct LevelPlan {
    std::string solid = "-1000 180 5000 180 SAND4\n"; // flat ground under the whole walk
    int left_limit = -100000;
    int right_limit = 100000;
    bool scrolls_vertically = false;
    std::string portal = "BREAK\n";
};

std::string level_text(const LevelPlan &plan)
{
    return "0 0 DUNE1 yes " + std::string(plan.scrolls_vertically ? "yes" : "no") +
           " no no no no " + std::to_string(plan.left_limit) + " " +
           std::to_string(plan.right_limit) + " 0 200 desert noon no\n" +
           "BREAK\nignored words\nBREAK\n" + plan.solid + "BREAK\nBREAK\nBREAK\nBREAK\n" +
           plan.portal;
}

class Play : public ::testing::Test {
protected:
    void SetUp() override
    {
        headless::start();
        dir = headless::temp_dir();
        inside = std::make_unique<headless::InDirectory>(dir);
        for (int k = 0; k < KEY_MAX; k++)
            key[k] = 0;
    }
    void TearDown() override
    {
        for (int k = 0; k < KEY_MAX; k++)
            key[k] = 0;
    }

    Level &load(const LevelPlan &plan)
    {
        headless::write_file(dir + "/level.dat", level_text(plan));
        level = std::make_unique<Level>(dir + "/level.dat");
        int x = 130, y = 100;
        zarn = std::make_unique<Zarn>(x, y);
        return *level;
    }

    std::string dir;
    std::unique_ptr<headless::InDirectory> inside;
    std::unique_ptr<Level> level;
    std::unique_ptr<Zarn> zarn;
};

TEST_F(Play, WalkingRightScrollsAndWrapsThePanels)
{
    load(LevelPlan());
    for (int step = 1; step <= 159; step++)
        right_translate(*level, *zarn);
    EXPECT_EQ(scroll_x_1, -318);
    EXPECT_EQ(scroll_x_2, 2);
    EXPECT_EQ(scroll_x_3, -638);
    right_translate(*level, *zarn);
    EXPECT_EQ(scroll_x_1, 0);
    EXPECT_EQ(scroll_x_2, 320);
    EXPECT_EQ(scroll_x_3, -320);
    EXPECT_EQ(global_x, 320);
    EXPECT_EQ(shift_x, 0);
    EXPECT_FALSE(zarnjump) << "the ground runs under the whole walk";
}

TEST_F(Play, OneStepLeftFromTheStart)
{
    load(LevelPlan());
    left_translate(*level, *zarn);
    EXPECT_EQ(scroll_x_1, 2);
    EXPECT_EQ(scroll_x_2, 322);
    EXPECT_EQ(scroll_x_3, -318);
    EXPECT_EQ(global_x, -2);
    EXPECT_EQ(global_xs, -2);
}

TEST_F(Play, ABlockedStepChangesOnlyTheStepVariables)
{
    LevelPlan plan;
    plan.solid += "21 100 21 160 SAND4\n"; // a wall just right of the hero's body
    load(plan);
    global_ys = 7;
    shift_ys = 5;
    right_translate(*level, *zarn);
    EXPECT_EQ(global_xs, 2);
    EXPECT_EQ(global_ys, 0);
    EXPECT_EQ(global_x, 0);
    EXPECT_EQ(scroll_x_1, 0);
    EXPECT_EQ(shift_ys, 5);
    EXPECT_FALSE(zarnjump);
    // The other way is open.
    left_translate(*level, *zarn);
    EXPECT_EQ(global_x, -2);
}

TEST_F(Play, StepOffALedgeStartsAFall)
{
    LevelPlan plan;
    plan.solid = "-1000 180 -20 180 SAND4\n"; // ground ends at x = 0
    load(plan);
    right_translate(*level, *zarn);
    EXPECT_EQ(global_x, 2) << "the step itself is taken";
    EXPECT_TRUE(zarnjump);
    EXPECT_EQ(shift_ys, 1);

    plan.scrolls_vertically = true;
    headless::reset_game_state();
    load(plan);
    right_translate(*level, *zarn);
    EXPECT_TRUE(zarnjump);
    EXPECT_EQ(global_ys, 1) << "a vertically scrolling level gets the fall speed in global_ys";
    EXPECT_EQ(shift_ys, 0);
}

TEST_F(Play, AnAirStepAppliesItsOwnGravityTick)
{
    load(LevelPlan());
    zarnjump = true;
    shift_ys = -4;
    const int ticks = zarn->fall_ticks;
    right_translate(*level, *zarn);
    EXPECT_EQ(zarn->fall_ticks, ticks + 1);
    EXPECT_EQ(global_x, 2);
    EXPECT_TRUE(zarnjump) << "only the main loop lands the hero";
}

TEST_F(Play, AtTheScrollLimitTheHeroWalksAcrossTheScreen)
{
    LevelPlan plan;
    plan.left_limit = 0;
    plan.right_limit = 0;
    load(plan);
    right_translate(*level, *zarn);
    right_translate(*level, *zarn);
    EXPECT_EQ(shift_x, 4);
    EXPECT_EQ(shift_xs, 2);
    EXPECT_EQ(global_x, 0);
    EXPECT_EQ(scroll_x_1, 0);
    // Back within the limits the view scrolls again and shift_x is kept.
    left_translate(*level, *zarn);
    EXPECT_EQ(shift_x, 2) << "4 - 2 is still beyond the limit";
    left_translate(*level, *zarn);
    EXPECT_EQ(shift_x, 2);
    EXPECT_EQ(global_x, -2);
    EXPECT_EQ(scroll_x_1, 2);
}

TEST_F(Play, AJumpRisesThirtyPixelsAndLandsOnTheGround)
{
    load(LevelPlan());
    dispatch_key(*level, *zarn, KEY_X);
    ASSERT_TRUE(zarnjump);
    EXPECT_EQ(shift_ys, -4);
    dispatch_key(*level, *zarn, KEY_X);
    EXPECT_EQ(shift_ys, -4) << "a second jump needs a landing first";

    int highest = 0, passes = 0;
    while (zarnjump && passes < 1000) {
        game_pass(*level, *zarn);
        highest = std::min(highest, shift_y);
        passes++;
    }
    EXPECT_FALSE(zarnjump);
    EXPECT_EQ(highest, -30);
    EXPECT_EQ(shift_y, 0) << "feet snapped onto the top of the ground";
    EXPECT_GT(passes, 100);
}

TEST_F(Play, AFallingHeroLandsOnALedge)
{
    LevelPlan plan;
    plan.solid = "-1000 180 5000 180 SAND4\n-1000 150 5000 150 SAND4\n"; // a ledge over the ground
    load(plan);
    zarnjump = true;
    shift_y = -40;
    shift_ys = 4;
    for (int pass = 0; pass < 200 && zarnjump; pass++)
        game_pass(*level, *zarn);
    EXPECT_FALSE(zarnjump);
    EXPECT_EQ(shift_y, 150 - 180);
}

TEST_F(Play, KeysQualifiedByHeldKeys)
{
    load(LevelPlan());
    key[KEY_UP] = 1;
    dispatch_key(*level, *zarn, KEY_RIGHT);
    EXPECT_EQ(global_x, 0) << "Right with Up held moves nothing";
    key[KEY_UP] = 0;

    // With Ctrl and Right held any key walks right while firing.
    key[KEY_LCONTROL] = 1;
    key[KEY_RIGHT] = 1;
    dispatch_key(*level, *zarn, KEY_D);
    EXPECT_EQ(global_x, 2);
    ASSERT_EQ(zarnbullets.size(), 2u) << "the shot of D and the shot of the walk";
    EXPECT_EQ(zarnbullets[1].dy, 0);

    // Escape still lets the held combinations act.
    key[KEY_UP] = 1;
    dispatch_key(*level, *zarn, KEY_ESC);
    EXPECT_TRUE(QUIT);
    EXPECT_EQ(global_x, 4);
    ASSERT_EQ(zarnbullets.size(), 3u);
    EXPECT_EQ(zarnbullets[2].dy, -2) << "Ctrl, Up and Right fire diagonally";
}

TEST_F(Play, SpentBulletsGoBeforeDrawingAndTheNextOneStillMoves)
{
    load(LevelPlan());
    add_bullet(0, 50, 2, 0, "MACHINE_GUN");
    add_bullet(0, 80, 2, 0, "MACHINE_GUN");
    zarnbullets[0].x = 130; // its next move takes it out of range
    game_pass(*level, *zarn);
    ASSERT_EQ(zarnbullets.size(), 1u);
    EXPECT_EQ(zarnbullets[0].y, 80);
    EXPECT_EQ(zarnbullets[0].x, 2);
}

} // namespace
