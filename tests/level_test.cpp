// The level: loading level files (good and bad), and the level at run time.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <set>
#include <thread>

#include "headless.h"
#include "scratch_test.h"
#include "level.h"
#include "tolbrint.h"
#include "zarn.h"

namespace {

const std::string HEADER = "0 0 DUNE1 yes no no no no no 0 3200 0 200 desert noon no\n";

// A level file put together from its sections; each record list is given
// without the "BREAK" that ends it. Line 1 is the header, the header
// enemies start on line 2, the scenery on line 4 (when the header enemies
// are empty), and so on one line per empty section.
struct LevelFile {
    std::string header = HEADER;
    std::string header_enemies;
    std::string scenery;
    std::string solid;
    std::string pass_through = "BREAK\n";
    std::string composites;
    std::string enemies;
    std::string portal = "BREAK\n";

    std::string text() const
    {
        return header + header_enemies + "BREAK\nscenery start\n" + scenery + "BREAK\n" + solid +
               "BREAK\n" + pass_through + composites + "BREAK\n" + enemies + "BREAK\n" + portal;
    }
};

std::string with_crlf(std::string text)
{
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 2))
        text.replace(at, 1, "\r\n");
    return text;
}

class LevelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        headless::start();
        dir = headless::temp_dir();
    }

    Level load(const std::string &text)
    {
        headless::write_file(dir + "/level1.dat", text);
        headless::InDirectory here(dir);
        return Level("level1.dat");
    }

    // The message of the LevelError that loading raises.
    std::string error_loading(const std::string &text, const std::string &name = "level1.dat")
    {
        headless::write_file(dir + "/level1.dat", text);
        headless::InDirectory here(dir);
        try {
            Level level(name);
        } catch (const LevelError &error) {
            return error.what();
        }
        return "(loaded)";
    }

    std::string debug_file() { return headless::read_file(dir + "/debuglevel.txt"); }

    std::string dir;
};

TEST_F(LevelTest, HeaderFlagsAreTrueOnlyForAnExactYes)
{
    LevelFile file;
    file.header = "7 -2147483648 DUNE1 yes Yes YES y yes no -160 3400 5 195 desert noon yes\n";
    Level level = load(file.text());
    EXPECT_EQ(level.header_value_1, 7);
    EXPECT_EQ(level.header_value_2, -2147483648);
    EXPECT_EQ(level.background, bitmap_entry(21));
    EXPECT_TRUE(level.scroll_x_enabled);
    EXPECT_FALSE(level.scroll_y_enabled);
    EXPECT_FALSE(level.flag_3);
    EXPECT_FALSE(level.flag_4);
    EXPECT_TRUE(level.flag_5);
    EXPECT_FALSE(level.flag_6);
    EXPECT_EQ(level.left_limit, -160);
    EXPECT_EQ(level.right_limit, 3400);
    EXPECT_EQ(level.top_limit, 5);
    EXPECT_EQ(level.bottom_limit, 195);
    EXPECT_EQ(level.header_word_1, "desert");
    EXPECT_EQ(level.header_word_2, "noon");
    EXPECT_TRUE(level.flag_7);
    EXPECT_TRUE(level.scroll_x_check());
    EXPECT_FALSE(level.scroll_y_check());
}

TEST_F(LevelTest, SmallestFileLoadsEmptyAndLogsItsFinalWord)
{
    Level level = load(LevelFile().text());
    EXPECT_TRUE(level.objects.empty() && level.solid_objects.empty() && level.fall_thru_objects.empty());
    EXPECT_TRUE(level.enemies.empty() && level.header_enemies.empty() && level.portals.empty());
    EXPECT_EQ(debug_file(), "BREAK\n");
}

TEST_F(LevelTest, AnExitFollowsOnlyAFinalBreakAndLeavesTheDebugFileAsBefore)
{
    Level plain = load(LevelFile().text() + "\nEXIT 3660 level2.dat\n");
    ASSERT_TRUE(plain.level_exit.has_value());
    EXPECT_EQ(plain.level_exit->x, 3660);
    EXPECT_EQ(plain.level_exit->next, "level2.dat");
    EXPECT_EQ(debug_file(), "BREAK\n");

    // After a second portal record the rest of the file is never read.
    LevelFile two_portals;
    two_portals.portal = "10 180 false tent 0 Hi BREAK1 20 180 false tent BREAK1 BREAK EXIT 5 level2.dat\n";
    EXPECT_FALSE(load(two_portals.text()).level_exit.has_value());
    EXPECT_FALSE(load(LevelFile().text() + "exit 5 level2.dat\n").level_exit.has_value());

    EXPECT_EQ(error_loading(LevelFile().text() + "EXIT 5 ../level2.dat\n"),
              "level1.dat:10:8: expected a level file name without a folder, or \"ENDING\" (the next level of the "
              "exit record), found \"../level2.dat\"");
    EXPECT_EQ(error_loading(LevelFile().text() + "EXIT level2.dat\n"),
              "level1.dat:10:6: expected an integer (x of the exit record), found \"level2.dat\"");
}

