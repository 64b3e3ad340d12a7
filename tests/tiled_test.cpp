// tolbrint-tiled as an author runs it: every level in the repository goes to
// a Tiled map and back and must draw, block and hold the same; real Tiled
// reads our maps and its re-saved maps come back; broken maps are refused
// with one message and leave no level file behind.
#include <gtest/gtest.h>

#include <allegro.h>
#include <dirent.h>
#include <loadpng.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "headless.h"
#include "level.h"
#include "pack.h"
#include "tolbrint.h"

namespace {

const std::string BUILD_DIR = TOLBRINT_BINARY_DIR;
const std::string SOURCE_DIR = TOLBRINT_SOURCE_DIR;

// Off the grid, merging and overlapping scenery, boxes that end off the grid
// or before they begin, palm trees, both enemy lists, the portal and an exit
// off the grid.
const char *const AWKWARD_LEVEL = R"(0 0 DUNE1 yes no no no no no -112 602 0 200 desert dusk no
ZOMBIE 500 120
ROBO 700 140
BREAK
scenery follows
40 160 40 160 GRASS1
45 150 85 150 BONE
60 160 65 160 GRASS1
300 160 280 160 BONE
200 140 200 140 TENT1
220 140 220 140 TENT2
200 160 200 160 TENTZ
260 160 260 160 FLAME
BREAK
-280 180 900 180 SAND4
-280 0 -140 160 FLOOR1
400 160 440 160 SAND4
460 160 500 160 SAND4
400 140 400 140 FLOOR1
410 120 430 120 BRASS
500 100 515 130 DIRT
520 100 510 100 DIRT
600 160 640 160 SAND4
600 160 600 160 TILE5A
620 20 900 160 FLOOR1
BREAK
BREAK
60 160 3 4 PALMTREE
10 10 0 0 NOTHING
300 160 0 0 PALMTREE
BREAK
570 80 CACTUS
650 100 ROBO
BREAK
222 180 false tent 0 Hello, traveller! BREAK1
BREAK
EXIT 431 ENDING
)";

using ToolRun = headless::ProgramRun;

// The level files kept in the repository: the game's own and the tests'.
std::vector<std::string> repository_levels()
{
    std::vector<std::string> levels;
    for (int number = 1; number <= PACK_LEVELS; number++)
        levels.push_back(SOURCE_DIR + "/data/" + pack_level_file(number));
    const std::string dir = SOURCE_DIR + "/tests/e2e/levels";
    if (DIR *listing = opendir(dir.c_str())) {
        while (const dirent *entry = readdir(listing)) {
            const std::string name = entry->d_name;
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".dat") == 0)
                levels.push_back(dir + "/" + name);
        }
        closedir(listing);
    }
    return levels;
}

class TiledTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        headless::start();
        dir = headless::temp_dir();
    }

    ToolRun run(const std::string &program, const std::vector<std::string> &arguments, const std::string &env = "")
    {
        return headless::run_program(program, arguments, dir, dir, env);
    }

    ToolRun tool(const std::vector<std::string> &arguments) { return run(BUILD_DIR + "/tolbrint-tiled", arguments); }

    // Real Tiled, without a display.
    ToolRun tiled(const std::vector<std::string> &arguments)
    {
        return run("tiled", arguments, "QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR='" + dir + "'");
    }

    static bool tiled_installed() { return std::system("command -v tiled >/dev/null 2>&1") == 0; }

    // The level as tolbrint-map draws it, without the marks.
    std::vector<int> drawn(const std::string &level, const std::string &name)
    {
        const std::string png = dir + "/" + name + ".png";
        const ToolRun map = run(BUILD_DIR + "/tolbrint-map", {"--no-overlays", level, png});
        EXPECT_EQ(map.status, 0) << map.err;
        PALETTE palette;
        BITMAP *picture = load_png(png.c_str(), palette);
        std::vector<int> pixels;
        if (!picture)
            return pixels;
        pixels.push_back(picture->w);
        for (int y = 0; y < picture->h; y++)
            for (int x = 0; x < picture->w; x++)
                pixels.push_back(getpixel(picture, x, y));
        destroy_bitmap(picture);
        return pixels;
    }

    std::string round_trip(const std::string &level, const std::string &name)
    {
        const ToolRun out = tool({"export", level, name + ".tmx"});
        EXPECT_EQ(out.status, 0) << out.err;
        const ToolRun back = tool({"import", name + ".tmx", name + ".dat"});
        EXPECT_EQ(back.status, 0) << back.err;
        return dir + "/" + name + ".dat";
    }

    std::string dir;
};

