// Placeholder pictures of their final sizes; replaced by drawn art.
#include "pictures.h"

#include <allegro.h>

#include <map>

namespace {

struct Size {
    int w;
    int h;
};

Size sprite_size(int index)
{
    if (index == 32 || index == 33 || (index >= 48 && index <= 61))
        return {56, 80};
    if (index >= 119 && index <= 122)
        return {22, 60};
    if (index == 85)
        return {24, 40};
    if (index == 16)
        return {30, 80};
    if (index >= 22 && index <= 26)
        return {40, 40};
    return {20, 20};
}

bool is_sprite(int index)
{
    static const int sprites[] = {0,  1,  5,  6,  13, 16, 19, 20, 22, 23, 24, 25, 26, 27, 28,
                                  31, 32, 33, 34, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58,
                                  59, 60, 61, 70, 71, 72, 73, 79, 80, 81, 85, 91, 92, 104, 105,
                                  106, 107, 108, 109, 116, 118, 119, 120, 121, 122};
    for (int sprite : sprites)
        if (sprite == index)
            return true;
    return false;
}

BITMAP *filled(int w, int h, int colour)
{
    BITMAP *picture = create_bitmap_ex(8, w, h);
    clear_to_color(picture, colour);
    rect(picture, 0, 0, w - 1, h - 1, 1);
    return picture;
}

std::vector<Glyph> glyphs_of_builtin_font(int colour)
{
    std::vector<Glyph> glyphs;
    BITMAP *cell = create_bitmap_ex(8, 8, 8);
    for (int c = 32; c < 127; c++) {
        clear_to_color(cell, 0);
        char text[2] = {static_cast<char>(c), 0};
        textout_ex(cell, font, text, 0, 0, colour, -1);
        Glyph glyph;
        glyph.w = 8;
        glyph.h = 8;
        for (int y = 0; y < 8; y++)
            for (int x = 0; x < 8; x++)
                glyph.pixels.push_back(static_cast<unsigned char>(getpixel(cell, x, y)));
        glyphs.push_back(glyph);
    }
    destroy_bitmap(cell);
    return glyphs;
}

} // namespace

std::vector<DatObject> build_all_entries(const std::string &)
{
    PALETTE palette;
    for (int i = 0; i < PAL_SIZE; i++)
        palette[i] = {static_cast<unsigned char>(i % 64), static_cast<unsigned char>((i * 3) % 64),
                      static_cast<unsigned char>((i * 7) % 64), 0};
    palette[0] = {0, 0, 0, 0};
    palette[1] = {62, 62, 60, 0};
    palette[3] = {63, 8, 8, 0};
    palette[4] = {0, 0, 0, 0};
    palette[6] = {63, 60, 10, 0};
    palette[7] = {42, 42, 42, 0};

    std::vector<DatObject> entries;
    for (int index = 0; index <= 122; index++) {
        const std::string name = "ENTRY" + std::to_string(index);
        const int colour = 16 + index;
        if (index == 100) {
            entries.push_back(palette_object(name, palette));
        } else if (index == 62) {
            entries.push_back(font_object(name, 32, glyphs_of_builtin_font(1), true));
        } else if (index == 65) {
            entries.push_back(font_object(name, 32, glyphs_of_builtin_font(6), false));
        } else if (index == 21 || index == 38 || index == 37) {
            BITMAP *picture = index == 37 ? filled(75, 100, colour) : filled(320, 200, colour);
            entries.push_back(bitmap_object(name, picture));
            destroy_bitmap(picture);
        } else if (is_sprite(index)) {
            const Size size = sprite_size(index);
            BITMAP *picture = filled(size.w, size.h, colour);
            entries.push_back(rle_sprite_object(name, picture));
            destroy_bitmap(picture);
        } else {
            BITMAP *picture = filled(1, 1, colour);
            entries.push_back(bitmap_object(name, picture));
            destroy_bitmap(picture);
        }
    }
    return entries;
}