TEST_F(LevelTest, ShippedLevelLoads)
{
    headless::InDirectory here(dir);
    Level level(std::string(TOLBRINT_SOURCE_DIR) + "/data/level1.dat");
    EXPECT_FALSE(level.solid_objects.empty()) << "something to stand on";
}

TEST_F(LevelTest, FirstFieldsAreLenientAndIntegersEndWhereTheyCannotGoOn)
{
    LevelFile file;
    file.scenery = "12abc 20 40 60SAND4\nabc 0 0 0 GRASS1\nbreak 0 0 0 DIRT\nBREAK1 0 0 0 DIRT\n";
    file.solid = "+7 100 140 100 SAND4\n";
    file.enemies = "-5x 10 ZOMBIE\n";
    Level level = load(file.text());
    ASSERT_EQ(level.objects.size(), 4u);
    EXPECT_EQ(level.objects[0].x1, 12);
    EXPECT_EQ(level.objects[0].y2, 60);
    EXPECT_EQ(level.objects[0].sprite_name, "SAND4");
    for (int i = 1; i < 4; i++)
        EXPECT_EQ(level.objects[i].x1, 0) << "record " << i;
    ASSERT_EQ(level.solid_objects.size(), 1u);
    EXPECT_EQ(level.solid_objects[0].x1, 7);
    EXPECT_EQ(level.solid_objects[0].x2, 140);
    ASSERT_EQ(level.enemies.size(), 1u);
    EXPECT_EQ(level.enemies[0].x, -5);
}

TEST_F(LevelTest, PalmTreeAddsNinePiecesAfterTheSceneryAndOtherNamesAddNothing)
{
    LevelFile file;
    file.scenery = "0 180 300 180 SAND4\n";
    file.composites = "5 6 7 8 OAK\n100 180 7 9 PALMTREE\n";
    file.enemies = "50 60 ROBO\n";
    Level level = load(file.text());
    std::vector<std::string> pieces;
    for (const Object &object : level.objects)
        pieces.push_back(object.sprite_name + " " + std::to_string(object.x1) + "," +
                         std::to_string(object.y1) + " " + std::to_string(object.x2) + "," +
                         std::to_string(object.y2));
    EXPECT_EQ(pieces, (std::vector<std::string>{
                          "SAND4 0,180 300,180", "PALMS2 100,180 100,180", "PALMS1 120,180 120,180",
                          "PALMS2 150,180 150,180", "PALMS1 170,180 170,180", "BARK2 135,40 135,160",
                          "PALMT1 135,20 135,20", "PALMT2 135,0 135,0", "PALMT2 135,40 135,40",
                          "PALMT1 135,60 135,60"}));
    EXPECT_EQ(level.enemies.size(), 1u) << "the unknown composite took exactly its five tokens";
}

TEST_F(LevelTest, PortalRecordTakesItsArgumentsUpToBreak1)
{
    LevelFile file;
    file.portal = "5 6 A0 NAME P BREAK Q BREAK1\nBREAK\n";
    Level level = load(file.text());
    ASSERT_EQ(level.portals.size(), 1u);
    EXPECT_EQ(level.portals[0].x, 5);
    EXPECT_EQ(level.portals[0].y, 6);
    EXPECT_EQ(level.portals[0].procedure, "NAME");
    EXPECT_EQ(level.portals[0].args, (std::vector<std::string>{"A0", "P", "BREAK", "Q"}));
    EXPECT_EQ(debug_file(), "BREAK\n");

    file.portal = "5 6 BREAK1 tent\nBREAK\n";
    level.portals = load(file.text()).portals;
    ASSERT_EQ(level.portals.size(), 1u);
    EXPECT_EQ(level.portals[0].procedure, "tent");
    EXPECT_TRUE(level.portals[0].args.empty());
}

