// The program's entry, the shared game state, start-up and shutdown, the main
// loop, the key dispatch and horizontal scrolling.
#include "tolbrint.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <chrono>
#include <ctime>
#include <thread>

#include "authoring.h"
#include "input.h"
#include "intro.h"
#include "level.h"
#include "options.h"
#include "sidefiles.h"
#include "sound.h"
#include "zarn.h"

DATAFILE *data1 = nullptr;
BITMAP *buffer = nullptr;
BITMAP *buffer2 = nullptr;
BITMAP *buffer3 = nullptr;
int scroll_x_1 = 0;
int scroll_x_2 = 320;
int scroll_x_3 = -320;
int global_x = 0;
int global_y = 0;
int shift_x = 0;
int shift_y = 0;
int shift_xs = 0;
int shift_ys = 0;
int global_xs = 0;
int global_ys = 0;
int global_difference = 0;
bool zarnjump = false;
bool QUIT = false;
std::vector<ZarnBullet> zarnbullets;
std::vector<EWeapon> eweapons;
std::atomic<int> game_time{0};

std::array<Panel, 3> panels()
{
    return {{{buffer, scroll_x_1}, {buffer2, scroll_x_2}, {buffer3, scroll_x_3}}};
}

namespace {

std::atomic<bool> window_closed{false};
std::atomic<bool> paused{false};
bool paused_by_player = false;
bool pause_in_background = true;

} // namespace

void game_timer()
{
    if (!paused)
        game_time++;
}

bool close_requested()
{
    return window_closed;
}

void request_close()
{
    window_closed = true;
}

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

bool wait_for_new_key()
{
    clear_keybuf();
    gamepad().clear_presses();
    std::array<bool, KEY_MAX> held_before{};
    for (int k = 0; k < KEY_MAX; k++)
        held_before[k] = key[k];
    ActionSet pad_held_before = gamepad().held();
    for (;;) {
        if (window_closed)
            return false;
        poll_system_keys();
        for (int k = 0; k < KEY_MAX; k++)
            held_before[k] = held_before[k] && key[k];
        pad_held_before &= gamepad().held();
        if (keypressed()) {
            const int scancode = readkey() >> 8;
            if (scancode <= 0 || scancode >= KEY_MAX || !held_before[scancode])
                return true;
        }
        // A held button's repeats are not a new press; a button no action
        // uses presses as Action::none.
        while (gamepad().press_waiting()) {
            const Action action = gamepad().take_press();
            if (action == Action::none || !pad_held_before[static_cast<int>(action)])
                return true;
        }
        rest(5);
    }
}

void set_pause_in_background(bool pause) { pause_in_background = pause; }

void request_pause() { paused_by_player = true; }

bool game_paused() { return paused; }

// ---------------------------------------------------------------------------
// Horizontal scrolling

