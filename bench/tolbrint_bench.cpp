// What one pass of the main loop costs, and the queries and loading behind
// it, headless on memory panels with the real built datafile.
//   build/bench/tolbrint_bench
#include <benchmark/benchmark.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "display.h"
#include "headless.h"
#include "level.h"
#include "options.h"
#include "replay.h"
#include "tolbrint.h"
#include "zarn.h"

namespace {

const int SCREEN = 320;
const int FEET_ROW = 180;

std::string read_text(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Allegro without a display, the real pictures, and a scratch directory for
// the two trace files the loader writes.
void start_game_state()
{
    static bool started = false;
    if (!started) {
        headless::start();
        static headless::InDirectory scratch(headless::temp_dir());
        std::string error;
        static DATAFILE *real = load_game_datafile(std::string(TOLBRINT_BINARY_DIR) + "/tolbrint.dat", error);
        if (!real) {
            std::fprintf(stderr, "%s\n", error.c_str());
            std::exit(1);
        }
        started = true;
        data1 = real;
    }
    headless::reset_game_state();
}

std::string shipped_level_text() { return read_text(std::string(TOLBRINT_SOURCE_DIR) + "/data/level1.dat"); }

// One screen of a made-up level: ground, a ledge, scenery, a palm tree and a
// zombie, in the proportions of a hand-made level.
struct ScreenRecords {
    std::string scenery, solid, composite, enemy;
};

ScreenRecords screen_records(int screen)
{
    const int x = screen * SCREEN;
    const auto at = [x](int dx) { return std::to_string(x + dx); };
    ScreenRecords records;
    records.scenery = at(40) + " 160 " + at(40) + " 160 GRASS1\n" + at(140) + " 160 " + at(140) +
                      " 160 BONE\n" + at(250) + " 160 " + at(250) + " 160 FLAME\n";
    records.solid = at(-160) + " 180 " + at(140) + " 180 SAND4\n" + at(0) + " 120 " + at(60) +
                    " 120 DIRT\n";
    records.composite = at(200) + " 100 0 0 PALMTREE\n";
    records.enemy = at(300) + " 120 ZOMBIE\n";
    return records;
}

// A level of the given number of screens, SCREEN pixels each.
std::string generated_level_text(int screens)
{
    ScreenRecords all;
    for (int screen = 0; screen < screens; screen++) {
        const ScreenRecords records = screen_records(screen);
        all.scenery += records.scenery;
        all.solid += records.solid;
        all.composite += records.composite;
        all.enemy += records.enemy;
    }
    return "0 0 DUNE1 yes no no no no no -100 " + std::to_string(screens * SCREEN) +
           " 0 200 generated level no\nBREAK\nscenery follows\n" + all.scenery + "BREAK\n" + all.solid +
           "BREAK\nBREAK\n" + all.composite + "BREAK\n" + all.enemy + "BREAK\nBREAK\n";
}

// Records of a generated level: 3 scenery, 2 solid, 1 composite, 1 enemy per screen.
const int RECORDS_PER_SCREEN = 7;

std::unique_ptr<Level> load_text(const std::string &text)
{
    return std::make_unique<Level>(LevelText{text, "level1.dat"});
}

int scenery_width(const Level &level)
{
    int left = INT_MAX, right = INT_MIN;
    for (const Solid_Object &object : level.solid_objects) {
        left = std::min(left, object.x1);
        right = std::max(right, object.x2 + TILE);
    }
    for (const Object &object : level.objects) {
        left = std::min(left, object.x1);
        right = std::max(right, object.x2 + TILE);
    }
    return right > left ? right - left : SCREEN;
}

// The shipped level followed by nine copies of itself, each shifted right by
// the width of its scenery.
std::unique_ptr<Level> ten_times_shipped_level()
{
    std::unique_ptr<Level> level = load_text(shipped_level_text());
    const Level original = *level;
    const int width = scenery_width(original);
    for (int copy = 1; copy < 10; copy++) {
        const int shift = copy * width;
        for (Object object : original.objects) {
            object.x1 += shift;
            object.x2 += shift;
            level->objects.push_back(object);
        }
        for (Solid_Object object : original.solid_objects) {
            object.x1 += shift;
            object.x2 += shift;
            level->solid_objects.push_back(object);
        }
        for (const std::vector<Enemy> *list : {&original.enemies, &original.header_enemies}) {
            for (Enemy enemy : *list) {
                enemy.x += shift;
                enemy.start_x += shift;
                for (Enemy &part : enemy.parts) {
                    part.x += shift;
                    part.start_x += shift;
                }
                level->enemies.push_back(enemy);
            }
        }
    }
    level->right_limit = original.right_limit + 9 * width;
    return level;
}

enum LevelChoice { SHIPPED, TEN_TIMES_SHIPPED, GENERATED_TEN_SCREENS };

std::unique_ptr<Level> level_for(int choice)
{
    switch (choice) {
    case SHIPPED: return load_text(shipped_level_text());
    case TEN_TIMES_SHIPPED: return ten_times_shipped_level();
    default: return load_text(generated_level_text(10));
    }
}

const char *const LEVEL_NAMES[] = {"shipped", "ten_times_shipped", "generated_10_screens"};

void describe(benchmark::State &state, const Level &level)
{
    state.SetLabel(std::string(LEVEL_NAMES[state.range(0)]) + ": " + std::to_string(level.objects.size()) +
                   " scenery, " + std::to_string(level.solid_objects.size()) + " solid, " +
                   std::to_string(level.enemies.size() + level.header_enemies.size()) + " enemies");
}

std::unique_ptr<Zarn> new_hero()
{
    int x = 130, y = 100;
    return std::make_unique<Zarn>(x, y);
}

// The baseline: only the background copied into the three panels.
void bare_pass(benchmark::State &state)
{
    start_game_state();
    BITMAP *background = bitmap_entry(21);
    for (auto _ : state) {
        for (const Panel &panel : panels())
            blit(background, panel.bitmap, 0, 0, 0, 0, 320, 200);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(bare_pass);

// Passes before the level starts over, so that every run measures the same
// ten seconds of play however many passes it makes.
const int PASSES_PER_ROUND = 1000;

// One whole pass minus the screen copy and the rest, the hero standing at
// the start while the enemies walk, fire and flash.
void whole_pass(benchmark::State &state)
{
    start_game_state();
    const std::unique_ptr<Level> start = level_for(static_cast<int>(state.range(0)));
    describe(state, *start);
    Level level = *start;
    std::unique_ptr<Zarn> zarn = new_hero();
    int passes = 0;
    for (auto _ : state) {
        game_pass(level, *zarn);
        benchmark::ClobberMemory();
        if (++passes == PASSES_PER_ROUND) {
            state.PauseTiming();
            passes = 0;
            level = *start;
            zarn = new_hero();
            headless::reset_game_state();
            state.ResumeTiming();
        }
    }
}
BENCHMARK(whole_pass)->DenseRange(SHIPPED, GENERATED_TEN_SCREENS);

// The 30 columns under an airborne hero, as the main loop asks them.
void landing_test(benchmark::State &state)
{
    start_game_state();
    std::unique_ptr<Level> level = level_for(static_cast<int>(state.range(0)));
    describe(state, *level);
    shift_ys = 2;
    for (auto _ : state) {
        bool landed = false;
        for (int column = global_x - 10; column <= global_x + 19; column++)
            landed |= level->boundary_y_violation_check(column, shift_y + FEET_ROW, global_xs, shift_ys);
        benchmark::DoNotOptimize(landed);
    }
}
BENCHMARK(landing_test)->DenseRange(SHIPPED, GENERATED_TEN_SCREENS);

// One step to the right on the ground: 70 or 80 wall queries and the ledge
// test. The walk starts over after every screen's width.
void walking_step(benchmark::State &state)
{
    start_game_state();
    std::unique_ptr<Level> level = level_for(static_cast<int>(state.range(0)));
    std::unique_ptr<Zarn> zarn = new_hero();
    describe(state, *level);
    int steps = 0;
    for (auto _ : state) {
        right_translate(*level, *zarn);
        if (++steps == SCREEN / 2 || zarnjump) {
            steps = 0;
            headless::reset_game_state();
        }
    }
}
BENCHMARK(walking_step)->DenseRange(SHIPPED, GENERATED_TEN_SCREENS);

// The loader on a generated level of about 10,000 records.
void load_10000_records(benchmark::State &state)
{
    start_game_state();
    const int screens = 10000 / RECORDS_PER_SCREEN + 1;
    const std::string text = generated_level_text(screens);
    std::size_t records = 0;
    for (auto _ : state) {
        Level level(LevelText{text, "level1.dat"});
        records = level.objects.size() + level.solid_objects.size() + level.enemies.size();
        benchmark::DoNotOptimize(records);
    }
    state.SetLabel(std::to_string(screens * RECORDS_PER_SCREEN) + " records, " + std::to_string(text.size()) +
                   " bytes");
}
BENCHMARK(load_10000_records)->Unit(benchmark::kMillisecond);

// The presentation step at scale N onto a 32-bit memory target of the
// window's size: the 1x frame from the real pictures enlarged into NxN
// blocks. "changed" alters every row before each present, as a scrolling
// view does; "still" presents the same frame again, as while the hero stands.
struct PresentBench {
    BITMAP *frame = create_bitmap_ex(8, FRAME_W, FRAME_H);
    BITMAP *target;
    Presenter presenter;
    PresentBench(int scale) : target(create_bitmap_ex(32, FRAME_W * scale, FRAME_H * scale))
    {
        blit(bitmap_entry(38), frame, 0, 0, 0, 0, 320, 200);
        clear_to_color(target, 0);
    }
    ~PresentBench()
    {
        presenter.release();
        destroy_bitmap(target);
        destroy_bitmap(frame);
    }
};

void present_changed(benchmark::State &state)
{
    start_game_state();
    const int scale = static_cast<int>(state.range(0));
    PresentBench bench(scale);
    const RGB *palette = static_cast<RGB *>(data1[100].dat);
    for (auto _ : state) {
        for (int y = 0; y < FRAME_H; y++)
            bench.frame->line[y][y % FRAME_W] ^= 1;
        bench.presenter.present(bench.frame, palette, bench.target, scale, 0, 0);
    }
    state.counters["MB/s"] = benchmark::Counter(4.0 * FRAME_W * FRAME_H * scale * scale * state.iterations() / 1e6,
                                                benchmark::Counter::kIsRate);
}
BENCHMARK(present_changed)->Arg(1)->Arg(2)->Arg(3)->Arg(4)->Arg(9)->Unit(benchmark::kMicrosecond);

void present_still(benchmark::State &state)
{
    start_game_state();
    const int scale = static_cast<int>(state.range(0));
    PresentBench bench(scale);
    const RGB *palette = static_cast<RGB *>(data1[100].dat);
    bench.presenter.present(bench.frame, palette, bench.target, scale, 0, 0);
    for (auto _ : state)
        bench.presenter.present(bench.frame, palette, bench.target, scale, 0, 0);
}
BENCHMARK(present_still)->Arg(1)->Arg(3)->Arg(9)->Unit(benchmark::kMicrosecond);

// A ten-minute run checked as --verify checks it: the panels clipped to
// nothing, every checkpoint compared. The run walks the level both ways,
// firing level and upwards, a press every fourth pass.
Replay ten_minute_run()
{
    Replay run;
    run.game_version = game_version();
    run.levels.push_back({{shipped_level_text(), "level1.dat"}, ""});
    const auto add = [&run](bool pressed, Action press, std::initializer_list<Action> held) {
        PassCommand command;
        command.pressed = pressed;
        command.press = press;
        for (Action action : held)
            command.held[static_cast<int>(action)] = true;
        run.commands.push_back(command_byte(command));
    };
    const int passes = 10 * 60 * PASSES_PER_SECOND;
    while (static_cast<int>(run.commands.size()) < passes) {
        for (Action way : {Action::right, Action::left}) {
            for (int step = 0; step < 1200; step++)
                add(step % 4 == 0, way, {way});
            for (int step = 0; step < 200; step++)
                add(step % 4 == 0, Action::none, {way, Action::walk_fire, Action::up});
        }
    }
    run.commands.resize(passes);
    return run;
}

void verify_ten_minutes(benchmark::State &state)
{
    start_game_state();
    Replay run = ten_minute_run();
    play_headless(run); // its checkpoints, to compare with
    run = run_record();
    for (const Panel &panel : panels())
        set_clip_rect(panel.bitmap, 0, 0, -1, -1);
    for (auto _ : state) {
        headless::reset_game_state();
        play_headless(run);
        if (!run_mismatch().empty())
            state.SkipWithError(run_mismatch().c_str());
    }
    for (const Panel &panel : panels())
        set_clip_rect(panel.bitmap, 0, 0, panel.bitmap->w - 1, panel.bitmap->h - 1);
    state.counters["times_real_time"] =
        benchmark::Counter(600.0 * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(verify_ten_minutes)->Unit(benchmark::kMillisecond);

// A level change as the exit makes it, with the load: the next level read
// from disk, a run of two passes that enters the exit of the level before
// it in the first and plays the next level's first pass in the second.
void level_change(benchmark::State &state)
{
    start_game_state();
    const int next = static_cast<int>(state.range(0));
    const auto level_file = [](int number) {
        return std::string(TOLBRINT_SOURCE_DIR) + "/data/level" + std::to_string(number) + ".dat";
    };
    const LevelText before = read_level_text(level_file(next - 1));
    Replay run;
    run.game_version = game_version();
    run.levels.push_back({before, ""});
    run.start_x = Level(before).level_exit->x;
    PassCommand up;
    up.pressed = true;
    up.press = Action::up;
    run.commands = {command_byte(up), command_byte(PassCommand())};
    for (auto _ : state) {
        run.levels.resize(1);
        run.levels.push_back({read_level_text(level_file(next)), ""});
        headless::reset_game_state();
        play_headless(run);
    }
    state.SetLabel("level " + std::to_string(next - 1) + " to " + std::to_string(next) + ", and 1 pass of each");
}
BENCHMARK(level_change)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