TEST_F(LevelTest, ASecondPortalRecordIsOnlyTheFinalWord)
{
    LevelFile file;
    file.portal = "5 6 BREAK1 tent\n7 8 x tent BREAK1 BREAK\nnot even read: abc";
    Level level = load(file.text());
    EXPECT_EQ(level.portals.size(), 1u);
    EXPECT_EQ(debug_file(), "7\n");
}

TEST_F(LevelTest, EachEnemySectionFillsItsOwnListInFileOrder)
{
    LevelFile file;
    file.header_enemies = "ZOMBIE 10 20\nROBO 30 40\n";
    file.enemies = "50 60 CACTUS\n70 80 RHAND\n";
    Level level = load(file.text());
    ASSERT_EQ(level.header_enemies.size(), 2u);
    ASSERT_EQ(level.enemies.size(), 2u);
    EXPECT_EQ(level.header_enemies[0].kind, "ZOMBIE");
    EXPECT_EQ(level.header_enemies[1].kind, "ROBO");
    EXPECT_EQ(level.header_enemies[1].x, 30);
    EXPECT_EQ(level.header_enemies[1].y, 40);
    EXPECT_EQ(level.enemies[0].kind, "CACTUS");
    EXPECT_EQ(level.enemies[1].kind, "RHAND");
    EXPECT_EQ(level.enemies[1].x, 70);
    EXPECT_EQ(level.enemies[1].y, 80);
}

TEST_F(LevelTest, WindowsLineEndsLoadLikeUnixOnes)
{
    LevelFile file;
    file.scenery = "0 180 300 180 SAND4\n";
    file.portal = "5 6 A0 tent P BREAK1\nBREAK\n";
    Level level = load(with_crlf(file.text()));
    EXPECT_TRUE(level.scroll_x_enabled);
    EXPECT_FALSE(level.flag_7) << "\"no\\r\" is not a word of its own";
    ASSERT_EQ(level.objects.size(), 1u);
    EXPECT_EQ(level.objects[0].sprite_name, "SAND4");
    ASSERT_EQ(level.portals.size(), 1u);
    EXPECT_EQ(level.portals[0].args, (std::vector<std::string>{"A0", "P"}));
    EXPECT_EQ(debug_file(), "BREAK\n");

    file.scenery = "0 abc 0 0 SAND4\n";
    EXPECT_EQ(error_loading(with_crlf(file.text())),
              "level1.dat:4:3: expected an integer (y1 of a scenery record), found \"abc\"");
}

TEST_F(LevelTest, MissingOrUnreadableFilesAreReported)
{
    EXPECT_EQ(error_loading("", "absent.dat"),
              "absent.dat: cannot open the level file: No such file or directory");
    mkdir((dir + "/levels").c_str(), 0755);
    EXPECT_EQ(error_loading("", "levels"), "levels: the level file is not a regular file");
    EXPECT_EQ(error_loading(std::string(16 * 1024 * 1024 + 1, ' ')),
              "level1.dat: the level file is larger than 16 MB");
}

