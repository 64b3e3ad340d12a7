// The command line: every option, good and bad, with what it sets, its exit
// code and its message. The settings file: good files, each kind of bad
// one, and --print-config reading back.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include <sys/stat.h>

#include <cstdlib>

#include "headless.h"
#include "options.h"

namespace {

// Parses a command line given as words after the program's name.
struct Parsed {
    Options options;
    ParseResult result;
};

Parsed parse(std::initializer_list<const char *> words, Options start = Options())
{
    std::vector<std::string> storage{"tolbrint"};
    storage.insert(storage.end(), words.begin(), words.end());
    std::vector<char *> argv;
    for (std::string &word : storage)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    Parsed parsed{start, {}};
    parsed.result = parse_options(static_cast<int>(storage.size()), argv.data(), parsed.options);
    return parsed;
}

void expect_usage_error(const Parsed &parsed, const std::string &problem)
{
    EXPECT_FALSE(parsed.result.play);
    EXPECT_EQ(parsed.result.exit_code, 2);
    EXPECT_EQ(parsed.result.out, "");
    EXPECT_EQ(parsed.result.err, "tolbrint: " + problem + "\nTry 'tolbrint --help'\n");
}

TEST(Options, NoArgumentsPlayTheShippedLevelAtTheDesktopsScale)
{
    const Parsed parsed = parse({});
    EXPECT_TRUE(parsed.result.play);
    EXPECT_EQ(parsed.result.out + parsed.result.err, "");
    EXPECT_EQ(parsed.options.scale, 0);
    EXPECT_FALSE(parsed.options.fullscreen);
    EXPECT_TRUE(parsed.options.pause_in_background);
    EXPECT_EQ(parsed.options.level, "");
}

TEST(Options, HelpListsEveryOptionAndExitsAtOnce)
{
    for (const char *word : {"--help", "-h", "--he"}) {
        const Parsed parsed = parse({word, "--scale", "3"});
        EXPECT_FALSE(parsed.result.play) << word;
        EXPECT_EQ(parsed.result.exit_code, 0) << word;
        EXPECT_EQ(parsed.result.out, usage_text()) << word;
        EXPECT_EQ(parsed.result.err, "") << word;
    }
    const std::string help = usage_text();
    EXPECT_EQ(help.rfind("Usage: tolbrint [OPTIONS] [LEVEL]\n", 0), 0u);
    for (const char *expected : {"-h, --help", "    --version", "    --scale N", "    --fullscreen",
                                 "    --windowed", "1 to 16", "    --start-x X", "    --skip-intro"})
        EXPECT_NE(help.find(expected), std::string::npos) << expected << " missing from\n" << help;
}

TEST(Options, VersionPrintsTheBuildsOneNumber)
{
    const Parsed parsed = parse({"--version"});
    EXPECT_FALSE(parsed.result.play);
    EXPECT_EQ(parsed.result.exit_code, 0);
    EXPECT_EQ(parsed.result.out, std::string("tolbrint ") + game_version() + "\n");
    EXPECT_STRNE(game_version(), "unknown");
    EXPECT_NE(std::string(game_version()).find('.'), std::string::npos);
}

TEST(Options, ScaleTakesWholeNumbersFromOneToSixteen)
{
    EXPECT_EQ(parse({"--scale", "1"}).options.scale, 1);
    EXPECT_EQ(parse({"--scale=16"}).options.scale, 16);
    EXPECT_EQ(parse({"--scale", "07"}).options.scale, 7);
    EXPECT_EQ(parse({"--scale", "4", "--scale", "0"}).options.scale, 0) << "0: the most that fits";
    for (const char *bad : {"17", "-3", "abc", "3x", "", "2.5", "99999999999999999999"})
        expect_usage_error(parse({"--scale", bad}),
                           std::string("--scale must be a whole number from 0 to 16, not '") + bad + "'");
}

TEST(Options, MissingValueAndUnknownOptionsAreNamed)
{
    expect_usage_error(parse({"--scale"}), "option '--scale' needs a value");
    expect_usage_error(parse({"--bogus"}), "unknown option '--bogus'");
    expect_usage_error(parse({"--bogus=1"}), "unknown option '--bogus'");
    expect_usage_error(parse({"-x"}), "unknown option '-x'");
    expect_usage_error(parse({"--fullscreen=yes"}), "option '--fullscreen' takes no value");
    expect_usage_error(parse({"--help=1"}), "option '--help' takes no value");
    expect_usage_error(parse({"-h", "--bogus"}), "unknown option '--bogus'");
}

TEST(Options, FullscreenAndWindowedTheLastOneCounts)
{
    EXPECT_TRUE(parse({"--fullscreen"}).options.fullscreen);
    EXPECT_FALSE(parse({"--fullscreen", "--windowed"}).options.fullscreen);
    EXPECT_TRUE(parse({"--windowed", "--fullscreen"}).options.fullscreen);
    Options from_settings;
    from_settings.fullscreen = true;
    from_settings.scale = 5;
    const Parsed parsed = parse({"--windowed"}, from_settings);
    EXPECT_FALSE(parsed.options.fullscreen) << "the command line overrides earlier settings";
    EXPECT_EQ(parsed.options.scale, 5) << "what the command line leaves alone stays";
}

TEST(Options, FromMenuIsAFlagTheMenuEntryGives)
{
    EXPECT_FALSE(parse({}).options.from_menu);
    const Parsed parsed = parse({"--from-menu", "my.dat"});
    EXPECT_TRUE(parsed.result.play);
    EXPECT_TRUE(parsed.options.from_menu);
    EXPECT_EQ(parsed.options.level, "my.dat");
    expect_usage_error(parse({"--from-menu=yes"}), "option '--from-menu' takes no value");
    EXPECT_NE(usage_text().find("    --from-menu"), std::string::npos);
}

TEST(Options, OneLevelMayStandAnywhere)
{
    EXPECT_EQ(parse({"my level.dat"}).options.level, "my level.dat");
    const Parsed mixed = parse({"levels/a.dat", "--scale", "2", "--fullscreen"});
    EXPECT_TRUE(mixed.result.play);
    EXPECT_EQ(mixed.options.level, "levels/a.dat");
    EXPECT_EQ(mixed.options.scale, 2);
    EXPECT_TRUE(mixed.options.fullscreen);
    EXPECT_EQ(parse({"--", "--odd-name.dat"}).options.level, "--odd-name.dat");
    expect_usage_error(parse({"a.dat", "b.dat"}), "more than one level given ('a.dat' and 'b.dat')");
}

TEST(Options, AuthorsMayStartAnywhereAndSkipTheTitle)
{
    const Parsed plain = parse({});
    EXPECT_FALSE(plain.options.start_x.has_value()) << "the level's own start";
    EXPECT_FALSE(plain.options.skip_intro);
    const Parsed parsed = parse({"--start-x", "-1250", "--skip-intro", "a.dat"});
    EXPECT_TRUE(parsed.result.play);
    EXPECT_EQ(parsed.options.start_x, -1250);
    EXPECT_TRUE(parsed.options.skip_intro);
    EXPECT_EQ(parse({"--start-x=1000000000"}).options.start_x, 1000000000);
    for (const char *bad : {"", "x", "12a", "1000000001", "-1000000001", "99999999999999999999"})
        expect_usage_error(parse({"--start-x", bad}),
                           std::string("--start-x must be a whole number from -1000000000 to 1000000000, not '") +
                               bad + "'");
    expect_usage_error(parse({"--skip-intro=1"}), "option '--skip-intro' takes no value");
}

TEST(Options, MuteStartsSilentWhateverTheVolume)
{
    EXPECT_FALSE(parse({}).options.muted);
    Options from_settings;
    from_settings.effects_volume = 80;
    const Parsed parsed = parse({"--mute"}, from_settings);
    EXPECT_TRUE(parsed.result.play);
    EXPECT_TRUE(parsed.options.muted);
    EXPECT_EQ(parsed.options.effects_volume, 80) << "M brings the sound back at the file's volume";
    expect_usage_error(parse({"--mute=1"}), "option '--mute' takes no value");
    EXPECT_NE(usage_text().find("    --mute"), std::string::npos);
}

TEST(Options, ReadingTwiceStartsAfresh)
{
    expect_usage_error(parse({"--bogus"}), "unknown option '--bogus'");
    const Parsed parsed = parse({"--scale", "4", "x.dat"});
    EXPECT_TRUE(parsed.result.play);
    EXPECT_EQ(parsed.options.scale, 4);
    EXPECT_EQ(parsed.options.level, "x.dat");
}

} // namespace

