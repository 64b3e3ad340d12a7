// The built graphics datafile: picture sizes and anchors, the colours that
// the game rewrites at run time, pictures that must tile without seams,
// readable text areas, both fonts, and the generator's error reports.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "headless.h"

namespace {

const std::string datafile_path = std::string(TOLBRINT_BINARY_DIR) + "/tolbrint.dat";

constexpr int FLASH = 4;      // rewritten after every shot and during the intro
constexpr int ROBOT_GREY = 7; // rewritten when a robot is hit
constexpr int TRANSPARENT = -1;

const std::vector<int> hero_pictures = {32, 33, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61};
const std::set<int> firing_pictures = {32, 33, 50, 51, 53, 54, 57, 58, 60, 61};
const std::set<int> facing_left = {33, 55, 56, 57, 58, 59, 60, 61};
const std::set<int> diagonal_shots = {50, 53, 57, 60};

// A picture decoded to palette entries, TRANSPARENT where nothing is drawn.
struct Pixels {
    int w = 0;
    int h = 0;
    std::vector<int> colours;
    bool opaque_zero = false; // an RLE run that draws colour 0

    int at(int x, int y) const { return colours[static_cast<size_t>(y * w + x)]; }
};

// Reads the runs of an 8-bit RLE sprite: a positive count is followed by
// that many pixels, a negative count skips pixels, 0 ends the row.
Pixels decode(const RLE_SPRITE *sprite)
{
    Pixels pixels;
    pixels.w = sprite->w;
    pixels.h = sprite->h;
    pixels.colours.assign(static_cast<size_t>(sprite->w * sprite->h), TRANSPARENT);
    const signed char *run = reinterpret_cast<const signed char *>(sprite->dat);
    for (int y = 0; y < sprite->h; y++) {
        int x = 0;
        for (int count = *run++; count != 0; count = *run++) {
            if (count < 0) {
                x -= count;
                continue;
            }
            for (int i = 0; i < count; i++, x++) {
                const int colour = static_cast<unsigned char>(*run++);
                pixels.opaque_zero |= colour == 0;
                if (x < sprite->w)
                    pixels.colours[static_cast<size_t>(y * sprite->w + x)] = colour;
            }
        }
    }
    return pixels;
}

Pixels decode(const BITMAP *bitmap)
{
    Pixels pixels;
    pixels.w = bitmap->w;
    pixels.h = bitmap->h;
    for (int y = 0; y < bitmap->h; y++)
        for (int x = 0; x < bitmap->w; x++)
            pixels.colours.push_back(bitmap->line[y][x]);
    return pixels;
}

bool uses_colour(const Pixels &pixels, int colour)
{
    return std::find(pixels.colours.begin(), pixels.colours.end(), colour) != pixels.colours.end();
}

class Art : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        headless::start();
        datafile = load_datafile(datafile_path.c_str());
    }
    static void TearDownTestSuite()
    {
        if (datafile)
            unload_datafile(datafile);
        datafile = nullptr;
    }
    void SetUp() override { ASSERT_NE(datafile, nullptr) << "cannot load " << datafile_path; }

    static Pixels picture(int entry)
    {
        if (datafile[entry].type == DAT_RLE_SPRITE)
            return decode(static_cast<RLE_SPRITE *>(datafile[entry].dat));
        return decode(static_cast<BITMAP *>(datafile[entry].dat));
    }
    static const RGB &rgb(int colour) { return static_cast<RGB *>(datafile[100].dat)[colour]; }

    // How different two pixels look; a drawn pixel next to a transparent
    // one counts as fully different.
    static int difference(int a, int b)
    {
        if (a == TRANSPARENT || b == TRANSPARENT)
            return a == b ? 0 : 3 * 63;
        return std::abs(rgb(a).r - rgb(b).r) + std::abs(rgb(a).g - rgb(b).g) + std::abs(rgb(a).b - rgb(b).b);
    }
    static int column_difference(const Pixels &p, int x1, int x2)
    {
        int sum = 0;
        for (int y = 0; y < p.h; y++)
            sum += difference(p.at(x1, y), p.at(x2, y));
        return sum;
    }
    static int row_difference(const Pixels &p, int y1, int y2)
    {
        int sum = 0;
        for (int x = 0; x < p.w; x++)
            sum += difference(p.at(x, y1), p.at(x, y2));
        return sum;
    }
    static double brightness(int colour) { return (rgb(colour).r + rgb(colour).g + rgb(colour).b) / 3.0; }

    static DATAFILE *datafile;
};