std::unique_ptr<Level> load(const std::string &path)
{
    headless::InDirectory in(headless::temp_dir());
    return std::make_unique<Level>(path);
}

std::string enemies_of(const std::vector<Enemy> &enemies)
{
    std::string text;
    for (const Enemy &enemy : enemies)
        text += enemy.kind + " " + std::to_string(enemy.x) + " " + std::to_string(enemy.y) + "\n";
    return text;
}

std::string things_of(const Level &level)
{
    std::string text = "header:\n" + enemies_of(level.header_enemies) + "enemies:\n" + enemies_of(level.enemies);
    for (const PalmTreeRecord &palm : level.palm_trees)
        text += "palm " + std::to_string(palm.x) + " " + std::to_string(palm.y) + " " + std::to_string(palm.third) +
                " " + std::to_string(palm.fourth) + "\n";
    for (const Portal &portal : level.portals) {
        text += "portal " + std::to_string(portal.x) + " " + std::to_string(portal.y) + " " + portal.procedure;
        for (const std::string &arg : portal.args)
            text += " " + arg;
        text += "\n";
    }
    if (level.level_exit)
        text += "exit " + std::to_string(level.level_exit->x) + " " + level.level_exit->next + "\n";
    text += "limits " + std::to_string(level.left_limit) + " " + std::to_string(level.right_limit) + " " +
            std::to_string(level.top_limit) + " " + std::to_string(level.bottom_limit) + " words " +
            level.header_word_1 + " " + level.header_word_2;
    return text;
}

// The first point where the two levels' solid scenery answers differently:
// the sideways test, the landing test and the height it lands on, at every
// pixel from well left of the leftmost record to well right of the last.
std::string first_solid_difference(Level &a, Level &b)
{
    long long left = 0, right = 0;
    for (const Solid_Object &object : a.solid_objects) {
        left = std::min<long long>(left, object.x1);
        right = std::max<long long>(right, object.x2);
    }
    int none = 0, down = 1;
    for (int x = static_cast<int>(left) - 40; x <= right + 60; x++)
        for (int y = -40; y <= 240; y++) {
            const bool side_a = a.boundary_x_violation_check(x, y, none, none);
            const bool side_b = b.boundary_x_violation_check(x, y, none, none);
            global_difference = -1;
            const bool land_a = a.boundary_y_violation_check(x, y - 1, none, down);
            const int height_a = global_difference;
            global_difference = -1;
            const bool land_b = b.boundary_y_violation_check(x, y - 1, none, down);
            if (side_a != side_b || land_a != land_b || height_a != global_difference)
                return "at (" + std::to_string(x) + ", " + std::to_string(y) + ")";
        }
    return "";
}

TEST_F(TiledTool, EveryLevelInTheRepositoryComesBackDrawingBlockingAndHoldingTheSame)
{
    headless::write_file(dir + "/awkward.dat", AWKWARD_LEVEL);
    std::vector<std::string> levels = repository_levels();
    levels.push_back(dir + "/awkward.dat");
    ASSERT_GE(levels.size(), 3u);
    for (std::size_t i = 0; i < levels.size(); i++) {
        SCOPED_TRACE(levels[i]);
        const std::string name = "level" + std::to_string(i);
        const std::string back = round_trip(levels[i], name);
        EXPECT_EQ(drawn(levels[i], name + "-before"), drawn(back, name + "-after"));
        std::unique_ptr<Level> before = load(levels[i]), after = load(back);
        EXPECT_EQ(first_solid_difference(*before, *after), "");
        EXPECT_EQ(things_of(*before), things_of(*after));
    }
}

