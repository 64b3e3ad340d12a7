#include "input.h"

#include <allegro.h>

#include <atomic>
#include <chrono>

#include "display.h"
#include "tolbrint.h"

namespace {

struct SystemKey {
    int scancode;
    int shifts;  // flags that must be held, 0 for none
    SystemAction action;
};

const SystemKey system_keys[] = {
    {KEY_P, 0, SystemAction::Pause},
    {KEY_PAUSE, 0, SystemAction::Pause},
    {KEY_F11, 0, SystemAction::Fullscreen},
    {KEY_ENTER, KB_ALT_FLAG, SystemAction::Fullscreen},
    {KEY_ESC, 0, SystemAction::Quit},
};

// Set by the keyboard thread, acted on by the game's own thread.
std::atomic<int> fullscreen_presses{0};

int take_fullscreen_keys(int key)
{
    if (system_action(key >> 8, key_shifts) != SystemAction::Fullscreen)
        return key;
    fullscreen_presses++;
    return 0;
}

} // namespace

SystemAction system_action(int scancode, int shifts)
{
    for (const SystemKey &system_key : system_keys)
        if (system_key.scancode == scancode && (shifts & system_key.shifts) == system_key.shifts)
            return system_key.action;
    return SystemAction::None;
}

void install_system_keys()
{
    keyboard_callback = take_fullscreen_keys;
}

void poll_system_keys()
{
    for (; fullscreen_presses > 0; fullscreen_presses--)
        toggle_fullscreen();
}

void rest_polling(int ms)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!close_requested()) {
        poll_system_keys();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return;
        rest(static_cast<unsigned>(std::min<long long>(left.count(), 5)));
    }
}