DATAFILE *Art::datafile = nullptr;

// ---------------------------------------------------------------- sizes

struct Role {
    const char *what;
    std::vector<int> entries;
    int min_w, max_w, min_h, max_h;
};

const std::vector<Role> sprite_roles = {
    {"scenery tile", {0, 1, 5, 6, 13, 19, 20, 27, 28, 31, 34, 70, 71, 72, 73, 91, 92, 104, 105, 106, 107, 108, 109, 116, 118}, 20, 20, 20, 20},
    {"canyon tile", {125, 126, 127, 128, 129, 130, 131, 132}, 20, 20, 20, 20},
    {"temple tile", {133, 134, 135, 136, 137, 138, 139, 140, 141}, 20, 20, 20, 20},
    {"hero", hero_pictures, 56, 56, 80, 80},
    {"zombie", {119, 120, 121, 122}, 20, 26, 60, 60},
    {"robot", {85}, 20, 26, 40, 40},
    {"cactus", {16}, 26, 34, 76, 84},
    {"cactus hand", {79, 80, 81}, 16, 24, 16, 24},
    {"explosion", {22, 23, 24, 25, 26}, 36, 44, 36, 44},
};

TEST_F(Art, EverySpriteHasTheSizeOfItsRoleAndDrawsSomething)
{
    std::set<int> covered;
    for (const Role &role : sprite_roles) {
        for (int entry : role.entries) {
            covered.insert(entry);
            ASSERT_EQ(datafile[entry].type, DAT_RLE_SPRITE) << role.what << " " << entry;
            const Pixels p = picture(entry);
            EXPECT_TRUE(p.w >= role.min_w && p.w <= role.max_w && p.h >= role.min_h && p.h <= role.max_h)
                << role.what << " " << entry << " is " << p.w << " x " << p.h;
            EXPECT_TRUE(std::any_of(p.colours.begin(), p.colours.end(), [](int c) { return c != TRANSPARENT; }))
                << role.what << " " << entry << " is empty";
        }
    }
    for (int entry = 0; datafile[entry].type != DAT_END; entry++)
        if (datafile[entry].type == DAT_RLE_SPRITE) {
            EXPECT_TRUE(covered.count(entry)) << "sprite " << entry << " has no role in this test";
        }
}

TEST_F(Art, NoSpriteDrawsColourZero)
{
    for (int entry = 0; datafile[entry].type != DAT_END; entry++)
        if (datafile[entry].type == DAT_RLE_SPRITE) {
            EXPECT_FALSE(picture(entry).opaque_zero) << "sprite " << entry << " draws colour 0";
        }
}

// ------------------------------------------------- run-time colours

TEST_F(Art, RobotGreyIsOnlyOnTheRobot)
{
    for (int entry = 0; datafile[entry].type != DAT_END; entry++) {
        const int type = datafile[entry].type;
        if (type != DAT_RLE_SPRITE && type != DAT_BITMAP)
            continue;
        EXPECT_EQ(uses_colour(picture(entry), ROBOT_GREY), entry == 85) << "entry " << entry;
    }
}

TEST_F(Art, FlashColourIsOnlyInMuzzleFlashesAndTheTitleStars)
{
    for (int entry = 0; datafile[entry].type != DAT_END; entry++) {
        const int type = datafile[entry].type;
        if (type != DAT_RLE_SPRITE && type != DAT_BITMAP)
            continue;
        const bool may_flash = firing_pictures.count(entry) || entry == 38;
        EXPECT_EQ(uses_colour(picture(entry), FLASH), may_flash) << "entry " << entry;
    }
    // The title's twinkling stars are small and in the sky.
    const Pixels title = picture(38);
    for (int y = 50; y < title.h; y++)
        for (int x = 0; x < title.w; x++)
            ASSERT_NE(title.at(x, y), FLASH) << "a twinkling pixel below the sky at " << x << ", " << y;
}

// ------------------------------------------------------------- anchors

TEST_F(Art, HeroStandsOnTheBottomRowWithHisBodyInItsColumns)
{
    for (int entry : hero_pictures) {
        const Pixels p = picture(entry);
        std::vector<int> feet;
        for (int x = 0; x < p.w; x++)
            if (p.at(x, p.h - 1) != TRANSPARENT)
                feet.push_back(x);
        ASSERT_FALSE(feet.empty()) << "hero " << entry << " floats above the ground";
        // Below the gun only his body and legs: they must stay within the
        // columns the game tests against walls.
        for (int y = 48; y < p.h; y++)
            for (int x = 0; x < p.w; x++)
                if (p.at(x, y) != TRANSPARENT) {
                    ASSERT_TRUE(x >= 14 && x <= 51) << "hero " << entry << " at " << x << ", " << y;
                }
    }
}

