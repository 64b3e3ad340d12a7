// The program's entry, the shared game state, start-up and shutdown, the main
// loop, the key dispatch and horizontal scrolling.
#include "tolbrint.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <chrono>
#include <memory>
#include <optional>

#include "authoring.h"
#include "ending.h"
#include "input.h"
#include "intro.h"
#include "level.h"
#include "menu.h"
#include "options.h"
#include "pack.h"
#include "replay.h"
#include "sidefiles.h"
#include "music.h"
#include "sound.h"
#include "strip.h"
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

std::atomic<bool> paused{false};
bool pause_in_background = true;

} // namespace

void game_timer()
{
    if (!paused)
        game_time++;
}

void set_pause_in_background(bool pause) { pause_in_background = pause; }

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
            if (zarnbullets[i].hit)
                tally_hit();
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

bool pause_wanted()
{
    return pause_requested() || (pause_in_background && window_in_background());
}

// While paused only the system keys act: the pause key resumes, Escape
// quits; other keys are dropped so that they do not all act on resume.
void stay_paused()
{
    paused = true;
    pause_music(true);
    show_strip_text("PAUSED");
    present();
    while (pause_wanted() && !QUIT && !close_requested()) {
        poll_system_keys();
        while (action_waiting()) {
            const Action action = take_action();
            if (action == Action::pause)
                clear_pause_request();
            else if (action == Action::quit)
                QUIT = true;
        }
        rest(5);
    }
    clear_pause_request();
    strip_show();
    present();
    pause_music(false);
    paused = false;
}

