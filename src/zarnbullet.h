// The hero's bullets.
#ifndef ZARNBULLET_H
#define ZARNBULLET_H

#include <string>

class ZarnBullet {
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

    ZarnBullet(int &x, int &y, int &dx, int &dy, std::string &kind);

    void update();
    void translate();
    bool out_of_range_check();
    bool boundary_check(int left, int top, int right, int bottom);
    bool active();
    void display();
};

#endif
