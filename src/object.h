// Scenery: rectangles tiled on a 20-pixel grid with one named picture.
#ifndef OBJECT_H
#define OBJECT_H

#include <allegro.h>

#include <string>
#include <vector>

// Scenery is tiled on a 20-pixel grid, and its columns sit 160 pixels to the
// right of the axis that characters use.
constexpr int TILE = 20;
constexpr int SCENERY_SHIFT = 160;

class Object {
public:
    RLE_SPRITE *sprite = nullptr; // borrowed from the datafile; null for an unknown name
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
    int anim_counter = 0;
    std::string sprite_name;

    // Only Solid_Object uses this one; it rewrites "default_object.txt".
    Object();
    Object(int &x1, int &y1, int &x2, int &y2, std::string &name);

    void set_values(int &x1, int &y1, int &x2, int &y2, std::string &name);
    void update();
    void display();
};

class Solid_Object : public Object {
public:
    Solid_Object(int &x1, int &y1, int &x2, int &y2, std::string &name);

    bool boundary_x_check(int &x, int &y, int &dx, int &dy);
    bool boundary_y_check(int &x, int &y, int &dx, int &dy);
};

// Declared for platforms passable from below; nothing builds one.
class Fall_Thru_Object : public Object {
};

// True when name is one of the scenery sprite names.
bool is_scenery_sprite_name(const std::string &name);

// Whether the loaded datafile holds both pictures of a scenery sprite name;
// one made for the first level alone lacks the later levels' tiles.
bool scenery_pictures_present(const std::string &name);

// A scenery sprite name and the datafile entries of its pictures as plain and
// as solid scenery.
struct SceneryPicture {
    const char *name;
    int plain_entry;
    int solid_entry;
};

// Every scenery sprite, always in the same order.
std::vector<SceneryPicture> scenery_picture_table();

// How many rows above its tiles an object draws: ridged sand is drawn a
// second time a little higher.
int scenery_rise(const Object &object);

#endif
