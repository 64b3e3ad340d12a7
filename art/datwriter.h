// Writes an Allegro 4 datafile (uncompressed) from pictures, fonts, a
// palette and sound samples made in memory.
#ifndef DATWRITER_H
#define DATWRITER_H

#include <allegro.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

struct DatObject {
    std::uint32_t type = 0; // an Allegro DAT_ id
    std::string name;       // stored as the object's NAME property
    std::vector<unsigned char> bytes;
    // Further properties: a DAT_ID and its text.
    std::vector<std::pair<std::uint32_t, std::string>> properties;
};

// One glyph of a font: 8-bit pixels, 0 transparent.
struct Glyph {
    int w = 0;
    int h = 0;
    std::vector<unsigned char> pixels;
};

DatObject rle_sprite_object(const std::string &name, BITMAP *picture);
DatObject bitmap_object(const std::string &name, BITMAP *picture);
DatObject palette_object(const std::string &name, const PALETTE palette);
// Glyphs for the characters first..first+count-1. A mono font is drawn in the
// colour given to the text routines; a colour font keeps its own colours.
DatObject font_object(const std::string &name, int first, const std::vector<Glyph> &glyphs, bool mono);
// A mono 16-bit sound sample played at rate samples a second.
DatObject sample_object(const std::string &name, int rate, const std::vector<std::int16_t> &samples);

// A mono 8-bit sound sample.
DatObject sample_object(const std::string &name, int rate, const std::vector<std::int8_t> &samples);

// Returns false (and sets error) when the file cannot be written.
bool write_datafile(const std::string &path, const std::vector<DatObject> &objects, std::string &error);

// The whole of a generator's work: writes what make builds to path. Any
// problem, in the sources or in writing, is one line on stderr naming the
// program. Returns the exit code.
int build_datafile(const char *program, const std::string &path, const std::function<std::vector<DatObject>()> &make);

#endif
