// The enemies' projectiles; the only kind is the robot's "laser".
#ifndef EWEAPON_H
#define EWEAPON_H

#include <string>

class EWeapon {
public:
    int start_x;
    int start_y;
    int x;
    int y;
    int dx;
    int dy;
    int move_countdown;
    std::string kind;
    bool hit;
    bool out_of_range;

    EWeapon(int &x, int &y, int &dx, int &dy, std::string &kind);

    void update();
    void translate();
    bool active();
    void display();
    // Kept for symmetry with the hero's bullet; lasers hit nothing.
    bool boundary_check(int left, int top, int right, int bottom);
    bool out_of_range_check();
};

#endif
