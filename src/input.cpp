#include "input.h"

#include <allegro.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <strings.h>

#include "display.h"
#include "platform.h"
#include "sound.h"

namespace {

// How a held gamepad action turns into presses.
enum class PadPress { repeats, once, held_only };

struct ActionDefaults {
    int key;
    int button;
    PadPress press;
};

// Indexed by Action. The stick and the d-pad give left, right and up.
const ActionDefaults action_defaults[ACTION_COUNT] = {
    {KEY_LEFT, NO_BUTTON, PadPress::repeats},  // left
    {KEY_RIGHT, NO_BUTTON, PadPress::repeats}, // right
    {KEY_UP, NO_BUTTON, PadPress::repeats},    // up
    {KEY_X, 0, PadPress::repeats},             // jump
    {KEY_D, 1, PadPress::repeats},             // fire
    {KEY_LCONTROL, 2, PadPress::held_only},    // walk_fire
    {KEY_P, 7, PadPress::once},                // pause: Start
    {KEY_F11, NO_BUTTON, PadPress::once},      // fullscreen
    {KEY_ESC, 6, PadPress::once},              // quit: Back or Select
    {KEY_F5, NO_BUTTON, PadPress::once},       // reload the level file
    {KEY_M, NO_BUTTON, PadPress::once},        // mute
};

struct KeyName {
    int scancode;
    const char *name;
};

#define NAMED_KEY(name) {KEY_##name, #name}
const KeyName key_names[] = {
    NAMED_KEY(A), NAMED_KEY(B), NAMED_KEY(C), NAMED_KEY(D), NAMED_KEY(E), NAMED_KEY(F),
    NAMED_KEY(G), NAMED_KEY(H), NAMED_KEY(I), NAMED_KEY(J), NAMED_KEY(K), NAMED_KEY(L),
    NAMED_KEY(M), NAMED_KEY(N), NAMED_KEY(O), NAMED_KEY(P), NAMED_KEY(Q), NAMED_KEY(R),
    NAMED_KEY(S), NAMED_KEY(T), NAMED_KEY(U), NAMED_KEY(V), NAMED_KEY(W), NAMED_KEY(X),
    NAMED_KEY(Y), NAMED_KEY(Z), NAMED_KEY(0), NAMED_KEY(1), NAMED_KEY(2), NAMED_KEY(3),
    NAMED_KEY(4), NAMED_KEY(5), NAMED_KEY(6), NAMED_KEY(7), NAMED_KEY(8), NAMED_KEY(9),
    NAMED_KEY(0_PAD), NAMED_KEY(1_PAD), NAMED_KEY(2_PAD), NAMED_KEY(3_PAD), NAMED_KEY(4_PAD),
    NAMED_KEY(5_PAD), NAMED_KEY(6_PAD), NAMED_KEY(7_PAD), NAMED_KEY(8_PAD), NAMED_KEY(9_PAD),
    NAMED_KEY(F1), NAMED_KEY(F2), NAMED_KEY(F3), NAMED_KEY(F4), NAMED_KEY(F5), NAMED_KEY(F6),
    NAMED_KEY(F7), NAMED_KEY(F8), NAMED_KEY(F9), NAMED_KEY(F10), NAMED_KEY(F11), NAMED_KEY(F12),
    NAMED_KEY(ESC), NAMED_KEY(TILDE), NAMED_KEY(MINUS), NAMED_KEY(EQUALS), NAMED_KEY(BACKSPACE),
    NAMED_KEY(TAB), NAMED_KEY(OPENBRACE), NAMED_KEY(CLOSEBRACE), NAMED_KEY(ENTER),
    NAMED_KEY(COLON), NAMED_KEY(QUOTE), NAMED_KEY(BACKSLASH), NAMED_KEY(BACKSLASH2),
    NAMED_KEY(COMMA), NAMED_KEY(STOP), NAMED_KEY(SLASH), NAMED_KEY(SPACE), NAMED_KEY(INSERT),
    NAMED_KEY(DEL), NAMED_KEY(HOME), NAMED_KEY(END), NAMED_KEY(PGUP), NAMED_KEY(PGDN),
    NAMED_KEY(LEFT), NAMED_KEY(RIGHT), NAMED_KEY(UP), NAMED_KEY(DOWN), NAMED_KEY(SLASH_PAD),
    NAMED_KEY(ASTERISK), NAMED_KEY(MINUS_PAD), NAMED_KEY(PLUS_PAD), NAMED_KEY(DEL_PAD),
    NAMED_KEY(ENTER_PAD), NAMED_KEY(PRTSCR), NAMED_KEY(PAUSE), NAMED_KEY(ABNT_C1), NAMED_KEY(YEN),
    NAMED_KEY(KANA), NAMED_KEY(CONVERT), NAMED_KEY(NOCONVERT), NAMED_KEY(AT),
    NAMED_KEY(CIRCUMFLEX), NAMED_KEY(COLON2), NAMED_KEY(KANJI), NAMED_KEY(EQUALS_PAD),
    NAMED_KEY(BACKQUOTE), NAMED_KEY(SEMICOLON), NAMED_KEY(COMMAND), NAMED_KEY(LSHIFT),
    NAMED_KEY(RSHIFT), NAMED_KEY(LCONTROL), NAMED_KEY(RCONTROL), NAMED_KEY(ALT),
    NAMED_KEY(ALTGR), NAMED_KEY(LWIN), NAMED_KEY(RWIN), NAMED_KEY(MENU), NAMED_KEY(SCRLOCK),
    NAMED_KEY(NUMLOCK), NAMED_KEY(CAPSLOCK),
};
#undef NAMED_KEY

// Keys that pause and switch fullscreen beside the bindings, unless a binding
// gives them to an action.
struct SecondKey {
    int scancode;
    int shifts; // flags that must be held, 0 for none
    Action action;
};

const SecondKey second_keys[] = {
    {KEY_PAUSE, 0, Action::pause},
    {KEY_ENTER, KB_ALT_FLAG, Action::fullscreen},
};

// Set by the keyboard thread, acted on by the game's own thread.
std::atomic<int> fullscreen_presses{0};
std::atomic<int> mute_presses{0};

int take_system_keys(int pressed)
{
    switch (system_action(pressed >> 8, key_shifts)) {
    case SystemAction::Fullscreen: fullscreen_presses++; return 0;
    case SystemAction::Mute: mute_presses++; return 0;
    default: return pressed;
    }
}

// X's own defaults: 660 ms to the first repeat, then 25 a second.
constexpr RepeatTiming X_DEFAULT_REPEAT = {660, 40};

// The gamepad's own repeats, when the game repeats held buttons itself.
constexpr RepeatTiming NO_PAD_REPEAT = {INT_MAX / 2, INT_MAX / 2};
// A pass's length, to count the repeat's times in passes.
constexpr int PASS_MS = 10;

Bindings bindings = default_bindings();
Gamepad pad_in_play(X_DEFAULT_REPEAT);
KeyRepeat key_repeat;
PassRepeat pass_repeat(15, 4);
std::deque<Action> repeats_due;
bool pad_started = false;

std::atomic<bool> window_closed{false};
bool pause_asked = false;
std::deque<Action> pushed_back;
PassCommand command_in_force;

int index_of(Action action) { return static_cast<int>(action); }

long now_ms()
{
    using namespace std::chrono;
    return static_cast<long>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// The left stick is stick 0; most pads report their d-pad as the last pair
// of axes. The sticks between are often triggers, which rest at one end.
PadState read_pad()
{
    PadState state;
    if (num_joysticks < 1 || poll_joystick() != 0)
        return state;
    const JOYSTICK_INFO &pad = joy[0];
    for (int index : {0, pad.num_sticks - 1}) {
        if (index < 0 || pad.stick[index].num_axis < 2)
            continue;
        const JOYSTICK_STICK_INFO &stick = pad.stick[index];
        state.left |= stick.axis[0].d1 != 0;
        state.right |= stick.axis[0].d2 != 0;
        state.up |= stick.axis[1].d1 != 0;
        state.down |= stick.axis[1].d2 != 0;
    }
    for (int button = 0; button < pad.num_buttons && button < PAD_BUTTONS; button++)
        state.buttons[button] = pad.button[button].b != 0;
    return state;
}

} // namespace

PadState pad_now() { return pad_started ? read_pad() : PadState(); }

Bindings default_bindings()
{
    Bindings defaults;
    for (int i = 0; i < ACTION_COUNT; i++) {
        defaults.keys[i] = action_defaults[i].key;
        defaults.buttons[i] = action_defaults[i].button;
    }
    return defaults;
}

int key_from_name(const std::string &name)
{
    for (const KeyName &entry : key_names)
        if (strcasecmp(entry.name, name.c_str()) == 0)
            return entry.scancode;
    return 0;
}

std::string key_name(int scancode)
{
    for (const KeyName &entry : key_names)
        if (entry.scancode == scancode)
            return entry.name;
    return "";
}

bool is_modifier_key(int scancode) { return scancode >= KEY_MODIFIERS; }

bool is_held_only(Action action) { return action_defaults[index_of(action)].press == PadPress::held_only; }

void use_bindings(const Bindings &in_force) { bindings = in_force; }

const Bindings &bindings_in_force() { return bindings; }

Action action_for_key(int scancode)
{
    for (int i = 0; i < ACTION_COUNT; i++)
        if (bindings.keys[i] == scancode)
            return static_cast<Action>(i);
    return Action::none;
}

Action key_action(int scancode, int shifts)
{
    const Action bound = action_for_key(scancode);
    if (bound != Action::none)
        return bound;
    for (const SecondKey &second : second_keys)
        if (second.scancode == scancode && (shifts & second.shifts) == second.shifts)
            return second.action;
    return Action::none;
}

SystemAction system_action(int scancode, int shifts)
{
    switch (key_action(scancode, shifts)) {
    case Action::pause:
        return SystemAction::Pause;
    case Action::fullscreen:
        return SystemAction::Fullscreen;
    case Action::mute:
        return SystemAction::Mute;
    case Action::quit:
        return SystemAction::Quit;
    default:
        return SystemAction::None;
    }
}

void install_system_keys()
{
    keyboard_callback = take_system_keys;
}

void poll_system_keys()
{
    if (pad_started) {
        pad_in_play.update(read_pad(), bindings, now_ms());
        fullscreen_presses += pad_in_play.take_presses_of(Action::fullscreen);
        mute_presses += pad_in_play.take_presses_of(Action::mute);
    }
    for (; fullscreen_presses > 0; fullscreen_presses--)
        toggle_fullscreen();
    for (; mute_presses > 0; mute_presses--)
        toggle_mute();
}

void rest_polling(int ms)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!window_closed) {
        poll_system_keys();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return;
        rest(static_cast<unsigned>(std::min<long long>(left.count(), 5)));
    }
}

