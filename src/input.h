// The player's controls: keys and a gamepad turned into actions. The loop's
// dispatch asks this module which action the player wants and whether an
// action is held; which key or button gives an action is a binding that the
// settings file may change. The system keys (pause, fullscreen, quit) act on
// the game as a whole, and every wait keeps answering them.
#ifndef TOLBRINT_INPUT_H
#define TOLBRINT_INPUT_H

#include <array>
#include <bitset>
#include <deque>
#include <optional>
#include <string>
#include <vector>

// What the player can ask for. The order is the order of the settings file.
enum class Action { left, right, up, jump, fire, walk_fire, pause, fullscreen, quit, reload, mute, none };
constexpr int ACTION_COUNT = static_cast<int>(Action::none);

constexpr int NO_BUTTON = -1;
constexpr int PAD_BUTTONS = 32; // Allegro's MAX_JOYSTICK_BUTTONS

// Which key (an Allegro scancode) and which gamepad button give each action.
struct Bindings {
    std::array<int, ACTION_COUNT> keys;
    std::array<int, ACTION_COUNT> buttons; // a button number or NO_BUTTON
};

// Arrows, X, D, Left Ctrl, P, F11, Escape, F5 and M; on a gamepad, buttons 0, 1 and
// 2 jump, fire and walk-fire, Start (7) pauses and Back (6) quits.
Bindings default_bindings();

// Key names are those of Allegro's KEY_ constants without the prefix: "X",
// "SPACE", "LCONTROL", "F11". Reading ignores case; 0 for an unknown name.
int key_from_name(const std::string &name);
std::string key_name(int scancode);

// Shift, Ctrl, Alt and the lock keys never reach the key buffer: they can
// only be held, so only a held-only action may use one.
bool is_modifier_key(int scancode);
bool is_held_only(Action action);

// The bindings in force (the defaults until the settings are applied).
void use_bindings(const Bindings &bindings);
const Bindings &bindings_in_force();

// The action a key's binding gives, Action::none for an unbound key.
Action action_for_key(int scancode);
// The action a key pressed with the given shift flags (Allegro's key_shifts)
// asks for: its binding, else Pause pauses and Alt+Enter switches fullscreen.
Action key_action(int scancode, int shifts);

enum class SystemAction { None, Pause, Fullscreen, Mute, Quit };

// The system action of a key pressed with the given shift flags, or None.
SystemAction system_action(int scancode, int shifts);

// Takes the fullscreen and mute keys out of the keyboard buffer from now on,
// so they work in every state and never count as "a key" for a wait.
void install_system_keys();

// Reads the gamepad, queueing its presses, and switches fullscreen and the
// sound for the fullscreen and mute keys and buttons pressed since the last
// call. Every wait and
// every pass of the loop calls it.
void poll_system_keys();

// Rests for ms milliseconds while answering the system keys; returns early
// when the window is closed.
void rest_polling(int ms);
// Whether the action's key or the gamepad holds it right now.
bool action_held(Action action);

// A gamepad's state: the left stick or the d-pad pushed, and its buttons.
struct PadState {
    bool left = false;
    bool right = false;
    bool up = false;
    bool down = false; // no action uses it; the menu walks down with it
    std::bitset<PAD_BUTTONS> buttons;
};

// The gamepad as it is now; nothing held when there is none.
PadState pad_now();

using ActionSet = std::bitset<ACTION_COUNT>;

// The actions a gamepad state holds under the bindings.
ActionSet pad_actions(const PadState &pad, const Bindings &bindings);

// The keyboard's auto-repeat: the first repeat after delay_ms, then one
// every interval_ms.
struct RepeatTiming {
    int delay_ms;
    int interval_ms;
};

// The X server's auto-repeat, which is what Allegro's keyboard delivers;
// X's own defaults when there is no X server to ask.
RepeatTiming keyboard_repeat();

// How held keys and buttons repeat in play. By default the game repeats
// held walking and firing itself, counted in passes, the same on every
// machine, and the desktop's repeats are ignored; with system set, keys
// ride the desktop's auto-repeat and buttons follow its rate, as they did.
struct KeyRepeat {
    bool system = false;
    int delay_ms = 150;
    int interval_ms = 40;
};

// Call once the keyboard is installed, before start_gamepad.
void use_key_repeat(const KeyRepeat &repeat);

