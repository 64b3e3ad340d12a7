// The graphics datafile: where the game's data files are found, the entries
// the game reads and the checks a datafile passes before Allegro loads it.
#include "datafile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <cstring>

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

// What the game needs of each datafile entry it reads.
struct EntryNeed {
    int first;
    int last;
    int type;
    int min_w;
    int min_h;
};

constexpr int ANY = 0;

const EntryNeed datafile_contract[] = {
    {0, 1, DAT_RLE_SPRITE, ANY, ANY},     {5, 6, DAT_RLE_SPRITE, ANY, ANY},
    {13, 13, DAT_RLE_SPRITE, ANY, ANY},   {16, 16, DAT_RLE_SPRITE, ANY, ANY},
    {19, 20, DAT_RLE_SPRITE, ANY, ANY},   {21, 21, DAT_BITMAP, 320, 200},
    {22, 28, DAT_RLE_SPRITE, ANY, ANY},   {31, 34, DAT_RLE_SPRITE, ANY, ANY},
    {37, 37, DAT_BITMAP, 75, 100},        {38, 38, DAT_BITMAP, 320, 200},
    {48, 61, DAT_RLE_SPRITE, ANY, ANY},   {62, 62, DAT_FONT, ANY, ANY},
    {65, 65, DAT_FONT, ANY, ANY},         {70, 73, DAT_RLE_SPRITE, ANY, ANY},
    {79, 81, DAT_RLE_SPRITE, ANY, ANY},   {85, 85, DAT_RLE_SPRITE, ANY, ANY},
    {91, 92, DAT_RLE_SPRITE, ANY, ANY},   {100, 100, DAT_PALETTE, ANY, ANY},
    {104, 109, DAT_RLE_SPRITE, ANY, ANY}, {116, 116, DAT_RLE_SPRITE, ANY, ANY},
    {118, 122, DAT_RLE_SPRITE, ANY, ANY},
};

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