namespace {

constexpr int STEP = 2;
constexpr int NO_LEDGE_TEST = -1000000;

// The constants of one kind of step: the column of the wall test (relative
// to global_x while the view scrolls, to global_x + shift_x while it is
// fixed), the last body row tested and the column of the ledge test.
struct StepShape {
    int wall_column;
    int last_body_row;
    int ledge_column;
};

// Indexed by [moving left][in the air][view fixed].
const StepShape step_shapes[2][2][2] = {
    // right
    {{{20, 169, 0}, {-15, 179, 20}},                       // on the ground: scrolls, fixed
     {{20, 179, NO_LEDGE_TEST}, {-10, 169, NO_LEDGE_TEST}}}, // in the air: scrolls, fixed
    // left
    {{{-15, 179, 20}, {-15, 179, 20}},
     {{-10, 169, NO_LEDGE_TEST}, {-10, 169, NO_LEDGE_TEST}}},
};

constexpr int FIRST_BODY_ROW = 100;

// Asks the level about every body row at the given column; every row is
// asked even after a hit.
bool body_blocked(Level &level, int column, int first_row, int last_row, int step_x, int step_y)
{
    bool blocked = false;
    for (int row = first_row; row <= last_row; row++)
        blocked |= level.boundary_x_violation_check(column, row, step_x, step_y);
    return blocked;
}

void scroll_panels(int step)
{
    scroll_x_1 -= step;
    scroll_x_2 -= step;
    scroll_x_3 -= step;
    global_x += step;
}

void wrap_panels(int step)
{
    const int wrap_at = step > 0 ? -320 : 320;
    if (scroll_x_1 == wrap_at) {
        scroll_x_1 = 0;
        scroll_x_2 = 320;
        scroll_x_3 = -320;
    }
}

// Starts a fall when nothing is left under the hero's feet.
void ledge_test(Level &level, int column)
{
    if (level.boundary_y_violation_check(column, shift_y + HERO_FEET_ROW, 0, 1))
        return;
    zarnjump = true;
    if (level.scroll_y_check())
        global_ys = 1;
    else
        shift_ys = 1;
}

// Whether the view and the hero stay WORLD_EDGE_MARGIN inside the int range
// after a step of d, on the view (scrolling) or across the screen (fixed).
// Only a level whose limits lie near the ends of the range, or years of
// walking past a limit, come that far.
bool step_stays_inside(bool fixed, int d)
{
    const long long view = global_x + (fixed ? 0LL : d);
    const long long across = shift_x + (fixed ? static_cast<long long>(d) : 0LL);
    for (long long position : {view, across, view + across})
        if (position < INT_MIN + WORLD_EDGE_MARGIN || position > INT_MAX - WORLD_EDGE_MARGIN)
            return false;
    return true;
}

// One step of the hero by d pixels: the view scrolls while the hero's world
// position stays within the level's scroll limits, otherwise he walks across
// the screen. Solid scenery blocks the body; a ground step may start a fall,
// and an air step applies a gravity tick of its own.
void horizontal_step(Level &level, Zarn &zarn, int d)
{
    const bool fixed = level.scroll_x_violation_check(shift_x + global_x, d);
    const bool airborne = zarnjump;
    const StepShape &shape = step_shapes[d < 0][airborne][fixed];
    int &step_x = fixed ? shift_xs : global_xs;
    step_x = d;
    if (!airborne)
        global_ys = 0;

    const int base = fixed ? global_x + shift_x : global_x;
    const int first_row = airborne ? shift_y + FIRST_BODY_ROW : shift_y + global_y + FIRST_BODY_ROW;
    const int last_row = first_row - FIRST_BODY_ROW + shape.last_body_row;
    if (!step_stays_inside(fixed, d) ||
        body_blocked(level, base + shape.wall_column, first_row, last_row, step_x, airborne ? shift_ys : global_ys))
        return;

    if (fixed)
        shift_x += d;
    else
        scroll_panels(d);

    if (airborne) {
        zarn.vertical_translate(step_x, shift_ys);
    } else {
        const int new_base = fixed ? global_x + shift_x : global_x;
        ledge_test(level, new_base + shape.ledge_column);
    }
    if (!fixed)
        wrap_panels(d);
}

} // namespace

void right_translate(Level &level, Zarn &zarn)
{
    horizontal_step(level, zarn, STEP);
}

void left_translate(Level &level, Zarn &zarn)
{
    horizontal_step(level, zarn, -STEP);
}

// ---------------------------------------------------------------------------
// The main loop and the key dispatch

