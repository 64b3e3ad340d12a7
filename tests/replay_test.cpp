// The replay file read back as written, its size for a long run, and the
// answers to broken, foreign and altered replays, down to the game's own
// --verify naming the first pass that differs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "headless.h"
#include "options.h"
#include "replay.h"

namespace {

const std::string BUILD_DIR = TOLBRINT_BINARY_DIR;

PassCommand command(bool pressed, Action press, std::initializer_list<Action> held)
{
    PassCommand made;
    made.pressed = pressed;
    made.press = press;
    for (Action action : held)
        made.held[static_cast<int>(action)] = true;
    return made;
}

Checkpoint checkpoint_at(int pass, int x)
{
    Checkpoint point;
    point.pass = pass;
    point.hero_x = x;
    point.hero_y = -pass % 37;
    point.view_x = x - 130;
    point.enemies = 14;
    point.bullets = pass % 5;
    point.hero = 0xDEADBEEF ^ static_cast<std::uint32_t>(pass);
    point.laser = 7;
    return point;
}

Replay sample_replay()
{
    Replay replay;
    replay.game_version = game_version();
    replay.datafile_checksum = 0x12345678;
    replay.seed = 0xFFFFFFFF;
    replay.start_x = -2147480000;
    replay.levels.push_back({{"0 0 DUNE1 yes no\nBREAK\n", "data/level1.dat"}, ""});
    replay.levels.push_back({{"", "gone.dat"}, "gone.dat: cannot open the level file: No such file"});
    // Every press, held sets changing with and without presses, and idle
    // runs on both sides of the lengths the stream packs differently.
    const std::vector<PassCommand> kinds = {
        command(true, Action::right, {Action::right}), command(false, Action::none, {Action::right}),
        command(true, Action::none, {}),  command(true, Action::quit, {Action::walk_fire, Action::up}),
        command(false, Action::none, {Action::left, Action::right, Action::up, Action::walk_fire}),
    };
    for (int action = 0; action <= static_cast<int>(Action::none); action++)
        replay.commands.push_back(command_byte(command(true, static_cast<Action>(action), {})));
    for (int run : {0, 1, 14, 15, 16, 142, 143, 20000})
        for (const PassCommand &kind : kinds) {
            replay.commands.push_back(command_byte(kind));
            replay.commands.insert(replay.commands.end(), static_cast<std::size_t>(run),
                                   command_byte(command(false, Action::none, {Action::right})));
        }
    for (int pass = 100; pass <= static_cast<int>(replay.commands.size()); pass += 100)
        replay.checkpoints.push_back(checkpoint_at(pass, pass * 3 - 5000));
    return replay;
}

bool same_checkpoints(const std::vector<Checkpoint> &a, const std::vector<Checkpoint> &b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); i++)
        if (a[i].pass != b[i].pass || !checkpoint_difference(a[i], b[i]).empty())
            return false;
    return true;
}

TEST(ReplayFile, ReadsBackWhatWasWritten)
{
    const Replay written = sample_replay();
    Replay read;
    std::string problem;
    ASSERT_TRUE(decode_replay(encode_replay(written), read, problem)) << problem;
    EXPECT_EQ(read.game_version, written.game_version);
    EXPECT_EQ(read.datafile_checksum, written.datafile_checksum);
    EXPECT_EQ(read.seed, written.seed);
    EXPECT_EQ(read.start_x, written.start_x);
    ASSERT_EQ(read.levels.size(), 2u);
    EXPECT_EQ(read.levels[0].level.text, written.levels[0].level.text);
    EXPECT_EQ(read.levels[0].level.name, "data/level1.dat");
    EXPECT_EQ(read.levels[1].unreadable, written.levels[1].unreadable);
    EXPECT_EQ(read.commands, written.commands);
    EXPECT_TRUE(same_checkpoints(read.checkpoints, written.checkpoints));
    // A command is its byte: play runs on exactly what the file keeps.
    for (std::uint8_t byte : written.commands)
        ASSERT_EQ(command_byte(command_from_byte(byte)), byte);
}

// The numbers glibc's rand gives after srand, on every system the game is
// built for: a replay's colours must not depend on the C library.
TEST(ReplayFile, TheGamesRandomNumbersAreTheSameEverywhere)
{
    const std::pair<std::uint32_t, std::vector<int>> expected[] = {
        {0, {1804289383, 846930886, 1681692777, 1714636915, 1957747793}},
        {42, {71876166, 708592740, 1483128881, 907283241, 442951012}},
        {4000000000u, {1111130805, 1380198982, 1306113867, 1557021840, 1956528986}},
    };
    for (const auto &[seed, numbers] : expected) {
        seed_game_random(seed);
        std::vector<int> got;
        for (std::size_t i = 0; i < numbers.size(); i++)
            got.push_back(game_random());
        EXPECT_EQ(got, numbers) << "seed " << seed;
    }
}

