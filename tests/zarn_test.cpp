// The hero: walking pictures, the return to the standing pose, the gravity
// clock, where he is drawn, and where his shots start.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <utility>

#include "headless.h"
#include "tolbrint.h"
#include "zarn.h"

namespace {

class Hero : public ::testing::Test {
protected:
    void SetUp() override { headless::start(); }

    Zarn make_hero()
    {
        int x = 130, y = 100;
        return Zarn(x, y);
    }

    void walk(Zarn &hero, int step)
    {
        int none = 0;
        hero.translate(step, none);
    }

    void fall(Zarn &hero, int ticks)
    {
        int step = 0;
        for (int i = 0; i < ticks; i++)
            hero.vertical_translate(step, shift_ys);
    }

    void fire_walking(Zarn &hero, int step, int aim_up) { hero.diagonal_translate(step, aim_up); }

    RGB shot_colour()
    {
        RGB colour;
        get_color(4, &colour);
        return colour;
    }
};

RLE_SPRITE *entry(int index) { return sprite_entry(index); }

TEST_F(Hero, BothDirectionsShareOneWalkingCountdown)
{
    Zarn hero = make_hero();
    walk(hero, -2);
    walk(hero, -2);
    walk(hero, -2);
    EXPECT_EQ(hero.sprite, entry(56));
    EXPECT_EQ(hero.walk_frame, 4);

    hero = make_hero();
    const struct {
        int step;
        int picture;
    } steps[] = {{2, 52}, {2, 49}, {-2, 56}, {-2, 56}, {2, 52}, {-2, 59}, {2, 52}, {2, 49}};
    for (const auto &step : steps) {
        walk(hero, step.step);
        EXPECT_EQ(hero.sprite, entry(step.picture)) << "walk_frame " << hero.walk_frame;
        EXPECT_EQ(hero.dx, step.step);
        EXPECT_EQ(hero.facing, step.step > 0 ? 1 : 0);
        EXPECT_EQ(hero.pose_timer, 10);
    }
    EXPECT_EQ(hero.walk_frame, 5);

    walk(hero, 0);
    EXPECT_EQ(hero.dx, 0);
    EXPECT_EQ(hero.sprite, entry(49)) << "a step of 0 only clears dx";
    EXPECT_EQ(hero.walk_frame, 5);
}

TEST_F(Hero, InTheAirHeOnlyTurns)
{
    Zarn hero = make_hero();
    walk(hero, -2);
    hero.pose_timer = 3;
    zarnjump = true;
    walk(hero, 2);
    EXPECT_EQ(hero.sprite, entry(48));
    EXPECT_EQ(hero.facing, 1);
    EXPECT_EQ(hero.dx, 2);
    EXPECT_EQ(hero.walk_frame, 6);
    EXPECT_EQ(hero.pose_timer, 3);
    walk(hero, -2);
    EXPECT_EQ(hero.sprite, entry(55));
    EXPECT_EQ(hero.facing, 0);
}

TEST_F(Hero, StandsStillOnTheTenthIdlePassAndStaysSafeForever)
{
    Zarn hero = make_hero();
    walk(hero, -2);
    for (int pass = 1; pass <= 9; pass++)
        hero.standstill();
    EXPECT_EQ(hero.sprite, entry(59)) << "nine passes are not enough";
    hero.standstill();
    EXPECT_EQ(hero.sprite, entry(55));

    // Idling for ever: the timer rests at its floor and the pose still follows
    // a turn made in the air.
    for (int pass = 0; pass < 1000; pass++)
        hero.standstill();
    EXPECT_EQ(hero.pose_timer, 0);
    zarnjump = true;
    walk(hero, 2);
    hero.sprite = entry(33);
    hero.standstill();
    EXPECT_EQ(hero.sprite, entry(48));

    hero.pose_timer = INT_MIN;
    hero.standstill();
    EXPECT_EQ(hero.sprite, entry(48));
    EXPECT_EQ(hero.pose_timer, INT_MIN) << "the timer counts down only while above 0";
}

TEST_F(Hero, GravityMovesEveryFifthTickAndSpeedsUpEveryFifteenthToFour)
{
    Zarn hero = make_hero();
    shift_ys = 1; // walking off a ledge
    fall(hero, 4);
    EXPECT_EQ(shift_y, 0);
    fall(hero, 1);
    EXPECT_EQ(shift_y, 1);
    fall(hero, 10);
    EXPECT_EQ(shift_y, 3);
    EXPECT_EQ(shift_ys, 2) << "the fifteenth tick moves first, then speeds up";
    fall(hero, 30);
    EXPECT_EQ(shift_y, 3 + 6 + 9);
    EXPECT_EQ(shift_ys, 4);
    fall(hero, 15);
    EXPECT_EQ(shift_y, 18 + 12);
    EXPECT_EQ(shift_ys, 4) << "never faster than 4";
    EXPECT_EQ(hero.fall_ticks, 60);

    shift_ys = 7;
    fall(hero, 15);
    EXPECT_EQ(shift_ys, 7) << "a speed above 3 is never raised";
}

TEST_F(Hero, AJumpRisesThirtyPixelsHangsAndComesBack)
{
    Zarn hero = make_hero();
    hero.fall_ticks = 15;
    shift_ys = -4;
    fall(hero, 60);
    EXPECT_EQ(shift_y, -30);
    fall(hero, 15);
    EXPECT_EQ(shift_y, -30) << "hanging at the top";
    fall(hero, 60);
    EXPECT_EQ(shift_y, 0);
    EXPECT_EQ(shift_ys, 4);
    EXPECT_FALSE(zarnjump) << "only the main loop ends a jump";
}

TEST_F(Hero, TheGravityClockKeepsItsRhythmAtTheEndOfTheIntRange)
{
    for (int start : {INT_MAX - INT_MAX % 15 - 1, INT_MAX - 3, INT_MAX}) {
        Zarn worn = make_hero();
        Zarn fresh = make_hero();
        worn.fall_ticks = start;
        fresh.fall_ticks = start % 15;
        int worn_y = 0, worn_speed = -4;
        int fresh_y = 0, fresh_speed = -4;
        int step = 0;
        for (int tick = 0; tick < 100; tick++) {
            shift_y = worn_y;
            worn.vertical_translate(step, worn_speed);
            worn_y = shift_y;
            shift_y = fresh_y;
            fresh.vertical_translate(step, fresh_speed);
            fresh_y = shift_y;
            ASSERT_EQ(worn_y, fresh_y) << "start " << start << " tick " << tick;
            ASSERT_EQ(worn_speed, fresh_speed) << "start " << start << " tick " << tick;
            ASSERT_GT(worn.fall_ticks, 0);
        }
    }
}

TEST_F(Hero, IsDrawnAtHisScreenAnchorPlusShiftInEveryPanel)
{
    Zarn hero = make_hero();
    global_x = 5000;
    scroll_x_1 = -6;
    scroll_x_2 = 314;
    scroll_x_3 = -326;
    hero.display();
    int x = 0, y = 0;
    ASSERT_TRUE(headless::find_colour(buffer, headless::entry_colour(48), x, y));
    EXPECT_EQ(x, 136);
    EXPECT_EQ(y, 100);

    headless::reset_game_state();
    shift_x = 40;
    shift_y = -30;
    scroll_x_1 = 200;
    scroll_x_2 = 520;
    scroll_x_3 = -120;
    hero.display();
    EXPECT_EQ(headless::count_colour(buffer, headless::entry_colour(48)), 0);
    ASSERT_TRUE(headless::find_colour(buffer3, headless::entry_colour(48), x, y));
    EXPECT_EQ(x, 170 + 120);
    EXPECT_EQ(y, 70);
}

void expect_bullet(const ZarnBullet &bullet, int x, int y, int dx, int dy)
{
    EXPECT_EQ(bullet.x, x);
    EXPECT_EQ(bullet.y, y);
    EXPECT_EQ(bullet.dx, dx);
    EXPECT_EQ(bullet.dy, dy);
    EXPECT_EQ(bullet.kind, "MACHINE_GUN");
}

TEST_F(Hero, StandingShotsFollowTheLastPlainStep)
{
    Zarn hero = make_hero();
    hero.firegun();
    ASSERT_EQ(zarnbullets.size(), 1u);
    expect_bullet(zarnbullets[0], 185, 138, 2, 0);
    EXPECT_EQ(hero.sprite, entry(32));
    EXPECT_EQ(hero.facing, 1);
    EXPECT_EQ(hero.pose_timer, 10);

    walk(hero, -2);
    hero.firegun();
    expect_bullet(zarnbullets[1], 130, 138, -2, 0);
    EXPECT_EQ(hero.sprite, entry(33));
    EXPECT_EQ(hero.facing, 0);

    // A walk-and-fire step does not change the direction of the next shot.
    walk(hero, 2);
    fire_walking(hero, -2, 0);
    EXPECT_EQ(hero.facing, 0);
    hero.firegun();
    ASSERT_EQ(zarnbullets.size(), 4u);
    EXPECT_EQ(zarnbullets[3].dx, 2);
    EXPECT_EQ(hero.facing, 1);
}

TEST_F(Hero, OnlyTheStandingShotRightStartsFromHisShiftedPicture)
{
    Zarn hero = make_hero();
    shift_x = 40;
    shift_y = -12;
    global_x = 1000;
    global_y = 3;
    const int level = 3 + 100 - 12 + 38, high = 3 + 100 - 12;

    hero.firegun();
    expect_bullet(zarnbullets.back(), 1225, level, 2, 0);
    fire_walking(hero, 2, 0);
    expect_bullet(zarnbullets.back(), 1185, level, 2, 0);
    fire_walking(hero, 2, 1);
    expect_bullet(zarnbullets.back(), 1185, high, 2, -2);
    fire_walking(hero, -2, 1);
    expect_bullet(zarnbullets.back(), 1130, high, -2, -2);
    fire_walking(hero, -2, 0);
    expect_bullet(zarnbullets.back(), 1130, level, -2, 0);
    walk(hero, -2);
    hero.firegun();
    expect_bullet(zarnbullets.back(), 1130, level, -2, 0);
    EXPECT_EQ(zarnbullets.size(), 6u);
}

TEST_F(Hero, WalkingWhileFiringHasItsOwnCountdown)
{
    Zarn hero = make_hero();
    fire_walking(hero, 2, 1);
    EXPECT_EQ(hero.sprite, entry(53));
    fire_walking(hero, 2, 1);
    EXPECT_EQ(hero.sprite, entry(50));
    EXPECT_EQ(hero.fire_walk_frame, 5);
    EXPECT_EQ(hero.walk_frame, 0);
    EXPECT_EQ(hero.dx, 2);

    const struct {
        int step, aim_up, picture;
    } steps[] = {{-2, 1, 57}, {-2, 0, 58}, {2, 0, 54}, {-2, 0, 61}, {-2, 1, 60}, {2, 0, 51}};
    for (const auto &step : steps) {
        hero.pose_timer = 0;
        fire_walking(hero, step.step, step.aim_up);
        EXPECT_EQ(hero.sprite, entry(step.picture)) << "fire_walk_frame " << hero.fire_walk_frame;
        EXPECT_EQ(hero.facing, step.step > 0 ? 1 : 0);
        EXPECT_EQ(hero.pose_timer, 10);
    }
    EXPECT_EQ(zarnbullets.size(), 8u);
}

TEST_F(Hero, EveryShotRecoloursTheShotColourInRedGreenBlueOrder)
{
    // After srand(1) the C library's rand gives 1804289383, 846930886,
    // 1681692777, then 1714636915, 1957747793, 424238335: modulo 63 the red,
    // green and blue of the first shot, then of the second.
    Zarn hero = make_hero();
    std::srand(1);
    hero.firegun();
    EXPECT_EQ(shot_colour().r, 1);
    EXPECT_EQ(shot_colour().g, 25);
    EXPECT_EQ(shot_colour().b, 9);
    fire_walking(hero, -2, 1);
    EXPECT_EQ(shot_colour().r, 61);
    EXPECT_EQ(shot_colour().g, 50);
    EXPECT_EQ(shot_colour().b, 52);

    // Modulo 63: never the scale's top, 63.
    for (int shot = 0; shot < 200; shot++) {
        if (shot % 2)
            hero.firegun();
        else
            fire_walking(hero, shot % 4 ? 2 : -2, shot % 3 ? 1 : 0);
        const RGB colour = shot_colour();
        ASSERT_LE(std::max({colour.r, colour.g, colour.b}), 62) << "shot " << shot;
    }
}

TEST_F(Hero, AStepOfNothingRecoloursButFiresNothing)
{
    Zarn hero = make_hero();
    walk(hero, -2);
    const Zarn before = hero;
    set_palette_entry(4, 63, 63, 63);
    const std::pair<int, int> calls[] = {{0, 1}, {0, 0}, {2, -1}}; // (step, aim_up)
    for (const auto &call : calls) {
        fire_walking(hero, call.first, call.second);
        EXPECT_LT(shot_colour().r + shot_colour().g + shot_colour().b, 3 * 63);
        set_palette_entry(4, 63, 63, 63);
    }
    EXPECT_TRUE(zarnbullets.empty());
    EXPECT_EQ(hero.sprite, before.sprite);
    EXPECT_EQ(hero.facing, before.facing);
    EXPECT_EQ(hero.pose_timer, before.pose_timer);
    EXPECT_EQ(hero.fire_walk_frame, before.fire_walk_frame);
    EXPECT_EQ(hero.dx, before.dx);
}

} // namespace
