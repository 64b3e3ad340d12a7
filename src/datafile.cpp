// The graphics datafile: where the game's data files are found, the entries
// the game reads and the checks a datafile passes before Allegro loads it.
#include "datafile.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform.h"
#include "tolbrint.h"

#ifndef TOLBRINT_DATA_DIR
#define TOLBRINT_DATA_DIR "/usr/local/share/games/tolbrint"
#endif
// Where an install puts the data, seen from the directory of the installed
// game or tool; a prefix moved as a whole keeps working.
#ifndef TOLBRINT_DATA_DIR_FROM_PROGRAM
#define TOLBRINT_DATA_DIR_FROM_PROGRAM "../share/games/tolbrint"
#endif

namespace {

// What the game needs of each datafile entry it reads. Every picture is
// 8-bit, drawn with the game's palette; a font the game writes with its own
// colours (the title's credit lines) must be a colour font.
enum FontNeed { ANY_FONT, COLOUR_FONT };

struct EntryNeed {
    int first;
    int last;
    int type;
    int min_w;
    int min_h;
    FontNeed font = ANY_FONT;
};

constexpr int ANY = 0;

const EntryNeed datafile_contract[] = {
    {0, 1, DAT_RLE_SPRITE, ANY, ANY},     {5, 6, DAT_RLE_SPRITE, ANY, ANY},
    {13, 13, DAT_RLE_SPRITE, ANY, ANY},   {16, 16, DAT_RLE_SPRITE, ANY, ANY},
    {19, 20, DAT_RLE_SPRITE, ANY, ANY},   {21, 21, DAT_BITMAP, 320, 200},
    {22, 28, DAT_RLE_SPRITE, ANY, ANY},   {31, 34, DAT_RLE_SPRITE, ANY, ANY},
    {37, 37, DAT_BITMAP, 75, 100},        {38, 38, DAT_BITMAP, 320, 200},
    {48, 61, DAT_RLE_SPRITE, ANY, ANY},   {62, 62, DAT_FONT, ANY, ANY},
    {65, 65, DAT_FONT, ANY, ANY, COLOUR_FONT}, {70, 73, DAT_RLE_SPRITE, ANY, ANY},
    {79, 81, DAT_RLE_SPRITE, ANY, ANY},   {85, 85, DAT_RLE_SPRITE, ANY, ANY},
    {91, 92, DAT_RLE_SPRITE, ANY, ANY},   {100, 100, DAT_PALETTE, ANY, ANY},
    {104, 109, DAT_RLE_SPRITE, ANY, ANY}, {116, 116, DAT_RLE_SPRITE, ANY, ANY},
    {118, 122, DAT_RLE_SPRITE, ANY, ANY},
};

// The later levels' backgrounds, tiles and the ending's picture.
const EntryNeed later_levels_entries[] = {
    {123, 124, DAT_BITMAP, 320, 200},
    {125, 141, DAT_RLE_SPRITE, ANY, ANY},
    {142, 142, DAT_BITMAP, 320, 200},
};

constexpr int GAME_DEPTH = 8;

const char *type_name(int type)
{
    switch (type) {
    case DAT_RLE_SPRITE: return "an RLE sprite";
    case DAT_BITMAP: return "a bitmap";
    case DAT_FONT: return "a font";
    case DAT_PALETTE: return "a palette";
    default: return "another kind of object";
    }
}

int entry_count(const DATAFILE *datafile)
{
    int count = 0;
    while (datafile[count].type != DAT_END)
        count++;
    return count;
}

bool is_regular_file(const std::string &path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The entries of data1, counted once for each datafile it points to: the
// drawers look pictures up every pass, and a loaded datafile never changes.
int data1_entry_count()
{
    static const DATAFILE *counted = nullptr;
    static int count = 0;
    if (data1 != counted) {
        counted = data1;
        count = data1 ? entry_count(data1) : 0;
    }
    return count;
}

const DATAFILE *entry(int index)
{
    if (!data1 || index < 0 || index >= data1_entry_count())
        return nullptr;
    return &data1[index];
}

template <typename T> T *typed_entry(int index, int type)
{
    const DATAFILE *found = entry(index);
    return found && found->type == type ? static_cast<T *>(found->dat) : nullptr;
}

} // namespace

RLE_SPRITE *sprite_entry(int index) { return typed_entry<RLE_SPRITE>(index, DAT_RLE_SPRITE); }
BITMAP *bitmap_entry(int index) { return typed_entry<BITMAP>(index, DAT_BITMAP); }
FONT *font_entry(int index) { return typed_entry<FONT>(index, DAT_FONT); }

std::vector<std::string> data_search_dirs()
{
    const std::string own_dir = program_dir();
    if (own_dir.empty())
        return {".", TOLBRINT_DATA_DIR};
    return {".", own_dir, own_dir + "/" + TOLBRINT_DATA_DIR_FROM_PROGRAM, TOLBRINT_DATA_DIR};
}

std::string find_data_file(const std::string &name)
{
    for (const std::string &dir : data_search_dirs()) {
        const std::string path = dir == "." ? name : dir + "/" + name;
        if (is_regular_file(path))
            return path;
    }
    return name;
}

namespace {

// What is wrong with entry i for the need, or "".
std::string entry_problem(const DATAFILE *datafile, int i, const EntryNeed &need)
{
    const std::string where = "entry " + std::to_string(i);
    if (datafile[i].type != need.type)
        return where + " should be " + type_name(need.type) + " but is " + type_name(datafile[i].type);
    int w = 0, h = 0;
    if (need.type == DAT_BITMAP) {
        w = static_cast<BITMAP *>(datafile[i].dat)->w;
        h = static_cast<BITMAP *>(datafile[i].dat)->h;
    } else if (need.type == DAT_RLE_SPRITE) {
        w = static_cast<RLE_SPRITE *>(datafile[i].dat)->w;
        h = static_cast<RLE_SPRITE *>(datafile[i].dat)->h;
    }
    if (w < need.min_w || h < need.min_h)
        return where + " is " + std::to_string(w) + " x " + std::to_string(h) + " pixels, the game needs at least " +
               std::to_string(need.min_w) + " x " + std::to_string(need.min_h);
    return "";
}

} // namespace

std::string datafile_problem(const DATAFILE *datafile)
{
    const int count = entry_count(datafile);
    for (const EntryNeed &need : datafile_contract)
        for (int i = need.first; i <= need.last; i++) {
            if (i >= count)
                return "entry " + std::to_string(i) + " is missing (the file holds " + std::to_string(count) +
                       " entries, the game needs 123)";
            const std::string problem = entry_problem(datafile, i, need);
            if (!problem.empty())
                return problem;
        }
    // A datafile made for the first level alone ends at 122; the entries it
    // has must still be what the game takes them for.
    for (const EntryNeed &need : later_levels_entries)
        for (int i = need.first; i <= need.last && i < count; i++) {
            const std::string problem = entry_problem(datafile, i, need);
            if (!problem.empty())
                return problem;
        }
    return "";
}

// ---------------------------------------------------------------------------
// The datafile's structure, checked before Allegro reads it: Allegro trusts
// every size and count in the file, so a damaged file could make it allocate
// absurd amounts, read past its buffers or draw past a sprite's lines. The
// check accepts what Allegro reads correctly: pictures of every depth, fonts
// of every kind, objects compressed on their own or the whole file packed.

namespace {

// Far more than the game's pictures need; anything larger is not our datafile.
constexpr std::size_t LARGEST_DATAFILE = 64u << 20;
const char *const LARGEST_DATAFILE_TEXT = "64 MB";
constexpr int DEEPEST_NESTING = 8;
// Type, stored size and unpacked size: the least an entry takes.
constexpr std::size_t SMALLEST_ENTRY = 12;

// A file whose structure is broken, and one that cannot be read at all.
struct Malformed {
    std::string problem;
};
struct Unreadable {
    std::string problem;
};

[[noreturn]] void malformed(const std::string &problem) { throw Malformed{problem}; }
// The problem with errno's reason; the reason is taken before the message is
// put together, which may allocate.
[[noreturn]] void unreadable(const std::string &doing)
{
    const int reason = errno;
    throw Unreadable{doing + ": " + std::strerror(reason)};
}

std::string bytes_text(std::uint64_t count)
{
    return std::to_string(count) + (count == 1 ? " byte" : " bytes");
}

// Fields of one stretch of the file, never read past its end. Allegro writes
// most numbers big-endian, but the runs of deep RLE sprites little-endian.
class DatBytes {
public:
    DatBytes(const unsigned char *data, std::size_t size) : data_(data), size_(size) {}

