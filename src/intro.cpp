#include "intro.h"

#include <allegro.h>

#include "datafile.h"
#include "display.h"
#include "input.h"
#include "replay.h"
#include "music.h"
#include "sound.h"

namespace {

const char *const credit_lines[2] = {
    "A desert run and gun",
    "Press a key to begin",
};
constexpr int CREDIT_ROWS[2] = {55, 70};

constexpr int STAR_STEPS = 35;

void slide_in_title(BITMAP *title)
{
    for (int i = 0; i < 320 && !close_requested(); i++) {
        blit(title, game_frame(), 0, 0, 320 - i, 0, 320, 200);
        present();
        rest_polling(10);
    }
}

// A white dot in the sky while every colour-4 pixel flashes a random colour.
void twinkle_star()
{
    const int x = game_random() % 320;
    const int y = game_random() % 50;
    const int red = game_random() % 63;
    const int green = game_random() % 63;
    const int blue = game_random() % 63;
    set_palette_entry(4, red, green, blue);
    circlefill(game_frame(), x, y, 2, 1);
    present();
    rest_polling(50);
    set_palette_entry(4, 0, 0, 0);
    present();
    rest_polling(50);
}

} // namespace

void intro()
{
    play_title_music();
    slide_in_title(bitmap_entry(38));
    if (close_requested())
        return;
    sound_title();
    blit(bitmap_entry(37), game_frame(), 0, 0, 0, 100, 75, 100);
    for (int step = 0; step < STAR_STEPS && !close_requested(); step++)
        twinkle_star();
    for (int line = 0; line < 2; line++)
        textout_centre_ex(game_frame(), font_entry(65), credit_lines[line], 160, CREDIT_ROWS[line], -1, -1);
    present();
    wait_for_key();
}
