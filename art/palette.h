// The game palette, read from art/palette.txt: fixed colours with names and
// named ramps of colours blended between a few stops.
#ifndef PALETTE_H
#define PALETTE_H

#include <allegro.h>

#include <map>
#include <string>

// A run of palette entries from dark (step 0) to light.
struct Ramp {
    int first = 0;
    int count = 0;
    // The entry of a step; steps outside the ramp are clamped to its ends.
    int at(int step) const;
    // The entry for a brightness from 0.0 (darkest) to 1.0 (lightest).
    int shade(double brightness) const;
};

struct GamePalette {
    PALETTE colours;
    std::map<std::string, int> names; // "white", "sand.3", ...
    std::map<std::string, Ramp> ramps;

    // The entry of a colour name ("ink", "sand.9") or of a plain number;
    // throws std::runtime_error for an unknown name.
    int index(const std::string &name) const;
    const Ramp &ramp(const std::string &name) const;
};

GamePalette load_palette(const std::string &path);

#endif