// Two solid records side by side leave a seam the hero's tests see; one
// record over both does not, and the comparison must tell them apart.
TEST_F(TiledTool, TheSolidComparisonSeesASeamBetweenTwoRecords)
{
    std::string two = AWKWARD_LEVEL;
    std::string one = two;
    one.replace(one.find("400 160 440 160 SAND4\n460 160 500 160 SAND4"), 43, "400 160 500 160 SAND4");
    headless::write_file(dir + "/two.dat", two);
    headless::write_file(dir + "/one.dat", one);
    std::unique_ptr<Level> seam = load(dir + "/two.dat"), whole = load(dir + "/one.dat");
    EXPECT_EQ(first_solid_difference(*seam, *whole), "at (460, 161)");
    EXPECT_EQ(drawn(dir + "/two.dat", "two"), drawn(dir + "/one.dat", "one")) << "they look the same";
}

TEST_F(TiledTool, SceneryOnTheGridBecomesTilesAndTheRestTileObjects)
{
    headless::write_file(dir + "/awkward.dat", AWKWARD_LEVEL);
    ASSERT_EQ(tool({"export", "awkward.dat", "awkward.tmx"}).status, 0);
    const std::string map = headless::read_file(dir + "/awkward.tmx");
    for (const char *layer : {"\"scenery\"", "\"scenery objects\"", "\"solid\"", "\"solid objects\"",
                              "\"palm trees\"", "\"enemies\"", "\"portal\"", "\"background\""})
        EXPECT_NE(map.find(std::string("name=") + layer), std::string::npos) << layer;
    // The bone's three tiles off the grid, one object each; the brass and
    // the two dirt boxes off the grid, one object each.
    int scenery_objects = 0; // tile objects without a class
    std::istringstream lines(map);
    for (std::string line; std::getline(lines, line);)
        if (line.find("<object ") != std::string::npos && line.find(" gid=") != std::string::npos &&
            line.find(" type=") == std::string::npos)
            scenery_objects++;
    EXPECT_EQ(scenery_objects, 3 + 3);
    for (const char *file : {"tolbrint-scenery.tsx", "tolbrint-scenery.png", "tolbrint-background.png"})
        EXPECT_FALSE(headless::read_file(dir + "/" + file).empty()) << file;
}

// Maps saved with the tileset of another version keep their tiles: a tile
// is the sprite that the map's own tileset names.
TEST_F(TiledTool, EachTileIsTheSpriteThatTheMapsTilesetNames)
{
    headless::write_file(dir + "/awkward.dat", AWKWARD_LEVEL);
    ASSERT_EQ(tool({"export", "awkward.dat", "awkward.tmx"}).status, 0);
    std::string tsx = headless::read_file(dir + "/tolbrint-scenery.tsx");
    tsx.replace(tsx.find("value=\"GRASS1\""), 14, "value=\"BONE\"");
    headless::write_file(dir + "/tolbrint-scenery.tsx", tsx);
    ASSERT_EQ(tool({"import", "awkward.tmx", "back.dat"}).status, 0);
    const std::string back = headless::read_file(dir + "/back.dat");
    EXPECT_EQ(back.find("GRASS1"), std::string::npos) << back;
    EXPECT_NE(back.find("40 160 40 160 BONE\n"), std::string::npos) << back;
}

// Tiled's JSON without the blanks between its tokens.
std::string compact_json(const std::string &json)
{
    std::string compact;
    bool in_string = false;
    for (std::size_t i = 0; i < json.size(); i++) {
        const char c = json[i];
        if (in_string && c == '\\') {
            compact += json.substr(i++, 2);
            continue;
        }
        if (c == '"')
            in_string = !in_string;
        if (in_string || !std::isspace(static_cast<unsigned char>(c)))
            compact += c;
    }
    return compact;
}

long occurrences(const std::string &text, const std::string &part)
{
    long count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        count++;
    return count;
}