// ---------------------------------------------------------------------------
// The settings file

namespace {

int index_of(Action action) { return static_cast<int>(action); }

class Settings : public ::testing::Test {
protected:
    void SetUp() override
    {
        headless::start();
        dir = headless::temp_dir();
        path = dir + "/tolbrint.cfg";
    }

    // Reads text as a settings file into fresh options; the warnings land
    // in warnings.
    Options read(const std::string &text)
    {
        headless::write_file(path, text);
        Options options;
        const SettingsResult result = read_settings(path, true, options);
        EXPECT_TRUE(result.play);
        warnings = result.warnings;
        return options;
    }

    // The one warning line for a setting.
    std::string warning(const std::string &setting, const std::string &problem) const
    {
        return "tolbrint: " + path + ": " + setting + ": " + problem + "\n";
    }

    std::string dir;
    std::string path;
    std::string warnings;
};

TEST_F(Settings, AGoodFileSetsEverySection)
{
    const Options options = read("[video]\nscale = 3\nfullscreen = yes\npause_in_background = no\n"
                                 "[keys]\njump = SPACE\nfire = f\nwalk_fire = RSHIFT\nmute = N\n"
                                 "[joystick]\nenabled = no\njoystick_device = /tmp/pad\nfire = 5\nup = none\nmute = 4\n"
                                 "[sound]\nvolume = 0\n");
    EXPECT_EQ(warnings, "");
    EXPECT_EQ(options.scale, 3);
    EXPECT_TRUE(options.fullscreen);
    EXPECT_FALSE(options.pause_in_background);
    EXPECT_EQ(options.bindings.keys[index_of(Action::jump)], KEY_SPACE);
    EXPECT_EQ(options.bindings.keys[index_of(Action::fire)], KEY_F);
    EXPECT_EQ(options.bindings.keys[index_of(Action::walk_fire)], KEY_RSHIFT);
    EXPECT_EQ(options.bindings.keys[index_of(Action::left)], KEY_LEFT) << "unset keys keep their defaults";
    EXPECT_FALSE(options.gamepad);
    EXPECT_EQ(options.joystick_device, "/tmp/pad");
    EXPECT_EQ(options.bindings.buttons[index_of(Action::fire)], 5);
    EXPECT_EQ(options.bindings.buttons[index_of(Action::jump)], 0);
    EXPECT_EQ(options.bindings.keys[index_of(Action::mute)], KEY_N);
    EXPECT_EQ(options.bindings.buttons[index_of(Action::mute)], 4);
    EXPECT_EQ(options.effects_volume, 0);
    // The joystick driver finds its device in the same configuration.
    EXPECT_STREQ(get_config_string("joystick", "joystick_device", ""), "/tmp/pad");
}

TEST_F(Settings, SwappedKeysAreNoClash)
{
    const Options options = read("[keys]\njump = D\nfire = X\n[joystick]\njump = 1\nfire = 0\n");
    EXPECT_EQ(warnings, "");
    EXPECT_EQ(options.bindings.keys[index_of(Action::jump)], KEY_D);
    EXPECT_EQ(options.bindings.keys[index_of(Action::fire)], KEY_X);
    EXPECT_EQ(options.bindings.buttons[index_of(Action::jump)], 1);
}

TEST_F(Settings, EachBadValueIsNamedOnceAndTheDefaultUsed)
{
    const Options options = read("[video]\nscale = 17\nfullscreen = maybe\n"
                                 "[keys]\njump = SPAEC\nfire = F # comment\nup = LSHIFT\n"
                                 "[joystick]\nenabled = 2\nfire = 32\njump = -1\n"
                                 "[sound]\nvolume = loud\n");
    const Options defaults;
    EXPECT_EQ(warnings,
              warning("[video] scale = 17", "not a whole number from 0 to 16; using 0") +
                  warning("[video] fullscreen = maybe", "not yes or no; using no") +
                  warning("[keys] up = LSHIFT", "a key that can only be held suits walk_fire alone; using UP") +
                  warning("[keys] jump = SPAEC", "no key has that name; using X") +
                  warning("[keys] fire = F # comment", "no key has that name; using D") +
                  warning("[joystick] enabled = 2", "not yes or no; using yes") +
                  warning("[joystick] jump = -1", "not a button number from 0 to 31 or none; using 0") +
                  warning("[joystick] fire = 32", "not a button number from 0 to 31 or none; using 1") +
                  warning("[sound] volume = loud", "not a whole number from 0 to 255; using 255"));
    EXPECT_EQ(settings_text(options), settings_text(defaults));
}

TEST_F(Settings, UnknownSettingsAreNamedAndIgnored)
{
    const Options options = read("stray = 1\n[video]\nsclae = 2\nscale = 2\n[vidoe]\nscale = 4\n"
                                 "[keys]\ncrouch = C\n");
    EXPECT_EQ(warnings, warning("[] stray = 1", "no such setting; ignored") +
                            warning("[video] sclae = 2", "no such setting; ignored") +
                            warning("[vidoe] scale = 4", "no such setting; ignored") +
                            warning("[keys] crouch = C", "no such setting; ignored"));
    EXPECT_EQ(options.scale, 2);
}

TEST_F(Settings, TwoActionsOnOneKeyOrButton)
{
    // Onto a default key: the action the file moved gives way.
    Options options = read("[keys]\njump = D\n");
    EXPECT_EQ(warnings, warning("[keys] jump = D", "already the key of fire; using X"));
    EXPECT_EQ(options.bindings.keys[index_of(Action::jump)], KEY_X);

    // Both moved onto one key: the later one gives way.
    options = read("[keys]\njump = SPACE\nquit = SPACE\n");
    EXPECT_EQ(warnings, warning("[keys] quit = SPACE", "already the key of jump; using ESC"));
    EXPECT_EQ(options.bindings.keys[index_of(Action::jump)], KEY_SPACE);
    EXPECT_EQ(options.bindings.keys[index_of(Action::quit)], KEY_ESC);

    // A default given back can clash again, and gives way in turn.
    options = read("[keys]\nfire = X\njump = SPACE\nquit = SPACE\n[joystick]\nquit = 0\n");
    EXPECT_EQ(warnings, warning("[keys] quit = SPACE", "already the key of jump; using ESC") +
                            warning("[joystick] quit = 0", "already the button of jump; using 6"));
    EXPECT_EQ(options.bindings.keys[index_of(Action::fire)], KEY_X);
    EXPECT_EQ(options.bindings.buttons[index_of(Action::quit)], 6);
}

TEST_F(Settings, MissingAndUnreadableFiles)
{
    Options options;
    SettingsResult result = read_settings(dir + "/absent.cfg", false, options);
    EXPECT_TRUE(result.play);
    EXPECT_EQ(result.warnings, "") << "no settings file is normal";

    result = read_settings(dir + "/absent.cfg", true, options);
    EXPECT_FALSE(result.play) << "a file the player named must exist";
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_EQ(result.warnings,
              "tolbrint: " + dir + "/absent.cfg: cannot open the settings file: No such file or directory\n");

    result = read_settings(dir, true, options);
    EXPECT_TRUE(result.play);
    EXPECT_EQ(result.warnings, "tolbrint: " + dir +
                                   ": cannot read the settings file (it is a directory); using the defaults\n");

    ASSERT_EQ(mkfifo((dir + "/pipe").c_str(), 0600), 0);
    result = read_settings(dir + "/pipe", false, options);
    EXPECT_EQ(result.warnings,
              "tolbrint: " + dir + "/pipe: cannot read the settings file (it is not a regular file); using the defaults\n");

    EXPECT_EQ(settings_text(options), settings_text(Options())) << "nothing but the defaults";

    // Permissions do not stop root, so only another user sees this one.
    if (geteuid() != 0) {
        headless::write_file(path, "[video]\nscale = 2\n");
        chmod(path.c_str(), 0);
        result = read_settings(path, false, options);
        EXPECT_EQ(result.warnings, "tolbrint: " + path +
                                       ": cannot read the settings file (Permission denied); using the defaults\n");
    }
}

TEST_F(Settings, PrintedSettingsReadBackUnchanged)
{
    Options changed;
    changed.scale = 4;
    changed.fullscreen = true;
    changed.bindings.keys[index_of(Action::jump)] = KEY_SPACE;
    changed.bindings.keys[index_of(Action::fire)] = KEY_F;
    changed.bindings.buttons[index_of(Action::up)] = 3;
    changed.gamepad = false;
    changed.joystick_device = "/dev/input/js1";
    changed.effects_volume = 100;
    changed.music_volume = 0;
    for (const Options &printed : {Options(), changed}) {
        const std::string text = settings_text(printed);
        const Options options = read(text);
        EXPECT_EQ(warnings, "");
        EXPECT_EQ(settings_text(options), text);
    }
    const std::string text = settings_text(changed);
    for (const char *line : {"scale = 4\n", "jump = SPACE\n", "fire = F\n", "enabled = no\n",
                             "up = 3\n", "joystick_device = /dev/input/js1\n", "effects_volume = 100\n",
                             "music_volume = 0\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
}

TEST_F(Settings, TheFileIsFoundUnderXdgConfigHome)
{
    const char *saved_xdg = std::getenv("XDG_CONFIG_HOME");
    const char *saved_home = std::getenv("HOME");
    const std::string old_xdg = saved_xdg ? saved_xdg : "", old_home = saved_home ? saved_home : "";
    setenv("XDG_CONFIG_HOME", "/x/config", 1);
    setenv("HOME", "/home/p", 1);
    EXPECT_EQ(default_settings_path(), "/x/config/tolbrint/tolbrint.cfg");
    setenv("XDG_CONFIG_HOME", "relative", 1);
    EXPECT_EQ(default_settings_path(), "/home/p/.config/tolbrint/tolbrint.cfg");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(default_settings_path(), "/home/p/.config/tolbrint/tolbrint.cfg");
    unsetenv("HOME");
    EXPECT_EQ(default_settings_path(), "");
    if (saved_xdg)
        setenv("XDG_CONFIG_HOME", old_xdg.c_str(), 1);
    if (saved_home)
        setenv("HOME", old_home.c_str(), 1);
}

} // namespace
