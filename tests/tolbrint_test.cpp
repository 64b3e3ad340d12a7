// Start-up pieces that need no window: the datafile contract, where data
// files are found, and how a bad graphics datafile is reported.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

#include "headless.h"
#include "tolbrint.h"

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
