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

// Draws sprite into the three panels so that it shows on the screen at
// (screen_x, y); nothing when sprite is null.
void draw_in_panels(RLE_SPRITE *sprite, int screen_x, int y);

#endif
