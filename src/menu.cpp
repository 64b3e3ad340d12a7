#include "menu.h"

#include <allegro.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "datafile.h"
#include "display.h"
#include "input.h"
#include "replay.h"
#include "settings.h"
#include "music.h"
#include "sound.h"
#include "strip.h"
#include "tolbrint.h"

namespace {

Options in_force;  // the settings as the menu has made them
Options on_disk;   // as the settings file holds them, as far as the game knows
std::string settings_file;

enum class Page { main, settings, keys, buttons };
enum class Press { none, up, down, less, more, choose, back, close };

Page page = Page::main;
int chosen = 0;
bool closing = false;
bool quitting = false;
std::string prompt; // while a key or button is awaited, or a clash asked about

const int HEADING_FONT = 65; // the title's, in its own colours
const int TEXT_FONT = 62;    // the tent's
const int WHITE = 1;
const int GREY = 26;         // grey.10: the rows not chosen
const int BLACK = 5;
const int BOX_LEFT = 40, BOX_RIGHT = 280, BOX_TOP = 12;
const int ROW_TOP = 44, ROW_STEP = 11;

constexpr int VOLUME_STEP = 15;
constexpr int REPEAT_STEP_MS = 10;
constexpr int SHORTEST_REPEAT_MS = 10;
constexpr int LONGEST_REPEAT_MS = 1000;

// The actions as the keys and buttons pages list them.
const char *const ACTION_LABELS[ACTION_COUNT] = {"Walk left", "Walk right", "Up, enter", "Jump",
                                                 "Fire", "Walk and fire", "Pause", "Fullscreen",
                                                 "Quit", "Reload level", "Mute"};

std::string yes_no(bool flag) { return flag ? "yes" : "no"; }

// --- What the settings rows do

void apply_repeat() { use_key_repeat(in_force.key_repeat); }

void change_scale(int step)
{
    const int from = in_force.scale > 0 ? in_force.scale : window_scale_setting();
    const int to = std::clamp(from + step, 1, largest_window_scale());
    if (set_window_scale(to))
        in_force.scale = to;
}

void change_fullscreen(int)
{
    toggle_fullscreen();
    in_force.fullscreen = is_fullscreen();
}

void change_volume(int step)
{
    in_force.effects_volume = std::clamp(in_force.effects_volume + step * VOLUME_STEP, 0, MAX_VOLUME);
    set_effects_volume(in_force.effects_volume);
    sound_tent(); // to hear what it is now
}

// The music, paused with the game, plays while its volume is changed.
void change_music_volume(int step)
{
    in_force.music_volume = std::clamp(in_force.music_volume + step * VOLUME_STEP, 0, MAX_VOLUME);
    set_music_volume(in_force.music_volume);
    pause_music(false);
}

void change_pause_in_background(int)
{
    in_force.pause_in_background = !in_force.pause_in_background;
    set_pause_in_background(in_force.pause_in_background);
}

void change_repeat_time(int &ms, int step)
{
    ms = std::clamp(ms + step * REPEAT_STEP_MS, SHORTEST_REPEAT_MS, LONGEST_REPEAT_MS);
    apply_repeat();
}

// Everything the menu sets, from in_force.
void apply_all()
{
    use_bindings(in_force.bindings);
    apply_repeat();
    set_pause_in_background(in_force.pause_in_background);
    set_effects_volume(in_force.effects_volume);
    set_music_volume(in_force.music_volume);
    if (in_force.scale > 0)
        set_window_scale(in_force.scale);
    if (in_force.fullscreen != is_fullscreen())
        toggle_fullscreen();
}

void restore_defaults(int)
{
    const Options defaults;
    in_force.scale = defaults.scale;
    in_force.fullscreen = defaults.fullscreen;
    in_force.pause_in_background = defaults.pause_in_background;
    in_force.effects_volume = defaults.effects_volume;
    in_force.music_volume = defaults.music_volume;
    in_force.key_repeat = defaults.key_repeat;
    in_force.bindings = defaults.bindings;
    apply_all();
    in_force.fullscreen = is_fullscreen();
}

void go_to(Page next)
{
    page = next;
    chosen = 0;
}

struct Row {
    std::string label;
    std::function<std::string()> value;
    std::function<void(int)> change; // Left and Right; Enter changes forwards
};

std::vector<Row> settings_rows()
{
    return {
        {"Scale", [] { return std::to_string(in_force.scale > 0 ? in_force.scale : window_scale_setting()); },
         change_scale},
        {"Fullscreen", [] { return yes_no(is_fullscreen()); }, change_fullscreen},
        {"Music volume", [] { return std::to_string(in_force.music_volume); }, change_music_volume},
        {"Effects volume", [] { return std::to_string(in_force.effects_volume); }, change_volume},
        {"Mute", [] { return yes_no(sound_muted()); }, [](int) { toggle_mute(); }},
        {"Pause in background", [] { return yes_no(in_force.pause_in_background); }, change_pause_in_background},
        {"Repeat delay", [] { return std::to_string(in_force.key_repeat.delay_ms) + " ms"; },
         [](int step) { change_repeat_time(in_force.key_repeat.delay_ms, step); }},
        {"Repeat interval", [] { return std::to_string(in_force.key_repeat.interval_ms) + " ms"; },
         [](int step) { change_repeat_time(in_force.key_repeat.interval_ms, step); }},
        {"Keys", [] { return std::string(); }, [](int) { go_to(Page::keys); }},
        {"Gamepad buttons", [] { return std::string(); }, [](int) { go_to(Page::buttons); }},
        {"Restore defaults", [] { return std::string(); }, restore_defaults},
        {"Back", [] { return std::string(); }, [](int) { go_to(Page::main); }},
    };
}

// --- Binding a key or a button

std::string button_text(int button) { return button == NO_BUTTON ? "none" : "button " + std::to_string(button); }

void show_prompt(const std::string &text);

// The next key pressed, modifiers too; 0 for Escape, or when the window
// closes.
int wait_for_binding_key()
{
    clear_keybuf();
    std::array<bool, KEY_MAX> held{};
    for (int k = KEY_MODIFIERS; k < KEY_MAX; k++)
        held[k] = key[k];
    for (;;) {
        poll_system_keys();
        if (close_requested())
            return 0;
        if (const int scancode = take_key())
            return scancode == KEY_ESC ? 0 : scancode;
        for (int k = KEY_MODIFIERS; k < KEY_MAX; k++) {
            if (key[k] && !held[k])
                return k;
            held[k] = key[k];
        }
        rest(5);
    }
}

// Enter (yes) or Escape (no).
bool confirmed()
{
    clear_keybuf();
    for (;;) {
        poll_system_keys();
        if (close_requested())
            return false;
        const int scancode = take_key();
        if (scancode == KEY_ENTER || scancode == KEY_ENTER_PAD || scancode == KEY_SPACE)
            return true;
        if (scancode == KEY_ESC)
            return false;
        rest(5);
    }
}

// The next gamepad button pushed; NO_BUTTON for Escape on the keyboard.
int wait_for_binding_button()
{
    std::bitset<PAD_BUTTONS> held = pad_now().buttons;
    clear_keybuf();
    for (;;) {
        poll_system_keys();
        if (close_requested() || take_key() == KEY_ESC)
            return NO_BUTTON;
        const std::bitset<PAD_BUTTONS> now = pad_now().buttons;
        for (int button = 0; button < PAD_BUTTONS; button++)
            if (now[button] && !held[button])
                return button;
        held = now;
        rest(5);
    }
}

// Puts value on the action; an action that has it already gets the action's
// old one, once the player agrees.
template <typename Describe>
void bind(std::array<int, ACTION_COUNT> &bound, int action, int value, Describe describe)
{
    const auto other = std::find(bound.begin(), bound.end(), value);
    if (other != bound.end() && other - bound.begin() != action) {
        show_prompt(describe(value) + " is " + ACTION_LABELS[other - bound.begin()] +
                    "'s: swap? Enter swaps, Escape keeps");
        if (!confirmed())
            return;
        *other = bound[static_cast<std::size_t>(action)];
    }
    bound[static_cast<std::size_t>(action)] = value;
    use_bindings(in_force.bindings);
}

void bind_key(int action)
{
    show_prompt(std::string("Press the key for ") + ACTION_LABELS[action] + "; Escape cancels");
    const int scancode = wait_for_binding_key();
    if (scancode == 0)
        return;
    if (is_modifier_key(scancode) && !is_held_only(static_cast<Action>(action))) {
        show_prompt(key_name(scancode) + " can only be held: it suits Walk and fire alone. A key goes on");
        wait_for_new_key();
        return;
    }
    bind(in_force.bindings.keys, action, scancode, [](int value) { return key_name(value); });
}

void bind_button(int action)
{
    if (num_joysticks < 1) {
        show_prompt("No gamepad is plugged in. A key goes on");
        wait_for_new_key();
        return;
    }
    show_prompt(std::string("Push the button for ") + ACTION_LABELS[action] + "; Escape cancels");
    const int button = wait_for_binding_button();
    if (button != NO_BUTTON)
        bind(in_force.bindings.buttons, action, button, button_text);
}

// --- The pages

struct Line {
    std::string label;
    std::string value;
};

const char *heading()
{
    switch (page) {
    case Page::main: return "PAUSED";
    case Page::settings: return "SETTINGS";
    case Page::keys: return "KEYS";
    case Page::buttons: return "GAMEPAD BUTTONS";
    }
    return "";
}

std::vector<Line> lines()
{
    std::vector<Line> shown;
    switch (page) {
    case Page::main:
        shown = {{"Resume", ""}, {"Settings", ""}, {"Quit", ""}};
        break;
    case Page::settings:
        for (const Row &row : settings_rows())
            shown.push_back({row.label, row.value()});
        break;
    case Page::keys:
    case Page::buttons:
        for (int action = 0; action < ACTION_COUNT; action++)
            shown.push_back({ACTION_LABELS[action], page == Page::keys
                                                        ? key_name(in_force.bindings.keys[action])
                                                        : button_text(in_force.bindings.buttons[action])});
        shown.push_back({"Back", ""});
        break;
    }
    return shown;
}

void choose(int step)
{
    switch (page) {
    case Page::main:
        if (step != 1)
            return;
        if (chosen == 0)
            closing = true;
        else if (chosen == 1)
            go_to(Page::settings);
        else
            closing = quitting = true;
        return;
    case Page::settings:
        settings_rows()[static_cast<std::size_t>(chosen)].change(step);
        return;
    case Page::keys:
    case Page::buttons:
        if (step != 1)
            return;
        if (chosen == ACTION_COUNT)
            go_to(Page::settings);
        else if (page == Page::keys)
            bind_key(chosen);
        else
            bind_button(chosen);
        return;
    }
}

void back()
{
    if (page == Page::main)
        closing = true;
    else
        go_to(page == Page::settings ? Page::main : Page::settings);
}

// --- Drawing

BITMAP *frozen = nullptr; // the picture the menu opened over

// Every other pixel of the play view black, in a checkerboard.
void dim_play_view(BITMAP *frame)
{
    for (int y = 0; y < STRIP_TOP; y++)
        for (int x = (y & 1); x < FRAME_W; x += 2)
            frame->line[y][x] = BLACK;
}

void draw()
{
    BITMAP *frame = game_frame();
    if (!frame || !frozen)
        return;
    blit(frozen, frame, 0, 0, 0, 0, FRAME_W, STRIP_TOP);
    dim_play_view(frame);
    const std::vector<Line> shown = lines();
    FONT *title = font_entry(HEADING_FONT);
    FONT *text = font_entry(TEXT_FONT);
    if (!title || !text)
        return;
    const int bottom = ROW_TOP + ROW_STEP * static_cast<int>(shown.size()) + 4;
    rectfill(frame, BOX_LEFT, BOX_TOP, BOX_RIGHT, std::min(bottom, STRIP_TOP - 2), BLACK);
    textout_centre_ex(frame, title, heading(), FRAME_W / 2, BOX_TOP + 6, -1, -1);
    for (std::size_t i = 0; i < shown.size(); i++) {
        const int y = ROW_TOP + ROW_STEP * static_cast<int>(i);
        const bool is_chosen = static_cast<int>(i) == chosen;
        const int colour = is_chosen ? WHITE : GREY;
        textout_ex(frame, text, ((is_chosen ? "> " : "  ") + shown[i].label).c_str(), BOX_LEFT + 8, y, colour, -1);
        textout_right_ex(frame, text, shown[i].value.c_str(), BOX_RIGHT - 8, y, colour, -1);
    }
    if (prompt.empty())
        show_strip_lines({"Up, Down: choose    Left, Right: change", "Enter: select    Escape: back"});
    else
        show_strip_text(prompt);
}

void show_prompt(const std::string &text)
{
    prompt = text;
    draw();
    present();
}

// --- Reading the player

// What a change of the gamepad's state asks of the menu: the stick or the
// d-pad walks, jump or fire chooses, Back goes back, Start closes.
Press pad_press(const PadState &now, const PadState &before, const Bindings &bound)
{
    const auto pushed = [&](Action action) {
        const int button = bound.buttons[static_cast<int>(action)];
        return button != NO_BUTTON && now.buttons[static_cast<std::size_t>(button)] &&
               !before.buttons[static_cast<std::size_t>(button)];
    };
    if (now.up && !before.up)
        return Press::up;
    if (now.down && !before.down)
        return Press::down;
    if (now.left && !before.left)
        return Press::less;
    if (now.right && !before.right)
        return Press::more;
    if (pushed(Action::jump) || pushed(Action::fire))
        return Press::choose;
    if (pushed(Action::quit))
        return Press::back;
    if (pushed(Action::pause))
        return Press::close;
    return Press::none;
}

// The next press of a key, or of the gamepad, that the menu answers.
Press next_press()
{
    static PadState pad_before;
    pad_before = pad_now();
    for (;;) {
        poll_system_keys();
        if (close_requested())
            return Press::close;
        const int scancode = take_key();
        const Bindings &bound = bindings_in_force();
        const auto is = [&](Action action) { return scancode == bound.keys[static_cast<int>(action)]; };
        if (scancode == KEY_UP || is(Action::up))
            return Press::up;
        if (scancode == KEY_DOWN)
            return Press::down;
        if (scancode == KEY_LEFT || is(Action::left))
            return Press::less;
        if (scancode == KEY_RIGHT || is(Action::right))
            return Press::more;
        if (scancode == KEY_ENTER || scancode == KEY_ENTER_PAD || scancode == KEY_SPACE || is(Action::fire))
            return Press::choose;
        if (scancode == KEY_ESC)
            return Press::back;
        if (scancode == KEY_PAUSE || is(Action::pause))
            return Press::close;
        const PadState pad = pad_now();
        const Press from_pad = pad_press(pad, pad_before, bound);
        pad_before = pad;
        if (from_pad != Press::none)
            return from_pad;
        rest(5);
    }
}

void answer(Press press)
{
    const int rows = static_cast<int>(lines().size());
    switch (press) {
    case Press::up: chosen = (chosen + rows - 1) % rows; break;
    case Press::down: chosen = (chosen + 1) % rows; break;
    case Press::less: choose(-1); break;
    case Press::more:
    case Press::choose: choose(1); break;
    case Press::back: back(); break;
    case Press::close: closing = true; break;
    case Press::none: break;
    }
}

// What the menu changed, into the settings file; a failure is told in the
// strip, and the game plays on with the settings in force.
void save_changes()
{
    if (settings_file.empty() || settings_changes(on_disk, in_force).empty())
        return;
    std::string problem;
    if (write_settings(settings_file, on_disk, in_force, problem))
        on_disk = in_force;
    else
        strip_for_a_while("settings not saved: " + problem, 5 * PASSES_PER_SECOND);
}

} // namespace

void start_menu(const Options &options, const std::string &settings_path)
{
    in_force = on_disk = options;
    settings_file = settings_path;
}

bool run_menu()
{
    BITMAP *frame = game_frame();
    if (!frame)
        return false;
    frozen = create_bitmap_ex(8, FRAME_W, FRAME_H);
    if (!frozen)
        return false;
    blit(frame, frozen, 0, 0, 0, 0, FRAME_W, FRAME_H);
    clear_keybuf();
    go_to(Page::main);
    closing = quitting = false;
    while (!closing) {
        prompt.clear();
        draw();
        present();
        answer(next_press());
    }
    blit(frozen, frame, 0, 0, 0, 0, FRAME_W, FRAME_H);
    destroy_bitmap(frozen);
    frozen = nullptr;
    prompt.clear();
    strip_show();
    save_changes();
    present();
    // What was pressed for the menu does not act in play.
    clear_keybuf();
    gamepad().clear_presses();
    return quitting;
}
