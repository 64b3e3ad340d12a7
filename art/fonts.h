// The two fonts, made from one set of glyphs drawn in art/fonts/glyphs.txt.
//
// The glyph file gives the glyph height first ("height 9"), then for each
// character a line "glyph C" (C is the character itself, or its decimal
// code for '#' and the blank: "glyph 35", "glyph 32") followed by that many
// rows of 'X' (ink) and '.' (clear). Glyphs may differ in width.
#ifndef FONTS_H
#define FONTS_H

#include <map>
#include <string>
#include <vector>

#include "datwriter.h"
#include "palette.h"

// Ink glyphs (pixel 1 = ink) by character code.
using GlyphSet = std::map<int, Glyph>;

GlyphSet load_glyphs(const std::string &path);

// Glyphs for 32..126 of the plain font: ink in colour 1 with one column of
// spacing; throws when a printable character has no glyph.
std::vector<Glyph> plain_font_glyphs(const GlyphSet &glyphs);

// Glyphs for 32..126 of the title font: each glyph thickened by a column,
// shaded top to bottom through the ramp and outlined in the outline colour.
std::vector<Glyph> shaded_font_glyphs(const GlyphSet &glyphs, const Ramp &ramp, int outline);

#endif
