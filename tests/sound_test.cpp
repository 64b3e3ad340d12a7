// Sound: the built samples against their sources, where the events place
// their effects, which game events ask for which effect, and the voice plan
// that keeps rapid fire from piling up into distortion.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "enemy.h"
#include "headless.h"
#include "sound.h"
#include "synth.h"
#include "tolbrint.h"
#include "zarn.h"

namespace {

const std::string sounds_dir = std::string(TOLBRINT_SOURCE_DIR) + "/sounds";
const std::string sounds_dat = std::string(TOLBRINT_BINARY_DIR) + "/sounds.dat";

class SoundTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        headless::start();
        headless::reset_game_state();
        heard().clear();
        set_sound_observer([](const SoundRequest &request) { heard().push_back(request); });
    }
    void TearDown() override { set_sound_observer(nullptr); }

    static std::vector<SoundRequest> &heard()
    {
        static std::vector<SoundRequest> requests;
        return requests;
    }

    static std::vector<Effect> effects_heard()
    {
        std::vector<Effect> effects;
        for (const SoundRequest &request : heard())
            effects.push_back(request.effect);
        return effects;
    }
};

// A sample's values as signed numbers.
std::vector<int> values_of(const SAMPLE *sample)
{
    std::vector<int> values;
    for (unsigned long i = 0; i < sample->len; i++)
        values.push_back(static_cast<const unsigned short *>(sample->data)[i] - 32768);
    return values;
}

TEST_F(SoundTest, EveryBuiltSampleHasTheLengthPeakAndSilentEndsOfItsSource)
{
    std::string error;
    DATAFILE *datafile = load_checked_datafile(sounds_dat, "sound datafile", error);
    ASSERT_NE(datafile, nullptr) << error;
    const std::vector<SoundSource> sources = read_sound_sources(sounds_dir);
    for (int e = 0; e < EFFECT_COUNT; e++) {
        const std::string name = effect_name(static_cast<Effect>(e));
        const bool has_source = std::any_of(sources.begin(), sources.end(),
                                            [&](const SoundSource &source) { return source.name == name; });
        EXPECT_TRUE(has_source) << "no source makes the game's sample " << name;
    }
    for (const SoundSource &source : sources) {
        SCOPED_TRACE(source.path);
        const DATAFILE *entry = find_datafile_object(datafile, source.name.c_str());
        ASSERT_NE(entry, nullptr);
        ASSERT_EQ(entry->type, DAT_SAMPLE);
        const SAMPLE *sample = static_cast<const SAMPLE *>(entry->dat);
        EXPECT_EQ(sample->bits, 16);
        EXPECT_FALSE(sample->stereo);
        EXPECT_GE(sample->freq, 22050);
        EXPECT_EQ(static_cast<int>(sample->freq), source.rate);
        ASSERT_EQ(static_cast<int>(sample->len), source.length_samples());

        const std::vector<int> values = values_of(sample);
        int peak = 0;
        double sum = 0;
        for (int v : values) {
            peak = std::max(peak, std::abs(v));
            sum += v;
        }
        EXPECT_NEAR(peak, source.peak * 32767, 1.0) << "peak";
        EXPECT_LT(peak, 32767) << "a full-scale sample clips";
        EXPECT_LT(std::fabs(sum / values.size()), 0.001 * 32767) << "DC offset";
        // The silent ends, and no click where the sound meets them.
        const int lead = source.lead_samples();
        const int tail = source.tail_samples();
        for (int i = 0; i <= lead; i++)
            ASSERT_EQ(values[static_cast<size_t>(i)], 0) << "lead sample " << i;
        for (int i = static_cast<int>(values.size()) - 1 - tail; i < static_cast<int>(values.size()); i++)
            ASSERT_EQ(values[static_cast<size_t>(i)], 0) << "tail sample " << i;
        const int edge = source.rate / 1000; // the first and last millisecond
        for (int i = 0; i < edge; i++) {
            EXPECT_LT(std::abs(values[static_cast<size_t>(lead + i)]), peak / 2) << "a click at the start";
            EXPECT_LT(std::abs(values[values.size() - 1 - static_cast<size_t>(tail + i)]), peak / 2)
                << "a click at the end";
        }
    }
    unload_datafile(datafile);
}

