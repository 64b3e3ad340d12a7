// The system keys: the keys that act on the game as a whole (pause,
// fullscreen, quit) rather than on the hero, in one table, and the waits
// that keep answering them.
#ifndef TOLBRINT_INPUT_H
#define TOLBRINT_INPUT_H

enum class SystemAction { None, Pause, Fullscreen, Quit };

// The system action of a key pressed with the given shift flags
// (Allegro's key_shifts), or None.
SystemAction system_action(int scancode, int shifts);

// Takes the fullscreen keys out of the keyboard buffer from now on, so they
// work in every state and never count as "a key" for a wait.
void install_system_keys();

// Acts on system keys taken since the last call. Every wait and every pass
// of the loop calls it.
void poll_system_keys();

// Rests for ms milliseconds while answering the system keys; returns early
// when the window is closed.
void rest_polling(int ms);

#endif