bool action_held(Action action)
{
    if (action == Action::none)
        return false;
    return key[bindings.keys[index_of(action)]] || pad_in_play.held()[index_of(action)];
}

ActionSet pad_actions(const PadState &pad, const Bindings &bound)
{
    ActionSet held;
    held[index_of(Action::left)] = pad.left;
    held[index_of(Action::right)] = pad.right;
    held[index_of(Action::up)] = pad.up;
    for (int i = 0; i < ACTION_COUNT; i++) {
        const int button = bound.buttons[i];
        if (button != NO_BUTTON && button < PAD_BUTTONS && pad.buttons[button])
            held[i] = true;
    }
    return held;
}

void Gamepad::update(const PadState &pad, const Bindings &bound, long now)
{
    const ActionSet held = pad_actions(pad, bound);
    for (int i = 0; i < ACTION_COUNT; i++) {
        const PadPress press = action_defaults[i].press;
        if (!held[i] || press == PadPress::held_only)
            continue;
        if (!held_[i]) {
            presses_.push_back(static_cast<Action>(i));
            next_repeat_[i] = now + timing_.delay_ms;
        } else if (press == PadPress::repeats && now >= next_repeat_[i]) {
            presses_.push_back(static_cast<Action>(i));
            next_repeat_[i] += timing_.interval_ms;
            // A stalled game catches up with one press, not a burst.
            if (next_repeat_[i] <= now)
                next_repeat_[i] = now + timing_.interval_ms;
        }
    }
    held_ = held;
    // A button no action uses presses like an unbound key: it goes on from
    // a wait, and in play only the held combinations act on it.
    const std::bitset<PAD_BUTTONS> pushed = pad.buttons & ~buttons_;
    for (int button = 0; button < PAD_BUTTONS; button++)
        if (pushed[button] && std::find(bound.buttons.begin(), bound.buttons.end(), button) == bound.buttons.end())
            presses_.push_back(Action::none);
    buttons_ = pad.buttons;
}

