// The level tools run as an author runs them, on small level files made for
// each case: tolbrint-check's errors, warnings and exit codes, and
// tolbrint-map's picture read back pixel by pixel. Also the loader's record
// places that the tools report.
#include <gtest/gtest.h>

#include <allegro.h>
#include <loadpng.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "headless.h"
#include "level.h"
#include "options.h"
#include "tolbrint.h"

namespace {

const std::string BUILD_DIR = TOLBRINT_BINARY_DIR;
const std::string GROUND = "-300 180 1100 180 SAND4\n";
// Walls that stop the hero on the screen beyond both scroll limits of 0 and 600.
const std::string WALLS = "-200 0 -180 160 FLOOR1\n700 0 720 160 FLOOR1\n";

// A level file from its sections, each record list without its "BREAK".
struct TestLevel {
    std::string limits = "0 600";
    std::string vertical_scrolling = "no";
    std::string header_enemies;
    std::string scenery;
    std::string solid = GROUND + WALLS;
    std::string composites;
    std::string enemies;
    std::string portal;
    std::string level_exit; // after the final "BREAK"

    std::string text() const
    {
        return "0 0 DUNE1 yes " + vertical_scrolling + " no no no no " + limits + " 0 200 desert noon no\n" +
               header_enemies + "BREAK\nscenery start\n" + scenery + "BREAK\n" + solid + "BREAK\nBREAK\n" +
               composites + "BREAK\n" + enemies + "BREAK\n" + portal + "BREAK\n" + level_exit;
    }
};

// "LINE:COL" of the first occurrence of record in text.
std::string place_of(const std::string &text, const std::string &record)
{
    const std::size_t at = text.find(record);
    if (at == std::string::npos)
        return "(not in the file)";
    const std::size_t line_start = text.rfind('\n', at) == std::string::npos ? 0 : text.rfind('\n', at) + 1;
    const long line = std::count(text.begin(), text.begin() + static_cast<long>(at), '\n') + 1;
    return std::to_string(line) + ":" + std::to_string(at - line_start + 1);
}


struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

class LevelTools : public ::testing::Test {
protected:
    void SetUp() override
    {
        headless::start();
        dir = headless::temp_dir();
    }

    std::string write(const TestLevel &level, const std::string &name = "level.dat")
    {
        const std::string path = dir + "/" + name;
        headless::write_file(path, level.text());
        return path;
    }

    // Runs a built tool from the directory `from` (the test's own when empty).
    ToolRun run(const std::string &tool, const std::vector<std::string> &arguments, const std::string &from = "")
    {
        const headless::ProgramRun done =
            headless::run_program(BUILD_DIR + "/" + tool, arguments, from.empty() ? "." : from, dir);
        return {done.status, done.out, done.err};
    }

    // The checker's output lines for a level, and its exit status.
    ToolRun check(const TestLevel &level)
    {
        path = write(level);
        text = level.text();
        return run("tolbrint-check", {path});
    }

    // "PATH:LINE:COL: warning: MESSAGE" at the record that starts with `record`.
    std::string warning(const std::string &record, const std::string &message) const
    {
        return path + ":" + place_of(text, record) + ": warning: " + message + "\n";
    }

    std::string dir;
    std::string path;
    std::string text;
};

// --- tolbrint-check ------------------------------------------------------------

TEST_F(LevelTools, ACleanLevelPassesAndTheShippedLevelHasNoWarnings)
{
    const ToolRun clean = check(TestLevel());
    EXPECT_EQ(clean.status, 0);
    EXPECT_EQ(clean.out, path + ": no problems found\n");

    const std::string shipped = std::string(TOLBRINT_SOURCE_DIR) + "/data/level1.dat";
    const ToolRun result = run("tolbrint-check", {shipped});
    EXPECT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_EQ(result.out, shipped + ": no problems found\n");
}

TEST_F(LevelTools, EnemiesMustStandOnTheTopOfTheSolidGroundUnderThem)
{
    TestLevel level;
    level.header_enemies = "ZOMBIE 300 120\nZOMBIE 340 100\n";
    level.enemies = "400 160 ROBO\n460 140 ROBO\n500 100 CACTUS\n3000 100 CACTUS\n520 100 RHAND\n";
    const ToolRun result = check(level);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out,
              warning("ZOMBIE 340", "zombie floats 20 px above the ground: its feet are on row 160, the solid "
                                    "record on line 7 has its top on row 180; a y of 120 stands it there") +
                  warning("400 160 ROBO", "robot is buried 20 px deep in the solid record on line 7: its feet are "
                                          "on row 200, that record's top is row 180; a y of 140 stands it on top") +
                  warning("3000 100", "cactus has nothing solid under it: its feet are on row 180 and no solid "
                                      "record reaches under its x at or below that row"));
}

