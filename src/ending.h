// The ending: what the hero did on his way through the levels, shown when
// the last level's exit is entered.
#ifndef TOLBRINT_ENDING_H
#define TOLBRINT_ENDING_H

#include "pack.h"

// Draws the ending into the game's frame; present() shows it.
void draw_ending(const RunTally &tally);

#endif
