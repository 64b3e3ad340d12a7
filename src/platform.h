// What differs between the systems the game runs on, Linux and Windows:
// the player's folders, the program's own folder, files read and written
// whole, the desktop's key repeat, the signals that end a program and the
// sound library's complaints. Every other module asks here, so no other
// file needs to know which system it is built for.
#ifndef TOLBRINT_PLATFORM_H
#define TOLBRINT_PLATFORM_H

#include <chrono>
#include <string>

// The folder the settings file is read from: $XDG_CONFIG_HOME/tolbrint, or
// ~/.config/tolbrint when that is unset or not an absolute path; on Windows
// %APPDATA%\tolbrint. "" when no home folder is known.
std::string settings_dir();

// The folder the game keeps its state in (the last runs, a menu start's side
// files): $XDG_STATE_HOME/tolbrint, or ~/.local/state/tolbrint when that is
// unset or not an absolute path, the password file's home when HOME is
// empty; on Windows %APPDATA%\tolbrint. "" when no home folder is known.
std::string state_dir();

// The running program's own folder, "" when it cannot be told.
std::string program_dir();

// Creates dir with its missing parents, private to the player as XDG state
// is. False, with the reason in error, when it cannot be made.
bool make_directories(const std::string &dir, std::string &error);

// Why a file could not be read whole.
enum class ReadFailure { none, cannot_open, cannot_read, not_regular, too_large };

// Reads a regular file of at most most bytes whole, without blocking on a
// pipe or a device; errno holds the system's reason after cannot_open and
// cannot_read.
ReadFailure read_regular_file(const std::string &path, long long most, std::string &bytes);

// Writes bytes to path through a temporary file beside it and a rename, so
// that path holds the old bytes or the new, never a part.
bool write_file_atomically(const std::string &path, const std::string &bytes, std::string &problem);
// Renames from to to, replacing what was there in one step.
bool replace_file(const std::string &from, const std::string &to);

// The desktop's keyboard repeat: the delay to the first repeat and the time
// between repeats. False when the desktop cannot be asked.
bool desktop_key_repeat(int &delay_ms, int &interval_ms);

// Calls handler for Ctrl+C and the other signals that ask a program to end.
// handler may only set a lock-free flag.
void on_end_signals(void (*handler)(int));

// Keeps the sound library's own complaints off the terminal; the last one
// is kept for sound_library_complaint(), "" when there was none.
void quieten_sound_library();
const char *sound_library_complaint();

// Sleeps until the moment comes.
void sleep_until(std::chrono::steady_clock::time_point moment);

#endif
