// Key names, the bindings in force and the gamepad: its states to actions
// and the held-button repeat.
#include <gtest/gtest.h>

#include "headless.h"
#include "input.h"
#include "sound.h"

namespace {

constexpr RepeatTiming REPEAT = {660, 40};

int index_of(Action action) { return static_cast<int>(action); }

class Input : public ::testing::Test {
protected:
    void SetUp() override
    {
        headless::start();
        headless::release_all_keys();
        use_bindings(default_bindings());
    }
    void TearDown() override
    {
        headless::release_all_keys();
        use_bindings(default_bindings());
        gamepad() = Gamepad(REPEAT);
    }
};

PadState pressing(std::initializer_list<int> buttons)
{
    PadState pad;
    for (int button : buttons)
        pad.buttons[button] = true;
    return pad;
}

std::vector<Action> take_all(Gamepad &pad)
{
    std::vector<Action> presses;
    while (pad.press_waiting())
        presses.push_back(pad.take_press());
    return presses;
}

TEST_F(Input, KeyNamesReadBackWhateverTheirCase)
{
    EXPECT_EQ(key_from_name("X"), KEY_X);
    EXPECT_EQ(key_from_name("space"), KEY_SPACE);
    EXPECT_EQ(key_from_name("LControl"), KEY_LCONTROL);
    EXPECT_EQ(key_from_name("0_PAD"), KEY_0_PAD);
    EXPECT_EQ(key_from_name("F11"), KEY_F11);
    for (const char *unknown : {"", "SPAEC", "KEY_X", "Control_L", "X "})
        EXPECT_EQ(key_from_name(unknown), 0) << unknown;
    // Every key with a name reads back as itself.
    int named = 0;
    for (int scancode = 1; scancode < KEY_MAX; scancode++) {
        const std::string name = key_name(scancode);
        if (name.empty())
            continue;
        named++;
        EXPECT_EQ(key_from_name(name), scancode) << name;
    }
    EXPECT_GE(named, 110);
    EXPECT_TRUE(is_modifier_key(KEY_LCONTROL));
    EXPECT_TRUE(is_modifier_key(KEY_CAPSLOCK));
    EXPECT_FALSE(is_modifier_key(KEY_SPACE));
}

TEST_F(Input, DefaultsAreTheGamesKeysAndNoTwoActionsShareOne)
{
    const Bindings defaults = default_bindings();
    const int expected[] = {KEY_LEFT, KEY_RIGHT, KEY_UP, KEY_X, KEY_D, KEY_LCONTROL, KEY_P, KEY_F11, KEY_ESC, KEY_F5, KEY_M};
    for (int i = 0; i < ACTION_COUNT; i++) {
        EXPECT_EQ(defaults.keys[i], expected[i]) << "action " << i;
        for (int j = i + 1; j < ACTION_COUNT; j++) {
            EXPECT_NE(defaults.keys[i], defaults.keys[j]);
            if (defaults.buttons[i] != NO_BUTTON) {
                EXPECT_NE(defaults.buttons[i], defaults.buttons[j]);
            }
        }
    }
    EXPECT_EQ(action_for_key(KEY_X), Action::jump);
    EXPECT_EQ(action_for_key(KEY_SPACE), Action::none);
}

// M reaches no wait and no dispatch: the keyboard callback takes it in any
// state, and the next poll switches the sound.
TEST_F(Input, MuteIsTakenAtAnyMomentAndMovesWithItsBinding)
{
    install_system_keys();
    const int m = KEY_M << 8 | 'm', n = KEY_N << 8 | 'n';
    const bool before = sound_muted();
    EXPECT_EQ(keyboard_callback(m), 0) << "M never reaches the key buffer";
    poll_system_keys();
    EXPECT_NE(sound_muted(), before);

    Bindings moved = default_bindings();
    moved.keys[index_of(Action::mute)] = KEY_N;
    moved.buttons[index_of(Action::mute)] = 4;
    use_bindings(moved);
    EXPECT_EQ(system_action(KEY_N, 0), SystemAction::Mute);
    EXPECT_EQ(keyboard_callback(m), m) << "M is an ordinary key once mute has moved";
    EXPECT_EQ(keyboard_callback(n), 0);
    poll_system_keys();
    EXPECT_EQ(sound_muted(), before);
    keyboard_callback = nullptr;

    // The bound button presses once per push, like fullscreen.
    Gamepad pad(REPEAT);
    pad.update(pressing({4}), moved, 0);
    pad.update(pressing({4}), moved, 2000);
    EXPECT_EQ(pad.take_presses_of(Action::mute), 1);
}

TEST_F(Input, HeldActionsFollowTheBoundKeysAndThePad)
{
    Bindings bindings = default_bindings();
    bindings.keys[index_of(Action::walk_fire)] = KEY_RSHIFT;
    use_bindings(bindings);
    key[KEY_LCONTROL] = 1;
    EXPECT_FALSE(action_held(Action::walk_fire)) << "the old key no longer holds it";
    key[KEY_RSHIFT] = 1;
    EXPECT_TRUE(action_held(Action::walk_fire));
    EXPECT_FALSE(action_held(Action::none));

    PadState pad;
    pad.up = true;
    gamepad().update(pad, bindings, 0);
    EXPECT_TRUE(action_held(Action::up)) << "the stick holds up";
}

TEST_F(Input, PadStatesMapToActions)
{
    const Bindings defaults = default_bindings();
    PadState pad = pressing({0, 1, 2, 6, 7});
    pad.left = true;
    pad.up = true;
    const ActionSet held = pad_actions(pad, defaults);
    for (Action action : {Action::left, Action::up, Action::jump, Action::fire, Action::walk_fire,
                          Action::quit, Action::pause})
        EXPECT_TRUE(held[index_of(action)]) << index_of(action);
    EXPECT_FALSE(held[index_of(Action::right)]);
    EXPECT_FALSE(held[index_of(Action::fullscreen)]);

    EXPECT_TRUE(pad_actions(pressing({3, 4, 5, 8, 31}), defaults).none()) << "unbound buttons hold nothing";

    Bindings moved = defaults;
    moved.buttons[index_of(Action::fire)] = 5;
    moved.buttons[index_of(Action::right)] = 13; // a d-pad that reports buttons
    EXPECT_FALSE(pad_actions(pressing({1}), moved)[index_of(Action::fire)]);
    EXPECT_TRUE(pad_actions(pressing({5}), moved)[index_of(Action::fire)]);
    EXPECT_TRUE(pad_actions(pressing({13}), moved)[index_of(Action::right)]);
}

// A held fire button fires like a held D key under X's default repeat: at 0,
// 660, 700, 740... ms.
TEST_F(Input, HeldFireRepeatsAtTheKeyboardsDelayAndRate)
{
    Gamepad pad(REPEAT);
    const Bindings defaults = default_bindings();
    std::vector<long> fired;
    for (long now = 0; now <= 800; now += 10) {
        pad.update(pressing({1}), defaults, now);
        for (Action action : take_all(pad)) {
            EXPECT_EQ(action, Action::fire);
            fired.push_back(now);
        }
    }
    EXPECT_EQ(fired, (std::vector<long>{0, 660, 700, 740, 780}));

    // Let go and press again: a fresh press at once, then the delay again.
    pad.update(PadState(), defaults, 810);
    EXPECT_FALSE(pad.press_waiting());
    pad.update(pressing({1}), defaults, 820);
    EXPECT_EQ(take_all(pad), std::vector<Action>{Action::fire});
    pad.update(pressing({1}), defaults, 1470);
    EXPECT_FALSE(pad.press_waiting()) << "650 ms is still within the delay";
    pad.update(pressing({1}), defaults, 1480);
    EXPECT_EQ(take_all(pad), std::vector<Action>{Action::fire});
}

TEST_F(Input, AStalledGameGetsOneRepeatNotABurst)
{
    Gamepad pad(REPEAT);
    const Bindings defaults = default_bindings();
    PadState right;
    right.right = true;
    pad.update(right, defaults, 0);
    pad.update(right, defaults, 5000);
    EXPECT_EQ(take_all(pad), (std::vector<Action>{Action::right, Action::right}));
    pad.update(right, defaults, 5030);
    EXPECT_FALSE(pad.press_waiting());
    pad.update(right, defaults, 5040);
    EXPECT_TRUE(pad.press_waiting());
}

TEST_F(Input, PauseAndQuitPressOnceAndWalkFireIsOnlyHeld)
{
    Gamepad pad(REPEAT);
    const Bindings defaults = default_bindings();
    for (long now = 0; now <= 2000; now += 10)
        pad.update(pressing({2, 6, 7}), defaults, now);
    EXPECT_EQ(take_all(pad), (std::vector<Action>{Action::pause, Action::quit}));
    EXPECT_TRUE(pad.held()[index_of(Action::walk_fire)]);
}

TEST_F(Input, AnUnboundButtonPressesOnceLikeAnUnboundKey)
{
    Gamepad pad(REPEAT);
    for (long now = 0; now <= 2000; now += 10)
        pad.update(pressing({4}), default_bindings(), now);
    EXPECT_EQ(take_all(pad), std::vector<Action>{Action::none}) << "so it goes on from a wait";
    EXPECT_TRUE(pad.held().none());
}

// One press a pass, the pause no game input of it, and only what play asks
// about held; in a wait every press goes on, the pause key's too.
TEST_F(Input, APassTakesOnePressAndThePauseIsNoGameInput)
{
    for (Action action : {Action::pause, Action::jump, Action::fire})
        push_back_action(action);
    key[KEY_RIGHT] = key[KEY_D] = 1;
    const PassCommand command = read_pass_command();
    EXPECT_TRUE(pause_requested());
    EXPECT_TRUE(command.pressed);
    EXPECT_EQ(command.press, Action::jump);
    EXPECT_TRUE(command.held[index_of(Action::right)]);
    EXPECT_FALSE(command.held[index_of(Action::fire)]) << "play never asks whether fire is held";
    EXPECT_EQ(read_pass_command().press, Action::fire);
    EXPECT_FALSE(read_pass_command().pressed);
    clear_pause_request();
    push_back_action(Action::pause);
    EXPECT_TRUE(read_wait_command().pressed);
    EXPECT_FALSE(pause_requested());
}

TEST_F(Input, NoGamepadIsSilentAndNothingWaits)
{
    start_gamepad(true); // no joystick driver without a system driver
    poll_system_keys();
    EXPECT_FALSE(gamepad().press_waiting());
    EXPECT_EQ(take_action(), Action::none);
}

} // namespace