TEST_F(Art, MuzzleFlashesSitWhereTheBulletsStart)
{
    for (int entry : firing_pictures) {
        const Pixels p = picture(entry);
        const bool left = facing_left.count(entry);
        const int edge = left ? 0 : p.w - 1;
        // Level shots leave at row 38 of the picture's outer edge; diagonal
        // shots from its top corner.
        const int from = diagonal_shots.count(entry) ? 0 : 34;
        const int to = diagonal_shots.count(entry) ? 6 : 42;
        bool at_muzzle = false;
        for (int y = from; y <= to; y++)
            for (int x = edge - 3; x <= edge + 3; x++)
                if (x >= 0 && x < p.w && p.at(x, y) == FLASH)
                    at_muzzle = true;
        EXPECT_TRUE(at_muzzle) << "firing picture " << entry << " has no flash at its muzzle";
    }
}

TEST_F(Art, EnemiesStandOnTheirBottomRow)
{
    for (int entry : {16, 85, 119, 120, 121, 122}) {
        const Pixels p = picture(entry);
        int bottom = -1;
        for (int y = 0; y < p.h; y++)
            for (int x = 0; x < p.w; x++)
                if (p.at(x, y) != TRANSPARENT)
                    bottom = y;
        EXPECT_EQ(bottom, p.h - 1) << "enemy " << entry;
    }
}

TEST_F(Art, RobotGunIsOnItsLeftAtLaserHeight)
{
    const Pixels robot = picture(85);
    bool gun = false;
    for (int y = 17; y <= 23; y++)
        gun |= robot.at(0, y) != TRANSPARENT;
    EXPECT_TRUE(gun) << "nothing at the robot's left edge around row 20";
}

// ------------------------------------------------------------ seams

TEST_F(Art, BackgroundsWrapWithoutASeamAndArePlainUnderTheGround)
{
    for (int entry : {21, 123, 124}) { // the desert, the canyon, the temple
        const Pixels background = picture(entry);
        ASSERT_EQ(background.w, 320) << "background " << entry;
        std::vector<int> inside;
        for (int x = 0; x + 1 < background.w; x++)
            inside.push_back(column_difference(background, x, x + 1));
        std::sort(inside.begin(), inside.end());
        const int seam = column_difference(background, background.w - 1, 0);
        EXPECT_LE(seam, inside.back()) << "the wrap seam of " << entry << " is the sharpest edge in it";
        EXPECT_LE(seam, inside[inside.size() * 9 / 10]) << "the wrap seam of " << entry << " stands out";

        const int ground = background.at(0, 180);
        for (int y = 180; y < background.h; y++)
            for (int x = 0; x < background.w; x++)
                ASSERT_EQ(background.at(x, y), ground)
                    << "background " << entry << " is not plain under the ground tiles at " << x << ", " << y;
    }
}

TEST_F(Art, TheTempleHallIsDarkBehindTheFighters)
{
    const Pixels hall = picture(124);
    double total = 0;
    for (int y = 0; y < 180; y++)
        for (int x = 0; x < hall.w; x++)
            total += brightness(hall.at(x, y));
    EXPECT_LT(total / (180 * hall.w), brightness(picture(48).at(30, 40)) * 0.8)
        << "the temple's background is not darker than the hero's gear";
}

struct Repeats {
    int entry;
    bool across; // tiles side by side
    bool down;   // tiles above one another
};

TEST_F(Art, RepeatingTilesJoinTheirNeighbours)
{
    const Repeats tiles[] = {
        {91, true, false}, {92, true, false}, {19, true, true}, {20, true, true},
        {1, false, true},  {31, true, true},
        {125, true, false}, {126, true, true}, {127, true, false}, {131, false, true}, // the canyon
        {133, true, false}, {134, true, true}, {135, false, true}, {140, false, true}, // the temple
    };
    for (const Repeats &tile : tiles) {
        const Pixels p = picture(tile.entry);
        if (tile.across) {
            int sharpest = 0;
            for (int x = 0; x + 1 < p.w; x++)
                sharpest = std::max(sharpest, column_difference(p, x, x + 1));
            EXPECT_LE(column_difference(p, p.w - 1, 0), sharpest) << "tile " << tile.entry << " side by side";
        }
        if (tile.down) {
            int sharpest = 0;
            for (int y = 0; y + 1 < p.h; y++)
                sharpest = std::max(sharpest, row_difference(p, y, y + 1));
            EXPECT_LE(row_difference(p, p.h - 1, 0), sharpest) << "tile " << tile.entry << " stacked";
        }
    }
}

