// Small pictures drawn as text grids in art/sprites/*.txt.
//
// A file holds key blocks and parts:
//   key                  each following line: a character and a colour name
//   . clear
//   o ink
//   part NAME            each following line: one row of the picture
//   ..oo..
// A key block adds to (or changes) the key of the parts after it in the
// same file. Colour 0 ("clear") is transparent when a part is stamped.
#ifndef PARTS_H
#define PARTS_H

#include <allegro.h>

#include <map>
#include <string>
#include <vector>

#include "palette.h"

struct Part {
    int w = 0;
    int h = 0;
    std::vector<unsigned char> pixels; // palette entries, row by row

    unsigned char at(int x, int y) const { return pixels[static_cast<size_t>(y * w + x)]; }
};

using PartLibrary = std::map<std::string, Part>;

// Reads every part of one file into the library; a name given twice is an error.
void load_parts(const std::string &path, const GamePalette &palette, PartLibrary &library);

// The part by name; throws std::runtime_error when there is none.
const Part &find_part(const PartLibrary &library, const std::string &name);

// Draws the part's opaque pixels with its top-left corner at (x, y).
void stamp(BITMAP *picture, const Part &part, int x, int y);

#endif