TEST_F(LevelTest, BadFilesNameTheLineColumnAndWhatWasExpected)
{
    struct Case {
        std::string text;
        const char *message;
    };
    std::vector<Case> cases = {
        {"", "level1.dat:1:1: expected an integer (header token 1), found the end of the file"},
        {"0 0 DUNE1 yes", "level1.dat:1:14: expected a word (header token 5, the vertical scrolling "
                          "flag), found the end of the file"},
    };
    auto with = [&](void (*change)(LevelFile &), const char *message) {
        LevelFile file;
        change(file);
        cases.push_back({file.text(), message});
    };
    with([](LevelFile &f) { f.header = "2147483648 " + HEADER.substr(2); },
         "level1.dat:1:1: expected an integer from -2147483648 to 2147483647 (header token 1), found "
         "\"2147483648\"");
    with([](LevelFile &f) { f.header = "0 0 DUNE2 " + HEADER.substr(10); },
         "level1.dat:1:5: expected \"DUNE1\", \"CANYON1\" or \"TEMPLE1\" (header token 3, the background), found \"DUNE2\"");
    with([](LevelFile &f) { f.header = "0 0 \x1b[1mDUNE1_and_a_very_long_tail_that_is_not_shown " + HEADER.substr(10); },
         "level1.dat:1:5: expected \"DUNE1\", \"CANYON1\" or \"TEMPLE1\" (header token 3, the background), found "
         "\"\\x1b[1mDUNE1_and_a_very_long_tail_that_is_n\" (cut short)");
    with([](LevelFile &f) { f.header_enemies = "BAT 0 0\n"; },
         "level1.dat:2:1: expected \"ZOMBIE\", \"ROBO\", \"CACTUS\" or \"RHAND\" (the kind of a "
         "header enemy), found \"BAT\"");
    with([](LevelFile &f) { f.scenery = "0 abc 40 60 SAND4\n"; },
         "level1.dat:4:3: expected an integer (y1 of a scenery record), found \"abc\"");
    with([](LevelFile &f) { f.header_enemies = "ROBO 14x0 100\n"; },
         "level1.dat:2:6: expected an integer (x of a header enemy), found \"14x0\"");
    with([](LevelFile &f) { f.scenery = "0 0 0 0 SAND5\n"; },
         "level1.dat:4:9: expected a scenery sprite name (the sprite of a scenery record), found "
         "\"SAND5\"");
    with([](LevelFile &f) { f.solid = "0 0 0 0 sand4\n"; },
         "level1.dat:5:9: expected a scenery sprite name (the sprite of a solid record), found "
         "\"sand4\"");
    with([](LevelFile &f) { f.pass_through = "0 0 0 0 SAND4\nBREAK\n"; },
         "level1.dat:6:1: expected \"BREAK\" (the pass-through section, which holds no records), "
         "found \"0\"");
    with([](LevelFile &f) { f.composites = "2147483600 0 0 0 PALMTREE\n"; },
         "level1.dat:7:1: expected an x of at most 2147483577 (x of a \"PALMTREE\" record), found "
         "\"2147483600\"");
    with([](LevelFile &f) { f.enemies = "99999999999 0 ZOMBIE\n"; },
         "level1.dat:8:1: expected an integer from -2147483648 to 2147483647 (x of an enemy "
         "record), found \"99999999999\"");
    with([](LevelFile &f) { f.enemies = "0 0 zombie\n"; },
         "level1.dat:8:5: expected \"ZOMBIE\", \"ROBO\", \"CACTUS\" or \"RHAND\" (the kind of an "
         "enemy record), found \"zombie\"");
    with([](LevelFile &f) { f.portal = "5 6 A0 tent more words"; },
         "level1.dat:9:23: expected a word (a further argument of the portal or the \"BREAK1\" that "
         "ends them), found the end of the file");
    with([](LevelFile &f) { f.portal = "5 6 BREAK1 tent\n"; },
         "level1.dat:10:1: expected a word (the word after the portal record, \"BREAK\"), found the "
         "end of the file");
    for (const Case &bad : cases)
        EXPECT_EQ(error_loading(bad.text), bad.message);

    LevelFile bad_y1;
    bad_y1.scenery = "0 abc 40 60 SAND4\n";
    try {
        load(bad_y1.text());
        FAIL() << "loaded";
    } catch (const LevelError &error) {
        EXPECT_EQ(error.line, 4);
        EXPECT_EQ(error.column, 3);
    }
    EXPECT_EQ(debug_file(), "0\n") << "the last token read before the mistake";
}

// --- The level at run time ---

class RunningLevel : public LevelTest {
protected:
    void SetUp() override
    {
        LevelTest::SetUp();
        headless::write_file(dir + "/level1.dat", LevelFile().text());
        headless::InDirectory here(dir);
        level = std::make_unique<Level>("level1.dat");
    }

    static Enemy enemy(const char *kind, int x, int y)
    {
        std::string name = kind;
        return Enemy(x, y, name);
    }

    static Solid_Object solid(int x1, int y1, int x2, int y2, const char *sprite = "DIRT")
    {
        std::string name = sprite;
        return Solid_Object(x1, y1, x2, y2, name);
    }

    std::unique_ptr<Level> level;
};