TEST_F(Art, SolidTilesAreOpaqueAndPiecesMeetWhereTheyJoin)
{
    for (int entry : {125, 126, 131, 132, 133, 134, 140, 141}) {
        const Pixels p = picture(entry);
        EXPECT_FALSE(uses_colour(p, TRANSPARENT)) << "solid tile " << entry << " has holes";
    }
    const Pixels deck = picture(127);
    for (int x = 0; x < deck.w; x++)
        ASSERT_NE(deck.at(x, 0), TRANSPARENT) << "a gap in the bridge's deck at " << x;
    for (int entry : {128, 129, 130, 139}) {
        const Pixels p = picture(entry);
        int drawn = 0;
        for (int x = 0; x < p.w; x++)
            drawn += p.at(x, p.h - 1) != TRANSPARENT;
        EXPECT_GT(drawn, 0) << "tile " << entry << " does not stand on the ground";
    }
    // The capital's shaft runs on into the column below it.
    const Pixels capital = picture(136), shaft = picture(135);
    for (int x = 0; x < 20; x++)
        EXPECT_EQ(capital.at(x, 19) == TRANSPARENT, shaft.at(x, 0) == TRANSPARENT) << "column " << x;
    // The two torch frames differ only in the flame, above the bracket.
    const Pixels torch = picture(137), torch2 = picture(138);
    for (int y = 0; y < 20; y++)
        for (int x = 0; x < 20; x++)
            if (torch.at(x, y) != torch2.at(x, y)) {
                EXPECT_LT(y, 8) << "the torch frames differ below the flame at " << x << ", " << y;
            }
}

TEST_F(Art, TheTentJoinsIntoOnePicture)
{
    // TENT1 TENT2 TENT3 over TENTZ TENT2A TENT3A: neighbouring pieces carry
    // on each other's edges, so no piece edge may be the sharpest line.
    const int layout[2][3] = {{104, 105, 107}, {109, 106, 108}};
    for (int row = 0; row < 2; row++) {
        for (int col = 0; col < 3; col++) {
            const Pixels p = picture(layout[row][col]);
            if (col < 2) {
                const Pixels right = picture(layout[row][col + 1]);
                int drawn = 0;
                for (int y = 0; y < 20; y++)
                    drawn += p.at(19, y) != TRANSPARENT && right.at(0, y) != TRANSPARENT;
                EXPECT_GT(drawn, 0) << "pieces " << layout[row][col] << " and " << layout[row][col + 1]
                                    << " do not meet";
            }
        }
    }
    const Pixels door = picture(106);
    EXPECT_NE(door.at(10, 19), TRANSPARENT) << "the tent's door reaches the ground";
}

// ---------------------------------------------------------- readability

// Whether near-white text reads over a region: its mean well below the
// text's, and (unless twinkling stars are allowed) no pixel nearly as light.
void expect_dark_under_text(const Pixels &picture, double text, double (*brightness)(int), int x1, int y1,
                            int x2, int y2, bool count_stars, const char *where)
{
    double total = 0, brightest = 0;
    for (int y = y1; y <= y2; y++)
        for (int x = x1; x <= x2; x++) {
            total += brightness(picture.at(x, y));
            if (picture.at(x, y) != FLASH)
                brightest = std::max(brightest, brightness(picture.at(x, y)));
        }
    const double mean = total / ((x2 - x1 + 1) * (y2 - y1 + 1));
    EXPECT_LT(mean, text * 0.6) << where << " is too light for white text";
    if (!count_stars) {
        EXPECT_LT(brightest, text * 0.75) << where << " has pixels as light as the text";
    }
}

TEST_F(Art, EndingKeepsTheMiddleDarkForItsWords)
{
    const Pixels ending = picture(142);
    expect_dark_under_text(ending, brightness(1), brightness, 20, 20, 300, 180, false, "the ending's text area");
}

TEST_F(Art, TitleKeepsItsTextAreasDarkAndItsSkyDark)
{
    const Pixels title = picture(38);
    const double text = brightness(1);
    auto dark_enough = [&](int x1, int y1, int x2, int y2, bool count_stars, const char *where) {
        expect_dark_under_text(title, text, brightness, x1, y1, x2, y2, count_stars, where);
    };
    dark_enough(0, 0, 319, 49, true, "the sky where the star dots go");
    dark_enough(0, 50, 319, 85, false, "the band of the credit lines");
    dark_enough(0, 45, 100, 199, false, "the strip of the tent's message");
}