// A warning that proposes a value must propose one that silences it: the
// level with that value written in place of "@" gets no warning about it.
TEST_F(LevelTools, EveryProposedValueIsOneTheCheckerAccepts)
{
    const std::string stair = "400 160 460 160 SAND4\n420 140 440 140 SAND4\n"; // the lower step first
    struct Case {
        std::string thing, limits, solid, enemies, first;
    };
    const Case cases[] = {
        {"robot", "0 600", GROUND + WALLS + stair, "580 @ ROBO\n", "140"},   // buried in both steps
        {"zombie", "0 600", GROUND + WALLS + stair, "580 @ ZOMBIE\n", "20"}, // floating over them
        {"cactus", "0 600", GROUND + WALLS + "400 100 440 100 SAND4\n", "580 @ CACTUS\n", "100"},
        {"right scroll limit", "0 @", GROUND + WALLS, "", "800"},
        {"left scroll limit", "@ 600", "-500 180 1100 180 SAND4\n" + WALLS, "", "-400"},
    };
    for (const Case &c : cases) {
        auto output = [&](const std::string &value) {
            TestLevel level;
            level.limits = std::regex_replace(c.limits, std::regex("@"), value);
            level.solid = c.solid;
            level.enemies = std::regex_replace(c.enemies, std::regex("@"), value);
            return check(level).out;
        };
        const std::string before = output(c.first);
        std::smatch found;
        ASSERT_TRUE(std::regex_search(before, found, std::regex(c.thing + ".*(?:a y of|make it at \\w+) (-?[0-9]+)")))
            << before;
        EXPECT_EQ(output(found[1]).find(c.thing), std::string::npos) << before;
    }
}

TEST_F(LevelTools, TheHeroMustStartOnTheGround)
{
    TestLevel level;
    level.solid = GROUND + "-40 160 40 160 SAND4\n" + WALLS;
    const ToolRun buried = check(level);
    EXPECT_EQ(buried.out,
              warning("-40 160", "the hero starts at world x 0 with his feet on row 180, 20 px deep in this "
                                 "record, whose top is row 160"));

    level.solid = "-300 200 1100 200 SAND4\n" + WALLS;
    const ToolRun above = check(level);
    EXPECT_NE(above.out.find(warning("-300 200", "the hero starts at world x 0 with his feet on row 180, 20 px "
                                                 "above the top of this record: he drops at his first step")),
              std::string::npos)
        << above.out;
}

TEST_F(LevelTools, StretchesWithoutGroundAreFoundByPlaceAndByFallingUnderALedge)
{
    TestLevel gap;
    gap.solid = "-300 180 300 180 SAND4\n400 180 1100 180 SAND4\n" + WALLS;
    ToolRun result = check(gap);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, warning("-300 180", "no ground under the hero from world x 330 to 381, inside the "
                                              "scroll range: he falls out of the level there"));

    TestLevel ledge; // too high to stand on from below, so he walks under it and falls
    ledge.solid = "-300 180 300 180 SAND4\n300 0 400 0 SAND4\n400 180 1100 180 SAND4\n" + WALLS;
    result = check(ledge);
    EXPECT_EQ(result.out, warning("-300 180", "the hero walks off this ground at world x 330 and falls out of "
                                              "the level: nothing solid is below his feet there"));

    TestLevel empty;
    empty.solid = "";
    result = check(empty);
    EXPECT_NE(result.out.find(path + ":1:30: warning: no ground under the hero from world x 0 to 600"),
              std::string::npos)
        << result.out;
}

TEST_F(LevelTools, PitsDeeperThanOneTileAreTrapsAndOneTileIsClimbable)
{
    TestLevel deep;
    deep.solid = GROUND + "160 160 180 160 SAND4\n200 140 260 160 SAND4\n320 140 380 160 SAND4\n" + WALLS;
    const ToolRun result = check(deep);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out,
              path + ":1:32: warning: the right scroll limit 600 lies past the farthest the hero can get, world x "
                     "300: the view never scrolls that far; make it at most 300\n" +
                  warning("-300 180", "the hero can drop 40 px at world x 290 into a pit he cannot climb out of "
                                      "(world x 290 to 300); he climbs at most 20 px"));

    TestLevel shallow;
    shallow.solid = GROUND + "160 160 260 160 SAND4\n320 160 380 160 SAND4\n" + WALLS;
    EXPECT_EQ(check(shallow).status, 0) << "one tile up and down is a step, not a pit";
}

