#include "datwriter.h"

#include <cstdio>
#include <cstring>
#include <exception>

namespace {

void put16(std::vector<unsigned char> &out, int value)
{
    out.push_back(static_cast<unsigned char>((value >> 8) & 0xFF));
    out.push_back(static_cast<unsigned char>(value & 0xFF));
}

void put32(std::vector<unsigned char> &out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<unsigned char>((value >> shift) & 0xFF));
}

void put_bytes(std::vector<unsigned char> &out, const void *data, size_t size)
{
    const unsigned char *bytes = static_cast<const unsigned char *>(data);
    out.insert(out.end(), bytes, bytes + size);
}

} // namespace

DatObject rle_sprite_object(const std::string &name, BITMAP *picture)
{
    DatObject object;
    object.type = DAT_RLE_SPRITE;
    object.name = name;
    RLE_SPRITE *rle = get_rle_sprite(picture);
    put16(object.bytes, 8);
    put16(object.bytes, rle->w);
    put16(object.bytes, rle->h);
    put32(object.bytes, static_cast<std::uint32_t>(rle->size));
    put_bytes(object.bytes, rle->dat, static_cast<size_t>(rle->size));
    destroy_rle_sprite(rle);
    return object;
}

DatObject bitmap_object(const std::string &name, BITMAP *picture)
{
    DatObject object;
    object.type = DAT_BITMAP;
    object.name = name;
    put16(object.bytes, 8);
    put16(object.bytes, picture->w);
    put16(object.bytes, picture->h);
    for (int y = 0; y < picture->h; y++)
        put_bytes(object.bytes, picture->line[y], static_cast<size_t>(picture->w));
    return object;
}

DatObject palette_object(const std::string &name, const PALETTE palette)
{
    DatObject object;
    object.type = DAT_PALETTE;
    object.name = name;
    for (int i = 0; i < PAL_SIZE; i++) {
        object.bytes.push_back(palette[i].r);
        object.bytes.push_back(palette[i].g);
        object.bytes.push_back(palette[i].b);
        object.bytes.push_back(0);
    }
    return object;
}

DatObject font_object(const std::string &name, int first, const std::vector<Glyph> &glyphs, bool mono)
{
    DatObject object;
    object.type = DAT_FONT;
    object.name = name;
    put16(object.bytes, 0); // the range-based font format
    put16(object.bytes, 1); // one range
    object.bytes.push_back(mono ? 1 : 8);
    put32(object.bytes, static_cast<std::uint32_t>(first));
    put32(object.bytes, static_cast<std::uint32_t>(first + static_cast<int>(glyphs.size()) - 1));
    for (const Glyph &glyph : glyphs) {
        put16(object.bytes, glyph.w);
        put16(object.bytes, glyph.h);
        if (!mono) {
            put_bytes(object.bytes, glyph.pixels.data(), glyph.pixels.size());
            continue;
        }
        const int row_bytes = (glyph.w + 7) / 8;
        for (int y = 0; y < glyph.h; y++) {
            for (int b = 0; b < row_bytes; b++) {
                unsigned char bits = 0;
                for (int bit = 0; bit < 8; bit++) {
                    const int x = b * 8 + bit;
                    if (x < glyph.w && glyph.pixels[static_cast<size_t>(y * glyph.w + x)])
                        bits |= static_cast<unsigned char>(0x80 >> bit);
                }
                object.bytes.push_back(bits);
            }
        }
    }
    return object;
}

DatObject sample_object(const std::string &name, int rate, const std::vector<std::int16_t> &samples)
{
    DatObject object;
    object.type = DAT_SAMPLE;
    object.name = name;
    put16(object.bytes, 16); // bits; a negative count would mean stereo
    put16(object.bytes, rate);
    put32(object.bytes, static_cast<std::uint32_t>(samples.size()));
    // Allegro keeps samples unsigned, centred on 0x8000, low byte first.
    for (std::int16_t sample : samples) {
        const unsigned value = static_cast<std::uint16_t>(sample) ^ 0x8000u;
        object.bytes.push_back(static_cast<unsigned char>(value & 0xFF));
        object.bytes.push_back(static_cast<unsigned char>(value >> 8));
    }
    return object;
}

DatObject sample_object(const std::string &name, int rate, const std::vector<std::int8_t> &samples)
{
    DatObject object;
    object.type = DAT_SAMPLE;
    object.name = name;
    put16(object.bytes, 8);
    put16(object.bytes, rate);
    put32(object.bytes, static_cast<std::uint32_t>(samples.size()));
    for (std::int8_t sample : samples)
        object.bytes.push_back(static_cast<unsigned char>(static_cast<std::uint8_t>(sample) ^ 0x80u));
    return object;
}

bool write_datafile(const std::string &path, const std::vector<DatObject> &objects, std::string &error)
{
    std::vector<unsigned char> out;
    put32(out, F_NOPACK_MAGIC);
    put32(out, DAT_MAGIC);
    put32(out, static_cast<std::uint32_t>(objects.size()));
    for (const DatObject &object : objects) {
        std::vector<std::pair<std::uint32_t, std::string>> properties;
        if (!object.name.empty())
            properties.emplace_back(DAT_NAME, object.name);
        properties.insert(properties.end(), object.properties.begin(), object.properties.end());
        for (const auto &[id, text] : properties) {
            put32(out, DAT_PROPERTY);
            put32(out, id);
            put32(out, static_cast<std::uint32_t>(text.size()));
            put_bytes(out, text.data(), text.size());
        }
        put32(out, object.type);
        put32(out, static_cast<std::uint32_t>(object.bytes.size()));
        put32(out, static_cast<std::uint32_t>(object.bytes.size()));
        put_bytes(out, object.bytes.data(), object.bytes.size());
    }
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        error = path + ": write failed";
        return false;
    }
    return true;
}

int build_datafile(const char *program, const std::string &path, const std::function<std::vector<DatObject>()> &make)
{
    try {
        std::string error;
        if (!write_datafile(path, make(), error)) {
            std::fprintf(stderr, "%s: %s\n", program, error.c_str());
            return 1;
        }
    } catch (const std::exception &problem) {
        std::fprintf(stderr, "%s: %s\n", program, problem.what());
        return 1;
    }
    return 0;
}
