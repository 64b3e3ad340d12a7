#include "fonts.h"

#include <stdexcept>

#include "source.h"

namespace {

constexpr int FIRST_CHAR = 32;
constexpr int LAST_CHAR = 126;

int glyph_code(const std::string &path, const SourceLine &line)
{
    if (line.words.size() != 2)
        throw source_error(path, line, "expected 'glyph C'");
    const std::string &name = line.words[1];
    const int code = name.size() == 1 ? static_cast<unsigned char>(name[0]) : source_int(path, line, name);
    if (code < FIRST_CHAR || code > LAST_CHAR)
        throw source_error(path, line, "only printable ASCII has glyphs");
    return code;
}

const Glyph &glyph_for(const GlyphSet &glyphs, int code)
{
    const auto found = glyphs.find(code);
    if (found == glyphs.end())
        throw std::runtime_error("art/fonts: no glyph for character " + std::to_string(code));
    return found->second;
}

unsigned char ink(const Glyph &glyph, int x, int y)
{
    if (x < 0 || y < 0 || x >= glyph.w || y >= glyph.h)
        return 0;
    return glyph.pixels[static_cast<size_t>(y * glyph.w + x)];
}

} // namespace

GlyphSet load_glyphs(const std::string &path)
{
    GlyphSet glyphs;
    int height = 0;
    Glyph *current = nullptr;
    for (const SourceLine &line : read_source(path)) {
        if (line.words[0] == "height" && line.words.size() == 2) {
            height = source_int(path, line, line.words[1]);
        } else if (line.words[0] == "glyph") {
            if (height <= 0)
                throw source_error(path, line, "give 'height N' before the first glyph");
            const int code = glyph_code(path, line);
            if (glyphs.count(code))
                throw source_error(path, line, "this character has a glyph already");
            current = &glyphs[code];
        } else if (current && line.words.size() == 1 && current->h < height) {
            const std::string &row = line.words[0];
            if (current->h > 0 && static_cast<int>(row.size()) != current->w)
                throw source_error(path, line, "every row of a glyph has the same width");
            if (row.find_first_not_of("X.") != std::string::npos)
                throw source_error(path, line, "glyph rows hold only 'X' and '.'");
            current->w = static_cast<int>(row.size());
            current->h++;
            for (char c : row)
                current->pixels.push_back(c == 'X' ? 1 : 0);
        } else {
            throw source_error(path, line, "expected 'glyph C' or a row of the glyph before it");
        }
    }
    for (const auto &[code, glyph] : glyphs)
        if (glyph.h != height)
            throw std::runtime_error(path + ": glyph " + std::to_string(code) + " has " +
                                     std::to_string(glyph.h) + " rows, not " + std::to_string(height));
    return glyphs;
}

std::vector<Glyph> plain_font_glyphs(const GlyphSet &glyphs)
{
    std::vector<Glyph> font;
    for (int code = FIRST_CHAR; code <= LAST_CHAR; code++) {
        const Glyph &source = glyph_for(glyphs, code);
        Glyph glyph;
        glyph.w = source.w + 1;
        glyph.h = source.h;
        for (int y = 0; y < glyph.h; y++)
            for (int x = 0; x < glyph.w; x++)
                glyph.pixels.push_back(ink(source, x, y));
        font.push_back(glyph);
    }
    return font;
}

std::vector<Glyph> shaded_font_glyphs(const GlyphSet &glyphs, const Ramp &ramp, int outline)
{
    std::vector<Glyph> font;
    for (int code = FIRST_CHAR; code <= LAST_CHAR; code++) {
        const Glyph &source = glyph_for(glyphs, code);
        // Bold: every ink pixel also inks the pixel to its right. The glyph
        // gains that column plus one outline pixel on every side.
        auto bold = [&](int x, int y) { return ink(source, x, y) || ink(source, x - 1, y); };
        Glyph glyph;
        glyph.w = source.w + 3;
        glyph.h = source.h + 2;
        for (int y = 0; y < glyph.h; y++) {
            for (int x = 0; x < glyph.w; x++) {
                const int sx = x - 1, sy = y - 1;
                unsigned char colour = 0;
                if (bold(sx, sy)) {
                    // Light at the top, deep at the bottom, like polished metal.
                    const double depth = double(sy) / double(source.h - 1);
                    colour = static_cast<unsigned char>(ramp.shade(1.0 - 0.85 * depth));
                } else {
                    for (int dy = -1; dy <= 1 && !colour; dy++)
                        for (int dx = -1; dx <= 1 && !colour; dx++)
                            if (bold(sx + dx, sy + dy))
                                colour = static_cast<unsigned char>(outline);
                }
                glyph.pixels.push_back(colour);
            }
        }
        font.push_back(glyph);
    }
    return font;
}
