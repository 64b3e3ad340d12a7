#include "strip.h"

#include "display.h"
#include "input.h"
#include "replay.h"
#include "sound.h"

namespace {

constexpr int SOUND_ON_PASSES = PASSES_PER_SECOND;
constexpr int RELOADED_PASSES = PASSES_PER_SECOND;

std::string passing;      // the message for a while
int passing_left = 0;     // its passes still to come
std::string reload_error; // the last reload's, "" when it loaded
bool was_muted = false;
std::string shown;        // what the strip shows now

std::string line_in_force()
{
    if (passing_left > 0)
        return passing;
    if (sound_muted())
        return "MUTED";
    return reload_error;
}

void draw_if_changed()
{
    const std::string line = line_in_force();
    if (line == shown)
        return;
    shown = line;
    show_strip_text(line);
}

// A key by its name as the strip shows it: "X", "LCONTROL".
std::string key_label(Action action) { return key_name(bindings_in_force().keys[static_cast<int>(action)]); }

} // namespace

void strip_reset()
{
    passing.clear();
    passing_left = 0;
    reload_error.clear();
    was_muted = sound_muted();
    shown.clear();
    show_strip_text("");
}

void strip_for_a_while(const std::string &text, int passes)
{
    passing = text;
    passing_left = passes;
    draw_if_changed();
}

void strip_reload_result(const std::string &error)
{
    reload_error = error;
    if (error.empty())
        strip_for_a_while("LEVEL RELOADED", RELOADED_PASSES);
    else
        passing_left = 0;
    draw_if_changed();
}

void strip_pass()
{
    if (passing_left > 0)
        passing_left--;
    const bool muted = sound_muted();
    if (was_muted && !muted)
        strip_for_a_while("SOUND ON", SOUND_ON_PASSES);
    was_muted = muted;
    draw_if_changed();
}

void strip_show()
{
    shown = line_in_force();
    show_strip_text(shown);
}

const std::string &strip_shown() { return shown; }

std::string keys_line()
{
    const bool arrows = key_label(Action::left) == "LEFT" && key_label(Action::right) == "RIGHT";
    const std::string walk = arrows ? "ARROWS" : key_label(Action::left) + "/" + key_label(Action::right);
    return walk + " walk  " + key_label(Action::jump) + " jump  " + key_label(Action::fire) + " fire  " +
           key_label(Action::up) + " enter  " + key_label(Action::pause) + " pause";
}