// "NAME:TYPE " for each layer of a map in compact JSON: the name and type
// keys at the same depth of braces.
std::string layers_of(const std::string &json)
{
    std::vector<std::string> names(1);
    std::string layers;
    for (std::size_t i = 0; i < json.size(); i++) {
        if (json[i] == '{') {
            names.emplace_back();
        } else if (json[i] == '}') {
            names.pop_back();
        } else if (json[i] == '"') {
            // A string, perhaps a key with a string value: both are skipped whole.
            const std::size_t key_end = json.find('"', i + 1);
            if (key_end == std::string::npos)
                break;
            const std::string key = json.substr(i + 1, key_end - i - 1);
            i = key_end;
            if (json.compare(key_end + 1, 2, ":\"") != 0)
                continue;
            const std::size_t value_end = json.find('"', key_end + 3);
            if (value_end == std::string::npos)
                break;
            const std::string value = json.substr(key_end + 3, value_end - key_end - 3);
            i = value_end;
            if (key == "name")
                names.back() = value;
            else if (key == "type" && (value == "imagelayer" || value == "tilelayer" || value == "objectgroup"))
                layers += names.back() + ":" + value + " ";
        }
    }
    return layers;
}

TEST_F(TiledTool, RealTiledReadsTheMapAndItsResavedMapImportsToTheSameLevel)
{
    ASSERT_TRUE(tiled_installed()) << "the Tiled map editor (Debian package tiled) is needed; scripts/setup.sh "
                                      "installs it";
    const std::string shipped = SOURCE_DIR + "/data/level1.dat";
    ASSERT_EQ(tool({"export", shipped, "level.tmx"}).status, 0);

    const ToolRun json = tiled({"--export-map", "level.tmx", "level.json"});
    ASSERT_EQ(json.status, 0) << json.err;
    const std::string exported = compact_json(headless::read_file(dir + "/level.json"));
    EXPECT_EQ(layers_of(exported), "background:imagelayer scenery:tilelayer scenery objects:objectgroup "
                                   "solid:tilelayer solid 2:tilelayer solid 3:tilelayer palm trees:objectgroup "
                                   "enemies:objectgroup portal:objectgroup exit:objectgroup ");
    for (const auto &[kind, count] : std::vector<std::pair<std::string, long>>{
             {"PALMTREE", 5}, {"ZOMBIE", 5}, {"ROBO", 4}, {"CACTUS", 3}, {"RHAND", 2}, {"portal", 1}, {"exit", 1}}) {
        EXPECT_EQ(occurrences(exported, "\"type\":\"" + kind + "\""), count) << kind;
    }
    EXPECT_EQ(occurrences(exported, "\"value\":\"Rest, soldier. Robots hold the road. Fire from below!\""), 1);

    const ToolRun resave = tiled({"--export-map", "level.tmx", "resaved.tmx"});
    ASSERT_EQ(resave.status, 0) << resave.err;
    ASSERT_NE(headless::read_file(dir + "/resaved.tmx").find("tiledversion="), std::string::npos)
        << "Tiled wrote the map";
    ASSERT_EQ(tool({"import", "level.tmx", "direct.dat"}).status, 0);
    const ToolRun back = tool({"import", "resaved.tmx", "resaved.dat"});
    ASSERT_EQ(back.status, 0) << back.err;
    EXPECT_EQ(headless::read_file(dir + "/resaved.dat"), headless::read_file(dir + "/direct.dat"));
    EXPECT_EQ(drawn(shipped, "shipped"), drawn(dir + "/resaved.dat", "resaved"));
}

// --- Broken maps -------------------------------------------------------------

// The exported shipped level with one text replaced.
struct Breakage {
    const char *what;
    std::string from;
    std::string to;
    std::string message; // a part of the one line on stderr
};