Action Gamepad::take_press()
{
    if (presses_.empty())
        return Action::none;
    const Action action = presses_.front();
    presses_.pop_front();
    return action;
}

int Gamepad::take_presses_of(Action action)
{
    const auto before = presses_.size();
    presses_.erase(std::remove(presses_.begin(), presses_.end(), action), presses_.end());
    return static_cast<int>(before - presses_.size());
}

Gamepad &gamepad() { return pad_in_play; }

RepeatTiming keyboard_repeat()
{
    RepeatTiming timing = X_DEFAULT_REPEAT;
    if (!desktop_key_repeat(timing.delay_ms, timing.interval_ms))
        return X_DEFAULT_REPEAT;
    return timing;
}

std::vector<Action> PassRepeat::pass(const ActionSet &held, Action pressed)
{
    std::vector<Action> due;
    for (Action action : REPEATED_ACTIONS) {
        int &countdown = countdown_[index_of(action)];
        if (!held[index_of(action)])
            countdown = 0;
        else if (action == pressed || countdown == 0)
            countdown = delay_; // from its press, or from when it was first seen held
        else if (--countdown == 0) {
            due.push_back(action);
            countdown = interval_;
        }
    }
    return due;
}

void use_key_repeat(const KeyRepeat &repeat)
{
    key_repeat = repeat;
    const auto passes = [](int ms) { return std::max(1, (ms + PASS_MS / 2) / PASS_MS); };
    pass_repeat = PassRepeat(passes(repeat.delay_ms), passes(repeat.interval_ms));
    // With no delay Allegro drops a press of a key that is down already:
    // the desktop's repeats.
    if (!repeat.system)
        set_keyboard_rate(0, 0);
}

