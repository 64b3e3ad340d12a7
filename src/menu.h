// The pause menu: Resume, Settings and Quit over the dimmed, frozen
// picture. Every setting in it applies at once; when the menu closes, what
// changed is saved to the settings file. The menu is no game input: a
// replay never sees it.
#ifndef TOLBRINT_MENU_H
#define TOLBRINT_MENU_H

#include <string>

#include "options.h"

// The settings in force at the start, and the settings file that changes
// go to; "" saves nothing (--no-save-settings).
void start_menu(const Options &in_force, const std::string &settings_path);

// Runs the menu until it closes; true when Quit was chosen.
bool run_menu();

#endif
