// Where the game writes its side files, debuglevel.txt and default_object.txt:
// the working directory when started from a terminal, the player's XDG state
// directory when started from the desktop menu.
#ifndef TOLBRINT_SIDEFILES_H
#define TOLBRINT_SIDEFILES_H

#include <string>

#include "platform.h"

// The path to write the side file name to.
std::string side_file_path(const std::string &name);

// Side files go into dir from now on; "" is the working directory.
void set_side_file_dir(const std::string &dir);
// Side files are written nowhere from now on (a replay being checked).
void discard_side_files();

// $XDG_STATE_HOME/tolbrint, or ~/.local/state/tolbrint when that variable is
// unset or not an absolute path; "" when no home directory is known either.
std::string state_side_file_dir();


// Sends the side files into state_side_file_dir(), made when missing. False,
// with the reason in error, when that cannot be done; the side files then go
// where they went before.
bool keep_side_files_in_state_dir(std::string &error);

#endif