void start_gamepad(bool enabled)
{
    if (!enabled || install_joystick(JOY_TYPE_AUTODETECT) != 0 || num_joysticks < 1)
        return;
    pad_in_play = Gamepad(key_repeat.system ? keyboard_repeat() : NO_PAD_REPEAT);
    pad_started = true;
}

bool action_waiting() { return !pushed_back.empty() || keypressed() || pad_in_play.press_waiting(); }

Action take_action()
{
    if (!pushed_back.empty()) {
        const Action action = pushed_back.front();
        pushed_back.pop_front();
        return action;
    }
    if (keypressed())
        return key_action(readkey() >> 8, key_shifts);
    return pad_in_play.take_press();
}

void push_back_action(Action action) { pushed_back.push_back(action); }

bool key_down(int scancode) { return scancode > 0 && scancode < KEY_MAX && key[scancode]; }

int take_key() { return keypressed() ? readkey() >> 8 : 0; }

namespace {

ActionSet play_held_actions()
{
    ActionSet held;
    for (Action action : PLAY_HELD_ACTIONS)
        held[index_of(action)] = action_held(action);
    return held;
}

PassCommand read_command(bool pause_is_a_press)
{
    PassCommand command;
    while (action_waiting()) {
        const Action action = take_action();
        if (action == Action::pause && !pause_is_a_press) {
            request_pause();
            continue;
        }
        command.pressed = true;
        command.press = action == Action::pause ? Action::none : action;
        break;
    }
    command.held = play_held_actions();
    return command;
}

// A repeat waits, like a press, for a pass that has none; an action repeats
// at most once in the queue.
void queue_repeats(const std::vector<Action> &due)
{
    for (Action action : due)
        if (std::find(repeats_due.begin(), repeats_due.end(), action) == repeats_due.end())
            repeats_due.push_back(action);
}

} // namespace

