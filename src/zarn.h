// The hero: walking pictures, the gravity clock, firing and drawing.
#ifndef ZARN_H
#define ZARN_H

#include <string>

#include "character.h"

// The hero's home on the screen: he is drawn at (130 + shift_x, 100 + shift_y).
constexpr int HERO_SCREEN_X = 130;
constexpr int HERO_SCREEN_Y = 100;

class Zarn : public Character {
public:
    int walk_frame = 0;
    int pose_timer = 0;
    int fire_walk_frame = 0;
    int fall_ticks = 0;

    Zarn(int &x, int &y);

    void translate(int &step_x, int &step_y);
    void vertical_translate(int &step_x, int &speed_y);
    void standstill();
    void display();
    void firegun();
    void diagonal_translate(int &step_x, int &aim_up);
};

// Appends a new bullet to zarnbullets.
void add_bullet(int x, int y, int dx, int dy, std::string kind);

#endif