TEST_F(RunningLevel, UpdateRemovesAnEnemyWhenItDiesAndUpdatesTheRestOnce)
{
    for (std::vector<Enemy> *list : {&level->enemies, &level->header_enemies}) {
        *list = {enemy("ZOMBIE", 0, 100), enemy("ZOMBIE", 200, 100), enemy("ZOMBIE", 400, 100)};
        (*list)[1].hit_points = 1;
    }
    int bx = 210, by = 120, dx = 2, dy = 0;
    std::string gun = "MACHINE_GUN";
    zarnbullets.push_back(ZarnBullet(bx, by, dx, dy, gun)); // kills both middle zombies

    Enemy a = level->enemies[0], c = level->enemies[2];
    // A zombie killed by a bullet is removed in the 101st update after that one.
    for (int pass = 1; pass <= 102; pass++) {
        level->update();
        a.update();
        c.update();
        const std::size_t expected = pass <= 101 ? 3 : 2;
        ASSERT_EQ(level->enemies.size(), expected) << "pass " << pass;
        ASSERT_EQ(level->header_enemies.size(), expected) << "pass " << pass;
    }
    for (std::vector<Enemy> *list : {&level->enemies, &level->header_enemies}) {
        EXPECT_EQ((*list)[0].x, a.x);
        EXPECT_EQ((*list)[0].anim_timer, a.anim_timer);
        EXPECT_EQ((*list)[1].x, c.x);
        EXPECT_EQ((*list)[1].anim_timer, c.anim_timer);
    }
}

TEST_F(RunningLevel, UpdateMovesLasersFiredInTheSameCallAndAnimatesPlainScenery)
{
    level->enemies = {enemy("ROBO", 300, 100)};
    level->enemies[0].action_timer = 0; // fires in this update
    int sx = 500, sy = 50, dx = -4, dy = 0;
    std::string laser = "laser";
    eweapons.push_back(EWeapon(sx, sy, dx, dy, laser));
    eweapons[0].x = sx - 160; // its next move takes it out of range
    std::string flame = "FLAME";
    int zero = 0;
    level->objects.push_back(Object(zero, zero, zero, zero, flame));
    {
        headless::InDirectory here(dir);
        level->solid_objects.push_back(solid(0, 0, 0, 0, "FLAME"));
    }

    level->update();
    ASSERT_EQ(eweapons.size(), 1u);
    EXPECT_EQ(eweapons[0].start_x, 285);
    EXPECT_EQ(eweapons[0].x, 281) << "the new laser made its first move";
    EXPECT_EQ(level->objects[0].sprite, sprite_entry(28));
    EXPECT_EQ(level->solid_objects[0].sprite, sprite_entry(27)) << "solid scenery is not animated";
}

TEST_F(RunningLevel, BoundaryChecksAskEverySolidObjectAndKeepTheirAnswer)
{
    global_difference = 77;
    EXPECT_FALSE(level->boundary_y_violation_check(10, 90, 0, 20));
    EXPECT_EQ(global_difference, 77) << "no solid objects, no landing";
    {
        headless::InDirectory here(dir);
        level->solid_objects = {solid(0, 100, 40, 100), solid(0, 50, 40, 120), solid(500, 0, 500, 0)};
    }
    EXPECT_TRUE(level->boundary_y_violation_check(10, 90, 0, 20));
    EXPECT_TRUE(level->boundary_y_violation);
    EXPECT_EQ(global_difference, 50) << "the last object hit sets the landing height";
    EXPECT_FALSE(level->boundary_y_violation_check(10, 0, 0, 20));
    EXPECT_FALSE(level->boundary_y_violation);

    EXPECT_TRUE(level->boundary_x_violation_check(-10, 110, 20, 0));
    EXPECT_TRUE(level->boundary_x_violation);
    EXPECT_FALSE(level->boundary_x_violation_check(-10, 110, 10, 0));
    EXPECT_FALSE(level->boundary_x_violation);
}

TEST_F(RunningLevel, ScrollLimitsAreInclusive)
{
    EXPECT_FALSE(level->scroll_x_violation_check(3198, 2));
    EXPECT_TRUE(level->scroll_x_violation_check(3199, 2));
    EXPECT_TRUE(level->scroll_x_violation);
    EXPECT_FALSE(level->scroll_x_violation_check(2, -2));
    EXPECT_FALSE(level->scroll_x_violation);
    EXPECT_TRUE(level->scroll_x_violation_check(1, -2));
}

TEST_F(RunningLevel, DisplayDrawsTheLayersInOrder)
{
    std::string grass = "GRASS1";
    int x1 = 0, y1 = 100;
    level->objects.push_back(Object(x1, y1, x1, y1, grass));
    {
        headless::InDirectory here(dir);
        level->solid_objects.push_back(solid(0, 100, 0, 100, "DIRT"));
    }
    level->enemies = {enemy("ZOMBIE", 20, 150)};
    level->header_enemies = {enemy("ROBO", 20, 150)};
    int lx = 20, ly = 152, dx = -4, dy = 0;
    std::string laser = "laser";
    eweapons.push_back(EWeapon(lx, ly, dx, dy, laser));

    level->display();
    EXPECT_EQ(getpixel(buffer, 5, 5), headless::entry_colour(21)) << "background";
    EXPECT_EQ(getpixel(buffer, 5, 200), 0) << "the background covers the top 200 rows only";
    EXPECT_EQ(getpixel(buffer, 161, 101), headless::entry_colour(19)) << "solid over plain scenery";
    EXPECT_EQ(getpixel(buffer, 21, 151), headless::entry_colour(85)) << "header enemies over enemies";
    EXPECT_EQ(getpixel(buffer, 21, 152), 3) << "lasers over everything";
}

} // namespace