TEST_F(Art, FontsCoverPrintableAsciiAndFitTheirLineSpacing)
{
    FONT *tent = static_cast<FONT *>(datafile[62].dat);
    FONT *credits = static_cast<FONT *>(datafile[65].dat);
    BITMAP *page = create_bitmap_ex(8, 40, 40);
    for (FONT *font_under_test : {tent, credits}) {
        // Lines are written 15 rows apart.
        EXPECT_LE(text_height(font_under_test), 15);
        for (int c = 33; c <= 126; c++) {
            const char text[2] = {static_cast<char>(c), 0};
            clear_to_color(page, 0);
            const bool mono = font_under_test == tent;
            textout_ex(page, font_under_test, text, 2, 2, mono ? 1 : -1, -1);
            const int drawn = 40 * 40 - headless::count_colour(page, 0);
            EXPECT_GT(drawn, 0) << "no glyph for '" << text << "' in font " << (mono ? 62 : 65);
            if (mono) {
                EXPECT_EQ(drawn, headless::count_colour(page, 1)) << "the tent font draws other colours";
            }
        }
        EXPECT_GT(text_length(font_under_test, " "), 0) << "the blank has no width";
    }
    destroy_bitmap(page);
}

// ---------------------------------------------------------- the generator

struct GeneratorRun {
    int status;
    std::string errors;
};

GeneratorRun run_generator(const std::string &art_dir)
{
    const std::string log = art_dir + "/errors.log";
    const std::string command = std::string(TOLBRINT_BINARY_DIR) + "/tolbrint-mkdat " + art_dir + " " + art_dir +
                                "/out.dat 2>" + log;
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, headless::read_file(log)};
}

// The smallest art directory the generator accepts.
std::string minimal_art_dir()
{
    const std::string dir = headless::temp_dir();
    EXPECT_EQ(std::system(("mkdir -p " + dir + "/sprites " + dir + "/fonts").c_str()), 0);
    headless::write_file(dir + "/palette.txt", "colour 0 clear 0,0,0\ncolour 1 white 63,63,63\n");
    std::string glyphs = "height 1\n";
    for (int c = 32; c <= 126; c++)
        glyphs += "glyph " + std::to_string(c) + "\nX\n";
    headless::write_file(dir + "/fonts/glyphs.txt", glyphs);
    headless::write_file(dir + "/sprites/dot.txt", "key\n. clear\nw white\npart dot\n.w.\nwww\n");
    headless::write_file(dir + "/entries.txt", "0 sprite DOT part dot\n1 font F plain\n");
    return dir;
}

TEST(ArtGenerator, ReportsTheFileAndLineOfABadSource)
{
    const std::string dir = minimal_art_dir();
    GeneratorRun ok = run_generator(dir);
    EXPECT_EQ(ok.status, 0) << ok.errors;

    headless::write_file(dir + "/sprites/dot.txt", "key\n. clear\nw white\npart dot\n.w.\nwwww\n");
    GeneratorRun ragged = run_generator(dir);
    EXPECT_EQ(ragged.status, 1);
    EXPECT_NE(ragged.errors.find("sprites/dot.txt:6: row is 4 wide"), std::string::npos) << ragged.errors;

    headless::write_file(dir + "/sprites/dot.txt", "key\n. clear\nw white\npart dot\n.w.\nwzw\n");
    GeneratorRun unknown = run_generator(dir);
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.errors.find("dot.txt:6: 'z' is not in the key"), std::string::npos) << unknown.errors;

    headless::write_file(dir + "/sprites/dot.txt", "key\n. clear\nw white\npart dot\n.w.\nwww\n");
    headless::write_file(dir + "/entries.txt", "0 sprite DOT part dot\n0 sprite DOT part dot\n");
    GeneratorRun twice = run_generator(dir);
    EXPECT_EQ(twice.status, 1);
    EXPECT_NE(twice.errors.find("entries.txt:2: entry 0 is listed twice"), std::string::npos) << twice.errors;

    headless::write_file(dir + "/entries.txt", "0 sprite DOT mirror 5\n");
    GeneratorRun mirror = run_generator(dir);
    EXPECT_EQ(mirror.status, 1);
    EXPECT_NE(mirror.errors.find("entry 5 is not a picture listed earlier"), std::string::npos) << mirror.errors;
}

} // namespace
