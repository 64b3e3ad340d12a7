// The graphics datafile: the entries the game reads, where data files are
// found, and how a bad or damaged datafile is reported.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "datafile.h"
#include "headless.h"
#include "level.h"
#include "tolbrint.h"
#include "zarn.h"

namespace {

class Datafile : public ::testing::Test {
protected:
    void SetUp() override { headless::start(); }
};

std::string built_datafile() { return std::string(TOLBRINT_BINARY_DIR) + "/tolbrint.dat"; }

TEST_F(Datafile, BuiltDatafileMeetsTheContract)
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

TEST_F(Datafile, ContractReportsMissingWrongTypeAndSmallEntries)
{
    EXPECT_EQ(datafile_problem(data1), "") << "the test datafile itself is complete";
    DATAFILE copy[144];
    for (int i = 0; i < 144; i++)
        copy[i] = data1[i];

    // A datafile made for the first level alone passes; the later levels'
    // entries it has must be what they are for.
    copy[123].type = DAT_END;
    EXPECT_EQ(datafile_problem(copy), "");
    copy[123] = data1[123];
    copy[130] = data1[21];
    EXPECT_EQ(datafile_problem(copy), "entry 130 should be an RLE sprite but is a bitmap");
    copy[130] = data1[130];

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

TEST_F(Datafile, BadGraphicsDatafilesAreReportedByName)
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

// The sounds go through the same checks, and the messages say which file
// they are about.
TEST_F(Datafile, TheSoundDatafileIsCheckedAndNamedAsSuch)
{
    const std::string dir = headless::temp_dir();
    std::string error;
    EXPECT_EQ(load_checked_datafile(dir + "/absent.dat", "sound datafile", error), nullptr);
    EXPECT_EQ(error, dir + "/absent.dat: cannot open the sound datafile: No such file or directory");
    EXPECT_EQ(load_checked_datafile(dir, "sound datafile", error), nullptr);
    EXPECT_EQ(error, dir + ": the sound datafile is not a regular file");

    const std::string built = std::string(TOLBRINT_BINARY_DIR) + "/sounds.dat";
    std::FILE *file = std::fopen(built.c_str(), "rb");
    ASSERT_NE(file, nullptr) << built;
    std::vector<char> bytes(2000);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    std::fclose(file);
    headless::write_file(dir + "/cut.dat", std::string(bytes.begin(), bytes.end()));
    EXPECT_EQ(load_checked_datafile(dir + "/cut.dat", "sound datafile", error), nullptr);
    EXPECT_EQ(error.rfind(dir + "/cut.dat: not a readable Allegro datafile", 0), 0u) << error;

    DATAFILE *sounds = load_checked_datafile(built, "sound datafile", error);
    ASSERT_NE(sounds, nullptr) << error;
    int samples = 0;
    for (const DATAFILE *entry = sounds; entry->type != DAT_END; entry++)
        samples += entry->type == DAT_SAMPLE;
    EXPECT_EQ(samples, 7);
    unload_datafile(sounds);
}

TEST_F(Datafile, DataFilesAreFoundInTheWorkingDirectoryFirst)
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

TEST_F(Datafile, DataFilesBesideTheProgramComeAfterTheWorkingDirectory)
{
    const std::vector<std::string> dirs = data_search_dirs();
    ASSERT_GE(dirs.size(), 3u);
    const std::string program_dir = dirs[1];
    const std::string name = "beside-" + std::to_string(getpid()) + ".dat";
    headless::write_file(program_dir + "/" + name, "beside");
    const std::string dir = headless::temp_dir();
    headless::InDirectory inside(dir);
    EXPECT_EQ(find_data_file(name), program_dir + "/" + name);
    headless::write_file(dir + "/" + name, "here");
    EXPECT_EQ(find_data_file(name), name);
    std::remove((program_dir + "/" + name).c_str());
    // An install keeps its data in share/games/tolbrint beside the
    // program's directory, whatever the prefix.
    EXPECT_EQ(dirs[2], program_dir + "/../share/games/tolbrint");
}

} // namespace

// ---------------------------------------------------------------------------
// Damaged graphics datafiles: every one is reported by name, none crashes the
// game, hangs it or makes it allocate what the file does not hold.

namespace {

// Big-endian pieces of a datafile made by hand.
std::string be32(std::uint32_t value)
{
    std::string bytes;
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes += static_cast<char>((value >> shift) & 0xFF);
    return bytes;
}

std::string be16(unsigned value) { return be32(value).substr(2); }

std::string dat_entry(std::uint32_t type, const std::string &contents)
{
    return be32(DAT_PROPERTY) + be32(DAT_NAME) + be32(4) + "NAME" + be32(type) +
           be32(static_cast<std::uint32_t>(contents.size())) +
           be32(static_cast<std::uint32_t>(contents.size())) + contents;
}

std::string datafile_of(const std::vector<std::string> &entries, std::uint32_t count)
{
    std::string bytes = be32(F_NOPACK_MAGIC) + be32(DAT_MAGIC) + be32(count);
    for (const std::string &entry : entries)
        bytes += entry;
    return bytes;
}

std::string datafile_of(const std::vector<std::string> &entries)
{
    return datafile_of(entries, static_cast<std::uint32_t>(entries.size()));
}

// A 3 x 2 sprite: a gap and two pixels, then three pixels.
std::string rle_sprite(const std::string &runs, std::uint32_t size_field)
{
    return be16(8) + be16(3) + be16(2) + be32(size_field) + runs;
}

const std::string GOOD_RUNS = std::string("\xff\x02\x07\x07\x00\x03\x07\x07\x07\x00", 10);

std::string rle_sprite(const std::string &runs)
{
    return rle_sprite(runs, static_cast<std::uint32_t>(runs.size()));
}

class DamagedDatafile : public ::testing::Test {
protected:
    void SetUp() override
    {
        headless::start();
        dir = headless::temp_dir();
        path = dir + "/tolbrint.dat";
    }