TEST_F(LevelTools, APortalNeedsGroundTheHeroCanReachInItsSpan)
{
    TestLevel level;
    level.portal = "300 180 false tent 0 HI BREAK1\n";
    EXPECT_EQ(check(level).status, 0);

    level.portal = "760 180 false tent 0 HI BREAK1\n";
    const ToolRun behind_wall = check(level);
    EXPECT_EQ(behind_wall.out, warning("760 180", "no hero can stand in the portal: he cannot get to its span, "
                                                   "world x 760 to 780, from his start"));

    level.portal = "2000 180 false tent 0 HI BREAK1\n";
    const ToolRun over_nothing = check(level);
    EXPECT_EQ(over_nothing.out, warning("2000 180", "no hero can stand in the portal: nothing solid is under its "
                                                    "span, world x 2000 to 2020"));
}

TEST_F(LevelTools, AnExitNeedsGroundTheHeroCanReachAndANextLevelBesideTheFile)
{
    headless::write_file(dir + "/next.dat", TestLevel().text());
    TestLevel level;
    for (const char *fine : {"EXIT 300 next.dat\n", "EXIT 300 ENDING\n"}) {
        level.level_exit = fine;
        EXPECT_EQ(check(level).status, 0) << fine;
    }
    level.level_exit = "EXIT 760 next.dat\n";
    EXPECT_EQ(check(level).out, warning("EXIT", "no hero can stand in the exit: he cannot get to its span, world x "
                                                "760 to 780, from his start"));
    level.level_exit = "EXIT 2000 ENDING\n";
    EXPECT_EQ(check(level).out, warning("EXIT", "no hero can stand in the exit: nothing solid is under its span, "
                                                "world x 2000 to 2020"));
    level.level_exit = "EXIT 300 next.dat.old\n";
    const ToolRun missing = check(level);
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.out, warning("EXIT", "the exit leads to " + dir + "/next.dat.old, which does not exist: the "
                                           "game shows an error at the exit; write the name of a level file "
                                           "beside this one, or \"ENDING\""));
}

TEST_F(LevelTools, ScrollLimitsMustLieWithinTheWallsAndWallsMustStopTheHero)
{
    struct Case {
        std::string limits;
        std::string solid;
        std::string line;
    };
    const Case cases[] = {
        {"0 800", GROUND + WALLS,
         ":1:32: warning: the right scroll limit 800 lies past the farthest the hero can get, world x 680: the "
         "view never scrolls that far; make it at most 680\n"},
        {"-400 600", "-500 180 1100 180 SAND4\n" + WALLS,
         ":1:30: warning: the left scroll limit -400 lies past the farthest the hero can get, world x -150: the "
         "view never scrolls that far; make it at least -150\n"},
        {"0 600", GROUND + "-200 0 -180 160 FLOOR1\n",
         ":1:32: warning: nothing stops the hero beyond the right scroll limit: he walks off the screen at world "
         "x 790; put a wall there that he cannot climb\n"},
        {"0 600", "-300 180 1100 180 SAND4\n700 0 720 160 FLOOR1\n",
         ":1:30: warning: nothing stops the hero beyond the left scroll limit: he walks off the screen at world x "
         "-186; put a wall there that he cannot climb\n"},
        {"600 0", GROUND + WALLS,
         ":1:30: warning: the left scroll limit 600 is greater than the right one, 0: the view never scrolls\n"},
    };
    for (const Case &c : cases) {
        TestLevel level;
        level.limits = c.limits;
        level.solid = c.solid;
        const ToolRun result = check(level);
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.out, path + c.line) << "limits " << c.limits;
    }

    TestLevel vertical;
    vertical.vertical_scrolling = "yes";
    vertical.portal = "2000 180 false tent 0 HI BREAK1\n";
    EXPECT_EQ(check(vertical).out,
              path + ":1:15: warning: vertical scrolling is switched on: the hero never lands after a jump or a "
                     "fall, and pits, walls and the portal are not checked; write \"no\"\n");
}