TEST_F(SoundTest, ABadSourceIsReportedWithItsFileAndLine)
{
    const std::string dir = headless::temp_dir();
    const struct {
        const char *text;
        const char *message;
    } cases[] = {
        {"name X\nlength 100\nlayer tone wave=round length=50\n", ":3: unknown wave 'round'"},
        {"name X\nlength 100\nlayer noise length=50 gain=-1\n", ":3: '-1' is below zero"},
        {"name X\nlength 100\npeak 1\nlayer noise length=50\n", "the peak must lie between 0 and 1"},
        {"name X\nlength 10\ntail 10\nlayer noise length=5\n", "the silent ends leave no room"},
        {"name X\nloudness 3\n", ":2: unknown setting 'loudness'"},
    };
    for (const auto &c : cases) {
        headless::write_file(dir + "/bad.txt", c.text);
        try {
            read_sound_source(dir + "/bad.txt");
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const std::runtime_error &error) {
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
            EXPECT_EQ(std::string(error.what()).rfind(dir + "/bad.txt", 0), 0u) << error.what();
        }
    }
}

TEST_F(SoundTest, EffectsPanByTheirPlaceOnScreenAndFadeBeyondIt)
{
    global_x = 1000;
    const struct {
        int screen_x;
        int pan;
        int volume;
    } cases[] = {
        {0, 32, 255},   {160, 128, 255}, {320, 224, 255}, {-80, 32, 128},
        {400, 224, 128}, {-160, 32, 0},  {480, 224, 0},   {100000, 224, 0},
    };
    for (const auto &c : cases) {
        const SoundRequest request = placed_request(Effect::Laser, global_x + c.screen_x);
        EXPECT_EQ(request.pan, c.pan) << "screen x " << c.screen_x;
        EXPECT_NEAR(request.volume, c.volume, 1) << "screen x " << c.screen_x;
    }
    global_x = INT_MAX - 10;
    EXPECT_EQ(placed_request(Effect::Laser, INT_MIN).volume, 0) << "no overflow at the ends of the range";
}

TEST_F(SoundTest, TheHerosShotsAreHeardWhereTheyStart)
{
    int x = 130, y = 100;
    Zarn zarn(x, y);
    zarn.firegun();
    int step = -2, up = 1;
    zarn.diagonal_translate(step, up);
    ASSERT_EQ(effects_heard(), (std::vector<Effect>{Effect::LevelShot, Effect::DiagonalShot}));
    ASSERT_EQ(zarnbullets.size(), 2u);
    for (size_t i = 0; i < 2; i++)
        EXPECT_EQ(heard()[i].pan, placed_request(Effect::LevelShot, zarnbullets[i].x).pan);
    EXPECT_GT(heard()[0].pan, heard()[1].pan) << "the shot to the right starts right of the one to the left";
}

void fire_at(int x, int y)
{
    int dx = 0, dy = 0;
    std::string kind = "MACHINE_GUN";
    zarnbullets.push_back(ZarnBullet(x, y, dx, dy, kind));
}

Enemy make_enemy(int x, int y, std::string kind) { return Enemy(x, y, kind); }

TEST_F(SoundTest, HitsAndTheZombiesDeathAreHeard)
{
    shift_x = -1000; // far to the left: the zombie walks left, away from the bullets' edges
    Enemy zombie = make_enemy(250, 90, "ZOMBIE");
    for (int hit = 1; hit <= 10; hit++) {
        zarnbullets.clear();
        fire_at(zombie.x + 10, 120);
        zombie.update();
    }
    std::vector<Effect> expected(9, Effect::BulletHit);
    expected.push_back(Effect::Explosion);
    EXPECT_EQ(effects_heard(), expected);
    EXPECT_EQ(heard().back().pan, placed_request(Effect::Explosion, zombie.x + 10).pan);
    heard().clear();
    zarnbullets.clear();
    fire_at(zombie.x + 10, 120);
    while (!zombie.isDead())
        zombie.update();
    EXPECT_TRUE(heard().empty()) << "a dying zombie is not hit again and explodes once";
}