TEST_F(TiledTool, ABrokenMapGetsOneMessageNamingWhereAndNoLevelFile)
{
    ASSERT_EQ(tool({"export", SOURCE_DIR + "/data/level1.dat", "good.tmx"}).status, 0);
    const std::string good = headless::read_file(dir + "/good.tmx");
    const std::vector<Breakage> breakages = {
        {"not XML", "<map ", "<map <", "broken.tmx: not an XML file"},
        {"not a map", "<map ", "<tileset/><map ", "broken.tmx: not a Tiled map"},
        {"not ours", "name=\"origin x\"", "name=\"origin\"", "broken.tmx: not a map of a level"},
        {"tile outside the tileset", "0,11,13,14,0", "0,11,99,14,0",
         "layer \"scenery\", tile at column 53, row 7: tile 99 is outside our tileset"},
        {"flipped tile", "0,11,13,14,0", "0,11,2147483661,14,0", "the tile is flipped or rotated"},
        {"unknown class", "type=\"ROBO\"", "type=\"DRAGON\"",
         "layer \"enemies\", object 23 (\"ROBO\"): unknown class \"DRAGON\""},
        {"missing property", "<property name=\"header\" type=\"bool\" value=\"true\"/>", "",
         "layer \"enemies\", object 21 (\"ZOMBIE\"): missing property \"header\""},
        {"missing map property", "<property name=\"left limit\" type=\"int\" value=\"-112\"/>", "",
         "broken.tmx: missing property \"left limit\""},
        {"bad number", "name=\"right limit\" type=\"int\" value=\"3682\"", "name=\"right limit\" type=\"int\" value=\"far\"",
         "map, property \"right limit\": \"far\" is not a whole number"},
        {"two words", "value=\"desert\"", "value=\"high desert\"", "\"high desert\" must be one word"},
        {"unknown tileset", "source=\"tolbrint-scenery.tsx\"", "source=\"other.tsx\"", "cannot read the tileset"},
        {"compressed", "encoding=\"csv\"", "encoding=\"base64\" compression=\"zlib\"", "compressed with zlib"},
        {"exit to a folder", "value=\"level2.dat\"", "value=\"../level2.dat\"",
         "object 36 (\"exit\"), property \"next\": \"../level2.dat\" must be a level file name without a folder"},
    };
    headless::write_file(dir + "/kept.dat", "what was here before\n");
    for (const Breakage &breakage : breakages) {
        SCOPED_TRACE(breakage.what);
        std::string broken = good;
        const std::size_t at = broken.find(breakage.from);
        ASSERT_NE(at, std::string::npos);
        broken.replace(at, breakage.from.size(), breakage.to);
        headless::write_file(dir + "/broken.tmx", broken);
        const ToolRun result = tool({"import", "broken.tmx", "kept.dat"});
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.err.find(breakage.message), std::string::npos) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_EQ(headless::read_file(dir + "/kept.dat"), "what was here before\n");
    }
    // A second portal, and nothing left behind beside the level file.
    std::string two_portals = good;
    const std::size_t portal = two_portals.find("<object id=\"35\"");
    const std::size_t end = two_portals.find("</object>", portal) + 9;
    std::string second = two_portals.substr(portal, end - portal);
    second.replace(second.find("id=\"35\""), 7, "id=\"36\"");
    two_portals.insert(end, second);
    headless::write_file(dir + "/broken.tmx", two_portals);
    const ToolRun result = tool({"import", "broken.tmx", "kept.dat"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("object 36 (\"portal\"): a second portal"), std::string::npos) << result.err;
    const ToolRun listing = run("ls", {"-a"});
    EXPECT_EQ(listing.out.find(".tmp"), std::string::npos) << listing.out;
    EXPECT_EQ(listing.out.find(".check"), std::string::npos) << listing.out;
}

TEST_F(TiledTool, TheCommandLineExplainsItself)
{
    const ToolRun help = tool({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("tolbrint-tiled export LEVEL OUT.tmx"), std::string::npos);
    EXPECT_NE(help.out.find("tolbrint-tiled import IN.tmx OUT.dat"), std::string::npos);
    for (const std::vector<std::string> &wrong :
         std::vector<std::vector<std::string>>{{}, {"draw", "a", "b"}, {"export", "a"}, {"--fast"}}) {
        const ToolRun result = tool(wrong);
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.err.find("usage: tolbrint-tiled"), std::string::npos) << result.err;
    }
    const ToolRun missing = tool({"export", "absent.dat", "x.tmx"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "absent.dat: error: cannot open the level file: No such file or directory\n");
}

TEST_F(TiledTool, ExportMakesTheMissingFoldersOrNamesTheOneItCannotMake)
{
    const std::string level = SOURCE_DIR + "/data/level1.dat";
    EXPECT_EQ(tool({"export", level, "new/dir/map.tmx"}).err, "");
    EXPECT_FALSE(headless::read_file(dir + "/new/dir/tolbrint-scenery.tsx").empty());
    headless::write_file(dir + "/plain", "a file, not a folder\n");
    const ToolRun refused = tool({"export", level, "plain/sub/map.tmx"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "tolbrint-tiled: cannot make the folder plain/sub: Not a directory\n");
}

} // namespace
