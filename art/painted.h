// Pictures drawn by code rather than by hand: the backgrounds, the title
// lettering and the explosions. Each painter draws over a whole canvas.
#ifndef PAINTED_H
#define PAINTED_H

#include <allegro.h>

#include <string>

#include "fonts.h"
#include "palette.h"
#include "parts.h"

// What a painter may draw with.
struct ArtKit {
    const GamePalette &palette;
    const PartLibrary &parts;
    const GlyphSet &glyphs;
};

using Painter = void (*)(BITMAP *canvas, const ArtKit &kit);

// The painter of that name; throws std::runtime_error when there is none.
Painter find_painter(const std::string &name);

#endif