// --- The shipped level, checked against the rules its design follows ---

namespace {

const int GROUND_TOP = 180;
const int NO_SURFACE = 200;

const char *const SCENERY_NAMES[] = {
    "SAND4", "GRASS1", "BARK1",  "BARK2", "PALMT1", "PALMT2", "PALMS1", "PALMS2",
    "DIRT",  "DIRT2",  "TENT1",  "TENTZ", "TENT2",  "TENT3",  "TENT2A", "TENT3A",
    "BONE",  "BONE2",  "FLAME",  "BRASS", "FLOOR1", "TILE5A", "TILE3A"};

// The size of each kind's picture.
struct Figure {
    int width;
    int height;
};
const std::map<std::string, Figure> FIGURES = {
    {"ZOMBIE", {22, 60}}, {"ROBO", {24, 40}}, {"CACTUS", {30, 80}}, {"RHAND", {20, 20}}};

// How far a walk got and what it took.
struct Walk {
    int leftmost;
    int rightmost;
    int jumps = 0;
    int passes = 0;
    bool view_always_scrolled = true;
};

class ShippedLevel : public headless::ScratchTest {
protected:
    void SetUp() override
    {
        ScratchTest::SetUp();
        level = std::make_unique<Level>(std::string(TOLBRINT_SOURCE_DIR) + "/data/level1.dat");
    }

    // The top of the highest solid tile drawn over a scenery column.
    int surface(int column) const
    {
        int top = NO_SURFACE;
        for (const Solid_Object &solid : level->solid_objects)
            if (solid.x1 <= column && column < solid.x2 + TILE)
                top = std::min(top, solid.y1);
        return top;
    }

    bool ground_under(int column) const
    {
        for (const Solid_Object &solid : level->solid_objects)
            if (solid.y1 == GROUND_TOP && solid.x1 <= column && column < solid.x2 + TILE)
                return true;
        return false;
    }

    std::vector<const Enemy *> all_enemies() const
    {
        std::vector<const Enemy *> all;
        for (const Enemy &enemy : level->enemies)
            all.push_back(&enemy);
        for (const Enemy &enemy : level->header_enemies)
            all.push_back(&enemy);
        return all;
    }

    const Object *piece(const std::string &name, int x1, int y1) const
    {
        for (const Object &object : level->objects)
            if (object.sprite_name == name && object.x1 == x1 && object.y1 == y1)
                return &object;
        return nullptr;
    }

    // Plays like someone holding an arrow key: one step every four passes
    // (the keyboard repeats 25 times a second, the game makes 100 passes),
    // and a jump whenever a step on the ground is blocked. Ends where a
    // jump does not get the hero any further.
    Walk walk(Zarn &zarn, int arrow)
    {
        Walk walk{global_x + shift_x, global_x + shift_x};
        bool jumped_here = false;
        while (walk.passes < 100000) {
            for (int pass = 0; pass < 4; pass++, walk.passes++) {
                game_pass(*level, zarn);
                zarn.standstill();
            }
            const int before = global_x + shift_x;
            const bool airborne = zarnjump;
            dispatch_key(*level, zarn, arrow);
            walk.view_always_scrolled = walk.view_always_scrolled && shift_x == 0;
            walk.leftmost = std::min(walk.leftmost, global_x + shift_x);
            walk.rightmost = std::max(walk.rightmost, global_x + shift_x);
            if (global_x + shift_x != before || airborne) {
                jumped_here = jumped_here && global_x + shift_x == before;
                continue;
            }
            if (jumped_here)
                break;
            dispatch_key(*level, zarn, KEY_X);
            walk.jumps++;
            jumped_here = true;
            // Pressing X interrupts the arrow's repeat; it comes back when
            // the hero is about at his highest.
            for (; zarnjump && shift_ys < 0; walk.passes++) {
                game_pass(*level, zarn);
                zarn.standstill();
            }
        }
        return walk;
    }