    std::size_t left() const { return size_ - at_; }

    std::uint32_t u32(const std::string &what) { return static_cast<std::uint32_t>(field(4, what)); }
    int i32(const std::string &what) { return static_cast<std::int32_t>(u32(what)); }
    unsigned u16(const std::string &what) { return static_cast<unsigned>(field(2, what)); }
    int i16(const std::string &what) { return static_cast<std::int16_t>(u16(what)); }
    unsigned u8(const std::string &what) { return static_cast<unsigned>(field(1, what)); }

    std::uint32_t little_endian(int width, const std::string &what)
    {
        const std::uint64_t big = field(width, what);
        std::uint32_t value = 0;
        for (int i = 0; i < width; i++)
            value |= static_cast<std::uint32_t>((big >> (8 * (width - 1 - i))) & 0xFF) << (8 * i);
        return value;
    }

    bool next_u32_is(std::uint32_t value) const
    {
        if (left() < 4)
            return false;
        DatBytes peek = *this;
        return peek.u32("") == value;
    }

    // The next count bytes as a stretch of their own.
    DatBytes take(std::uint64_t count, const std::string &what)
    {
        if (count > left())
            malformed(what + " needs " + bytes_text(count) + " but only " + bytes_text(left()) +
                      " follow");
        DatBytes part(data_ + at_, static_cast<std::size_t>(count));
        at_ += static_cast<std::size_t>(count);
        return part;
    }

