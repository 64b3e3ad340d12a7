// The music: a title theme, a loop for each level and the ending's sting,
// played from music.dat on the sound module's device, under the effects.
// Without the device or music.dat the game plays on without music.
#ifndef TOLBRINT_MUSIC_H
#define TOLBRINT_MUSIC_H

#include <string>

// Loads music.dat once the sound has started; a missing or broken file is
// one line on stderr. Nothing happens without a sound device.
void start_music(int volume);
void stop_music();

// The pieces. A change of piece crossfades over half a second; the same
// piece again goes on as it was.
void play_title_music();
// The loop whose mood suits the level's background ("DUNE1" ...).
void play_level_music(const std::string &background);
void play_ending_music();

// The music stands still while the game is paused and goes on after.
void pause_music(bool paused);
// The player's music volume, 0..255, at once.
void set_music_volume(int volume);

// The sample a background's level plays ("DESERT" ...).
const char *level_piece(const std::string &background);

#endif
