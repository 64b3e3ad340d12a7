// The graphics datafile: where the game's data files are found, the entries
// the game reads and the checks a datafile passes before Allegro loads it.
#ifndef TOLBRINT_DATAFILE_H
#define TOLBRINT_DATAFILE_H

#include <allegro.h>

#include <string>
#include <vector>

// Datafile entries by number; null when the datafile lacks the entry.
RLE_SPRITE *sprite_entry(int index);
BITMAP *bitmap_entry(int index);
FONT *font_entry(int index);

// Where data files are looked for, in order: the working directory ("."),
// the executable's own directory, the data directory of an install seen from
// the executable (so an install works under any prefix, even moved), and
// last the data directory chosen when the game was configured.
std::vector<std::string> data_search_dirs();

// The first place in data_search_dirs() that holds the file. Returns the bare
// name when it is nowhere, so that error messages name the file the player
// expects.
std::string find_data_file(const std::string &name);

// The first way in which a loaded datafile breaks the game's contract
// (a missing entry, a wrong type, a picture too small), or "" when it holds
// everything the game draws.
std::string datafile_problem(const DATAFILE *datafile);

// What is wrong with the structure of the datafile at path (a broken or
// truncated file, sizes and counts Allegro's loader would trust to its
// harm), or "" when Allegro reads it correctly and safely. Pictures of
// every depth, fonts of every kind and compressed objects pass.
std::string datafile_structure_problem(const std::string &path);

// Loads any datafile of the game's (the sounds too) after checking its
// structure, which Allegro's loader trusts; on failure returns null and puts
// a message naming the file, what it is for (what, such as "sound datafile")
// and the problem into error.
DATAFILE *load_checked_datafile(const std::string &path, const std::string &what, std::string &error);

// Loads and checks the graphics datafile: first its structure, then whether
// it suits the game (every entry the game reads present, of its type and
// size, pictures 8-bit, the title font in colour). On failure returns null
// and puts a message naming the file and the problem into error.
DATAFILE *load_game_datafile(const std::string &path, std::string &error);

#endif