TEST_F(LevelTools, CheckerReportsLoadErrorsWrongArgumentsAndLeavesNoFilesBehind)
{
    TestLevel broken;
    broken.scenery = "0 abc 40 60 SAND4\n";
    ToolRun result = check(broken);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, path + ":4:3: error: expected an integer (y1 of a scenery record), found \"abc\"\n");

    result = run("tolbrint-check", {dir + "/absent.dat"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, dir + "/absent.dat: error: cannot open the level file: No such file or directory\n");

    const std::string usage = "usage: tolbrint-check [--world-x] LEVEL\nTry 'tolbrint-check --help' for more.\n";
    const std::pair<std::vector<std::string>, std::string> wrong[] = {
        {{}, "tolbrint-check: needs a level file\n"},
        {{"a.dat", "b.dat"}, "tolbrint-check: checks one level file at a time\n"},
        {{"--fast", "a.dat"}, "tolbrint-check: unknown option \"--fast\"\n"},
    };
    for (const auto &[arguments, problem] : wrong) {
        result = run("tolbrint-check", arguments);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, problem + usage);
        EXPECT_EQ(result.out, "");
    }
    result = run("tolbrint-check", {"--help"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out.rfind("Usage: tolbrint-check [--world-x] LEVEL\n", 0), 0u) << result.out;
    for (const char *tool : {"tolbrint-check", "tolbrint-map"}) {
        result = run(tool, {"--version"});
        EXPECT_EQ(result.status, 0) << tool;
        EXPECT_EQ(result.out, std::string(tool) + " " + game_version() + "\n");
        EXPECT_EQ(run(tool, {"-h"}).out, run(tool, {"--help"}).out) << tool;
    }

    const std::string elsewhere = headless::temp_dir();
    headless::write_file(elsewhere + "/level.dat", TestLevel().text());
    EXPECT_EQ(run("tolbrint-check", {"level.dat"}, elsewhere).out, "level.dat: no problems found\n");
    EXPECT_EQ(headless::read_file(elsewhere + "/debuglevel.txt"), "");
    EXPECT_EQ(headless::read_file(elsewhere + "/default_object.txt"), "");
}

// --- tolbrint-map --------------------------------------------------------------

class LevelMap : public LevelTools {
protected:
    void SetUp() override
    {
        LevelTools::SetUp();
        std::string error;
        game_data = load_game_datafile(BUILD_DIR + "/tolbrint.dat", error);
        ASSERT_NE(game_data, nullptr) << error;
        palette = static_cast<RGB *>(game_data[100].dat);
    }
    void TearDown() override
    {
        if (game_data)
            unload_datafile(game_data);
    }

    RLE_SPRITE *sprite(int entry) const { return static_cast<RLE_SPRITE *>(game_data[entry].dat); }
    int colour(int r, int g, int b) const { return bestfit_color(palette, r, g, b); }

    // The map of `level`, read back; null when the tool failed.
    BITMAP *map_of(const TestLevel &level, std::vector<std::string> options = {})
    {
        options.push_back(write(level));
        options.push_back(dir + "/map.png");
        const ToolRun result = run("tolbrint-map", options);
        EXPECT_EQ(result.status, 0) << result.err;
        PALETTE read_palette;
        return load_png((dir + "/map.png").c_str(), read_palette);
    }

    static int differences(BITMAP *a, BITMAP *b, int scale = 1)
    {
        int count = 0;
        for (int y = 0; y < a->h; y++)
            for (int x = 0; x < a->w; x++)
                count += getpixel(a, x, y) != getpixel(b, x * scale + scale - 1, y * scale + scale - 1);
        return count;
    }

    DATAFILE *game_data = nullptr;
    const RGB *palette = nullptr;
};

// Ground from scenery x -60 to 400 (map columns 0 to 479, as the map starts
// at the ground's first tile, column 100 of the characters' axis), a tuft, a
// zombie, a cactus with its hand, a robot in the header section, a portal,
// an exit.
TestLevel small_level()
{
    TestLevel level;
    level.limits = "-40 300";
    level.header_enemies = "ROBO 200 140\n";
    level.scenery = "40 160 40 160 GRASS1\n";
    level.solid = "-60 180 400 180 SAND4\n";
    level.enemies = "300 120 ZOMBIE\n500 100 CACTUS\n";
    level.portal = "50 180 false tent 0 HI BREAK1\n";
    level.level_exit = "EXIT 200 ENDING\n";
    return level;
}

