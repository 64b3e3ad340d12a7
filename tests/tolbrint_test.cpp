// The game shell without a window: the panels, scrolling, the pass and the
// key dispatch.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <memory>

#include "display.h"
#include "headless.h"
#include "scratch_test.h"
#include "level.h"
#include "tolbrint.h"
#include "zarn.h"

namespace {

class Startup : public ::testing::Test {
protected:
    void SetUp() override { headless::start(); }
};

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

class Play : public headless::ScratchTest {
protected:
    Level &load(const LevelPlan &plan)
    {
        headless::write_file(dir + "/level.dat", level_text(plan));
        level = std::make_unique<Level>(dir + "/level.dat");
        int x = 130, y = 100;
        zarn = std::make_unique<Zarn>(x, y);
        return *level;
    }

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

TEST_F(Play, WalkingLeftWrapsThePanelsTheOtherWay)
{
    load(LevelPlan());
    for (int step = 1; step <= 159; step++)
        left_translate(*level, *zarn);
    EXPECT_EQ(scroll_x_1, 318);
    EXPECT_EQ(scroll_x_2, 638);
    EXPECT_EQ(scroll_x_3, -2);
    left_translate(*level, *zarn);
    EXPECT_EQ(scroll_x_1, 0);
    EXPECT_EQ(scroll_x_2, 320);
    EXPECT_EQ(scroll_x_3, -320);
    EXPECT_EQ(global_x, -320);
    EXPECT_EQ(shift_x, 0);
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

TEST_F(Play, CtrlAndLeftWalkOneStepFiringLevel)
{
    load(LevelPlan());
    key[KEY_LCONTROL] = 1;
    key[KEY_LEFT] = 1;
    dispatch_key(*level, *zarn, KEY_LEFT);
    EXPECT_EQ(global_x, -2) << "one step: the plain walk is barred while Ctrl is held";
    ASSERT_EQ(zarnbullets.size(), 1u);
    EXPECT_LT(zarnbullets[0].dx, 0);
    EXPECT_EQ(zarnbullets[0].dy, 0);
    EXPECT_EQ(zarn->facing, 0);
}

TEST_F(Play, CtrlUpAndLeftWalkOneStepFiringUpwards)
{
    load(LevelPlan());
    key[KEY_LCONTROL] = 1;
    key[KEY_UP] = 1;
    key[KEY_LEFT] = 1;
    dispatch_key(*level, *zarn, KEY_LEFT);
    EXPECT_EQ(global_x, -2);
    ASSERT_EQ(zarnbullets.size(), 1u);
    EXPECT_LT(zarnbullets[0].dx, 0);
    EXPECT_EQ(zarnbullets[0].dy, -2);

    // Without Ctrl, Up and Left move nothing and fire nothing.
    key[KEY_LCONTROL] = 0;
    dispatch_key(*level, *zarn, KEY_LEFT);
    EXPECT_EQ(global_x, -2);
    EXPECT_EQ(zarnbullets.size(), 1u);
}

// Keys moved by the settings for every action: the old keys do nothing, and
// the new ones do all the old ones did, held combinations included.
class Remapped : public Play {
protected:
    void SetUp() override
    {
        Play::SetUp();
        Bindings moved = default_bindings();
        const std::pair<Action, int> keys[] = {
            {Action::left, KEY_A}, {Action::right, KEY_S},     {Action::up, KEY_W},    {Action::jump, KEY_SPACE},
            {Action::fire, KEY_F}, {Action::walk_fire, KEY_RSHIFT}, {Action::quit, KEY_Q}};
        for (const auto &[action, scancode] : keys)
            moved.keys[static_cast<int>(action)] = scancode;
        use_bindings(moved);
    }
    void TearDown() override
    {
        use_bindings(default_bindings());
        gamepad() = Gamepad({660, 40});
        Play::TearDown();
    }
};

TEST_F(Remapped, NewKeysWalkJumpFireAndQuit)
{
    load(LevelPlan());
    for (int old_key : {KEY_RIGHT, KEY_LEFT, KEY_X, KEY_D, KEY_ESC})
        dispatch_key(*level, *zarn, old_key);
    EXPECT_EQ(global_x, 0);
    EXPECT_FALSE(zarnjump);
    EXPECT_TRUE(zarnbullets.empty());
    EXPECT_FALSE(QUIT);

    dispatch_key(*level, *zarn, KEY_S);
    EXPECT_EQ(global_x, 2);
    dispatch_key(*level, *zarn, KEY_A);
    dispatch_key(*level, *zarn, KEY_A);
    EXPECT_EQ(global_x, -2);
    dispatch_key(*level, *zarn, KEY_F);
    EXPECT_EQ(zarnbullets.size(), 1u);
    dispatch_key(*level, *zarn, KEY_SPACE);
    EXPECT_TRUE(zarnjump);
    EXPECT_EQ(shift_ys, -4);
    dispatch_key(*level, *zarn, KEY_Q);
    EXPECT_TRUE(QUIT);
}

TEST_F(Remapped, HeldCombinationsUseTheNewKeys)
{
    load(LevelPlan());
    key[KEY_W] = 1;
    dispatch_key(*level, *zarn, KEY_S);
    EXPECT_EQ(global_x, 0) << "the new right key with the new up key held moves nothing";
    key[KEY_W] = 0;

    // The old walk-fire and arrow keys held: nothing.
    key[KEY_LCONTROL] = key[KEY_RIGHT] = 1;
    dispatch_key(*level, *zarn, KEY_F);
    EXPECT_EQ(global_x, 0);
    ASSERT_EQ(zarnbullets.size(), 1u) << "only the shot of F";
    key[KEY_LCONTROL] = key[KEY_RIGHT] = 0;

    // The new ones held: level, then diagonally upwards.
    key[KEY_RSHIFT] = key[KEY_S] = 1;
    dispatch_key(*level, *zarn, KEY_S);
    EXPECT_EQ(global_x, 2) << "walk-fire held: the step of the combination only";
    ASSERT_EQ(zarnbullets.size(), 2u);
    EXPECT_EQ(zarnbullets[1].dy, 0);
    key[KEY_W] = 1;
    dispatch_key(*level, *zarn, KEY_W);
    EXPECT_EQ(global_x, 4);
    ASSERT_EQ(zarnbullets.size(), 3u);
    EXPECT_EQ(zarnbullets[2].dy, -2) << "walk-fire, up and right held fire diagonally";
}

TEST_F(Remapped, TheNewUpKeyEntersATent)
{
    LevelPlan plan;
    plan.portal = "-10 180 false tent 0 HELLO BREAK1\nBREAK\n";
    load(plan);
    BITMAP *page = game_frame();
    clear_bitmap(page);
    // A gamepad press waits, so the tent's wait for a key returns at once.
    gamepad().update(PadState(), bindings_in_force(), 0);
    PadState jump_button;
    jump_button.buttons[0] = true;
    gamepad().update(jump_button, bindings_in_force(), 1);

    dispatch_key(*level, *zarn, KEY_UP);
    EXPECT_TRUE(gamepad().press_waiting()) << "the old up key enters no tent";
    dispatch_key(*level, *zarn, KEY_W);
    EXPECT_FALSE(gamepad().press_waiting()) << "the tent waited for the press";
    EXPECT_GT(headless::count_colour(page, headless::entry_colour(38)), 0) << "the tent's backdrop";
}

// The gamepad drives the same dispatch: its presses are actions, and what it
// holds counts as held.
TEST_F(Play, GamepadPressesAndHeldButtonsDriveTheDispatch)
{
    load(LevelPlan());
    const Bindings defaults = default_bindings();
    PadState pad;
    pad.buttons[0] = true; // jump
    gamepad().update(pad, defaults, 0);
    ASSERT_TRUE(gamepad().press_waiting());
    dispatch_command(*level, *zarn, read_pass_command());
    EXPECT_TRUE(zarnjump);
    zarnjump = false;

    pad.buttons[0] = false;
    pad.buttons[2] = true; // walk-fire
    pad.right = true;
    pad.up = true;
    gamepad().update(pad, defaults, 10);
    const PassCommand command = read_pass_command();
    EXPECT_EQ(command.press, Action::right) << "the first press of the pass";
    EXPECT_EQ(gamepad().take_press(), Action::up) << "the next waits for the next pass";
    dispatch_command(*level, *zarn, command);
    EXPECT_EQ(global_x, 2) << "only the combination's step: walk-fire is held";
    ASSERT_EQ(zarnbullets.size(), 1u);
    EXPECT_EQ(zarnbullets[0].dy, -2) << "stick up, right and walk-fire fire diagonally";
    gamepad() = Gamepad({660, 40});
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

// ---------------------------------------------------------------------------
// The pace of the real loop. Last in this file: closing the window is for
// good, and the loop is ended here the way the close button ends it.

namespace {

TEST_F(Play, PassesComeNoFasterThanOneEveryTenMilliseconds)
{
    load(LevelPlan());
    // A bullet moving one pixel a pass counts the passes; it lives for 130.
    add_bullet(0, 20, 1, 0, "MACHINE_GUN");
    const int start = zarnbullets[0].x;
    const auto began = std::chrono::steady_clock::now();
    std::thread closer([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        request_close();
    });
    game_loop(*level, *zarn);
    const auto ran = std::chrono::steady_clock::now() - began;
    closer.join();
    ASSERT_TRUE(close_requested());

    ASSERT_EQ(zarnbullets.size(), 1u) << "more than 130 passes in half a second";
    const int passes = zarnbullets[0].x - start;
    const long long most = std::chrono::duration_cast<std::chrono::milliseconds>(ran).count() / 10 + 1;
    EXPECT_LE(passes, most) << "passes ran ahead of the pace";
    // A busy machine may slow the loop down, but not to a crawl.
    EXPECT_GE(passes, most / 5) << "the loop stalled";
}

} // namespace
