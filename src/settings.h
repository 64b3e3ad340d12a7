// The settings file written back: what the pause menu changed, merged into
// the file's own text, which keeps every comment and line a person wrote.
#ifndef TOLBRINT_SETTINGS_H
#define TOLBRINT_SETTINGS_H

#include <string>
#include <vector>

#include "options.h"

struct SettingChange {
    std::string section;
    std::string name;
    std::string value;
};

// The settings whose values in now differ from those in before, as the
// settings file writes them, in the file's order.
std::vector<SettingChange> settings_changes(const Options &before, const Options &now);

// text with the changes made: a setting the text has gets its new value on
// its first line in its section (the one the reader takes); one it lacks is
// added at the end of its section, and a missing section at the end. Every
// other line stays as it was, line ends included.
std::string merge_settings(const std::string &text, const std::vector<SettingChange> &changes);

// Writes what changed from before to now into the settings file at path,
// through a temporary file and a rename, making the file and its folder when
// missing; nothing when nothing changed. False, with the problem in words
// naming the file, when it cannot; the file is then as it was.
bool write_settings(const std::string &path, const Options &before, const Options &now, std::string &problem);

#endif
