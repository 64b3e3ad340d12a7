// Renders the desktop icon from the game's own art: the hero's face from his
// portrait in the graphics datafile, in a frame of the portrait's colours,
// written as PNG files at 64, 128 and 256 pixels (whole-pixel enlargements,
// so the pixel art stays sharp).
//   tolbrint-icon DATAFILE OUTPUT_DIR
// writes OUTPUT_DIR/<size>x<size>/tolbrint.png.
#include <allegro.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

const int PORTRAIT = 37;
const int PALETTE_ENTRY = 100;
const int ICON_SIZE = 64;
const int FRAME_WIDTH = 4;
// The square of the portrait that holds the helmet and the face.
const int FACE_LEFT = 10;
const int FACE_TOP = 12;
// A row of the portrait's left side, where its frame's rings can be read.
const int FRAME_SAMPLE_ROW = 50;
const int SCALES[] = {1, 2, 4};

struct Rgb {
    std::uint8_t r, g, b;
};

using Picture = std::vector<Rgb>; // ICON_SIZE * ICON_SIZE, row by row

Rgb colour_of(const RGB *palette, int index)
{
    // The palette's components run 0..63.
    const RGB &c = palette[index];
    auto eight_bit = [](int six) { return static_cast<std::uint8_t>(six * 255 / 63); };
    return {eight_bit(c.r), eight_bit(c.g), eight_bit(c.b)};
}

// The face inside rings of the portrait's own frame colours.
Picture framed_face(BITMAP *portrait, const RGB *palette)
{
    const int inside = ICON_SIZE - 2 * FRAME_WIDTH;
    if (portrait->w < FACE_LEFT + inside || portrait->h < FACE_TOP + inside)
        throw std::runtime_error("the portrait is smaller than the game's");
    Picture icon(ICON_SIZE * ICON_SIZE);
    for (int y = 0; y < ICON_SIZE; y++) {
        for (int x = 0; x < ICON_SIZE; x++) {
            const int ring = std::min(std::min(x, y), std::min(ICON_SIZE - 1 - x, ICON_SIZE - 1 - y));
            const int index = ring < FRAME_WIDTH
                                  ? getpixel(portrait, ring, FRAME_SAMPLE_ROW)
                                  : getpixel(portrait, FACE_LEFT + x - FRAME_WIDTH, FACE_TOP + y - FRAME_WIDTH);
            icon[y * ICON_SIZE + x] = colour_of(palette, index);
        }
    }
    return icon;
}

// --- A plain PNG writer: 8-bit RGB, the image data in stored (uncompressed)
// deflate blocks, which every PNG reader accepts.

std::uint32_t crc32(const std::uint8_t *data, std::size_t size, std::uint32_t crc = 0)
{
    crc = ~crc;
    for (std::size_t i = 0; i < size; i++) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; bit++)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::uint32_t adler32(const std::vector<std::uint8_t> &data)
{
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return b << 16 | a;
}

void put32(std::vector<std::uint8_t> &out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void put_chunk(std::vector<std::uint8_t> &png, const char *type, const std::vector<std::uint8_t> &body)
{
    put32(png, static_cast<std::uint32_t>(body.size()));
    std::vector<std::uint8_t> typed(type, type + 4);
    typed.insert(typed.end(), body.begin(), body.end());
    png.insert(png.end(), typed.begin(), typed.end());
    put32(png, crc32(typed.data(), typed.size()));
}

std::vector<std::uint8_t> zlib_stored(const std::vector<std::uint8_t> &raw)
{
    const std::size_t largest_block = 65535;
    std::vector<std::uint8_t> out = {0x78, 0x01};
    std::size_t at = 0;
    do {
        const std::size_t length = std::min(largest_block, raw.size() - at);
        out.push_back(at + length == raw.size() ? 1 : 0); // last block, stored
        out.push_back(static_cast<std::uint8_t>(length & 0xff));
        out.push_back(static_cast<std::uint8_t>(length >> 8));
        out.push_back(static_cast<std::uint8_t>(~length & 0xff));
        out.push_back(static_cast<std::uint8_t>((~length >> 8) & 0xff));
        out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                   raw.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length;
    } while (at < raw.size());
    put32(out, adler32(raw));
    return out;
}

std::vector<std::uint8_t> png_of(const Picture &icon, int scale)
{
    const int size = ICON_SIZE * scale;
    std::vector<std::uint8_t> raw;
    for (int y = 0; y < size; y++) {
        raw.push_back(0); // no filter
        for (int x = 0; x < size; x++) {
            const Rgb &c = icon[(y / scale) * ICON_SIZE + x / scale];
            raw.insert(raw.end(), {c.r, c.g, c.b});
        }
    }
    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    std::vector<std::uint8_t> header;
    put32(header, static_cast<std::uint32_t>(size));
    put32(header, static_cast<std::uint32_t>(size));
    header.insert(header.end(), {8, 2, 0, 0, 0}); // 8 bits, RGB, deflate, no filter, no interlace
    put_chunk(png, "IHDR", header);
    put_chunk(png, "IDAT", zlib_stored(raw));
    put_chunk(png, "IEND", {});
    return png;
}

// Entry index of the datafile, when it is there and of the given type.
void *entry(DATAFILE *data, int index, int type, const char *what)
{
    for (int i = 0; i <= index; i++)
        if (data[i].type == DAT_END)
            throw std::runtime_error(std::string("the datafile has no ") + what);
    if (data[index].type != type)
        throw std::runtime_error(std::string("the datafile's ") + what + " has the wrong type");
    return data[index].dat;
}

void write_file(const std::string &path, const std::vector<std::uint8_t> &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error(path + ": cannot write the icon");
}

void make_dir(const std::string &path)
{
    if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST)
        throw std::runtime_error(path + ": cannot create the directory");
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: tolbrint-icon DATAFILE OUTPUT_DIR\n");
        return 2;
    }
    try {
        if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0)
            throw std::runtime_error("cannot start the Allegro library");
        set_color_depth(8);
        set_color_conversion(COLORCONV_NONE);
        DATAFILE *data = load_datafile(argv[1]);
        if (!data)
            throw std::runtime_error(std::string(argv[1]) + ": cannot load the graphics datafile");
        const Picture icon =
            framed_face(static_cast<BITMAP *>(entry(data, PORTRAIT, DAT_BITMAP, "portrait")),
                        static_cast<const RGB *>(entry(data, PALETTE_ENTRY, DAT_PALETTE, "palette")));
        make_dir(argv[2]);
        for (int scale : SCALES) {
            const std::string size = std::to_string(ICON_SIZE * scale);
            const std::string dir = std::string(argv[2]) + "/" + size + "x" + size;
            make_dir(dir);
            write_file(dir + "/tolbrint.png", png_of(icon, scale));
        }
    } catch (const std::exception &error) {
        std::fprintf(stderr, "tolbrint-icon: %s\n", error.what());
        return 1;
    }
    return 0;
}
END_OF_MAIN()