    const unsigned char *data() const { return data_ + at_; }

    void expect_end(const std::string &what) const
    {
        if (left() != 0)
            malformed(what + " has " + bytes_text(left()) + " more than its contents need");
    }

private:
    std::uint64_t field(int width, const std::string &what)
    {
        if (left() < static_cast<std::size_t>(width))
            malformed("the file ends inside " + what);
        std::uint64_t value = 0;
        for (int i = 0; i < width; i++)
            value = value << 8 | data_[at_++];
        return value;
    }

    const unsigned char *data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// What the check learns of one top-level entry: its type and the colour
// depth its pixels are stored in (MONO for a font of one colour, 0 when the
// entry holds no pixels). Allegro converts some depths as it loads, so only
// the file tells what the artist made.
struct StoredEntry {
    std::uint32_t type;
    int depth;
};

constexpr int MONO = 1;

// The walk through the file: how deep in nested datafiles it is, and how
// many bytes objects compressed on their own may still unpack to.
struct Walk {
    int nesting;
    std::size_t unpack_allowance;
};

std::vector<StoredEntry> check_entries(DatBytes &in, const std::string &prefix, Walk &walk);

int check_nested_datafile(DatBytes &in, const std::string &where, Walk &walk)
{
    if (walk.nesting >= DEEPEST_NESTING)
        malformed(where + " nests datafiles more than " + std::to_string(DEEPEST_NESTING) + " deep");
    walk.nesting++;
    check_entries(in, where + ".", walk);
    walk.nesting--;
    return 0;
}

// Bytes per pixel by stored colour depth; -32 marks 32-bit pixels with alpha.
struct PixelFormat {
    int bits;
    int bytes;
};
const PixelFormat pixel_formats[] = {{8, 1}, {15, 2}, {16, 2}, {24, 3}, {32, 3}, {-32, 4}};

int bytes_per_pixel(int bits, const std::string &where)
{
    for (const PixelFormat &format : pixel_formats)
        if (format.bits == bits)
            return format.bytes;
    malformed(where + " has a colour depth of " + std::to_string(bits) + " bits");
}

int check_bitmap(DatBytes &in, const std::string &where, Walk &)
{
    const int bits = in.i16(where + "'s colour depth");
    const std::uint64_t bytes = static_cast<std::uint64_t>(bytes_per_pixel(bits, where));
    const std::uint64_t w = in.u16(where + "'s width");
    const std::uint64_t h = in.u16(where + "'s height");
    if (in.left() != w * h * bytes)
        malformed(where + " is " + std::to_string(w) + " x " + std::to_string(h) + " pixels, which take " +
                  bytes_text(w * h * bytes) + ", but it holds " + bytes_text(in.left()));
    return std::abs(bits);
}

// How the lines of an RLE sprite are stored at each depth. A count is a
// signed number: positive for a run of opaque pixels, which follow it,
// negative for a transparent gap. 8-bit sprites end a line with a count of
// zero; deeper ones with a marker colour, and keep every count and pixel in
// a unit of 2 or 4 bytes in memory, while the file stores pixels packed.
struct RleFormat {
    int bits;
    int count_bytes; // in the file, and the unit in memory
    int pixel_bytes; // in the file
    std::uint32_t end_of_line;
};
const RleFormat rle_formats[] = {
    {8, 1, 1, 0},          {15, 2, 2, 0xF81F},    {16, 2, 2, 0xF81F},
    {24, 4, 3, 0xFF00FF},  {32, 4, 3, 0xFF00FF},  {-32, 4, 4, 0xFF00FF},
};

const RleFormat &rle_format(int bits, const std::string &where)
{
    for (const RleFormat &format : rle_formats)
        if (format.bits == bits)
            return format;
    malformed(where + " is an RLE sprite of " + std::to_string(bits) + "-bit colour");
}

std::int64_t signed_count(std::uint32_t raw, int bytes)
{
    const int unused_bits = 32 - 8 * bytes;
    return static_cast<std::int32_t>(raw << unused_bits) >> unused_bits;
}

// The runs of a line never reach beyond the sprite's width, since the
// drawers trust them. Returns the units the lines take in memory.
std::uint64_t check_rle_lines(DatBytes &in, const RleFormat &format, unsigned w, unsigned h,
                              const std::string &where)
{
    std::uint64_t units = 0;
    for (unsigned line = 0; line < h; line++) {
        const std::string line_name = where + "'s line " + std::to_string(line);
        std::uint64_t filled = 0;
        for (std::uint32_t raw = in.little_endian(format.count_bytes, line_name); raw != format.end_of_line;
             raw = in.little_endian(format.count_bytes, line_name)) {
            const std::int64_t run = signed_count(raw, format.count_bytes);
            const std::uint64_t pixels = static_cast<std::uint64_t>(run > 0 ? run : -run);
            filled += pixels;
            if (filled > w)
                malformed(line_name + " runs past the sprite's width of " + std::to_string(w));
            units++;
            if (run > 0) {
                in.take(pixels * static_cast<std::uint64_t>(format.pixel_bytes), line_name);
                units += pixels;
            }
        }
        units++; // the end of the line
    }
    return units;
}

// Allegro allocates the data size the file gives and fills it with the lines
// as it reads them, so the two must agree.
int check_rle_sprite(DatBytes &in, const std::string &where, Walk &)
{
    const int bits = in.i16(where + "'s colour depth");
    const RleFormat &format = rle_format(bits, where);
    const unsigned w = in.u16(where + "'s width");
    const unsigned h = in.u16(where + "'s height");
    const std::uint32_t size = in.u32(where + "'s data size");
    if (format.bits == 8 && size != in.left())
        malformed(where + "'s data size says " + bytes_text(size) + " but it holds " + bytes_text(in.left()));
    const std::uint64_t in_memory = check_rle_lines(in, format, w, h, where) *
                                    static_cast<std::uint64_t>(format.count_bytes);
    in.expect_end(where);
    if (size != in_memory)
        malformed(where + "'s data size says " + bytes_text(size) + " but its lines take " +
                  bytes_text(in_memory));
    return std::abs(bits);
}

int check_palette(DatBytes &in, const std::string &where, Walk &)
{
    const std::size_t needed = PAL_SIZE * 4;
    if (in.left() != needed)
        malformed(where + " is a palette of " + bytes_text(in.left()) + "; a palette takes " +
                  bytes_text(needed));
    return 0;
}

// The fonts of old datafiles: 95 characters from the space on.
constexpr int OLD_FONT_GLYPHS = 95;
constexpr unsigned FIXED_8_FONT = 8;
constexpr unsigned FIXED_16_FONT = 16;
constexpr unsigned PROPORTIONAL_FONT = 0xFFFF; // stored as -1
constexpr unsigned RANGES_FONT = 0;

// The depth byte of a character range: 1 and 255 mark a mono range, 0 an
// 8-bit colour range (as older Allegro versions and dat write it), anything
// else a colour range of that depth, whose glyphs Allegro reads like bitmaps.
int range_depth(unsigned stored, const std::string &where)
{
    if (stored == 1 || stored == 255)
        return MONO;
    const int depth = stored == 0 ? 8 : static_cast<int>(stored);
    bytes_per_pixel(depth, where);
    return depth;
}

void check_glyph(DatBytes &in, const std::string &where, int depth)
{
    const std::uint64_t w = in.u16(where + "'s width");
    const std::uint64_t h = in.u16(where + "'s height");
    const std::uint64_t bytes =
        depth == MONO ? (w + 7) / 8 * h : w * h * static_cast<std::uint64_t>(bytes_per_pixel(depth, where));
    in.take(bytes, where);
}

int check_font_range(DatBytes &in, const std::string &where)
{
    const int depth = range_depth(in.u8(where + "'s colour depth"), where);
    const int first = in.i32(where + "'s first character");
    const int last = in.i32(where + "'s last character");
    if (first < 0 || last < first)
        malformed(where + " runs from character " + std::to_string(first) + " to " + std::to_string(last));
    const std::uint64_t glyphs = static_cast<std::uint64_t>(last) - first + 1;
    if (glyphs > in.left() / 4)
        malformed(where + " claims " + std::to_string(glyphs) + " characters in " + bytes_text(in.left()));
    for (std::uint64_t i = 0; i < glyphs; i++)
        check_glyph(in, where + "'s character " + std::to_string(first + i), depth);
    return depth;
}

// Allegro keeps a font's ranges in one list drawn by one kind of drawer, so
// mono and colour ranges in one font would be drawn as the wrong kind.
int check_ranges_font(DatBytes &in, const std::string &where)
{
    const unsigned ranges = in.u16(where + "'s number of character ranges");
    if (ranges == 0)
        malformed(where + " is a font without characters");
    int font_depth = 0;
    for (unsigned range = 0; range < ranges; range++) {
        const std::string range_name = where + "'s character range " + std::to_string(range);
        const int depth = check_font_range(in, range_name);
        if (font_depth != 0 && (depth == MONO) != (font_depth == MONO))
            malformed(range_name + " is " + (depth == MONO ? "mono" : "in colour") + " but the range before is " +
                      (font_depth == MONO ? "mono" : "in colour"));
        font_depth = std::max(font_depth, depth);
    }
    return font_depth;
}

int check_font(DatBytes &in, const std::string &where, Walk &)
{
    const unsigned format = in.u16(where + "'s font format");
    int depth = MONO;
    if (format == FIXED_8_FONT || format == FIXED_16_FONT) {
        in.take(OLD_FONT_GLYPHS * format, where);
    } else if (format == PROPORTIONAL_FONT) {
        for (int i = 0; i < OLD_FONT_GLYPHS; i++)
            check_glyph(in, where + "'s character " + std::to_string(' ' + i), 8);
        depth = 8;
    } else if (format == RANGES_FONT) {
        depth = check_ranges_font(in, where);
    } else {
        malformed(where + " has font format " + std::to_string(format));
    }
    in.expect_end(where);
    return depth;
}

int check_sample(DatBytes &in, const std::string &where, Walk &)
{
    const int bits = in.i16(where + "'s sample bits");
    if (bits != 8 && bits != 16 && bits != -8 && bits != -16)
        malformed(where + " has " + std::to_string(bits) + "-bit samples");
    in.u16(where + "'s frequency");
    const std::uint64_t length = in.u32(where + "'s length");
    const std::uint64_t needed = length * (bits < 0 ? 2 : 1) * (std::abs(bits) / 8);
    if (in.left() != needed)
        malformed(where + " is a sample of " + bytes_text(needed) + " but holds " + bytes_text(in.left()));
    return 0;
}

constexpr int MIDI_TRACK_COUNT = 32;

int check_midi(DatBytes &in, const std::string &where, Walk &)
{
    in.u16(where + "'s beat divisions");
    for (int track = 0; track < MIDI_TRACK_COUNT; track++) {
        const std::string track_name = where + "'s track " + std::to_string(track);
        in.take(in.u32(track_name + "'s length"), track_name);
    }
    in.expect_end(where);
    return 0;
}

// The types whose contents Allegro interprets; any other type is kept as
// plain bytes. Each check returns the colour depth of the entry's pixels.
struct ContentsCheck {
    std::uint32_t type;
    int (*check)(DatBytes &, const std::string &, Walk &);
};

const ContentsCheck contents_checks[] = {
    {DAT_FILE, check_nested_datafile}, {DAT_BITMAP, check_bitmap},   {DAT_C_SPRITE, check_bitmap},
    {DAT_XC_SPRITE, check_bitmap},     {DAT_RLE_SPRITE, check_rle_sprite}, {DAT_PALETTE, check_palette},
    {DAT_FONT, check_font},            {DAT_SAMPLE, check_sample},   {DAT_MIDI, check_midi},
};

int check_contents(std::uint32_t type, DatBytes &in, const std::string &where, Walk &walk)
{
    for (const ContentsCheck &contents : contents_checks)
        if (contents.type == type)
            return contents.check(in, where, walk);
    return 0;
}

void check_properties(DatBytes &in, const std::string &where)
{
    while (in.next_u32_is(DAT_PROPERTY)) {
        in.u32(where + "'s property");
        if (in.i32(where + "'s property type") == DAT_END)
            malformed(where + " has a property of the end marker's type");
        const int size = in.i32(where + "'s property size");
        if (size < 0)
            malformed(where + " has a property of " + std::to_string(size) + " bytes");
        in.take(static_cast<std::size_t>(size), where + "'s property");
    }
}

// Allegro's compression, unpacked here as Allegro's own unpacker does it:
// each flag byte announces eight items, a set bit a literal byte and a clear
// one a copy of 3 to 18 bytes from a window of the last 4096. Allegro starts
// the window zeroed but for its last 18 bytes, which it leaves as the heap
// had them; a stream that copies from those before writing them unpacks to
// different bytes from one load to the next, so this check could not vouch
// for what Allegro reads and refuses it.
class Unpacker {
public:
    explicit Unpacker(DatBytes packed) : next_in_(packed.data()), end_(packed.data() + packed.left()) {}