// Ten minutes of walking while firing, a press every other pass, with the
// shipped level's text and every checkpoint.
TEST(ReplayFile, TenMinutesOfBusyPlayFitIn64KiB)
{
    Replay replay = sample_replay();
    replay.levels.resize(1);
    replay.levels[0].level.text = headless::read_file(std::string(TOLBRINT_SOURCE_DIR) + "/data/level1.dat");
    replay.commands.clear();
    replay.checkpoints.clear();
    const int passes = 10 * 60 * PASSES_PER_SECOND;
    for (int pass = 0; pass < passes; pass++) {
        const bool firing = pass % 4 == 0, walking = pass % 4 == 2;
        replay.commands.push_back(command_byte(
            command(firing || walking, firing ? Action::fire : Action::right, {Action::right, Action::walk_fire})));
        if ((pass + 1) % CHECKPOINT_INTERVAL == 0)
            replay.checkpoints.push_back(checkpoint_at(pass + 1, pass));
    }
    EXPECT_LE(encode_replay(replay).size(), 64u * 1024);
}

TEST(ReplayFile, BrokenForeignAndAlteredFilesAreRefusedWithTheReason)
{
    const std::string good = encode_replay(sample_replay());
    Replay read;
    std::string problem;
    // Cut anywhere: refused, never read past the end.
    for (std::size_t size = 0; size < good.size(); size += 1 + size / 64)
        ASSERT_FALSE(decode_replay(good.substr(0, size), read, problem)) << size;
    std::string flipped = good;
    flipped[good.size() / 2] ^= 0x20;
    EXPECT_FALSE(decode_replay(flipped, read, problem));
    EXPECT_NE(problem.find("checksum does not match"), std::string::npos) << problem;
    EXPECT_FALSE(decode_replay("P6\n320 240\n", read, problem));
    EXPECT_NE(problem.find("not a replay"), std::string::npos) << problem;
    std::string newer = good;
    newer[8] = 9;
    EXPECT_FALSE(decode_replay(newer, read, problem));
    EXPECT_NE(problem.find("format 9, and this game reads format 1"), std::string::npos) << problem;

    const std::string dir = headless::temp_dir();
    Replay other = sample_replay();
    other.game_version = "0.9";
    headless::write_file(dir + "/old.tbr", encode_replay(other));
    EXPECT_FALSE(load_replay(dir + "/old.tbr", 0x12345678, read, problem));
    EXPECT_EQ(problem, dir + "/old.tbr: made by tolbrint 0.9, and this is tolbrint " + game_version() +
                           "; play it with that version");
    headless::write_file(dir + "/other.tbr", good);
    EXPECT_FALSE(load_replay(dir + "/other.tbr", 0xCAFEF00D, read, problem));
    EXPECT_EQ(problem, dir + "/other.tbr: made with another tolbrint.dat (checksum 12345678, this one's is cafef00d)");
    EXPECT_FALSE(load_replay(dir + "/none.tbr", 0x12345678, read, problem));
    EXPECT_NE(problem.find("none.tbr: cannot open it"), std::string::npos) << problem;
}

// The real game, headless: a run made from a script, with a reload of a
// level file that has changed since, verifies; the same run with one
// checkpoint moved fails, naming the pass and what differs.
TEST(ReplayFile, VerifyNamesTheFirstPassThatDiffers)
{
    const std::string dir = headless::temp_dir();
    headless::write_file(dir + "/flat.dat", headless::read_file(std::string(TOLBRINT_SOURCE_DIR) +
                                                                "/tests/e2e/levels/play.dat"));
    headless::write_file(dir + "/run.txt", "level " + BUILD_DIR + "/level1.dat\nlevel " + dir +
                                               "/flat.dat\nwalk right 200\npress fire 3\npress reload\n"
                                               "press jump\nwait 146\npress quit\n");
    const auto run = [&](const std::string &program, const std::vector<std::string> &arguments) {
        return headless::run_program(BUILD_DIR + "/" + program, arguments, BUILD_DIR, dir);
    };
    ASSERT_EQ(run("tolbrint-replay", {dir + "/run.txt", dir + "/run.tbr"}).status, 0);
    headless::write_file(dir + "/flat.dat", "no level now\n");
    const headless::ProgramRun good = run("tolbrint", {"--verify", dir + "/run.tbr"});
    EXPECT_EQ(good.status, 0) << good.err;
    EXPECT_NE(good.out.find("run.tbr: 967 passes of " + BUILD_DIR + "/level1.dat verified; the hero ends at x 400"),
              std::string::npos)
        << good.out;

    Replay replay;
    std::string problem;
    ASSERT_TRUE(decode_replay(headless::read_file(dir + "/run.tbr"), replay, problem)) << problem;
    EXPECT_EQ(replay.checkpoints.at(8).enemies, 0) << "the reloaded level has no enemies";
    replay.checkpoints.at(5).hero_x += 2;
    replay.checkpoints.at(7).hero_y += 1;
    headless::write_file(dir + "/moved.tbr", encode_replay(replay));
    const headless::ProgramRun moved = run("tolbrint", {"--verify", dir + "/moved.tbr"});
    EXPECT_EQ(moved.status, 1);
    EXPECT_EQ(moved.err, "tolbrint: " + dir + "/moved.tbr: pass 600: hero x " +
                             std::to_string(replay.checkpoints[5].hero_x - 2) + ", replay says " +
                             std::to_string(replay.checkpoints[5].hero_x) + "\n");
    headless::write_file(dir + "/cut.tbr", headless::read_file(dir + "/run.tbr").substr(0, 100));
    const headless::ProgramRun cut = run("tolbrint", {"--verify", dir + "/cut.tbr"});
    EXPECT_EQ(cut.status, 1);
    EXPECT_EQ(cut.err, "tolbrint: " + dir + "/cut.tbr: it is damaged or cut short (its checksum does not match)\n");
}

} // namespace
