// The common record of every moving figure: the hero and the enemies.
#ifndef CHARACTER_H
#define CHARACTER_H

#include <allegro.h>

#include <string>

class Character {
public:
    int x = 0;
    int y = 0;
    int dx = 0;
    int dy = 0;
    int hit_points = 0;
    int start_x = 0;
    int start_y = 0;
    bool is_player = false;
    RLE_SPRITE *sprite = nullptr; // borrowed from the datafile
    std::string kind;
    int facing = 0;

    Character();
    Character(int &x, int &y, std::string &kind);

    void set_values(int &x, int &y, int &dx, int &dy, int &hit_points,
                    bool &is_player, std::string &kind);
    void translate(int &step_x, int &step_y);
    void display();
};

struct Panel;

// Draws sprite into the three panels so that it shows on the screen at
// (screen_x, y); nothing when sprite is null.
void draw_in_panels(RLE_SPRITE *sprite, long long screen_x, long long y);

// Draws sprite into one panel at (x, y) of that panel, unless it lies wholly
// outside the panel's clipping rectangle: the library would draw nothing
// there, and its own clipping overflows for sprites near the int limits.
void draw_in_panel(const Panel &panel, RLE_SPRITE *sprite, long long x, long long y);

#endif
