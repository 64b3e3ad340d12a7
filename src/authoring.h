// What level authors use in play: the level file reloaded live with F5, and
// play started anywhere in the level.
#ifndef TOLBRINT_AUTHORING_H
#define TOLBRINT_AUTHORING_H

#include <string>

class Level;
class Zarn;

// The level file that F5 reloads.
void set_level_file(const std::string &path);
const std::string &level_file();

// Loads path again into level. The hero keeps his place on the screen and
// the view its place in the world, unless the new scroll limits shut out the
// hero's place, which they did not before: then the view moves to the
// nearest limit. Enemies, bullets, lasers and explosions start afresh; with
// nothing left under his feet the hero falls. When the file does not load,
// level stays as it was and the loader's message is returned; "" otherwise.
std::string reload_level(Level &level, const std::string &path);
// The same from a level text already read.
struct LevelText;
std::string reload_level(Level &level, const LevelText &source);

// A reload's error as the bottom strip shows it: the whole message, its
// file named without its folders.
std::string strip_line(const std::string &message);

// F5: reloads the level file; an error goes to stderr and stays in the
// bottom strip until the next reload.
void reload_key(Level &level, Zarn &zarn);

// The palette entries that the hero's shots and the robots' flashes
// recolour, back to the datafile's colours.
void restore_recoloured_entries();

// Places the view so that the hero's world point is x, with the hero at the
// top of the view, falling onto whatever is below him.
void start_at(int x);

#endif