namespace {


void update_bullets()
{
    for (size_t i = 0; i < zarnbullets.size(); i++) {
        zarnbullets[i].update();
        if (!zarnbullets[i].active()) {
            zarnbullets.erase(zarnbullets.begin() + static_cast<std::ptrdiff_t>(i));
            i--;
        }
    }
}

// Gravity and the landing test over the 30 columns under the hero; every
// column is asked, so the last hit sets the landing height.
void apply_gravity(Level &level, Zarn &zarn)
{
    if (!zarnjump || level.scroll_y_check())
        return;
    zarn.vertical_translate(global_xs, shift_ys);
    bool landed = false;
    for (int column = global_x + LANDING_FIRST_COLUMN; column <= global_x + LANDING_LAST_COLUMN;
         column++)
        landed |= level.boundary_y_violation_check(column, shift_y + HERO_FEET_ROW, global_xs, shift_ys);
    if (landed) {
        zarnjump = false;
        shift_y = global_difference - HERO_FEET_ROW;
    }
}

void show_panels()
{
    for (const Panel &panel : panels())
        blit(panel.bitmap, game_frame(), 0, 0, panel.offset, 0, 320, 200);
}

// Passes start this far apart, so the game runs at the same speed on every
// machine that can keep up.
constexpr auto MIN_PASS_TIME = std::chrono::milliseconds(10);
// A loop this far behind its timetable (a stalled machine) starts a new one
// instead of running the missed passes in a burst.
constexpr auto MAX_LAG = std::chrono::milliseconds(100);

bool pause_wanted()
{
    return paused_by_player || (pause_in_background && window_in_background());
}

// While paused only the system keys act: the pause key resumes, Escape
// quits; other keys are dropped so that they do not all act on resume.
void stay_paused()
{
    paused = true;
    show_strip_text("PAUSED");
    present();
    while (pause_wanted() && !QUIT && !window_closed) {
        poll_system_keys();
        while (action_waiting()) {
            const Action action = take_action();
            if (action == Action::pause)
                paused_by_player = false;
            else if (action == Action::quit)
                QUIT = true;
        }
        rest(5);
    }
    paused_by_player = false;
    show_strip_text(reload_strip_line());
    present();
    paused = false;
}

void jump(Level &level, Zarn &)
{
    if (zarnjump)
        return;
    zarnjump = true;
    if (level.scroll_y_check())
        global_ys = -4;
    else
        shift_ys = -4;
}

bool walking_allowed()
{
    return !action_held(Action::walk_fire) && !action_held(Action::up);
}

void walk_left(Level &level, Zarn &zarn)
{
    if (!walking_allowed())
        return;
    left_translate(level, zarn);
    int step_x = -STEP, step_y = 0;
    zarn.translate(step_x, step_y);
}

void walk_right(Level &level, Zarn &zarn)
{
    if (!walking_allowed())
        return;
    right_translate(level, zarn);
    int step_x = STEP, step_y = 0;
    zarn.translate(step_x, step_y);
}

// What each action does in play; the key or button that asks for it is the
// input module's business.
struct ActionHandler {
    Action action;
    void (*act)(Level &, Zarn &);
};

const ActionHandler action_handlers[] = {
    {Action::quit, [](Level &, Zarn &) { QUIT = true; }},
    {Action::pause, [](Level &, Zarn &) { request_pause(); }},
    {Action::fire, [](Level &, Zarn &zarn) { zarn.firegun(); }},
    {Action::jump, jump},
    {Action::left, walk_left},
    {Action::right, walk_right},
    {Action::up, [](Level &level, Zarn &zarn) { level.portal_handler(zarn); }},
    {Action::reload, reload_key},
};

// Walking while firing: held actions, tested after every press taken.
struct HeldCombination {
    Action direction;
    bool needs_up;
    int step_x;
    int aim_up;
};

const HeldCombination held_combinations[] = {
    {Action::right, false, STEP, 0},
    {Action::left, false, -STEP, 0},
    {Action::right, true, STEP, 1},
    {Action::left, true, -STEP, 1},
};

void walk_while_firing(Level &level, Zarn &zarn)
{
    for (const HeldCombination &combination : held_combinations) {
        if (!action_held(combination.direction) || !action_held(Action::walk_fire) ||
            action_held(Action::up) != combination.needs_up)
            continue;
        if (combination.step_x > 0)
            right_translate(level, zarn);
        else
            left_translate(level, zarn);
        int step_x = combination.step_x, aim_up = combination.aim_up;
        zarn.diagonal_translate(step_x, aim_up);
    }
}

} // namespace

void begin_level(Level &level, Zarn &zarn)
{
    game_loop(level, zarn);
}

// Passes keep a timetable of one every MIN_PASS_TIME. A pass that finishes
// behind it is not shown, so a slow screen drops pictures, not game time.
void game_loop(Level &level, Zarn &zarn)
{
    auto next_pass = std::chrono::steady_clock::now();
    for (;;) {
        if (QUIT || window_closed)
            return;
        if (pause_wanted()) {
            stay_paused();
            next_pass = std::chrono::steady_clock::now();
            continue;
        }
        poll_system_keys();
        std::this_thread::sleep_until(next_pass);
        game_pass(level, zarn);
        show_panels();
        next_pass += MIN_PASS_TIME;
        const auto now = std::chrono::steady_clock::now();
        if (now > next_pass + MAX_LAG)
            next_pass = now;
        if (now <= next_pass)
            present();
        rest(1);
        zarn.standstill();
        if (action_waiting())
            game_loop_helper(level, zarn);
    }
}

void game_pass(Level &level, Zarn &zarn)
{
    update_bullets();
    apply_gravity(level, zarn);
    level.update();
    level.display();
    for (ZarnBullet &bullet : zarnbullets)
        bullet.display();
    zarn.display();
}

void game_loop_helper(Level &level, Zarn &zarn)
{
    dispatch_action(level, zarn, take_action());
}

void dispatch_key(Level &level, Zarn &zarn, int scancode)
{
    dispatch_action(level, zarn, key_action(scancode, key_shifts));
}

void dispatch_action(Level &level, Zarn &zarn, Action action)
{
    for (const ActionHandler &handler : action_handlers)
        if (handler.action == action)
            handler.act(level, zarn);
    walk_while_firing(level, zarn);
}

