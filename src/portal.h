// Portals: invisible stretches of the level that run a procedure on Up.
#ifndef PORTAL_H
#define PORTAL_H

#include <allegro.h>

#include <string>
#include <vector>

// A portal's span runs from its x to x + 20, both included.
constexpr int PORTAL_WIDTH = 20;

class Portal {
public:
    int x;
    int y;
    std::string procedure;
    std::vector<std::string> args;

    Portal(int &x, int &y, std::string &procedure, std::vector<std::string> args);

    bool boundary_check();
    void call_procedure();
};

// Shows the tent backdrop with args[2], args[3], ... one per line and waits
// for a key (or the window to close).
void tent(std::vector<std::string> &args);

// The drawing half of tent: clears target and draws the backdrop and the
// lines onto it.
void draw_tent(BITMAP *target, const std::vector<std::string> &args);

#endif