    // "" when the bytes load and meet the contract, otherwise the message,
    // which must name the file.
    std::string load(const std::string &bytes)
    {
        headless::write_file(path, bytes);
        std::string error;
        DATAFILE *datafile = load_game_datafile(path, error);
        if (datafile) {
            unload_datafile(datafile);
            return "";
        }
        EXPECT_EQ(error.rfind(path + ": ", 0), 0u) << error;
        return error.substr(path.size() + 2);
    }

    std::string dir;
    std::string path;
};

const std::string NOT_READABLE = "not a readable Allegro datafile: ";

TEST_F(DamagedDatafile, EmptyFileAndForeignFiles)
{
    EXPECT_EQ(load(""), NOT_READABLE + "the file is empty");
    EXPECT_EQ(load("slh"), "not a readable Allegro datafile");
    EXPECT_EQ(load(be32(F_NOPACK_MAGIC) + "ALX."), NOT_READABLE + "it is not in the datafile format of this Allegro version");
    EXPECT_EQ(load(be32(F_NOPACK_MAGIC) + be32(DAT_MAGIC)), NOT_READABLE + "the file ends inside the number of entries");
}

TEST_F(DamagedDatafile, CountsAndSizesBeyondTheFileAreCaughtBeforeAllegroReadsThem)
{
    EXPECT_EQ(load(datafile_of({}, 0x7FFFFFFF)), NOT_READABLE + "the datafile claims 2147483647 entries in 0 bytes");
    EXPECT_EQ(load(datafile_of({}, 0xFFFFFFFF)), NOT_READABLE + "the datafile claims -1 entries in 0 bytes");

    std::string huge = dat_entry(DAT_RLE_SPRITE, rle_sprite(GOOD_RUNS));
    huge.replace(20, 4, be32(0x7FFFFFF0));
    huge.replace(24, 4, be32(0x7FFFFFF0));
    EXPECT_EQ(load(datafile_of({huge})),
              NOT_READABLE + "entry 0 needs 2147483632 bytes but only 20 bytes follow");

    std::string property = dat_entry(DAT_PALETTE, std::string(1024, '\0'));
    property.replace(8, 4, be32(0xFFFFFFF0));
    EXPECT_EQ(load(datafile_of({property})), NOT_READABLE + "entry 0 has a property of -16 bytes");
}

TEST_F(DamagedDatafile, PicturesMustBeConsistentWithTheirSizes)
{
    // The sprite is fine apart from the contract, which wants 123 entries.
    EXPECT_EQ(load(datafile_of({dat_entry(DAT_RLE_SPRITE, rle_sprite(GOOD_RUNS))})),
              "entry 1 is missing (the file holds 1 entries, the game needs 123)");

    std::string too_wide = GOOD_RUNS;
    too_wide[5] = 4; // the second line's run of 3 becomes 4
    too_wide.insert(6, "\x07");
    EXPECT_EQ(load(datafile_of({dat_entry(DAT_RLE_SPRITE, rle_sprite(too_wide))})),
              NOT_READABLE + "entry 0's line 1 runs past the sprite's width of 3");
    EXPECT_EQ(load(datafile_of({dat_entry(DAT_RLE_SPRITE, rle_sprite(GOOD_RUNS.substr(0, 9)))})),
              NOT_READABLE + "the file ends inside entry 0's line 1");
    EXPECT_EQ(load(datafile_of({dat_entry(DAT_RLE_SPRITE, rle_sprite(GOOD_RUNS, 9999))})),
              NOT_READABLE + "entry 0's data size says 9999 bytes but it holds 10 bytes");
    EXPECT_EQ(load(datafile_of({dat_entry(DAT_RLE_SPRITE, rle_sprite(GOOD_RUNS + '\0'))})),
              NOT_READABLE + "entry 0 has 1 byte more than its contents need");

    EXPECT_EQ(load(datafile_of({dat_entry(DAT_BITMAP, be16(8) + be16(65535) + be16(65535) + "xyz")})),
              NOT_READABLE + "entry 0 is 65535 x 65535 pixels, which take 4294836225 bytes, but it holds 3 bytes");
    EXPECT_EQ(load(datafile_of({dat_entry(DAT_BITMAP, be16(12) + be16(1) + be16(1) + "x")})),
              NOT_READABLE + "entry 0 has a colour depth of 12 bits");
    EXPECT_EQ(load(datafile_of({dat_entry(DAT_PALETTE, std::string(768, '\0'))})),
              NOT_READABLE + "entry 0 is a palette of 768 bytes; a palette takes 1024 bytes");
}

TEST_F(DamagedDatafile, FontsMustHoldTheCharactersTheyClaim)
{
    const std::string glyph = be16(2) + be16(2) + std::string(2, '\x80');
    const auto font_of = [](const std::string &range) { return be16(0) + be16(1) + range; };
    const std::string one_range = std::string(1, '\x01') + be32(65) + be32(65) + glyph;
    EXPECT_EQ(load(datafile_of({dat_entry(DAT_FONT, font_of(one_range))})),
              "entry 0 should be an RLE sprite but is a font");

    const std::string backwards = std::string(1, '\x01') + be32(66) + be32(65) + glyph;
    EXPECT_EQ(load(datafile_of({dat_entry(DAT_FONT, font_of(backwards))})),
              NOT_READABLE + "entry 0's character range 0 runs from character 66 to 65");
    const std::string endless = std::string(1, '\x08') + be32(0) + be32(0x7FFFFFFF) + glyph;
    EXPECT_EQ(load(datafile_of({dat_entry(DAT_FONT, font_of(endless))})),
              NOT_READABLE + "entry 0's character range 0 claims 2147483648 characters in 6 bytes");
    const std::string odd_format = std::string(1, '\x03') + be32(65) + be32(65) + glyph;
    EXPECT_EQ(load(datafile_of({dat_entry(DAT_FONT, font_of(odd_format))})),
              NOT_READABLE + "entry 0's character range 0 has a colour depth of 3 bits");
    EXPECT_EQ(load(datafile_of({dat_entry(DAT_FONT, be16(0) + be16(0))})),
              NOT_READABLE + "entry 0 is a font without characters");
}

TEST_F(DamagedDatafile, NestedDatafilesHaveADepthLimit)
{
    std::string nested = be32(0);
    for (int depth = 0; depth < 9; depth++)
        nested = be32(1) + dat_entry(DAT_FILE, nested);
    EXPECT_EQ(load(datafile_of({dat_entry(DAT_FILE, nested)})),
              NOT_READABLE + "entry 0.entry 0.entry 0.entry 0.entry 0.entry 0.entry 0.entry 0.entry 0 "
                             "nests datafiles more than 8 deep");
}

std::string built_bytes() { return headless::read_file(built_datafile()); }

TEST_F(DamagedDatafile, EveryTruncationOfTheBuiltDatafileIsReported)
{
    const std::string whole = built_bytes();
    ASSERT_GT(whole.size(), 10000u);
    std::vector<std::size_t> lengths;
    for (std::size_t length = 0; length < 600; length++)
        lengths.push_back(length);
    for (std::size_t length = 600; length < whole.size(); length += 397)
        lengths.push_back(length);
    lengths.push_back(whole.size() - 1);
    for (std::size_t length : lengths)
        EXPECT_NE(load(whole.substr(0, length)), "") << "cut to " << length << " bytes";
}

// Flips every bit pattern of a byte at many places; each file either loads
// with a complete contract or is reported.
TEST_F(DamagedDatafile, FlippedBytesOfTheBuiltDatafileLoadOrAreReported)
{
    const std::string whole = built_bytes();
    unsigned seed = 12345;
    int reported = 0;
    for (int trial = 0; trial < 1500; trial++) {
        seed = seed * 1103515245u + 12345u;
        // The first thousand bytes hold the header and the first entries'
        // sizes; the rest is mostly pixels.
        const std::size_t at = trial < 1000 ? static_cast<std::size_t>(trial) : (seed >> 8) % whole.size();
        std::string damaged = whole;
        damaged[at] = static_cast<char>(damaged[at] ^ (1 + (seed >> 4) % 255));
        if (!load(damaged).empty())
            reported++;
    }
    EXPECT_GT(reported, 100) << "damage to sizes and counts is reported";
}

// The same file compressed as a whole ("slh!") loads, and damage to it is
// reported like damage to the plain file.
TEST_F(DamagedDatafile, PackedDatafilesAreUnpackedAndChecked)
{
    const std::string whole = built_bytes();
    const std::string packed_path = dir + "/packed.dat";
    PACKFILE *out = pack_fopen(packed_path.c_str(), F_WRITE_PACKED);
    ASSERT_NE(out, nullptr);
    pack_fwrite(whole.data() + 4, static_cast<long>(whole.size() - 4), out);
    pack_fclose(out);
    const std::string packed = headless::read_file(packed_path);
    ASSERT_EQ(packed.substr(0, 4), be32(F_PACK_MAGIC));
    ASSERT_LT(packed.size(), whole.size());
    EXPECT_EQ(load(packed), "");

    for (std::size_t length = 0; length < packed.size(); length += 211)
        EXPECT_NE(load(packed.substr(0, length)), "") << "cut to " << length << " bytes";
    unsigned seed = 777;
    for (int trial = 0; trial < 300; trial++) {
        seed = seed * 1103515245u + 12345u;
        std::string damaged = packed;
        const std::size_t at = 4 + (seed >> 8) % (packed.size() - 4);
        damaged[at] = static_cast<char>(damaged[at] ^ 0x5A);
        load(damaged);
    }
}

// Samples and MIDI music: the game holds none, but Allegro would trust their
// lengths as it does a picture's.
TEST_F(DamagedDatafile, SamplesAndMusicMustHoldWhatTheyClaim)
{
    const std::string SPRITE_WANTED = "entry 0 should be an RLE sprite but is another kind of object";
    const auto sample = [](int bits, std::uint32_t length, std::size_t bytes) {
        return dat_entry(DAT_SAMPLE, be16(static_cast<unsigned>(bits) & 0xFFFF) + be16(22050) + be32(length) +
                                         std::string(bytes, '\x80'));
    };
    EXPECT_EQ(load(datafile_of({sample(8, 3, 3)})), SPRITE_WANTED);
    EXPECT_EQ(load(datafile_of({sample(16, 3, 6)})), SPRITE_WANTED);
    EXPECT_EQ(load(datafile_of({sample(-16, 3, 12)})), SPRITE_WANTED) << "stereo: two channels";
    EXPECT_EQ(load(datafile_of({sample(8, 4, 3)})), NOT_READABLE + "entry 0 is a sample of 4 bytes but holds 3 bytes");
    EXPECT_EQ(load(datafile_of({sample(16, 0x7FFFFFFF, 2)})),
              NOT_READABLE + "entry 0 is a sample of 4294967294 bytes but holds 2 bytes");
    EXPECT_EQ(load(datafile_of({sample(12, 1, 1)})), NOT_READABLE + "entry 0 has 12-bit samples");

    // Beat divisions, then 32 tracks, each its length and its bytes.
    const auto midi = [](const std::vector<std::string> &tracks) {
        std::string contents = be16(120);
        for (const std::string &track : tracks)
            contents += be32(static_cast<std::uint32_t>(track.size())) + track;
        return dat_entry(DAT_MIDI, contents);
    };
    std::vector<std::string> tracks(32);
    tracks[0] = "MTrk";
    tracks[31] = "end";
    EXPECT_EQ(load(datafile_of({midi(tracks)})), SPRITE_WANTED);
    std::string short_track = midi(tracks);
    short_track.resize(short_track.size() - 1);
    EXPECT_EQ(load(datafile_of({short_track})).rfind(NOT_READABLE + "entry 0", 0), 0u);
    std::string extra = be16(120) + std::string(32 * 4, '\0') + "x";
    EXPECT_EQ(load(datafile_of({dat_entry(DAT_MIDI, extra)})),
              NOT_READABLE + "entry 0 has 1 byte more than its contents need");
    std::string endless = be16(120) + be32(0xFFFFFFF0) + std::string(31 * 4, '\0');
    EXPECT_EQ(load(datafile_of({dat_entry(DAT_MIDI, endless)})),
              NOT_READABLE + "entry 0's track 0 needs 4294967280 bytes but only 124 bytes follow");
}

// Fonts of old datafiles: 95 characters of 8 x 8 or 8 x 16 bits, or 95
// pictures of their own sizes; other formats are refused.
TEST_F(DamagedDatafile, OldAndUnknownFontFormats)
{
    const std::string SPRITE_WANTED = "entry 0 should be an RLE sprite but is a font";
    EXPECT_EQ(load(datafile_of({dat_entry(DAT_FONT, be16(8) + std::string(95 * 8, '\x18'))})), SPRITE_WANTED);
    EXPECT_EQ(load(datafile_of({dat_entry(DAT_FONT, be16(16) + std::string(95 * 16, '\x18'))})), SPRITE_WANTED);
    EXPECT_EQ(load(datafile_of({dat_entry(DAT_FONT, be16(8) + std::string(95 * 8 - 1, '\x18'))})),
              NOT_READABLE + "entry 0 needs 760 bytes but only 759 bytes follow");

    std::string proportional = be16(0xFFFF);
    for (int i = 0; i < 95; i++)
        proportional += be16(2) + be16(3) + std::string(6, '\x05');
    EXPECT_EQ(load(datafile_of({dat_entry(DAT_FONT, proportional)})), SPRITE_WANTED);
    proportional.resize(proportional.size() - 1);
    EXPECT_EQ(load(datafile_of({dat_entry(DAT_FONT, proportional)})),
              NOT_READABLE + "entry 0's character 126 needs 6 bytes but only 5 bytes follow");

    for (unsigned format : {1u, 7u, 9u, 17u, 0xFFFEu})
        EXPECT_EQ(load(datafile_of({dat_entry(DAT_FONT, be16(format) + std::string(95 * 16, '\0'))})),
                  NOT_READABLE + "entry 0 has font format " + std::to_string(format));
}

// The end marker's type ends a list in Allegro's reader; an entry or a
// property of that type would end it early and leave the rest unread.
TEST_F(DamagedDatafile, NothingMayBeTypedAsTheEndMarker)
{
    const std::string end_typed = be32(DAT_END) + be32(0) + be32(0);
    EXPECT_EQ(load(datafile_of({end_typed})), NOT_READABLE + "entry 0 has the end marker's type");
    const std::string end_property =
        be32(DAT_PROPERTY) + be32(DAT_END) + be32(2) + "ab" + be32(DAT_RLE_SPRITE) + be32(0) + be32(0);
    EXPECT_EQ(load(datafile_of({end_property})), NOT_READABLE + "entry 0 has a property of the end marker's type");
}

// A packed file that unpacks to more than 64 MB (a decompression bomb) is
// refused without unpacking it all.
TEST_F(DamagedDatafile, APackedFileMayNotUnpackBeyond64MB)
{
    const std::string packed_path = dir + "/bomb.dat";
    PACKFILE *out = pack_fopen(packed_path.c_str(), F_WRITE_PACKED);
    ASSERT_NE(out, nullptr);
    const std::string header = be32(DAT_MAGIC) + be32(1) + be32(DAT_DATA) + be32(0x7FFFFFFF) + be32(0x7FFFFFFF);
    pack_fwrite(header.data(), static_cast<long>(header.size()), out);
    const std::vector<char> zeros(1 << 20, 0);
    for (int megabyte = 0; megabyte < 65; megabyte++)
        pack_fwrite(zeros.data(), static_cast<long>(zeros.size()), out);
    pack_fclose(out);
    const std::string packed = headless::read_file(packed_path);
    ASSERT_LT(packed.size(), 16u << 20) << "the bomb is small on disk";
    EXPECT_EQ(load(packed), NOT_READABLE + "it is larger than 64 MB");
}

// A regular file whose bytes cannot be read: /proc/self/mem answers every
// read at offset 0 with an input/output error.
TEST_F(DamagedDatafile, AnUnreadableFileIsReportedAsSuch)
{
    std::string error;
    EXPECT_EQ(load_game_datafile("/proc/self/mem", error), nullptr);
    EXPECT_EQ(error, "/proc/self/mem: cannot read the graphics datafile: Input/output error");
}

// Allegro's own compression of some bytes, as dat -c1 stores an object.
std::string lzss_of(const std::string &contents, const std::string &dir)
{
    const std::string path = dir + "/lzss";
    PACKFILE *out = pack_fopen(path.c_str(), F_WRITE_PACKED);
    pack_fwrite(contents.data(), static_cast<long>(contents.size()), out);
    pack_fclose(out);
    return headless::read_file(path).substr(4); // after the packed file's signature
}

// An entry compressed on its own: the compressed size, then the unpacked
// size negated.
std::string compressed_entry(std::uint32_t type, const std::string &packed, std::size_t unpacked)
{
    return be32(type) + be32(static_cast<std::uint32_t>(packed.size())) +
           be32(static_cast<std::uint32_t>(-static_cast<std::int64_t>(unpacked))) + packed;
}

TEST_F(DamagedDatafile, ObjectsCompressedOnTheirOwnAreUnpackedAndChecked)
{
    const std::string sprite = rle_sprite(GOOD_RUNS);
    const std::string packed = lzss_of(sprite, dir);
    EXPECT_EQ(load(datafile_of({compressed_entry(DAT_RLE_SPRITE, packed, sprite.size())})),
              "entry 1 is missing (the file holds 1 entries, the game needs 123)");

    std::string too_wide = GOOD_RUNS;
    too_wide[5] = 4;
    too_wide.insert(6, "\x07");
    const std::string wide_sprite = rle_sprite(too_wide);
    EXPECT_EQ(load(datafile_of({compressed_entry(DAT_RLE_SPRITE, lzss_of(wide_sprite, dir), wide_sprite.size())})),
              NOT_READABLE + "entry 0's line 1 runs past the sprite's width of 3");

    const std::string cut = load(datafile_of({compressed_entry(DAT_RLE_SPRITE, packed.substr(0, packed.size() - 1), sprite.size())}));
    EXPECT_EQ(cut.rfind(NOT_READABLE + "entry 0 unpacks to ", 0), 0u) << cut;
    EXPECT_NE(cut.find(" bytes but says 20 bytes"), std::string::npos) << cut;
    EXPECT_EQ(load(datafile_of({compressed_entry(DAT_RLE_SPRITE, packed + "x", sprite.size())})),
              NOT_READABLE + "entry 0 has 1 byte after its compressed data");
    EXPECT_EQ(load(datafile_of({compressed_entry(DAT_RLE_SPRITE, packed, 100u << 20)})),
              NOT_READABLE + "entry 0 unpacks to 104857600 bytes, which makes the datafile larger than 64 MB");
    // Many small objects that unpack to more than the limit together.
    const std::string zeros(1u << 20, '\0');
    const std::string packed_zeros = lzss_of(zeros, dir);
    std::vector<std::string> entries(70, compressed_entry(DAT_DATA, packed_zeros, zeros.size()));
    const std::string too_much = load(datafile_of(entries));
    EXPECT_EQ(too_much.rfind(NOT_READABLE + "entry ", 0), 0u) << too_much;
    EXPECT_NE(too_much.find(" unpacks to 1048576 bytes, which makes the datafile larger than 64 MB"), std::string::npos)
        << too_much;
}

// Compressed data written by hand: literal bytes, then a copy of length bytes
// from a place in the unpacker's window of 4096, where the first byte
// unpacked goes to place 4078. Up to seven literals, so one flag byte does.
std::string literals_then_copy(const std::string &literals, unsigned from, unsigned length)
{
    const unsigned flags = (1u << literals.size()) - 1;
    return std::string(1, static_cast<char>(flags)) + literals + static_cast<char>(from & 0xFF) +
           static_cast<char>((from >> 8) << 4 | (length - 3));
}

// Allegro zeroes its window but for the 18 places where unpacking starts, and
// leaves those as the heap had them until it writes them. What copies from
// them would load differently from one time to the next (the loader once read
// an entry count of 0x50000000 where the check had read a small one), so it is
// refused; copies from what is set load as the check reads them.
TEST_F(DamagedDatafile, CompressedDataMayCopyOnlyWhatIsAlreadySet)
{
    const auto structure = [this](const std::string &bytes) {
        headless::write_file(path, bytes);
        return datafile_structure_problem(path);
    };
    const auto data_entry = [](const std::string &packed, std::size_t unpacked) {
        return compressed_entry(DAT_DATA, packed, unpacked);
    };
    const std::string REFERS_BACK = " refers back to bytes before its start";

    EXPECT_EQ(structure(be32(F_PACK_MAGIC) + literals_then_copy("ALL.", 4095, 4)),
              NOT_READABLE + "the packed file" + REFERS_BACK);
    EXPECT_EQ(structure(datafile_of({data_entry(literals_then_copy("x", 4080, 3), 4)})),
              NOT_READABLE + "entry 0's compressed data" + REFERS_BACK);
    EXPECT_EQ(structure(datafile_of({data_entry(literals_then_copy("", 4078, 3), 3)})),
              NOT_READABLE + "entry 0's compressed data" + REFERS_BACK) << "nothing is set yet";

    // The zeroed window gives the packed file's entry count; a copy overlapping
    // itself repeats the one byte written; a copy cut short by the unpacked
    // size ends the entry there, and the next one follows.
    EXPECT_EQ(structure(be32(F_PACK_MAGIC) + literals_then_copy("ALL.", 0, 4)), "");
    const std::string agreed = datafile_of({data_entry(literals_then_copy("x", 4078, 5), 6),
                                            data_entry(literals_then_copy("yz", 4078, 18), 3),
                                            dat_entry(DAT_DATA, "end")});
    ASSERT_EQ(structure(agreed), "");
    DATAFILE *loaded = load_datafile(path.c_str());
    ASSERT_NE(loaded, nullptr);
    const auto contents = [loaded](int i) {
        return std::string(static_cast<const char *>(loaded[i].dat), static_cast<std::size_t>(loaded[i].size));
    };
    EXPECT_EQ(contents(0), "xxxxxx");
    EXPECT_EQ(contents(1), "yzy");
    EXPECT_EQ(contents(2), "end");
    EXPECT_EQ(loaded[3].type, DAT_END);
    unload_datafile(loaded);
}

// A 3 x 2 sprite of 16 or 32 bits: a gap and two pixels, then three pixels.
// Counts and the end-of-line marker are little-endian units; 32-bit pixels
// take three bytes in the file and a unit of four in memory.
std::string le(std::uint32_t value, int bytes)
{
    std::string out;
    for (int i = 0; i < bytes; i++)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

std::string deep_rle_sprite(int bits, int first_run, std::uint32_t size_field)
{
    const int unit = bits == 16 ? 2 : 4;
    const std::string pixel = bits == 16 ? le(0x1234, 2) : std::string("\x10\x20\x30", 3);
    const std::uint32_t end = bits == 16 ? 0xF81F : 0xFF00FF;
    std::string runs = le(static_cast<std::uint32_t>(-1), unit) + le(static_cast<std::uint32_t>(first_run), unit);
    for (int i = 0; i < first_run; i++)
        runs += pixel;
    runs += le(end, unit) + le(3, unit) + pixel + pixel + pixel + le(end, unit);
    return be16(static_cast<unsigned>(bits)) + be16(3) + be16(2) + be32(size_field) + runs;
}

TEST_F(DamagedDatafile, PicturesOfEveryDepthPassAndTheirRunsAreChecked)
{
    const auto structure = [this](const std::string &entry) {
        headless::write_file(path, datafile_of({entry}));
        return datafile_structure_problem(path);
    };
    EXPECT_EQ(structure(dat_entry(DAT_RLE_SPRITE, deep_rle_sprite(16, 2, 10 * 2))), "");
    EXPECT_EQ(structure(dat_entry(DAT_RLE_SPRITE, deep_rle_sprite(32, 2, 10 * 4))), "");
    EXPECT_EQ(structure(dat_entry(DAT_RLE_SPRITE, deep_rle_sprite(16, 3, 11 * 2))),
              NOT_READABLE + "entry 0's line 0 runs past the sprite's width of 3");
    EXPECT_EQ(structure(dat_entry(DAT_RLE_SPRITE, deep_rle_sprite(32, 2, 35))),
              NOT_READABLE + "entry 0's data size says 35 bytes but its lines take 40 bytes")
        << "the size is what the lines take in memory, not in the file";
    EXPECT_EQ(structure(dat_entry(DAT_RLE_SPRITE, be16(12) + be16(1) + be16(1) + be32(2) + "\x00\x00")),
              NOT_READABLE + "entry 0 is an RLE sprite of 12-bit colour");
    for (int bits : {15, 16, 24, 32})
        EXPECT_EQ(structure(dat_entry(DAT_BITMAP, be16(static_cast<unsigned>(bits)) + be16(2) + be16(1) +
                                                      std::string(2 * ((bits + 7) / 8 == 4 ? 3 : (bits + 7) / 8), 'p'))),
                  "")
            << bits << "-bit bitmap";
    EXPECT_EQ(structure(dat_entry(DAT_BITMAP, be16(static_cast<unsigned>(-32)) + be16(2) + be16(1) + std::string(8, 'p'))),
              "")
        << "32-bit pixels with alpha take four bytes";
}

TEST_F(DamagedDatafile, FontRangesOfEveryDepthPassButMonoAndColourDoNotMix)
{
    const auto structure = [this](const std::string &ranges, unsigned count) {
        headless::write_file(path, datafile_of({dat_entry(DAT_FONT, be16(0) + be16(count) + ranges)}));
        return datafile_structure_problem(path);
    };
    const auto range = [](unsigned depth, int bytes_per_pixel) {
        const std::string glyph = be16(2) + be16(2) + std::string(bytes_per_pixel ? 4 * bytes_per_pixel : 2, 'g');
        return std::string(1, static_cast<char>(depth)) + be32(65) + be32(65) + glyph;
    };
    EXPECT_EQ(structure(range(0, 1), 1), "") << "0 is an 8-bit colour range, as dat writes it";
    EXPECT_EQ(structure(range(255, 0), 1), "") << "255 marks a mono range";
    EXPECT_EQ(structure(range(16, 2), 1), "");
    EXPECT_EQ(structure(range(24, 3), 1), "");
    EXPECT_EQ(structure(range(24, 1), 1), NOT_READABLE + "entry 0's character range 0's character 65 needs 12 bytes but only 4 bytes follow");
    EXPECT_EQ(structure(range(1, 0) + range(8, 1), 2),
              NOT_READABLE + "entry 0's character range 1 is in colour but the range before is mono");
}


// One character, "A", two pixels square, in a colour range of the given
// depth byte (0 is how dat marks 8 bits).
std::string colour_font_range(unsigned depth)
{
    const std::size_t pixel_bytes = depth == 0 || depth == 8 ? 1 : depth <= 16 ? 2 : 3;
    return std::string(1, static_cast<char>(depth)) + be32('A') + be32('A') + be16(2) + be16(2) +
           std::string(4 * pixel_bytes, '\x05');
}

// A datafile of the 123 entries the game reads, as small as the contract
// allows, with some entries replaced.
std::string game_datafile_with(const std::map<int, std::string> &replaced)
{
    const auto bitmap = [](unsigned w, unsigned h) {
        return dat_entry(DAT_BITMAP, be16(8) + be16(w) + be16(h) + std::string(w * h, '\x07'));
    };
    std::vector<std::string> entries;
    for (int i = 0; i < 123; i++) {
        const auto found = replaced.find(i);
        if (found != replaced.end())
            entries.push_back(found->second);
        else if (data1[i].type == DAT_BITMAP)
            entries.push_back(i == 37 ? bitmap(75, 100) : bitmap(320, 200));
        else if (data1[i].type == DAT_FONT)
            entries.push_back(dat_entry(DAT_FONT, be16(0) + be16(1) + colour_font_range(8)));
        else if (data1[i].type == DAT_PALETTE)
            entries.push_back(dat_entry(DAT_PALETTE, std::string(1024, '\x20')));
        else
            entries.push_back(dat_entry(DAT_RLE_SPRITE, rle_sprite(GOOD_RUNS)));
    }
    return datafile_of(entries);
}

// Deep pictures and fonts are well formed, so the message is not about a
// broken file but names the entry and what the game draws with.
TEST_F(DamagedDatafile, EntriesOfADepthTheGameDoesNotDrawWithAreNamed)
{
    ASSERT_EQ(load(game_datafile_with({})), "");
    const auto font_of_depth = [](unsigned depth) {
        return dat_entry(DAT_FONT, be16(0) + be16(1) + colour_font_range(depth));
    };
    EXPECT_EQ(load(game_datafile_with({{65, font_of_depth(16)}})),
              "entry 65 is a font in 16-bit colour; the game's fonts are 8-bit");
    EXPECT_EQ(load(game_datafile_with({{62, font_of_depth(32)}})),
              "entry 62 is a font in 32-bit colour; the game's fonts are 8-bit");
    EXPECT_EQ(load(game_datafile_with({{65, font_of_depth(0)}})), "") << "0 is how dat marks an 8-bit range";
    EXPECT_EQ(load(game_datafile_with({{5, dat_entry(DAT_RLE_SPRITE, deep_rle_sprite(16, 2, 10 * 2))}})),
              "entry 5 is a 16-bit picture; the game's pictures are 8-bit");
}
} // namespace

// ---------------------------------------------------------------------------
// Datafiles made with Allegro's own dat tool. The build exports every entry
// of our datafile with dat and grabs it back in order (scripts/dat-rebuild.sh):
// plain, packed as a whole (-c2) and compressed object by object (-c1).

namespace {

std::string dat_made(const std::string &name) { return std::string(TOLBRINT_BINARY_DIR) + "/dat-made/" + name; }

// Runs a command in dir and returns what it printed; stdin is empty, since dat
// asks before overwriting a file.
std::string run_in(const std::string &dir, const std::string &command)
{
    const std::string line = "cd '" + dir + "' && " + command + " </dev/null 2>&1";
    std::FILE *pipe = popen(line.c_str(), "r");
    std::string output;
    char chunk[4096];
    for (std::size_t got; pipe && (got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
        output.append(chunk, got);
    if (pipe)
        pclose(pipe);
    return output;
}

std::vector<unsigned char> pixels_of(BITMAP *picture)
{
    std::vector<unsigned char> pixels;
    for (int y = 0; y < picture->h; y++)
        for (int x = 0; x < picture->w; x++)
            pixels.push_back(static_cast<unsigned char>(getpixel(picture, x, y)));
    return pixels;
}

// The play view as the game shows it: the panels side by side.
std::vector<unsigned char> view_pixels()
{
    BITMAP *view = create_bitmap_ex(8, 320, 200);
    for (const Panel &panel : panels())
        blit(panel.bitmap, view, 0, 0, panel.offset, 0, 320, 200);
    std::vector<unsigned char> pixels = pixels_of(view);
    destroy_bitmap(view);
    return pixels;
}

// The first frame of play on the shipped level drawn from a datafile, and a
// frame after the hero walked east past the camp and its zombies.
std::vector<std::vector<unsigned char>> frames_from(DATAFILE *datafile)
{
    data1 = datafile;
    headless::reset_game_state();
    const std::string dir = headless::temp_dir();
    headless::InDirectory inside(dir);
    Level level(std::string(TOLBRINT_SOURCE_DIR) + "/data/level1.dat");
    int x = 130, y = 100;
    Zarn zarn(x, y);
    std::vector<std::vector<unsigned char>> frames;
    game_pass(level, zarn);
    frames.push_back(view_pixels());
    for (int pass = 0; pass < 400; pass++) {
        right_translate(level, zarn);
        game_pass(level, zarn);
    }
    frames.push_back(view_pixels());
    return frames;
}

// What an entry shows: a picture's pixels, or the game's text in a font.
std::vector<unsigned char> entry_pixels(const DATAFILE &entry)
{
    if (entry.type == DAT_BITMAP)
        return pixels_of(static_cast<BITMAP *>(entry.dat));
    BITMAP *page = nullptr;
    if (entry.type == DAT_RLE_SPRITE) {
        const RLE_SPRITE *sprite = static_cast<RLE_SPRITE *>(entry.dat);
        page = create_bitmap_ex(8, sprite->w, sprite->h);
        clear_bitmap(page);
        draw_rle_sprite(page, sprite, 0, 0);
    } else if (entry.type == DAT_FONT) {
        page = create_bitmap_ex(8, 1000, 40);
        clear_bitmap(page);
        std::string printable;
        for (char c = ' '; c <= '~'; c++)
            printable += c;
        textout_ex(page, static_cast<FONT *>(entry.dat), printable.c_str(), 0, 0, -1, -1);
        textout_ex(page, static_cast<FONT *>(entry.dat), printable.c_str(), 0, 20, 1, -1);
    } else if (entry.type == DAT_PALETTE) {
        const RGB *colours = static_cast<RGB *>(entry.dat);
        std::vector<unsigned char> values;
        for (int i = 0; i < PAL_SIZE; i++)
            values.insert(values.end(), {colours[i].r, colours[i].g, colours[i].b});
        return values;
    }
    if (!page)
        return {};
    std::vector<unsigned char> pixels = pixels_of(page);
    destroy_bitmap(page);
    return pixels;
}

class DatMade : public ::testing::TestWithParam<const char *> {
protected:
    void SetUp() override { headless::start(); }
    void TearDown() override { headless::start(); }
};

TEST_P(DatMade, LoadsAndShowsWhatOurOwnDatafileShows)
{
    std::string error;
    DATAFILE *ours = load_game_datafile(built_datafile(), error);
    ASSERT_NE(ours, nullptr) << error;
    DATAFILE *theirs = load_game_datafile(dat_made(GetParam()), error);
    ASSERT_NE(theirs, nullptr) << error;

    for (int i = 0; i < 123; i++) {
        ASSERT_EQ(theirs[i].type, ours[i].type) << "entry " << i;
        EXPECT_TRUE(entry_pixels(theirs[i]) == entry_pixels(ours[i])) << "entry " << i << " looks different";
    }
    const auto our_frames = frames_from(ours);
    const auto their_frames = frames_from(theirs);
    for (const auto &frame : our_frames)
        EXPECT_GT(std::set<unsigned char>(frame.begin(), frame.end()).size(), 30u) << "the frame shows the level";
    EXPECT_TRUE(their_frames[0] == our_frames[0]) << "the first frame of play differs";
    EXPECT_TRUE(their_frames[1] == our_frames[1]) << "the frame after a walk differs";
    unload_datafile(theirs);
    unload_datafile(ours);
}

INSTANTIATE_TEST_SUITE_P(ThreeWays, DatMade, ::testing::Values("plain.dat", "packed.dat", "compressed.dat"),
                         [](const ::testing::TestParamInfo<const char *> &info) {
                             return std::string(info.param).substr(0, std::string(info.param).find('.'));
                         });

class DatTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        headless::start();
        dir = headless::temp_dir();
    }

    std::string dir;
};

TEST_F(DatTool, ListsOurDatafileWithTheTypesAllegroLoads)
{
    std::string error;
    DATAFILE *ours = load_game_datafile(built_datafile(), error);
    ASSERT_NE(ours, nullptr) << error;
    const std::string listing = run_in(dir, "dat -l '" + built_datafile() + "'");
    // "- RLE  - BARK1    - RLE sprite (20x20, 8 bit)", one line per entry.
    std::vector<std::string> types;
    for (std::size_t at = listing.find("\n- "); at != std::string::npos; at = listing.find("\n- ", at + 1)) {
        const std::size_t start = at + 3;
        types.push_back(listing.substr(start, listing.find(' ', start) - start));
    }
    ASSERT_EQ(types.size(), 143u) << listing;
    const auto dat_type = [](int type) {
        switch (type) {
        case DAT_RLE_SPRITE: return "RLE";
        case DAT_BITMAP: return "BMP";
        case DAT_FONT: return "FONT";
        case DAT_PALETTE: return "PAL";
        default: return "?";
        }
    };
    for (int i = 0; i < 143; i++)
        EXPECT_EQ(types[static_cast<std::size_t>(i)], dat_type(ours[i].type)) << "entry " << i;
    unload_datafile(ours);
}

TEST_F(DatTool, PicturesOfEveryDepthAndBothKindsOfFontPassTheStructureCheck)
{
    const std::string depths = dat_made("depths.dat");
    EXPECT_EQ(datafile_structure_problem(depths), "");
    set_color_conversion(COLORCONV_NONE);
    DATAFILE *loaded = load_datafile(depths.c_str());
    ASSERT_NE(loaded, nullptr);
    const int expected_depths[] = {15, 15, 16, 16, 24, 24, 32, 32};
    for (int i = 0; i < 8; i++) {
        const int depth = loaded[i].type == DAT_RLE_SPRITE ? static_cast<RLE_SPRITE *>(loaded[i].dat)->color_depth
                                                           : bitmap_color_depth(static_cast<BITMAP *>(loaded[i].dat));
        EXPECT_EQ(depth, expected_depths[i]) << "entry " << i;
    }
    EXPECT_TRUE(is_mono_font(static_cast<FONT *>(loaded[8].dat)));
    EXPECT_TRUE(is_color_font(static_cast<FONT *>(loaded[9].dat)));
    unload_datafile(loaded);
}

// An artist re-saves one entry of a good datafile in a form the game cannot
// use; the message names the entry and what the game needs.
TEST_F(DatTool, WellFormedEntriesTheGameCannotUseAreNamedWithWhatItNeeds)
{
    const std::string copy = dir + "/tolbrint.dat";
    std::string error;

    headless::write_file(copy, headless::read_file(dat_made("plain.dat")));
    run_in(dir, "dat -x tolbrint.dat PORTRAIT_BMP");
    // Named PORTRAIT.bmp, dat calls the object PORTRAIT_BMP and replaces entry 37.
    run_in(dir, "mv PORTRAIT_BMP.bmp PORTRAIT.bmp && dat -a -n0 -s1 -bpp 32 -t BMP tolbrint.dat PORTRAIT.bmp");
    ASSERT_NE(run_in(dir, "dat -l tolbrint.dat").find("PORTRAIT_BMP                 - bitmap (75x100, 32 bit)"),
              std::string::npos);
    EXPECT_EQ(load_game_datafile(copy, error), nullptr);
    EXPECT_EQ(error, copy + ": entry 37 is a 32-bit picture; the game's pictures are 8-bit");

    headless::write_file(copy, headless::read_file(dat_made("plain.dat")));
    run_in(dir, "dat -x tolbrint.dat TENTFONT_TXT");
    run_in(dir, "cp TENTFONT_TXT.txt TITLEFONT.txt && dat -a -n0 -s1 -t FONT tolbrint.dat TITLEFONT.txt");
    EXPECT_EQ(load_game_datafile(copy, error), nullptr);
    EXPECT_EQ(error, copy + ": entry 65 is a mono font; the game writes it in its own colours, so it must be a "
                            "colour font");
}

} // namespace