namespace {

// The passes of a run of PassRepeat at which an action repeats.
std::vector<int> repeat_passes(PassRepeat &repeat, const ActionSet &held, Action pressed_first, int passes)
{
    std::vector<int> at;
    for (int pass = 0; pass < passes; pass++)
        for (Action due : repeat.pass(held, pass == 0 ? pressed_first : Action::none))
            if (due == Action::right)
                at.push_back(pass);
    return at;
}

} // namespace

// Held from its press, Right repeats after the delay, then every interval,
// through other presses; a tap repeats nothing, and a jump never repeats.
TEST(PassRepeatTest, AHeldActionRepeatsAfterItsDelayThenEveryInterval)
{
    ActionSet right;
    right[index_of(Action::right)] = true;
    PassRepeat repeat(15, 4);
    EXPECT_EQ(repeat_passes(repeat, right, Action::right, 28), (std::vector<int>{15, 19, 23, 27}));
    EXPECT_TRUE(repeat.pass(ActionSet(), Action::none).empty()) << "let go";
    EXPECT_EQ(repeat_passes(repeat, right, Action::right, 14), std::vector<int>()) << "a tap";
    repeat.pass(ActionSet(), Action::none);
    EXPECT_EQ(repeat_passes(repeat, right, Action::right, 17).size(), 1u);
    EXPECT_EQ(repeat.pass(right, Action::jump).size(), 0u) << "a jump on the way";
    EXPECT_EQ(repeat_passes(repeat, right, Action::none, 4), (std::vector<int>{1})) << "on time, as if no jump came";
    ActionSet jump;
    jump[index_of(Action::jump)] = true;
    PassRepeat jumps(15, 4);
    for (int pass = 0; pass < 40; pass++)
        EXPECT_TRUE(jumps.pass(jump, pass == 0 ? Action::jump : Action::none).empty());
}
