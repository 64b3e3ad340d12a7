#include "portal.h"

#include <utility>

#include "replay.h"
#include "sound.h"
#include "tolbrint.h"

namespace {

const int TENT_BACKDROP = 38;
const int TENT_FONT = 62;
const int TEXT_CENTRE_X = 50;
const int TEXT_COLOUR = 1;
const int FIRST_SHOWN_ARG = 2;   // the first two words are the procedure's own

int text_row(std::size_t index) { return 15 * static_cast<int>(index) + 20; }

// The 4.0 text call draws on the text background colour of its day; it is
// kept deliberately, so its deprecation is not worth a warning here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
void write_centred(BITMAP *target, FONT *face, const std::string &text, int y)
{
    textout_centre(target, face, text.c_str(), TEXT_CENTRE_X, y, TEXT_COLOUR);
}
#pragma GCC diagnostic pop

} // namespace

Portal::Portal(int &x, int &y, std::string &procedure, std::vector<std::string> args)
    : x(x), y(y), procedure(procedure), args(std::move(args))
{
}

bool Portal::boundary_check()
{
    const int hero = global_x + shift_x;
    // Wide arithmetic: a portal near the end of the int range must not wrap.
    return x <= hero && hero <= static_cast<long long>(x) + PORTAL_WIDTH;
}

// The game has one procedure; the name read from the level does not choose.
void Portal::call_procedure() { tent(args); }

void draw_tent(BITMAP *target, const std::vector<std::string> &args)
{
    clear_bitmap(target);
    if (BITMAP *backdrop = bitmap_entry(TENT_BACKDROP))
        blit(backdrop, target, 0, 0, 0, 0, 320, 200);
    FONT *face = font_entry(TENT_FONT);
    if (!face)
        face = font;
    for (std::size_t i = FIRST_SHOWN_ARG; i < args.size(); i++)
        write_centred(target, face, args[i], text_row(i));
}

// The key that goes on is play's input like any other, so that a replay
// shows the message as long as the run did; the window's close button still
// ends the game from here.
void tent(std::vector<std::string> &args)
{
    sound_tent();
    draw_tent(game_frame(), args);
    present();
    wait_for_play_press();
}