// Enemies move 160 to the left onto the axis of scenery, portals and exits.
TEST_F(LevelTools, WorldXListsEverythingOnTheHerosAxisInFileOrder)
{
    TestLevel level = small_level();
    level.composites = "600 160 0 0 PALMTREE\n";
    path = write(level);
    const std::string p = path + ":";
    const ToolRun result = run("tolbrint-check", {"--world-x", path});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, p + "2:1: ROBO: world x 40 to 63, rows 140 to 179 (its x 200 less 160)\n" + p +
                              "5:1: scenery GRASS1: world x 40 to 59, rows 160 to 179\n" + p +
                              "7:1: solid SAND4: world x -60 to 419, rows 180 to 199\n" + p +
                              "10:1: PALMTREE: world x 600 to 689, rows 0 to 179\n" + p +
                              "12:1: ZOMBIE: world x 140 to 161, rows 120 to 179 (its x 300 less 160)\n" + p +
                              "13:1: CACTUS: world x 340 to 369, rows 100 to 179 (its x 500 less 160)\n" + p +
                              "15:1: portal: world x 50 to 70\n" + p + "17:1: exit to ENDING: world x 200 to 220\n");
}

TEST_F(LevelMap, EveryPieceStandsWhereTheGameDrawsIt)
{
    BITMAP *map = map_of(small_level(), {"--no-overlays"});
    ASSERT_NE(map, nullptr);
    ASSERT_EQ(map->w, 480);
    ASSERT_EQ(map->h, 200);

    const int left = 100; // the map's first column on the characters' axis
    BITMAP *expected = create_bitmap_ex(8, map->w, map->h);
    BITMAP *background = static_cast<BITMAP *>(game_data[21].dat);
    for (int x = -left; x < expected->w; x += 320) // repeats every 320 from column 0
        blit(background, expected, 0, 0, x, 0, 320, 200);
    draw_rle_sprite(expected, sprite(34), 40 + 160 - left, 160);
    for (int x = -60; x <= 400; x += 20) { // solid sand: the ridged tile, twice
        draw_rle_sprite(expected, sprite(92), x + 160 - left, 180);
        draw_rle_sprite(expected, sprite(92), x + 160 - left, 178);
    }
    draw_rle_sprite(expected, sprite(119), 300 - left, 120);
    draw_rle_sprite(expected, sprite(16), 500 - left, 100);
    draw_rle_sprite(expected, sprite(79), 505 - left, 130);
    draw_rle_sprite(expected, sprite(85), 200 - left, 140);
    draw_rle_sprite(expected, sprite(48), 130 - left, 100); // the hero at his start
    EXPECT_EQ(differences(expected, map), 0);

    BITMAP *scaled = map_of(small_level(), {"--no-overlays", "--scale", "3"});
    ASSERT_NE(scaled, nullptr);
    EXPECT_EQ(scaled->w, 3 * 480);
    EXPECT_EQ(scaled->h, 3 * 200);
    EXPECT_EQ(differences(expected, scaled, 3), 0);
    destroy_bitmap(scaled);
    destroy_bitmap(expected);
    destroy_bitmap(map);
}

TEST_F(LevelMap, OverlaysMarkBoxesHitRectanglesPortalExitLimitsStartAndRuler)
{
    BITMAP *plain = map_of(small_level(), {"--no-overlays"});
    BITMAP *map = map_of(small_level(), {"--scale=1"});
    ASSERT_NE(plain, nullptr);
    ASSERT_NE(map, nullptr);
    const int white = colour(63, 63, 63), red = colour(63, 0, 0), yellow = colour(63, 63, 0);
    const int blue = colour(20, 40, 63), orange = colour(63, 40, 8), green = colour(47, 55, 22);
    struct Mark {
        int x, y, colour;
        const char *what;
    };
    // Map column = scenery x + 60 = enemy x - 100.
    const Mark marks[] = {
        {0, 190, white, "the solid box's left edge, scenery x -60"},
        {250, 180, white, "the solid box's top, row 180"},
        {200, 150, red, "the zombie's hit rectangle, left"},
        {220, 150, red, "the zombie's hit rectangle, right (x + 20)"},
        {210, 120, red, "the zombie's hit rectangle, top"},
        {210, 180, red, "the zombie's hit rectangle, bottom (y + 60)"},
        {100, 140, red, "the robot's hit rectangle, top-left"},
        {120, 180, red, "the robot's hit rectangle, bottom-right (y + 40)"},
        {110, 60, yellow, "the portal's span, from x 50"},
        {130, 60, yellow, "the portal's span, to x 70"},
        {260, 60, green, "the exit's span, from x 200"},
        {280, 60, green, "the exit's span, to x 220"},
        {20, 150, blue, "the left scroll limit, -40"},
        {360, 150, blue, "the right scroll limit, 300"},
        {60, 140, orange, "the hero's world point at his start"},
        {50, 180, orange, "his landing columns, from -10"},
        {160, 2, white, "the ruler's tick at x 100"},
    };
    for (const Mark &mark : marks)
        EXPECT_EQ(getpixel(map, mark.x, mark.y), mark.colour) << mark.what;
    // The cactus cannot be hit and has no rectangle.
    for (int y = 100; y < 180; y++)
        EXPECT_EQ(getpixel(map, 400, y), getpixel(plain, 400, y)) << "row " << y;
    destroy_bitmap(map);
    destroy_bitmap(plain);
}