namespace {

// Tells the player what went wrong, on the terminal and in a message box.
// The X11 system driver gives no reason when it cannot reach the display or
// open a window there, so the display in question is named instead.
static std::string why_allegro_did_not_start()
{
    if (allegro_error[0] != '\0')
        return allegro_error;
    const char *display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0')
        return "DISPLAY is not set";
    return std::string("no window could be opened on the X display \"") + display + "\"";
}

void report_failure(const std::string &message)
{
    std::fprintf(stderr, "tolbrint: %s\n", message.c_str());
    allegro_message("%s\n", message.c_str());
}

// The settings file, then the command line over it. False, with the exit
// code, when the game should not go on.
bool read_settings_and_options(int argc, char **argv, const Options &command_line, Options &options,
                               int &exit_code)
{
    const bool named = !command_line.config.empty();
    const SettingsResult settings =
        read_settings(named ? command_line.config : default_settings_path(), named, options);
    std::fputs(settings.warnings.c_str(), stderr);
    exit_code = settings.exit_code;
    if (!settings.play)
        return false;
    parse_options(argc, argv, options);
    return true;
}

} // namespace

void reset_view_and_hero()
{
    scroll_x_1 = 0;
    scroll_x_2 = 320;
    scroll_x_3 = -320;
    global_x = global_y = global_xs = global_ys = 0;
    shift_x = shift_y = shift_xs = shift_ys = 0;
}

int game_main(int argc, char **argv)
{
    Options command_line;
    const ParseResult parsed = parse_options(argc, argv, command_line);
    std::fputs(parsed.out.c_str(), stdout);
    std::fputs(parsed.err.c_str(), stderr);
    const bool print_config = command_line.action == Options::Action::PrintConfig;
    if (!parsed.err.empty() || (!parsed.play && !print_config))
        return parsed.exit_code;
    std::string side_files_problem;
    if (command_line.from_menu && !keep_side_files_in_state_dir(side_files_problem))
        std::fprintf(stderr, "tolbrint: cannot keep the side files in the state directory: %s\n",
                     side_files_problem.c_str());

    // The settings are read with the library's configuration functions;
    // printing them needs no display.
    if (print_config) {
        if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0)
            return 1;
        Options options;
        int exit_code = 0;
        if (!read_settings_and_options(argc, argv, command_line, options, exit_code))
            return exit_code;
        std::fputs(settings_text(options).c_str(), stdout);
        return 0;
    }

    reset_view_and_hero();
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    if (install_allegro(SYSTEM_AUTODETECT, &errno, atexit) != 0) {
        // Without a system driver no other library call is safe, not even a
        // message box.
        std::fprintf(stderr, "tolbrint: cannot start the Allegro library (is there a display?): %s\n",
                     why_allegro_did_not_start().c_str());
        return 1;
    }
    Options options;
    int exit_code = 0;
    if (!read_settings_and_options(argc, argv, command_line, options, exit_code))
        return exit_code;
    use_bindings(options.bindings);
    if (install_keyboard() != 0) {
        report_failure(std::string("cannot use the keyboard: ") + allegro_error);
        return 1;
    }
    install_timer();
    start_gamepad(options.gamepad);

    // Pictures stay in the datafile's 8-bit palette colours.
    set_color_conversion(COLORCONV_NONE);
    std::string error;
    data1 = load_game_datafile(find_data_file("tolbrint.dat"), error);
    if (!data1) {
        report_failure(error);
        return 1;
    }
    QUIT = false;

    buffer = create_bitmap_ex(8, 320, 240);
    buffer2 = create_bitmap_ex(8, 320, 240);
    buffer3 = create_bitmap_ex(8, 320, 240);
    if (!buffer || !buffer2 || !buffer3 || !game_frame()) {
        report_failure("not enough memory for the three screen panels");
        return 1;
    }
    if (!open_display(options.scale, options.fullscreen, request_close)) {
        set_gfx_mode(GFX_TEXT, 0, 0, 0, 0);
        allegro_message("Unable to set any graphic mode\n%s\n", allegro_error);
        return 1;
    }
    set_game_palette(static_cast<RGB *>(data1[100].dat));
    set_pause_in_background(options.pause_in_background);
    install_system_keys();
    install_int(game_timer, 30);
    SoundSettings sound_settings;
    sound_settings.muted = options.muted;
    sound_settings.volume = options.volume;
    start_sound(sound_settings);

    if (!options.skip_intro)
        intro();
    if (window_closed)
        return 0;
    try {
        set_level_file(options.level.empty() ? find_data_file("level1.dat") : options.level);
        Level level(level_file());
        int start_x = 130, start_y = 100;
        Zarn zarn(start_x, start_y);
        if (options.start_x)
            start_at(*options.start_x);
        begin_level(level, zarn);
        wait_for_new_key();
        remove_int(game_timer);
        stop_sound();
    } catch (const LevelError &error) {
        remove_int(game_timer);
        stop_sound();
        set_gfx_mode(GFX_TEXT, 0, 0, 0, 0);
        report_failure(error.what());
        return 1;
    }
    return 0;
}
