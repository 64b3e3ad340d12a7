// Enemies: "ZOMBIE", "ROBO", "CACTUS" and its "RHAND".
#ifndef ENEMY_H
#define ENEMY_H

#include <string>
#include <vector>

#include "character.h"

// The hit rectangles of zombies and robots: 20 wide, this high from the top.
constexpr int ENEMY_WIDTH = 20;
constexpr int ZOMBIE_HEIGHT = 60;
constexpr int ROBOT_HEIGHT = 40;

class Enemy : public Character {
public:
    int action_timer = 0;
    int step_pause = 0;
    int anim_timer = 0;
    bool dead = false;
    int death_timer = 0;
    bool dying = false;
    int flash_timer = 0;
    bool flashing = false;
    std::vector<Enemy> parts; // a cactus's hand; updated and drawn with it

    Enemy(int &x, int &y, std::string &kind);

    void update();
    void display();
    bool isDead();
};

// True when kind is one of the four enemy kinds.
bool is_enemy_kind(const std::string &kind);

#endif