    // Unpacks until limit bytes are out or the packed bytes end, stopping
    // mid-copy like Allegro when the limit falls inside one.
    std::vector<unsigned char> unpack(std::size_t limit, const std::string &where)
    {
        std::vector<unsigned char> out;
        std::size_t count = 0;
        unsigned flags = 0;
        while (count < limit) {
            flags >>= 1;
            if ((flags & 0x100) == 0) {
                if (packed_left() < 1)
                    break;
                flags = *next_in_++ | 0xFF00u;
            }
            // Room for the longest item, the output growing as it fills.
            if (out.size() - count < LONGEST_COPY)
                out.resize(std::min(limit, std::max<std::size_t>(2 * out.size(), 65536)) + LONGEST_COPY);
            if (flags & 1) {
                if (packed_left() < 1)
                    break;
                out[count++] = put(*next_in_++);
                continue;
            }
            if (packed_left() < 2)
                break;
            const unsigned low = next_in_[0], high = next_in_[1];
            next_in_ += 2;
            const unsigned from = low | (high & 0xF0) << 4;
            const unsigned length = (high & 0x0F) + MIN_COPY;
            for (unsigned k = 0; k < length && count < limit; k++)
                out[count++] = put(window_at((from + k) & (WINDOW - 1), where));
        }
        out.resize(count);
        return out;
    }

