// Allegro without a display: memory panels and a small in-memory datafile in
// which every picture is a solid block of its own colour.
#ifndef HEADLESS_H
#define HEADLESS_H

#include <allegro.h>

#include <string>

namespace headless {

// Installs Allegro with SYSTEM_NONE (once), creates the three 320 x 240
// panels and points data1 at the test datafile. Safe to call many times.
void start();

// Puts every shared global back to its start value, clears the panels and
// empties zarnbullets and eweapons.
void reset_game_state();

// The colour every pixel of test entry index has (128 + index).
int entry_colour(int index);

// Size of the test sprites (every RLE sprite is this square).
constexpr int SPRITE_SIZE = 4;

// Number of pixels of the given colour in a bitmap.
int count_colour(BITMAP *bitmap, int colour);

// Top-left-most pixel of the colour (first row, then column); false if absent.
bool find_colour(BITMAP *bitmap, int colour, int &x, int &y);

// A fresh empty directory under /tmp, removed with its contents at exit.
std::string temp_dir();

// Writes text to path, replacing what was there.
void write_file(const std::string &path, const std::string &text);

// The whole contents of a file, or "" when it cannot be read.
std::string read_file(const std::string &path);

// Runs the test body from inside dir (restoring the old directory after).
class InDirectory {
public:
    explicit InDirectory(const std::string &dir);
    ~InDirectory();

private:
    std::string previous_;
};

// Lets go of every key in Allegro's key-state array.
void release_all_keys();

} // namespace headless

#endif
