// What the strip under the picture says in play, one message at a time. A
// message for a while (the keys at the start, a level's name, "SOUND ON",
// "LEVEL RELOADED") stands over the lasting line ("MUTED" while the sound
// is off, else the last reload's error), which shows again after it.
#ifndef TOLBRINT_STRIP_H
#define TOLBRINT_STRIP_H

#include <string>

// A new run: nothing to say.
void strip_reset();
// Shows text now, for the given number of passes.
void strip_for_a_while(const std::string &text, int passes);
// The last reload's error, "" after a good reload (which says so a moment).
void strip_reload_result(const std::string &error);
// One pass: counts down, notes the sound switched, and draws a change.
void strip_pass();
// Draws the line in force, after something else used the strip.
void strip_show();
// What the strip says now.
const std::string &strip_shown();

// The keys in force, from the bindings: "ARROWS walk  X jump  D fire ...".
std::string keys_line();

#endif