PassCommand read_pass_command()
{
    PassCommand command = read_command(false);
    if (key_repeat.system)
        return command;
    ActionSet held;
    for (Action action : REPEATED_ACTIONS)
        held[index_of(action)] = action_held(action);
    queue_repeats(pass_repeat.pass(held, command.pressed ? command.press : Action::none));
    // A key let go before its repeat was taken repeats no more.
    repeats_due.erase(std::remove_if(repeats_due.begin(), repeats_due.end(),
                                     [&held](Action action) { return !held[index_of(action)]; }),
                      repeats_due.end());
    if (!command.pressed && !repeats_due.empty()) {
        command.pressed = true;
        command.press = repeats_due.front();
        repeats_due.pop_front();
    }
    return command;
}

PassCommand read_wait_command() { return read_command(true); }

PassCommand key_command(int scancode)
{
    PassCommand command;
    command.pressed = true;
    command.press = key_action(scancode, key_shifts);
    command.held = play_held_actions();
    return command;
}

const PassCommand &current_command() { return command_in_force; }

void set_current_command(const PassCommand &command) { command_in_force = command; }

void request_pause() { pause_asked = true; }

bool pause_requested() { return pause_asked; }

void clear_pause_request() { pause_asked = false; }

bool close_requested() { return window_closed; }

void request_close() { window_closed = true; }

namespace {

// Only the lock-free flag is touched: safe in a signal handler.
void close_on_signal(int) { window_closed = true; }

} // namespace

void close_on_signals() { on_end_signals(close_on_signal); }

bool wait_for_key()
{
    poll_system_keys();
    while (!action_waiting()) {
        if (window_closed)
            return false;
        rest(5);
        poll_system_keys();
    }
    take_action();
    return true;
}

bool wait_for_new_key() { return wait_for_new_action().has_value(); }

std::optional<Action> wait_for_new_action()
{
    clear_keybuf();
    pushed_back.clear();
    gamepad().clear_presses();
    std::array<bool, KEY_MAX> held_before{};
    for (int k = 0; k < KEY_MAX; k++)
        held_before[k] = key[k];
    ActionSet pad_held_before = gamepad().held();
    for (;;) {
        if (window_closed)
            return std::nullopt;
        poll_system_keys();
        for (int k = 0; k < KEY_MAX; k++)
            held_before[k] = held_before[k] && key[k];
        pad_held_before &= gamepad().held();
        if (keypressed()) {
            const int scancode = readkey() >> 8;
            if (scancode <= 0 || scancode >= KEY_MAX || !held_before[scancode])
                return scancode > 0 && scancode < KEY_MAX ? action_for_key(scancode) : Action::none;
        }
        // A held button's repeats are not a new press; a button no action
        // uses presses as Action::none.
        while (gamepad().press_waiting()) {
            const Action action = gamepad().take_press();
            if (action == Action::none || !pad_held_before[static_cast<int>(action)])
                return action;
        }
        rest(5);
    }
}
