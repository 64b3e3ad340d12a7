// The command line: every option, good and bad, with what it sets, its exit
// code and its message.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

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
    for (const char *bad : {"0", "17", "-3", "abc", "3x", "", "2.5", "99999999999999999999"})
        expect_usage_error(parse({"--scale", bad}),
                           std::string("--scale must be a whole number from 1 to 16, not '") + bad + "'");
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

TEST(Options, ReadingTwiceStartsAfresh)
{
    expect_usage_error(parse({"--bogus"}), "unknown option '--bogus'");
    const Parsed parsed = parse({"--scale", "4", "x.dat"});
    EXPECT_TRUE(parsed.result.play);
    EXPECT_EQ(parsed.options.scale, 4);
    EXPECT_EQ(parsed.options.level, "x.dat");
}

} // namespace