    std::unique_ptr<Level> level;
};

TEST_F(ShippedLevel, UsesEverySceneryPictureAndEveryEnemyKindInBothEnemySections)
{
    std::set<std::string> used;
    for (const Object &object : level->objects)
        used.insert(object.sprite_name);
    for (const Solid_Object &solid : level->solid_objects)
        used.insert(solid.sprite_name);
    for (const char *name : SCENERY_NAMES)
        EXPECT_TRUE(used.count(name)) << name << " is not used";

    for (const std::vector<Enemy> *section : {&level->header_enemies, &level->enemies}) {
        std::set<std::string> kinds;
        for (const Enemy &enemy : *section)
            kinds.insert(enemy.kind);
        EXPECT_EQ(kinds.size(), FIGURES.size()) << "every kind in each enemy section";
    }
    EXPECT_FALSE(level->scroll_y_check()) << "the level does not scroll vertically";
}

TEST_F(ShippedLevel, GroundRunsUnderTheWalkAndNoStepIsTallerThanATile)
{
    int x = 130, y = 100;
    Zarn zarn(x, y);
    const int rightmost = walk(zarn, KEY_RIGHT).rightmost;
    const int leftmost = walk(zarn, KEY_LEFT).leftmost;
    const int first = leftmost - 10, last = rightmost + 19; // the columns under his feet
    for (int column = first; column < last; column++) {
        ASSERT_TRUE(ground_under(column)) << "no ground under column " << column;
        ASSERT_LE(std::abs(surface(column + 1) - surface(column)), TILE)
            << "a step taller than a tile between columns " << column << " and " << column + 1;
    }
}

TEST_F(ShippedLevel, EnemiesStandOnTheSurfaceUnderThem)
{
    for (const Enemy *enemy : all_enemies()) {
        const Figure figure = FIGURES.at(enemy->kind);
        const int left = enemy->x - SCENERY_SHIFT;
        for (int column = left; column < left + figure.width; column++)
            EXPECT_EQ(surface(column), enemy->y + figure.height)
                << enemy->kind << " at " << enemy->x << "," << enemy->y << " over column " << column;
    }
}

TEST_F(ShippedLevel, ThePortalOpensTheTentsDoorBesideACampfire)
{
    ASSERT_EQ(level->portals.size(), 1u);
    const Portal &portal = level->portals[0];
    const Object *door = nullptr;
    for (const Object &object : level->objects)
        if (object.sprite_name == "TENT2A")
            door = &object;
    ASSERT_TRUE(door);
    const int x = door->x1, y = door->y1;
    EXPECT_TRUE(piece("TENT1", x - TILE, y - TILE) && piece("TENT2", x, y - TILE) &&
                piece("TENT3", x + TILE, y - TILE) && piece("TENTZ", x - TILE, y) &&
                piece("TENT3A", x + TILE, y))
        << "the tent is three pieces wide and two high around its door";
    for (int column = x - TILE; column < x + 2 * TILE; column++)
        EXPECT_EQ(surface(column), y + TILE) << "the tent stands on the ground";
    bool campfire = false;
    for (const Object &object : level->objects) {
        const int gap = std::max(x - TILE - (object.x1 + TILE), object.x1 - (x + 2 * TILE));
        campfire = campfire || (object.sprite_name == "FLAME" && object.y1 == y && gap >= 0 && gap <= TILE);
    }
    EXPECT_TRUE(campfire) << "a campfire at most a tile from the tent's side";

    // Wherever in the span the hero stands, the middle of his picture (two
    // columns left of his position) is in the doorway.
    EXPECT_GE(portal.x - 2, x);
    EXPECT_LE(portal.x + 20 - 2, x + TILE);

    ASSERT_GE(portal.args.size(), 3u) << "two leading words, then the message";
    EXPECT_LE(portal.args.size() - 2, 10u) << "at most ten lines";
}

TEST_F(ShippedLevel, AJumpingHeroGetsFromWallToWallWhileTheViewScrolls)
{
    int x = 130, y = 100;
    Zarn zarn(x, y);
    const Walk right = walk(zarn, KEY_RIGHT);
    EXPECT_TRUE(right.view_always_scrolled) << "the wall stops the hero before the view would";
    EXPECT_EQ(right.rightmost + 2, level->right_limit) << "the right limit is at the wall";
    EXPECT_GE(right.jumps, 5) << "steps to climb on the way";
    EXPECT_FALSE(zarnjump);
    EXPECT_EQ(shift_y, 0) << "he arrives on the ground";

    const Walk back = walk(zarn, KEY_LEFT);
    EXPECT_TRUE(back.view_always_scrolled);
    EXPECT_EQ(back.leftmost - 2, level->left_limit) << "the left limit is at the wall";
    EXPECT_LE(back.leftmost, 0) << "the hero starts between the walls";
    EXPECT_GE(right.rightmost - back.leftmost, 3200) << "at least ten screens";
}

} // namespace

