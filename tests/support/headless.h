// Allegro without a display: memory panels and a small in-memory datafile in
// which every picture is a solid block of its own colour.
#ifndef HEADLESS_H
#define HEADLESS_H

#include <allegro.h>

#include <string>
#include <vector>

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

// What a program run by run_program did.
struct ProgramRun {
    int status; // the exit code, -1 when it did not exit
    std::string out;
    std::string err;
};

// Runs program with arguments from the directory `from`, its output caught
// in files of scratch; prefix goes before the program on the command line
// (variables for its environment).
ProgramRun run_program(const std::string &program, const std::vector<std::string> &arguments,
                       const std::string &from, const std::string &scratch, const std::string &prefix = "");

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
