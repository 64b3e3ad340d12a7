// The five-picture explosion drawn by dying enemies.
#ifndef EFFECT_H
#define EFFECT_H

// Draws frame t of an explosion at world point (x, y): entries 22 to 26 in
// steps of 20 frames, nothing from frame 100 on.
void explosion_effect(int t, int x, int y);

#endif