TEST_F(LevelMap, WrongArgumentsAndUnusableFilesAreNamed)
{
    const std::string usage =
        "usage: tolbrint-map [--scale N] [--no-overlays] LEVEL OUT.png\nTry 'tolbrint-map --help' for more.\n";
    const std::string level = write(small_level());
    const std::pair<std::vector<std::string>, std::string> wrong[] = {
        {{level}, "tolbrint-map: needs a level file and a picture file to write\n"},
        {{level, "a.png", "b.png"}, "tolbrint-map: takes one level file and one picture file\n"},
        {{"--scale", "0", level, "a.png"}, "tolbrint-map: --scale needs a whole number from 1 to 8, not \"0\"\n"},
        {{"--scale=9", level, "a.png"}, "tolbrint-map: --scale needs a whole number from 1 to 8, not \"9\"\n"},
        {{level, "a.png", "--scale"}, "tolbrint-map: --scale needs a number\n"},
        {{"--overlays", level, "a.png"}, "tolbrint-map: unknown option \"--overlays\"\n"},
    };
    for (const auto &[arguments, problem] : wrong) {
        const ToolRun result = run("tolbrint-map", arguments);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, problem + usage);
    }

    ToolRun result = run("tolbrint-map", {dir + "/absent.dat", dir + "/a.png"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, dir + "/absent.dat: error: cannot open the level file: No such file or directory\n");

    TestLevel broken;
    broken.scenery = "0 0 0 0 SAND5\n";
    result = run("tolbrint-map", {write(broken, "broken.dat"), dir + "/a.png"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, dir + "/broken.dat:4:9: error: expected a scenery sprite name (the sprite of a scenery "
                                "record), found \"SAND5\"\n");

    result = run("tolbrint-map", {level, dir + "/no/such/dir/a.png"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err.rfind("tolbrint-map: cannot write " + dir + "/no/such/dir/a.png", 0), 0u) << result.err;

    result = run("tolbrint-map", {"--help"});
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.out.find("--no-overlays"), std::string::npos);
}

// --- Where the loader found each record -------------------------------------

TEST_F(LevelTools, LoaderNotesWhereEachRecordAndHeaderTokenStands)
{
    TestLevel file = small_level();
    file.composites = "  600 160 0 0 PALMTREE\n";
    headless::write_file(dir + "/level.dat", file.text());
    headless::InDirectory here(dir);
    const Level level("level.dat");
    auto places = [](const std::vector<FilePlace> &list) {
        std::string text;
        for (const FilePlace &place : list)
            text += std::to_string(place.line) + ":" + std::to_string(place.column) + " ";
        return text;
    };
    EXPECT_EQ(places(level.places.header),
              "1:1 1:3 1:5 1:11 1:15 1:18 1:21 1:24 1:27 1:30 1:34 1:38 1:40 1:44 1:51 1:56 ");
    EXPECT_EQ(places(level.places.header_enemies), "2:1 ");
    EXPECT_EQ(places(level.places.objects), "5:1 10:3 10:3 10:3 10:3 10:3 10:3 10:3 10:3 10:3 ");
    EXPECT_EQ(places(level.places.solid_objects), "7:1 ");
    EXPECT_EQ(places(level.places.enemies), "12:1 13:1 ");
    EXPECT_EQ(places(level.places.portals), "15:1 ");
    EXPECT_EQ(places({level.places.level_exit}), "17:1 ");
}

} // namespace