    std::size_t packed_left() const { return static_cast<std::size_t>(end_ - next_in_); }

private:
    static constexpr unsigned WINDOW = 4096;
    static constexpr unsigned LONGEST_COPY = 18;
    static constexpr unsigned MIN_COPY = 3;
    static constexpr unsigned FIRST_WRITE = WINDOW - LONGEST_COPY;

    unsigned char window_at(unsigned at, const std::string &where) const
    {
        if (at >= FIRST_WRITE && at - FIRST_WRITE >= written_)
            malformed(where + " refers back to bytes before its start");
        return window_[at];
    }

    unsigned char put(unsigned char byte)
    {
        window_[next_] = byte;
        next_ = (next_ + 1) & (WINDOW - 1);
        if (written_ < WINDOW)
            written_++;
        return byte;
    }

    const unsigned char *next_in_;
    const unsigned char *end_;
    unsigned char window_[WINDOW] = {};
    unsigned next_ = FIRST_WRITE;
    unsigned written_ = 0;
};

// An object compressed on its own: Allegro unpacks it straight from the
// datafile as it reads, and goes on with the next entry where the unpacking
// stopped. So the compressed bytes must give exactly the unpacked size and be
// used up to the last, or Allegro and this check would part ways.
std::vector<unsigned char> unpack_object(DatBytes packed, std::size_t unpacked, const std::string &where)
{
    Unpacker unpacker(packed);
    std::vector<unsigned char> bytes = unpacker.unpack(unpacked, where + "'s compressed data");
    if (bytes.size() != unpacked)
        malformed(where + " unpacks to " + bytes_text(bytes.size()) + " but says " + bytes_text(unpacked));
    if (unpacker.packed_left() != 0)
        malformed(where + " has " + bytes_text(unpacker.packed_left()) + " after its compressed data");
    return bytes;
}

StoredEntry check_entry(DatBytes &in, const std::string &where, Walk &walk)
{
    check_properties(in, where);
    const std::uint32_t type = in.u32(where + "'s type");
    if (static_cast<std::int32_t>(type) == DAT_END)
        malformed(where + " has the end marker's type");
    const int stored = in.i32(where + "'s stored size");
    const int unpacked = in.i32(where + "'s unpacked size");
    if (stored < 0)
        malformed(where + " has a stored size of " + std::to_string(stored) + " bytes");
    if (unpacked >= 0) {
        if (stored != unpacked)
            malformed(where + " has a stored size of " + std::to_string(stored) + " and an unpacked size of " +
                      std::to_string(unpacked));
        DatBytes contents = in.take(static_cast<std::size_t>(stored), where);
        return StoredEntry{type, check_contents(type, contents, where, walk)};
    }
    // A negative unpacked size marks an object compressed on its own.
    const std::uint64_t size = static_cast<std::uint64_t>(-static_cast<std::int64_t>(unpacked));
    if (size > walk.unpack_allowance)
        malformed(where + " unpacks to " + bytes_text(size) + ", which makes the datafile larger than " +
                  LARGEST_DATAFILE_TEXT);
    walk.unpack_allowance -= static_cast<std::size_t>(size);
    const std::vector<unsigned char> bytes =
        unpack_object(in.take(static_cast<std::size_t>(stored), where), static_cast<std::size_t>(size), where);
    DatBytes contents(bytes.data(), bytes.size());
    return StoredEntry{type, check_contents(type, contents, where, walk)};
}

std::vector<StoredEntry> check_entries(DatBytes &in, const std::string &prefix, Walk &walk)
{
    const int count = in.i32("the number of entries");
    if (count < 0 || static_cast<std::size_t>(count) > in.left() / SMALLEST_ENTRY)
        malformed("the datafile claims " + std::to_string(count) + " entries in " + bytes_text(in.left()));
    std::vector<StoredEntry> entries;
    for (int i = 0; i < count; i++)
        entries.push_back(check_entry(in, prefix + "entry " + std::to_string(i), walk));
    return entries;
}

// The whole file, or its first bytes past the largest datafile.
std::vector<unsigned char> read_file_bytes(const std::string &path, const std::string &what)
{
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (!file)
        unreadable("cannot open the " + what);
    std::vector<unsigned char> bytes;
    constexpr std::size_t CHUNK = 65536;
    std::size_t got = CHUNK;
    while (got == CHUNK && bytes.size() <= LARGEST_DATAFILE) {
        const std::size_t before = bytes.size();
        bytes.resize(before + CHUNK);
        got = std::fread(bytes.data() + before, 1, CHUNK, file);
        bytes.resize(before + got);
    }
    const bool read_failed = std::ferror(file);
    const int read_errno = errno;
    std::fclose(file);
    if (read_failed) {
        errno = read_errno;
        unreadable("cannot read the " + what);
    }
    return bytes;
}

[[noreturn]] void too_large() { malformed(std::string("it is larger than ") + LARGEST_DATAFILE_TEXT); }

// The file after its signature, unpacked when it was packed as a whole.
std::vector<unsigned char> read_datafile_body(const std::string &path, const std::string &what)
{
    const std::vector<unsigned char> file = read_file_bytes(path, what);
    if (file.empty())
        malformed("the file is empty");
    if (file.size() > LARGEST_DATAFILE)
        too_large();
    DatBytes in(file.data(), file.size());
    const std::uint32_t magic = in.left() < 4 ? 0 : in.u32("");
    if (magic == static_cast<std::uint32_t>(F_NOPACK_MAGIC))
        return std::vector<unsigned char>(in.data(), in.data() + in.left());
    if (magic != static_cast<std::uint32_t>(F_PACK_MAGIC))
        malformed("");
    std::vector<unsigned char> body = Unpacker(in).unpack(LARGEST_DATAFILE + 1, "the packed file");
    if (body.size() > LARGEST_DATAFILE)
        too_large();
    return body;
}

// Checks the file's structure and tells what each top-level entry stores;
// throws Malformed or Unreadable.
std::vector<StoredEntry> check_structure(const std::string &path, const std::string &what)
{
    const std::vector<unsigned char> body = read_datafile_body(path, what);
    DatBytes in(body.data(), body.size());
    if (in.u32("the datafile's signature") != static_cast<std::uint32_t>(DAT_MAGIC))
        malformed("it is not in the datafile format of this Allegro version");
    Walk walk{0, LARGEST_DATAFILE - body.size()};
    return check_entries(in, "", walk);
}

std::string depth_text(int depth) { return std::to_string(depth) + "-bit"; }

// The first entry the game needs that is stored in a form it cannot show as
// the artist made it, or "". Entries missing or of the wrong type are left
// to datafile_problem.
std::string stored_form_problem(const std::vector<StoredEntry> &entries)
{
    for (const EntryNeed &need : datafile_contract) {
        for (int i = need.first; i <= need.last && i < static_cast<int>(entries.size()); i++) {
            const StoredEntry &entry = entries[static_cast<std::size_t>(i)];
            const std::string where = "entry " + std::to_string(i);
            if (entry.type != static_cast<std::uint32_t>(need.type))
                continue;
            if ((need.type == DAT_BITMAP || need.type == DAT_RLE_SPRITE) && entry.depth != GAME_DEPTH)
                return where + " is a " + depth_text(entry.depth) + " picture; the game's pictures are " +
                       depth_text(GAME_DEPTH);
            if (need.type != DAT_FONT)
                continue;
            if (entry.depth == MONO && need.font == COLOUR_FONT)
                return where + " is a mono font; the game writes it in its own colours, so it must be a "
                               "colour font";
            if (entry.depth != MONO && entry.depth != GAME_DEPTH)
                return where + " is a font in " + depth_text(entry.depth) + " colour; the game's fonts are " +
                       depth_text(GAME_DEPTH);
        }
    }
    return "";
}

const std::string BROKEN = "not a readable Allegro datafile";

// The structure's first problem as the message tells it, or "" with what
// each top-level entry stores put into stored.
std::string structure_problem(const std::string &path, const std::string &what, std::vector<StoredEntry> &stored)
{
    try {
        stored = check_structure(path, what);
        return "";
    } catch (const Unreadable &failure) {
        return failure.problem;
    } catch (const Malformed &bad) {
        return BROKEN + (bad.problem.empty() ? "" : ": " + bad.problem);
    }
}

// Loads the datafile once its structure passed, telling what each top-level
// entry stores; on failure returns null with the message in error.
DATAFILE *load_structured_datafile(const std::string &path, const std::string &what,
                                   std::vector<StoredEntry> &stored, std::string &error)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        error = path + ": cannot open the " + what + ": " + std::strerror(errno);
        return nullptr;
    }
    if (!S_ISREG(info.st_mode)) {
        error = path + ": the " + what + " is not a regular file";
        return nullptr;
    }
    const std::string structure = structure_problem(path, what, stored);
    if (!structure.empty()) {
        error = path + ": " + structure;
        return nullptr;
    }
    // Pictures load as they are stored; converting them now would map their
    // colours through whatever palette happens to be set.
    const int conversion = get_color_conversion();
    set_color_conversion(COLORCONV_NONE);
    DATAFILE *datafile = load_datafile(path.c_str());
    set_color_conversion(conversion);
    if (!datafile)
        error = path + ": " + BROKEN;
    return datafile;
}

} // namespace

std::string datafile_structure_problem(const std::string &path)
{
    std::vector<StoredEntry> stored;
    return structure_problem(path, "graphics datafile", stored);
}

DATAFILE *load_checked_datafile(const std::string &path, const std::string &what, std::string &error)
{
    std::vector<StoredEntry> stored;
    return load_structured_datafile(path, what, stored, error);
}

DATAFILE *load_game_datafile(const std::string &path, std::string &error)
{
    std::vector<StoredEntry> stored;
    DATAFILE *datafile = load_structured_datafile(path, "graphics datafile", stored, error);
    if (!datafile)
        return nullptr;
    std::string problem = datafile_problem(datafile);
    if (problem.empty())
        problem = stored_form_problem(stored);
    if (!problem.empty()) {
        unload_datafile(datafile);
        error = path + ": " + problem;
        return nullptr;
    }
    return datafile;
}
