// The shortcuts that keep a pass and a level load cheap change no pixel and
// no file: scenery tiles outside a panel are not handed to the library, the
// solid objects' trace file is not rewritten when it already holds its line,
// and datafile entries are counted once.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "headless.h"
#include "object.h"
#include "tolbrint.h"

namespace {

const int RIDGED_SAND = 92;

DATAFILE *real_datafile()
{
    static DATAFILE *loaded = nullptr;
    if (!loaded) {
        std::string error;
        loaded = load_game_datafile(std::string(TOLBRINT_BINARY_DIR) + "/tolbrint.dat", error);
        EXPECT_NE(loaded, nullptr) << error;
    }
    return loaded;
}

// Allegro's clipping itself overflows (and crashes) for sprites drawn near
// the ends of the int range; far off a panel it would draw nothing anyway.
bool library_can_clip(long long x, long long y)
{
    const long long far = INT_MAX / 2;
    return x > -far && x < far && y > -far && y < far;
}

// Every tile into every panel, left to the library's clipping: the drawing
// as it was before off-panel tiles were skipped.
void draw_every_tile(const Object &object)
{
    const bool twice = object.sprite == sprite_entry(RIDGED_SAND);
    for (long long row = object.y1; row <= object.y2; row += TILE)
        for (long long column = object.x1 + 0LL + SCENERY_SHIFT; column <= object.x2 + 0LL + SCENERY_SHIFT;
             column += TILE)
            for (const Panel &panel : panels()) {
                const long long x = column - global_x - panel.offset;
                if (!library_can_clip(x, row))
                    continue;
                draw_rle_sprite(panel.bitmap, object.sprite, static_cast<int>(x), static_cast<int>(row));
                if (twice)
                    draw_rle_sprite(panel.bitmap, object.sprite, static_cast<int>(x), static_cast<int>(row - 2));
            }
}

bool same_pixels(BITMAP *a, BITMAP *b)
{
    for (int y = 0; y < a->h; y++)
        if (std::memcmp(a->line[y], b->line[y], static_cast<std::size_t>(a->w)) != 0)
            return false;
    return true;
}

class PassCost : public ::testing::Test {
protected:
    void SetUp() override
    {
        headless::start();
        data1 = real_datafile();
        ASSERT_NE(data1, nullptr);
    }
    void TearDown() override { headless::start(); }
};

struct Box {
    int x1, y1, x2, y2;
    const char *sprite;
    bool solid;
};

TEST_F(PassCost, SkippingOffPanelTilesLeavesEveryPixelAsDrawingThemAll)
{
    const headless::InDirectory scratch(headless::temp_dir());
    const Box boxes[] = {
        {-160, 180, 3400, 240, "SAND4", true},  // ridged sand, drawn twice, rows below the view
        {-160, 160, 3400, 160, "SAND4", false}, {37, -15, 91, 33, "FLAME", false},
        {-1000000, 100, 1000000, 100, "GRASS1", false}, {5, 5, 4, 4, "BONE", false},
        {INT_MAX - 100, 0, INT_MAX, 40, "DIRT", true}, {INT_MIN, INT_MIN, INT_MIN + 60, INT_MIN + 60, "DIRT", true},
        {-301, 197, -250, 260, "TENT1", false},
    };
    const int views[] = {0, 37, -333, 1000000, -170, 3333};
    const int offsets[][3] = {{0, 320, -320}, {-6, 314, -326}, {-319, 1, -639}};
    BITMAP *expected[3];
    for (BITMAP *&bitmap : expected)
        bitmap = create_bitmap_ex(8, 320, 240);
    for (const Box &box : boxes) {
        int x1 = box.x1, y1 = box.y1, x2 = box.x2, y2 = box.y2;
        std::string name = box.sprite;
        const Object object = box.solid ? Solid_Object(x1, y1, x2, y2, name) : Object(x1, y1, x2, y2, name);
        ASSERT_NE(object.sprite, nullptr) << name;
        for (int view : views) {
            for (const auto &offset : offsets) {
                global_x = view;
                scroll_x_1 = offset[0];
                scroll_x_2 = offset[1];
                scroll_x_3 = offset[2];
                BITMAP *drawn[3] = {buffer, buffer2, buffer3};
                for (int i = 0; i < 3; i++)
                    clear_to_color(drawn[i], 7);
                Object(object).display();
                std::swap(buffer, expected[0]);
                std::swap(buffer2, expected[1]);
                std::swap(buffer3, expected[2]);
                for (int i = 0; i < 3; i++)
                    clear_to_color(panels()[i].bitmap, 7);
                draw_every_tile(object);
                std::swap(buffer, expected[0]);
                std::swap(buffer2, expected[1]);
                std::swap(buffer3, expected[2]);
                for (int i = 0; i < 3; i++)
                    EXPECT_TRUE(same_pixels(drawn[i], expected[i]))
                        << name << " " << box.x1 << ".." << box.x2 << " at view " << view << ", panel " << i
                        << " at " << offset[i];
            }
        }
    }
    for (BITMAP *bitmap : expected)
        destroy_bitmap(bitmap);
}

TEST_F(PassCost, TheTraceFileIsRewrittenWheneverItIsNotTheOneLastWritten)
{
    const std::string dir = headless::temp_dir();
    const headless::InDirectory scratch(dir);
    const std::string trace = dir + "/default_object.txt";
    const std::string line = "Calling default object()\n";
    int x = 0, y = 0;
    std::string name = "DIRT";

    for (int i = 0; i < 1000; i++)
        Solid_Object(x, y, x, y, name);
    EXPECT_EQ(headless::read_file(trace), line);

    std::remove(trace.c_str());
    Solid_Object(x, y, x, y, name);
    EXPECT_EQ(headless::read_file(trace), line) << "a removed file is written again";

    // Changes of the same size, made at once: no file time can tell them apart.
    for (const char *changed : {"Calling default object(X\n", "Calling default object()\r", "calling default object()\n"}) {
        headless::write_file(trace, changed);
        Solid_Object(x, y, x, y, name);
        EXPECT_EQ(headless::read_file(trace), line) << "a changed file is written again: " << changed;
    }
    for (const char *changed : {"Calling default object()\n\n", "Calling default object()", ""}) {
        headless::write_file(trace, changed);
        Solid_Object(x, y, x, y, name);
        EXPECT_EQ(headless::read_file(trace), line) << "a longer or shorter file is written again";
    }

    // A file that holds the line already is left alone: its time stays.
    const struct utimbuf long_ago = {946684800, 946684800}; // 1 January 2000
    ASSERT_EQ(utime(trace.c_str(), &long_ago), 0);
    Solid_Object(x, y, x, y, name);
    struct stat info;
    ASSERT_EQ(stat(trace.c_str(), &info), 0);
    EXPECT_EQ(info.st_mtime, long_ago.modtime) << "the line was written again";

    const std::string elsewhere = headless::temp_dir();
    const headless::InDirectory other(elsewhere);
    Solid_Object(x, y, x, y, name);
    EXPECT_EQ(headless::read_file(elsewhere + "/default_object.txt"), line)
        << "another working directory gets its own trace file";
}

TEST_F(PassCost, EntriesAreLookedUpInTheDatafileDataOnePointsToNow)
{
    ASSERT_NE(sprite_entry(122), nullptr);
    DATAFILE short_file[3];
    short_file[0] = data1[0];
    short_file[1] = data1[1];
    short_file[2].type = DAT_END;
    short_file[2].dat = nullptr;
    data1 = short_file;
    EXPECT_EQ(sprite_entry(1), data1[1].dat);
    EXPECT_EQ(sprite_entry(2), nullptr);
    EXPECT_EQ(sprite_entry(122), nullptr);
    data1 = real_datafile();
    EXPECT_NE(sprite_entry(122), nullptr);
    data1 = nullptr;
    EXPECT_EQ(sprite_entry(0), nullptr);
}

} // namespace