std::string executable_dir()
{
    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return "";
    path[length] = '\0';
    std::string full(path);
    return full.substr(0, full.rfind('/'));
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
    const std::string program_dir = executable_dir();
    if (program_dir.empty())
        return {".", TOLBRINT_DATA_DIR};
    return {".", program_dir, program_dir + "/" + TOLBRINT_DATA_DIR_FROM_PROGRAM, TOLBRINT_DATA_DIR};
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

std::string datafile_problem(const DATAFILE *datafile)
{
    const int count = entry_count(datafile);
    for (const EntryNeed &need : datafile_contract) {
        for (int i = need.first; i <= need.last; i++) {
            const std::string where = "entry " + std::to_string(i);
            if (i >= count)
                return where + " is missing (the file holds " + std::to_string(count) +
                       " entries, the game needs 123)";
            if (datafile[i].type != need.type)
                return where + " should be " + type_name(need.type) + " but is " +
                       type_name(datafile[i].type);
            int w = 0, h = 0;
            if (need.type == DAT_BITMAP) {
                w = static_cast<BITMAP *>(datafile[i].dat)->w;
                h = static_cast<BITMAP *>(datafile[i].dat)->h;
            } else if (need.type == DAT_RLE_SPRITE) {
                w = static_cast<RLE_SPRITE *>(datafile[i].dat)->w;
                h = static_cast<RLE_SPRITE *>(datafile[i].dat)->h;
            }
            if (w < need.min_w || h < need.min_h)
                return where + " is " + std::to_string(w) + " x " + std::to_string(h) +
                       " pixels, the game needs at least " + std::to_string(need.min_w) +
                       " x " + std::to_string(need.min_h);
        }
    }
    return "";
}

// ---------------------------------------------------------------------------
// The datafile's structure, checked before Allegro reads it: Allegro trusts
// every size and count in the file, so a damaged file could make it allocate
// absurd amounts, read past its buffers or draw past a sprite's lines.

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
[[noreturn]] void unreadable(const char *doing) { throw Unreadable{std::string(doing) + ": " + std::strerror(errno)}; }

std::string bytes_text(std::size_t count)
{
    return std::to_string(count) + (count == 1 ? " byte" : " bytes");
}

// Big-endian fields of one stretch of the file, never read past its end.
class DatBytes {
public:
    DatBytes(const unsigned char *data, std::size_t size) : data_(data), size_(size) {}

    std::size_t left() const { return size_ - at_; }

    std::uint32_t u32(const std::string &what) { return static_cast<std::uint32_t>(field(4, what)); }
    int i32(const std::string &what) { return static_cast<std::int32_t>(u32(what)); }
    unsigned u16(const std::string &what) { return static_cast<unsigned>(field(2, what)); }
    int i16(const std::string &what) { return static_cast<std::int16_t>(u16(what)); }
    unsigned u8(const std::string &what) { return static_cast<unsigned>(field(1, what)); }

    bool next_u32_is(std::uint32_t value) const
    {
        if (left() < 4)
            return false;
        DatBytes peek = *this;
        return peek.u32("") == value;
    }

    // The next count bytes as a stretch of their own.
    DatBytes take(std::size_t count, const std::string &what)
    {
        if (count > left())
            malformed(what + " needs " + bytes_text(count) + " but only " + bytes_text(left()) +
                      " follow");
        DatBytes part(data_ + at_, count);
        at_ += count;
        return part;
    }

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

void check_entries(DatBytes &in, const std::string &prefix, int depth);

void check_nested_datafile(DatBytes &in, const std::string &where, int depth)
{
    if (depth >= DEEPEST_NESTING)
        malformed(where + " nests datafiles more than " + std::to_string(DEEPEST_NESTING) + " deep");
    check_entries(in, where + ".", depth + 1);
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

void check_bitmap(DatBytes &in, const std::string &where, int)
{
    const int bytes = bytes_per_pixel(in.i16(where + "'s colour depth"), where);
    const std::uint64_t w = in.u16(where + "'s width");
    const std::uint64_t h = in.u16(where + "'s height");
    if (in.left() != w * h * static_cast<std::uint64_t>(bytes))
        malformed(where + " is " + std::to_string(w) + " x " + std::to_string(h) + " pixels, which take " +
                  bytes_text(w * h * static_cast<std::uint64_t>(bytes)) + ", but it holds " +
                  bytes_text(in.left()));
}

// Every line is runs of opaque pixels (a positive count, then the pixels) and
// transparent gaps (a negative count), ended by a zero; the runs of a line
// never reach beyond the sprite's width, since the drawer does not clip them.
void check_rle_sprite(DatBytes &in, const std::string &where, int)
{
    const int bits = in.i16(where + "'s colour depth");
    if (bits != 8)
        malformed(where + " is an RLE sprite of " + std::to_string(bits) +
                  "-bit colour; the game's sprites are 8-bit");
    const unsigned w = in.u16(where + "'s width");
    const unsigned h = in.u16(where + "'s height");
    const std::uint32_t size = in.u32(where + "'s data size");
    if (size != in.left())
        malformed(where + "'s data size says " + bytes_text(size) + " but it holds " + bytes_text(in.left()));
    for (unsigned line = 0; line < h; line++) {
        const std::string line_name = where + "'s line " + std::to_string(line);
        unsigned filled = 0;
        for (int run = static_cast<signed char>(in.u8(line_name)); run != 0;
             run = static_cast<signed char>(in.u8(line_name))) {
            filled += static_cast<unsigned>(run > 0 ? run : -run);
            if (filled > w)
                malformed(line_name + " runs past the sprite's width of " + std::to_string(w));
            if (run > 0)
                in.take(static_cast<std::size_t>(run), line_name);
        }
    }
    in.expect_end(where);
}

void check_palette(DatBytes &in, const std::string &where, int)
{
    const std::size_t needed = PAL_SIZE * 4;
    if (in.left() != needed)
        malformed(where + " is a palette of " + bytes_text(in.left()) + "; a palette takes " +
                  bytes_text(needed));
}

// The fonts of old datafiles: 95 characters from the space on.
constexpr int OLD_FONT_GLYPHS = 95;
constexpr unsigned FIXED_8_FONT = 8;
constexpr unsigned FIXED_16_FONT = 16;
constexpr unsigned PROPORTIONAL_FONT = 0xFFFF; // stored as -1
constexpr unsigned RANGES_FONT = 0;
constexpr unsigned MONO_GLYPHS = 1;
constexpr unsigned COLOUR_GLYPHS = 8;

void check_glyph(DatBytes &in, const std::string &where, bool mono)
{
    const std::size_t w = in.u16(where + "'s width");
    const std::size_t h = in.u16(where + "'s height");
    in.take(mono ? (w + 7) / 8 * h : w * h, where);
}

void check_font_range(DatBytes &in, const std::string &where)
{
    const unsigned mono = in.u8(where + "'s glyph format");
    if (mono != MONO_GLYPHS && mono != COLOUR_GLYPHS)
        malformed(where + " has glyph format " + std::to_string(mono) + " (1 or 8 expected)");
    const int first = in.i32(where + "'s first character");
    const int last = in.i32(where + "'s last character");
    if (first < 0 || last < first)
        malformed(where + " runs from character " + std::to_string(first) + " to " + std::to_string(last));
    const std::uint64_t glyphs = static_cast<std::uint64_t>(last) - first + 1;
    if (glyphs > in.left() / 4)
        malformed(where + " claims " + std::to_string(glyphs) + " characters in " + bytes_text(in.left()));
    for (std::uint64_t i = 0; i < glyphs; i++)
        check_glyph(in, where + "'s character " + std::to_string(first + i), mono == MONO_GLYPHS);
}

void check_font(DatBytes &in, const std::string &where, int)
{
    const unsigned format = in.u16(where + "'s font format");
    if (format == FIXED_8_FONT || format == FIXED_16_FONT) {
        in.take(OLD_FONT_GLYPHS * format, where);
    } else if (format == PROPORTIONAL_FONT) {
        for (int i = 0; i < OLD_FONT_GLYPHS; i++)
            check_glyph(in, where + "'s character " + std::to_string(' ' + i), false);
    } else if (format == RANGES_FONT) {
        const unsigned ranges = in.u16(where + "'s number of character ranges");
        if (ranges == 0)
            malformed(where + " is a font without characters");
        for (unsigned range = 0; range < ranges; range++)
            check_font_range(in, where + "'s character range " + std::to_string(range));
    } else {
        malformed(where + " has font format " + std::to_string(format));
    }
    in.expect_end(where);
}

void check_sample(DatBytes &in, const std::string &where, int)
{
    const int bits = in.i16(where + "'s sample bits");
    if (bits != 8 && bits != 16 && bits != -8 && bits != -16)
        malformed(where + " has " + std::to_string(bits) + "-bit samples");
    in.u16(where + "'s frequency");
    const std::uint64_t length = in.u32(where + "'s length");
    const std::uint64_t needed = length * (bits < 0 ? 2 : 1) * (std::abs(bits) / 8);
    if (in.left() != needed)
        malformed(where + " is a sample of " + bytes_text(needed) + " but holds " + bytes_text(in.left()));
}

constexpr int MIDI_TRACK_COUNT = 32;

void check_midi(DatBytes &in, const std::string &where, int)
{
    in.u16(where + "'s beat divisions");
    for (int track = 0; track < MIDI_TRACK_COUNT; track++) {
        const std::string track_name = where + "'s track " + std::to_string(track);
        in.take(in.u32(track_name + "'s length"), track_name);
    }
    in.expect_end(where);
}

// The types whose contents Allegro interprets; any other type is kept as
// plain bytes.
struct ContentsCheck {
    std::uint32_t type;
    void (*check)(DatBytes &, const std::string &, int);
};

const ContentsCheck contents_checks[] = {
    {DAT_FILE, check_nested_datafile}, {DAT_BITMAP, check_bitmap},   {DAT_C_SPRITE, check_bitmap},
    {DAT_XC_SPRITE, check_bitmap},     {DAT_RLE_SPRITE, check_rle_sprite}, {DAT_PALETTE, check_palette},
    {DAT_FONT, check_font},            {DAT_SAMPLE, check_sample},   {DAT_MIDI, check_midi},
};

void check_contents(std::uint32_t type, DatBytes &in, const std::string &where, int depth)
{
    for (const ContentsCheck &contents : contents_checks)
        if (contents.type == type)
            contents.check(in, where, depth);
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

void check_entry(DatBytes &in, const std::string &where, int depth)
{
    check_properties(in, where);
    const std::uint32_t type = in.u32(where + "'s type");
    if (static_cast<std::int32_t>(type) == DAT_END)
        malformed(where + " has the end marker's type");
    const int stored = in.i32(where + "'s stored size");
    const int unpacked = in.i32(where + "'s unpacked size");
    if (unpacked < 0)
        malformed(where + " is compressed on its own; the game reads only whole-file compression");
    if (stored != unpacked)
        malformed(where + " has a stored size of " + std::to_string(stored) + " and an unpacked size of " +
                  std::to_string(unpacked));
    DatBytes contents = in.take(static_cast<std::size_t>(stored), where);
    check_contents(type, contents, where, depth);
}

void check_entries(DatBytes &in, const std::string &prefix, int depth)
{
    const int count = in.i32("the number of entries");
    if (count < 0 || static_cast<std::size_t>(count) > in.left() / SMALLEST_ENTRY)
        malformed("the datafile claims " + std::to_string(count) + " entries in " + bytes_text(in.left()));
    for (int i = 0; i < count; i++)
        check_entry(in, prefix + "entry " + std::to_string(i), depth);
}

bool has_datafile_signature(const std::string &path)
{
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (!file)
        unreadable("cannot open the graphics datafile");
    unsigned char signature[4];
    const std::size_t got = std::fread(signature, 1, sizeof signature, file);
    const bool read_failed = std::ferror(file);
    const int read_errno = errno;
    std::fclose(file);
    if (read_failed) {
        errno = read_errno;
        unreadable("cannot read the graphics datafile");
    }
    if (got == 0)
        malformed("the file is empty");
    if (got < sizeof signature)
        return false;
    const std::uint32_t magic = DatBytes(signature, sizeof signature).u32("");
    return magic == static_cast<std::uint32_t>(F_PACK_MAGIC) || magic == static_cast<std::uint32_t>(F_NOPACK_MAGIC);
}

// The file after its signature, unpacked when it was packed; Allegro's own
// reading does the unpacking.
std::vector<unsigned char> read_datafile_body(const std::string &path)
{
    if (!has_datafile_signature(path))
        malformed("");
    PACKFILE *file = pack_fopen(path.c_str(), F_READ_PACKED);
    if (!file)
        unreadable("cannot read the graphics datafile");
    std::vector<unsigned char> body;
    std::vector<unsigned char> chunk(65536);
    for (;;) {
        const long got = pack_fread(chunk.data(), static_cast<long>(chunk.size()), file);
        if (got <= 0)
            break;
        if (body.size() + static_cast<std::size_t>(got) > LARGEST_DATAFILE) {
            pack_fclose(file);
            malformed(std::string("it is larger than ") + LARGEST_DATAFILE_TEXT);
        }
        body.insert(body.end(), chunk.begin(), chunk.begin() + got);
    }
    pack_fclose(file);
    return body;
}

// What is wrong with the file's structure, or "" when Allegro may load it.
std::string datafile_structure_problem(const std::string &path)
{
    try {
        const std::vector<unsigned char> body = read_datafile_body(path);
        DatBytes in(body.data(), body.size());
        if (in.u32("the datafile's signature") != static_cast<std::uint32_t>(DAT_MAGIC))
            malformed("it is not in the datafile format of this Allegro version");
        check_entries(in, "", 0);
        return "";
    } catch (const Unreadable &error) {
        return error.problem;
    } catch (const Malformed &bad) {
        return bad.problem.empty() ? "not a readable Allegro datafile"
                                   : "not a readable Allegro datafile: " + bad.problem;
    }
}

} // namespace

DATAFILE *load_game_datafile(const std::string &path, std::string &error)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        error = path + ": cannot open the graphics datafile: " + std::strerror(errno);
        return nullptr;
    }
    if (!S_ISREG(info.st_mode)) {
        error = path + ": the graphics datafile is not a regular file";
        return nullptr;
    }
    const std::string structure = datafile_structure_problem(path);
    if (!structure.empty()) {
        error = path + ": " + structure;
        return nullptr;
    }
    DATAFILE *datafile = load_datafile(path.c_str());
    if (!datafile) {
        error = path + ": not a readable Allegro datafile";
        return nullptr;
    }
    const std::string problem = datafile_problem(datafile);
    if (!problem.empty()) {
        unload_datafile(datafile);
        error = path + ": " + problem;
        return nullptr;
    }
    return datafile;
}