// The actions the game repeats while they are held.
constexpr Action REPEATED_ACTIONS[] = {Action::left, Action::right, Action::fire};

// The game's own repeat, counted in passes: an action held for delay passes
// after its press repeats, then every interval passes while still held.
class PassRepeat {
public:
    PassRepeat(int delay_passes, int interval_passes) : delay_(delay_passes), interval_(interval_passes) {}
    // One pass: what is held and the press taken, if any; the repeats due,
    // in the order of REPEATED_ACTIONS.
    std::vector<Action> pass(const ActionSet &held, Action pressed);

private:
    int delay_;
    int interval_;
    std::array<int, ACTION_COUNT> countdown_{}; // 0: not counting
};

// Looks for a gamepad with Allegro's joystick driver. No gamepad is normal
// and silent. Call after the settings are in force: the driver reads its
// device from them.
void start_gamepad(bool enabled);

// Whether a key press or a gamepad press waits to be taken.
bool action_waiting();

// Takes one waiting press, keys first: the action it asks for, Action::none
// for an unbound key or when nothing waits.
Action take_action();
// The next take_action() gives this press first (a key that took over a
// replay acts in the first pass played live).
void push_back_action(Action action);

// A key of the keyboard's own, apart from the bindings (the playback keys).
bool key_down(int scancode);
// Takes one waiting key press: its scancode, 0 when none waits.
int take_key();

// One pass's input, read once, and all that play sees of the player: the
// press taken this pass, if any, and the actions held. Live play fills it
// from the keyboard and the gamepad, a replay from its file.
struct PassCommand {
    bool pressed = false;
    Action press = Action::none; // Action::none: a key or button no action uses
    ActionSet held;              // only the actions play asks about: see PLAY_HELD_ACTIONS

    bool operator==(const PassCommand &other) const
    {
        return pressed == other.pressed && press == other.press && held == other.held;
    }
};

// The held actions that play reads: walking, walk-fire and up.
constexpr Action PLAY_HELD_ACTIONS[] = {Action::left, Action::right, Action::up, Action::walk_fire};

// Reads the devices for one pass: a pause press asks for the pause and is
// no game input; the first other waiting press becomes the command's, and
// later ones wait for the next pass.
PassCommand read_pass_command();
// The same while play waits for a key (a tent's message): every press,
// the pause key's too, is the key that goes on.
PassCommand read_wait_command();
// The command a press of the key would give with what is held now.
PassCommand key_command(int scancode);

// The command play acts on: the last one read, by a pass or by a wait.
const PassCommand &current_command();
void set_current_command(const PassCommand &command);

// The player's pause key asks for a pause; play's loop takes the request.
void request_pause();
bool pause_requested();
void clear_pause_request();

// The window's close button ends the game from any point: waits return early
// and the loop stops.
bool close_requested();
void request_close();
// Ctrl+C, a hangup or a polite kill end the game as the close button does,
// so that its run is kept.
void close_on_signals();

// Waits for a key or gamepad press and takes it; returns false instead
// when the window is closed.
bool wait_for_key();
// The same for a key pressed from now on: keys already in the buffer, and
// the auto-repeat of keys held now, do not count.
bool wait_for_new_key();
// The same, with the action the press asks for (Action::none for a key no
// action uses); nothing when the window is closed.
std::optional<Action> wait_for_new_action();

// A gamepad as the game sees it, apart from Allegro so that tests can feed
// it states. Held actions turn into presses the way the keyboard turns a
// held key into key presses: one press, then repeats at the keyboard's rate.
// Pause, fullscreen, quit, reload and mute press once per push; walk-fire is
// only held; a button no action uses presses once, as Action::none.
class Gamepad {
public:
    explicit Gamepad(RepeatTiming timing) : timing_(timing) {}
    void update(const PadState &pad, const Bindings &bindings, long now_ms);
    const ActionSet &held() const { return held_; }
    bool press_waiting() const { return !presses_.empty(); }
    Action take_press();
    // Takes every waiting press of one action out of the queue; how many.
    int take_presses_of(Action action);
    void clear_presses() { presses_.clear(); }

private:
    RepeatTiming timing_;
    ActionSet held_;
    std::bitset<PAD_BUTTONS> buttons_;
    std::array<long, ACTION_COUNT> next_repeat_{};
    std::deque<Action> presses_;
};

// The gamepad in play; tests drive it through update().
Gamepad &gamepad();

#endif