// The player's pause key opens the menu; the game's clock stands still
// while it is open, as in a pause.
void open_menu()
{
    clear_pause_request();
    paused = true;
    pause_music(true);
    if (run_menu())
        QUIT = true;
    pause_music(false);
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

// What the pass's command holds: play never asks the devices.
bool held(Action action) { return current_command().held[static_cast<int>(action)]; }

bool walking_allowed()
{
    return !held(Action::walk_fire) && !held(Action::up);
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

// The level's way on, once the pass that entered it is over.
bool exit_entered = false;
// The last level's exit was entered: the run is over.
bool ending_reached = false;
// The pass at which the level being played began.
int level_start_pass = 0;
// Passes the strip keeps showing the level's name, after an exit, and the
// keys at the start of play.
constexpr int LEVEL_TITLE_PASSES = 3 * PASSES_PER_SECOND;
constexpr int KEYS_PASSES = 5 * PASSES_PER_SECOND;
// The next present fades the picture in from black.
bool fade_in_due = false;

// Up: the portals first, as ever, then the level's exit.
void enter(Level &level, Zarn &zarn)
{
    level.portal_handler(zarn);
    if (at_level_exit(level, static_cast<long long>(global_x) + shift_x))
        exit_entered = true;
}

// What each action does in play; the key or button that asks for it is the
// input module's business.
struct ActionHandler {
    Action action;
    void (*act)(Level &, Zarn &);
};

const ActionHandler action_handlers[] = {
    {Action::quit, [](Level &, Zarn &) { QUIT = true; }},
    {Action::fire, [](Level &, Zarn &zarn) { zarn.firegun(); }},
    {Action::jump, jump},
    {Action::left, walk_left},
    {Action::right, walk_right},
    {Action::up, enter},
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
        if (!held(combination.direction) || !held(Action::walk_fire) || held(Action::up) != combination.needs_up)
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

namespace {

// Fades are for the eyes only: a replay checked or timed goes without them,
// and they take no pass.
constexpr int FADE_STEPS = 8;
constexpr int FADE_STEP_MS = 20;

bool fades_shown() { return pass_rests(); }

void fade(bool in)
{
    if (!fades_shown())
        return;
    for (int step = 1; step <= FADE_STEPS; step++) {
        present_dimmed(FULL_BRIGHTNESS * (in ? step : FADE_STEPS - step) / FADE_STEPS);
        rest(FADE_STEP_MS);
    }
    restart_pass_clock();
}

void fade_in()
{
    fade_in_due = false;
    fade(true);
}

// The hero at the level's start, with nothing of the last level's fight
// left: bullets, lasers, the recoloured shots and flashes.
void start_next_level(Level &level, Zarn &zarn, Level &next)
{
    level = std::move(next);
    reset_view_and_hero();
    zarnjump = false;
    int x = HERO_SCREEN_X, y = HERO_SCREEN_Y;
    zarn = Zarn(x, y);
    zarnbullets.clear();
    eweapons.clear();
    restore_recoloured_entries();
}

// The exit was entered in this pass: on to the next level, which replays
// from the text read now, or to the ending. A next level that does not load
// leaves the hero where he is, with the loader's message in the strip.
void leave_level(Level &level, Zarn &zarn)
{
    exit_entered = false;
    const std::string name = level_name(level);
    const int passes = passes_run() + 1 - level_start_pass;
    if (level.level_exit->next == ENDING_WORD) {
        tally_level(name, passes);
        ending_reached = true;
        return;
    }
    const ReplayLevel source = run_level_text(next_level_path(level_file(), level.level_exit->next));
    std::string error = source.unreadable;
    std::unique_ptr<Level> next;
    if (error.empty()) {
        try {
            next = std::make_unique<Level>(source.level);
        } catch (const LevelError &problem) {
            error = problem.what();
        }
    }
    if (!next) {
        std::fprintf(stderr, "tolbrint: %s\n", error.c_str());
        strip_reload_result(strip_line(error));
        return;
    }
    tally_level(name, passes);
    fade(false);
    start_next_level(level, zarn, *next);
    play_level_music(level.background_name);
    set_level_file(source.level.name);
    level_start_pass = passes_run() + 1;
    strip_for_a_while(level_title(level_name(level)), LEVEL_TITLE_PASSES);
    fade_in_due = fades_shown();
}

} // namespace

void begin_level(Level &level, Zarn &zarn)
{
    game_loop(level, zarn);
}

// Passes keep the pace the replay module sets: a timetable of a pass every
// 10 ms live and in playback, none when timing or checking a replay. A pass
// that finishes behind the timetable is not shown, so a slow screen drops
// pictures, not game time.
void game_loop(Level &level, Zarn &zarn)
{
    restart_pass_clock();
    for (;;) {
        if (QUIT || close_requested() || run_ended() || ending_reached)
            return;
        if (pause_wanted()) {
            if (pause_requested() && run_mode() == PlayMode::live)
                open_menu();
            else
                stay_paused();
            restart_pass_clock();
            continue;
        }
        poll_system_keys();
        if (!pass_due())
            continue;
        game_pass(level, zarn);
        show_panels();
        note_frame(game_frame(), game_palette());
        if (fade_in_due)
            fade_in();
        else if (pass_shown())
            present();
        if (pass_rests())
            rest(1);
        zarn.standstill();
        game_loop_helper(level, zarn, next_pass_command());
        if (exit_entered)
            leave_level(level, zarn);
        strip_pass();
        pass_done(level, zarn);
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

void game_loop_helper(Level &level, Zarn &zarn, const PassCommand &command)
{
    if (command.pressed)
        dispatch_command(level, zarn, command);
}

void dispatch_key(Level &level, Zarn &zarn, int scancode)
{
    dispatch_command(level, zarn, key_command(scancode));
}

// A tent's wait may change what is held before the combinations are asked.
void dispatch_command(Level &level, Zarn &zarn, const PassCommand &command)
{
    set_current_command(command);
    for (const ActionHandler &handler : action_handlers)
        if (handler.action == command.press)
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

// The settings file that the menu's changes go to: the one read, or "".
std::string settings_file_written(const Options &command_line, const Options &options)
{
    if (!options.save_settings)
        return "";
    return command_line.config.empty() ? default_settings_path() : command_line.config;
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

namespace {

// The graphics datafile, loaded and checked, with its checksum for replays.
bool load_graphics(std::uint32_t &checksum)
{
    // Pictures stay in the datafile's 8-bit palette colours.
    set_color_conversion(COLORCONV_NONE);
    const std::string path = find_data_file("tolbrint.dat");
    std::string error;
    data1 = load_game_datafile(path, error);
    if (!data1) {
        report_failure(error);
        return false;
    }
    if (!file_checksum(path, checksum)) {
        report_failure(path + ": cannot read the graphics datafile again");
        return false;
    }
    return true;
}

bool make_panels()
{
    buffer = create_bitmap_ex(8, 320, 240);
    buffer2 = create_bitmap_ex(8, 320, 240);
    buffer3 = create_bitmap_ex(8, 320, 240);
    if (!buffer || !buffer2 || !buffer3 || !game_frame()) {
        report_failure("not enough memory for the three screen panels");
        return false;
    }
    return true;
}

// The level file given, or the game's own first level (--level's).
std::string first_level_file(const Options &options)
{
    return options.level.empty() ? find_data_file(pack_level_file(options.start_level.value_or(1))) : options.level;
}

// A new run's start: the level file's text, a seed and the start options.
Replay new_run(const Options &options, std::uint32_t datafile_checksum)
{
    Replay run;
    run.game_version = game_version();
    run.datafile_checksum = datafile_checksum;
    run.seed = static_cast<std::uint32_t>(std::time(nullptr)) ^ static_cast<std::uint32_t>(game_random());
    run.start_x = options.start_x;
    ReplayLevel first;
    first.level = read_level_text(first_level_file(options));
    run.levels.push_back(first);
    return run;
}

// One run from its start: the level, the hero, the seed and the palette are
// all the start gives, so a run replays the same from the same commands.
// True when the run reached the ending. A run begun from the title shows
// the keys in the strip for a while.
bool play_run(PlayMode mode, const Replay *played, const Replay &start, bool keys_shown = false)
{
    exit_entered = ending_reached = fade_in_due = false;
    level_start_pass = 0;
    start_tally();
    // A run after the ending starts as the first one did.
    reset_view_and_hero();
    zarnjump = false;
    global_difference = 0;
    zarnbullets.clear();
    eweapons.clear();
    const LevelText &first = start.levels.front().level;
    set_level_file(first.name);
    Level level(first);
    int start_x = 130, start_y = 100;
    Zarn zarn(start_x, start_y);
    if (start.start_x)
        start_at(*start.start_x);
    start_run(mode, played, start);
    strip_reset();
    if (keys_shown)
        strip_for_a_while(keys_line(), KEYS_PASSES);
    set_game_palette(static_cast<RGB *>(data1[100].dat));
    seed_game_random(start.seed);
    play_level_music(level.background_name);
    begin_level(level, zarn);
    finish_run(level, zarn);
    return ending_reached;
}

// The run's replay to --record's file, and, for a run played live, to the
// last-run file, keeping the one before.
void keep_run(const Options &options)
{
    const std::string bytes = encode_replay(run_record());
    std::string problem;
    if (!options.record.empty() && !write_file_atomically(options.record, bytes, problem))
        std::fprintf(stderr, "tolbrint: the replay was not kept: %s\n", problem.c_str());
    if (run_played_live() && !keep_last_run(state_side_file_dir(), bytes, problem))
        std::fprintf(stderr, "tolbrint: the last run was not kept: %s\n", problem.c_str());
}

// The first run's start, its level loaded once to see that it loads and
// that --start-x lies within its scroll limits. False, with the exit code,
// when the game cannot go on.
bool prepare_first_run(const Options &options, std::uint32_t datafile_checksum, Replay &run, int &exit_code)
{
    try {
        run = new_run(options, datafile_checksum);
        const Level level(run.levels.front().level);
        if (options.start_x && (*options.start_x < level.left_limit || *options.start_x > level.right_limit)) {
            std::fprintf(stderr, "tolbrint: --start-x %d lies outside the scroll limits of %s, %d to %d\n",
                         *options.start_x, run.levels.front().level.name.c_str(), level.left_limit,
                         level.right_limit);
            exit_code = 2;
            return false;
        }
    } catch (const LevelError &error) {
        report_failure(error.what());
        exit_code = 1;
        return false;
    }
    return true;
}

// The ending until a key is pressed; false when that key was Escape or the
// window was closed, which end the game.
bool show_ending_until_a_key()
{
    draw_ending(run_tally());
    present();
    play_ending_music();
    const std::optional<Action> action = wait_for_new_action();
    return action && *action != Action::quit;
}

double elapsed_ms(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

void print_timing(int passes, double ms)
{
    const double shown = std::max(ms, 0.001);
    std::printf("%d passes in %.0f ms: %.0f passes a second, %.1f times real time\n", passes, ms,
                passes * 1000.0 / shown, passes * (1000.0 / PASSES_PER_SECOND) / shown);
}

} // namespace

bool start_headless(std::uint32_t &datafile_checksum, bool drawn)
{
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) {
        std::fprintf(stderr, "tolbrint: cannot start the Allegro library: %s\n", allegro_error);
        return false;
    }
    discard_side_files();
    reset_view_and_hero();
    if (!load_graphics(datafile_checksum) || !make_panels())
        return false;
    // Clipped to nothing, the panels take no drawing, while the drawers still
    // do what else they do (a robot's flash recolours the palette).
    if (!drawn)
        for (const Panel &panel : panels())
            set_clip_rect(panel.bitmap, 0, 0, -1, -1);
    return true;
}

bool play_headless(const Replay &replay) { return play_run(PlayMode::verify, &replay, replay); }

namespace {

// --verify: the replay played with no display, no keyboard and no sound;
// every checkpoint compared.
int verify_replay(const Options &options)
{
    std::uint32_t checksum = 0;
    if (!start_headless(checksum, !options.frame_hashes.empty()))
        return 1;
    const std::string &path = options.replay();
    Replay played;
    std::string problem;
    if (!load_replay(path, checksum, played, problem)) {
        std::fprintf(stderr, "tolbrint: %s\n", problem.c_str());
        return 1;
    }
    write_frame_hashes_to(options.frame_hashes);
    const auto started = std::chrono::steady_clock::now();
    bool ending = false;
    try {
        ending = play_headless(played);
    } catch (const LevelError &error) {
        std::fprintf(stderr, "tolbrint: %s: its level does not load: %s\n", path.c_str(), error.what());
        return 1;
    }
    const double ms = elapsed_ms(started);
    write_frame_hashes_to("");
    if (!run_mismatch().empty()) {
        std::fprintf(stderr, "tolbrint: %s: %s\n", path.c_str(), run_mismatch().c_str());
        return 1;
    }
    std::printf("%s: %d passes of %s verified; the hero ends at x %d, y %d\n", path.c_str(), passes_run(),
                played.levels.front().level.name.c_str(), global_x + shift_x, shift_y);
    if (ending)
        std::printf("%s: the run reached the ending: %s\n", path.c_str(), tally_summary(run_tally()).c_str());
    if (!options.timedemo.empty())
        print_timing(passes_run(), ms);
    return 0;
}

} // namespace

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

    if (command_line.verify)
        return verify_replay(command_line);

    reset_view_and_hero();
    seed_game_random(static_cast<std::uint32_t>(std::time(nullptr)));
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
    start_menu(options, settings_file_written(command_line, options));
    use_bindings(options.bindings);
    if (install_keyboard() != 0) {
        report_failure(std::string("cannot use the keyboard: ") + allegro_error);
        return 1;
    }
    install_timer();
    use_key_repeat(options.key_repeat);
    start_gamepad(options.gamepad);

    std::uint32_t datafile_checksum = 0;
    if (!load_graphics(datafile_checksum))
        return 1;
    QUIT = false;
    if (!make_panels())
        return 1;
    // A replay is read and checked before the window opens.
    Replay played;
    const bool replaying = options.plays_replay();
    std::string problem;
    if (replaying && !load_replay(options.replay(), datafile_checksum, played, problem)) {
        std::fprintf(stderr, "tolbrint: %s\n", problem.c_str());
        return 1;
    }
    // The first level is read and checked before the title, so that a
    // mistake is told at once.
    Replay first_run;
    if (!replaying && !prepare_first_run(options, datafile_checksum, first_run, exit_code))
        return exit_code;
    if (!open_display(options.scale, options.fullscreen, request_close)) {
        set_gfx_mode(GFX_TEXT, 0, 0, 0, 0);
        allegro_message("Unable to set any graphic mode\n%s\n", allegro_error);
        return 1;
    }
    set_game_palette(static_cast<RGB *>(data1[100].dat));
    set_pause_in_background(options.pause_in_background);
    install_system_keys();
    close_on_signals();
    install_int(game_timer, 30);
    SoundSettings sound_settings;
    sound_settings.muted = options.muted;
    sound_settings.volume = options.effects_volume;
    start_sound(sound_settings);
    start_music(options.music_volume);

    write_frame_hashes_to(options.frame_hashes);
    const PlayMode mode = !options.timedemo.empty() ? PlayMode::timedemo : replaying ? PlayMode::playback : PlayMode::live;
    // Run after run: an ending leads back to the title, and a key from there
    // to a new run; Escape in play or at the ending ends the game.
    for (bool title = !options.skip_intro && !replaying, first = true;; title = !replaying, first = false) {
        if (title)
            intro();
        if (close_requested())
            return 0;
        const auto started = std::chrono::steady_clock::now();
        bool ending = false;
        try {
            ending = play_run(mode, replaying ? &played : nullptr,
                              replaying ? played : first ? first_run : new_run(options, datafile_checksum), title);
        } catch (const LevelError &error) {
            remove_int(game_timer);
            stop_music();
            stop_sound();
            set_gfx_mode(GFX_TEXT, 0, 0, 0, 0);
            report_failure(error.what());
            return 1;
        } catch (const std::exception &error) {
            // Whatever broke, the run that led to it is kept for the bug report.
            keep_run(options);
            remove_int(game_timer);
            stop_music();
            stop_sound();
            set_gfx_mode(GFX_TEXT, 0, 0, 0, 0);
            report_failure(std::string("the game stopped: ") + error.what());
            return 1;
        }
        const double ms = elapsed_ms(started);
        keep_run(options);
        if (!run_mismatch().empty())
            std::fprintf(stderr, "tolbrint: %s: the game no longer plays this replay as it was made: %s\n",
                         options.replay().c_str(), run_mismatch().c_str());
        if (mode == PlayMode::timedemo) {
            print_timing(passes_run(), ms);
            break;
        }
        if (!ending) {
            if (run_played_live()) {
                show_strip_text("PRESS A KEY TO EXIT");
                present();
                wait_for_new_key();
            }
            break;
        }
        if (!show_ending_until_a_key() || replaying)
            break;
    }
    write_frame_hashes_to("");
    remove_int(game_timer);
    stop_music();
    stop_sound();
    return 0;
}