TEST_F(SoundTest, ARobotOnTheRightZapsFromTheRightAndExplodesThreeTimes)
{
    Enemy robot = make_enemy(280, 70, "ROBO"); // on the screen's right
    robot.update();
    robot.update();
    ASSERT_EQ(effects_heard(), std::vector<Effect>{Effect::Laser});
    EXPECT_GT(heard()[0].pan, 160);
    EXPECT_EQ(heard()[0].volume, 255);
    heard().clear();

    robot.hit_points = 1;
    fire_at(robot.x + 5, robot.y + 5);
    robot.update();
    zarnbullets.clear();
    std::vector<int> explosions_at;
    while (!robot.isDead()) {
        robot.update();
        if (!heard().empty() && heard().back().effect == Effect::Explosion) {
            explosions_at.push_back(robot.death_timer);
            heard().pop_back();
        }
    }
    EXPECT_EQ(explosions_at, (std::vector<int>{200, 300, 400})) << "one bang as each explosion starts";
    EXPECT_EQ(effects_heard(), std::vector<Effect>{Effect::BulletHit}) << "the killing hit";

    heard().clear();
    global_x = -5000; // the robot is far off the screen's right
    Enemy far_robot = make_enemy(280, 70, "ROBO");
    far_robot.update();
    far_robot.update();
    ASSERT_EQ(heard().size(), 1u);
    EXPECT_EQ(heard()[0].volume, 0) << "a robot far away is not heard";
}

// The plan with every voice playing until it is replaced: the harshest case,
// with the music's share held back.
TEST_F(SoundTest, RapidFireKeepsToItsVoicesAndTheMixStaysBelowFullScale)
{
    VoicePlan plan;
    const double music = 0.3;
    plan.reserve(music);
    std::mt19937 random(7);
    const double loudest[EFFECT_COUNT] = {0.42, 0.40, 0.34, 0.36, 0.72, 0.42, 0.6};
    for (int event = 0; event < 2000; event++) {
        // Mostly gunfire, now and then anything else.
        const Effect effect = random() % 3 ? Effect::LevelShot : static_cast<Effect>(random() % EFFECT_COUNT);
        double gain = 0;
        const int slot = plan.place(effect, loudest[static_cast<int>(effect)], gain);
        int playing_of_effect = 0;
        for (const VoicePlan::Slot &s : plan.slots())
            playing_of_effect += s.playing && s.effect == effect;
        ASSERT_LE(playing_of_effect, VoicePlan::voice_limit(effect));
        ASSERT_LE(plan.playing_level() + music, VoicePlan::MIX_CEILING + 1e-9) << "event " << event;
        if (slot >= 0) {
            ASSERT_EQ(plan.slots()[static_cast<size_t>(slot)].effect, effect);
        }
    }
}

TEST_F(SoundTest, GunfireGivesWayToAnExplosionNotTheOtherWayRound)
{
    VoicePlan plan;
    double gain = 0;
    plan.place(Effect::LevelShot, 0.42, gain);
    plan.place(Effect::LevelShot, 0.42, gain);
    const int bang = plan.place(Effect::Explosion, 0.72, gain);
    EXPECT_EQ(gain, 1.0) << "the explosion is played at its full level";
    ASSERT_GE(bang, 0);
    for (int shot = 0; shot < 10; shot++) {
        plan.place(Effect::LevelShot, 0.42, gain);
        EXPECT_TRUE(plan.slots()[static_cast<size_t>(bang)].playing) << "shot " << shot << " cut the explosion";
        EXPECT_LT(gain, 1.0) << "the shot is turned down to fit beside it";
    }
}

TEST_F(SoundTest, WithoutADeviceTheGameIsSilentAndSaysSoOnce)
{
    // Allegro without a display has no sound driver at all.
    testing::internal::CaptureStderr();
    start_sound(SoundSettings());
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(sound_audible());
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find("playing without sound"), std::string::npos) << said;
    int x = 130, y = 100;
    Zarn zarn(x, y);
    zarn.firegun();
    EXPECT_EQ(heard().size(), 1u) << "the events still reach the module";
    toggle_mute();
    EXPECT_TRUE(sound_muted());
    toggle_mute();
    stop_sound();
}

} // namespace