namespace {

// Up calls the level's portal handler: only a hero inside a portal's span
// steps into the tent, which shows its message and takes a key.
TEST_F(LevelTest, UpEntersTheTentOnlyInsideThePortalsSpan)
{
    LevelFile file;
    file.portal = "100 180 false tent 0 HELLO BREAK1\nBREAK\n";
    Level level = load(file.text());
    ASSERT_EQ(level.portals.size(), 1u);
    int x = 130, y = 100;
    Zarn hero(x, y);
    BITMAP *frame = game_frame();
    const int backdrop = headless::entry_colour(38);

    // A key waits in the buffer, so that a tent shown by mistake does not
    // wait for ever: it takes the key instead.
    for (const int view : {99, 121, -100, 5000}) {
        clear_bitmap(frame);
        clear_keybuf();
        simulate_keypress(KEY_SPACE << 8);
        global_x = view;
        level.portal_handler(hero);
        EXPECT_EQ(headless::count_colour(frame, backdrop), 0) << "a tent shown with the hero at " << view;
    }

    for (const int view : {100, 110, 120}) {
        clear_bitmap(frame);
        clear_keybuf();
        simulate_keypress(KEY_SPACE << 8);
        global_x = view;
        level.portal_handler(hero);
        EXPECT_GT(headless::count_colour(frame, backdrop), 0) << "no tent with the hero at " << view;
    }
    clear_keybuf();
}

} // namespace

namespace {

// A FIFO given as the level file must not block the game until some writer
// comes: it is refused at once. A writer opens it after a while, so that a
// loader that does block is released and the test fails instead of hanging.
TEST_F(LevelTest, AFifoIsRefusedWithoutWaitingForAWriter)
{
    const std::string fifo = dir + "/level1.dat";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer([&fifo] {
        std::this_thread::sleep_for(std::chrono::seconds(3));
        const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            close(fd);
    });
    const auto began = std::chrono::steady_clock::now();
    std::string message;
    try {
        headless::InDirectory here(dir);
        Level level("level1.dat");
    } catch (const LevelError &error) {
        message = error.what();
    }
    const auto waited = std::chrono::steady_clock::now() - began;
    writer.join();
    EXPECT_EQ(message, "level1.dat: the level file is not a regular file");
    EXPECT_LT(waited, std::chrono::seconds(2)) << "the loader waited for a writer";
}

// A regular file whose bytes cannot be read: /proc/self/mem answers a read
// at offset 0 with an input/output error.
TEST_F(LevelTest, AReadErrorIsReportedWithItsCause)
{
    EXPECT_EQ(error_loading("", "/proc/self/mem"),
              "/proc/self/mem: cannot read the level file: Input/output error");
}

} // namespace

namespace {

// The level's lists hold its things by value; each update must change the
// things in the lists, not copies of them.
TEST_F(LevelTest, AnUpdateAnimatesTheFlamesAndCactusHandsInTheLevelsLists)
{
    LevelFile file;
    file.scenery = "0 0 0 0 FLAME\n20 0 20 0 BARK1\n";
    file.enemies = "300 90 CACTUS\n";
    Level level = load(file.text());
    ASSERT_EQ(level.objects.size(), 2u);
    ASSERT_EQ(level.enemies.size(), 1u);
    ASSERT_EQ(level.enemies[0].parts.size(), 1u);
    EXPECT_EQ(level.objects[0].sprite, sprite_entry(27));
    EXPECT_EQ(level.enemies[0].parts[0].action_timer, 14);

    level.update();
    EXPECT_EQ(level.objects[0].sprite, sprite_entry(28)) << "the flame's high picture";
    EXPECT_EQ(level.objects[0].anim_counter, 9);
    EXPECT_EQ(level.objects[1].sprite, sprite_entry(0)) << "bark does not animate";
    EXPECT_EQ(level.enemies[0].parts[0].action_timer, 13);
    EXPECT_EQ(level.objects[0].sprite_name, "FLAME");
}

} // namespace
