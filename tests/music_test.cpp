// The music: the score reader's errors, the pieces as composed, their
// loops' seams, and music.dat as built.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <sstream>

#include "datafile.h"
#include "headless.h"
#include "music.h"
#include "score.h"
#include "source.h"

namespace {

const std::string music_dir = std::string(TOLBRINT_SOURCE_DIR) + "/sounds/music";
const std::string music_dat = std::string(TOLBRINT_BINARY_DIR) + "/music.dat";

Score parse(const std::string &text)
{
    std::istringstream in(text);
    return parse_score("s.txt", source_lines(in));
}

std::string error_of(const std::string &text)
{
    try {
        parse(text);
    } catch (const std::runtime_error &error) {
        return error.what();
    }
    return "no error";
}

const std::string HEAD = "name T\ntempo 120\nkey a minor\ninstrument lead wave=square\n";

// Where the loop wraps, the piece goes on as if it had not: the sample before
// the loop point is the one a whole loop before the end (within the dither).
void expect_seamless(const std::string &name, const RenderedPiece &piece)
{
    const std::vector<std::int8_t> &s = piece.samples;
    const std::size_t loop = static_cast<std::size_t>(piece.loop_start);
    ASSERT_GT(loop, 0u) << name;
    for (std::size_t back = 1; back <= 64; back++)
        ASSERT_LE(std::abs(s[s.size() - back] - s[loop - back]), 3)
            << name << ": the loop does not join where it wraps, " << back << " samples before";
}

struct Piece {
    Score score;
    RenderedPiece rendered;
};

// Every score rendered, once for the whole suite.
const std::vector<Piece> &pieces()
{
    static const std::vector<Piece> all = [] {
        std::vector<Piece> rendered;
        for (const Score &score : read_scores(music_dir))
            rendered.push_back({score, render_score(score)});
        return rendered;
    }();
    return all;
}

} // namespace

TEST(Scores, MistakesArePlacedByLineAndColumn)
{
    const std::map<std::string, std::string> cases = {
        {HEAD + "pattern p lead\n  a4/4 c#5/4\nend\nplay p\n", "s.txt:6:8: 'c#5' is not in the key"},
        {HEAD + "pattern p lead\n a4/4 c5/8 | e5\nend\nplay p\n", "s.txt:6:12: the bar line falls 1.5 beats into a bar of 4"},
        {HEAD + "pattern p lead\n a4/7\nend\nplay p\n", "s.txt:6:2: /7 is not a length music uses"},
        {HEAD + "pattern p lead\n a4/4@200\nend\nplay p\n", "s.txt:6:2: '200' should lie from 1 to 127"},
        {HEAD + "pattern p lead\n h4\nend\nplay p\n", "s.txt:6:2: 'h4' is not a note (c4, f#3, bb5, r for a rest)"},
        {HEAD + "pattern p lead\n a4/4\nend\nplay p q\n", "s.txt:8:8: no pattern 'q' above"},
        {HEAD + "pattern p lead\n a4/4*3\nend\npattern q lead\n a4/2\nend\nplay p q\n",
         "s.txt:11:8: 'q' (2 beats) does not fit evenly into 3 beats"},
        {HEAD + "pattern p drums\n kick/4\nend\n", "s.txt:6:2: no drum 'kick' above"},
        {HEAD + "drum kick tone from=150 to=40 length=0\n", "s.txt:5:11: a layer needs a length"},
        {HEAD + "instrument pad voices=9\n", "s.txt:5:16: '9' should lie from 1 to 8"},
        {HEAD + "pattern p lead\n a4/4\n", "s.txt: the pattern 'p' has no 'end'"},
        {HEAD + "pattern p lead\n a4/4\nend\nplay p\nloop\n", "s.txt: nothing is played after 'loop'"},
        {HEAD + "tempo fast\n", "s.txt:5:7: 'fast' is not a number"},
    };
    for (const auto &[text, expected] : cases)
        EXPECT_EQ(error_of(text), expected) << text;
}

// Every piece the game plays is here, loops where it should and lasts as
// long as it should; no two are alike, and every loop joins without a click.
TEST(Scores, ThePiecesAreComposedToMeasure)
{
    const std::map<std::string, std::pair<double, double>> lengths = {
        {"TITLE_THEME", {30, 60}}, {"DESERT", {60, 120}}, {"CANYON", {60, 120}},
        {"TEMPLE", {60, 120}},     {"ENDING", {2, 10}}};
    ASSERT_EQ(pieces().size(), lengths.size());
    std::vector<std::string> melodies;
    for (const auto &[score, piece] : pieces()) {
        ASSERT_TRUE(lengths.count(score.name)) << score.name;
        const double seconds = static_cast<double>(piece.samples.size()) / score.rate;
        EXPECT_GE(seconds, lengths.at(score.name).first) << score.name;
        EXPECT_LE(seconds, lengths.at(score.name).second) << score.name;
        EXPECT_EQ(score.loops(), score.name != "ENDING") << score.name;
        if (score.loops())
            expect_seamless(score.name, piece);
        // The notes of all the piece's patterns, in order, tell it apart.
        std::string melody = std::to_string(score.tempo) + " " + std::to_string(score.key_root);
        for (const Pattern &pattern : score.patterns)
            for (const ScoreNote &note : pattern.notes)
                for (int sound : note.sounds)
                    melody += " " + std::to_string(sound) + "/" + std::to_string(note.length);
        EXPECT_EQ(std::count(melodies.begin(), melodies.end(), melody), 0) << score.name << " repeats a piece";
        melodies.push_back(melody);
    }
}

// A note still ringing at the end rings on into the loop's next time
// through, but not into the piece's first: it starts in silence, as written.
TEST(Scores, ANoteRingingPastTheEndCarriesIntoTheLoop)
{
    const Score score = parse("name T\ntempo 120\ninstrument hum wave=sine attack=2 release=300\n"
                              "pattern p hum\n r/1 a3/1 \nend\nloop\nplay p\n");
    const RenderedPiece piece = render_score(score);
    expect_seamless("hum", piece);
    const std::size_t next_time = static_cast<std::size_t>(score.sample_at(score.total_ticks()));
    EXPECT_LE(std::abs(piece.samples[2000]), 2);
    EXPECT_GT(std::abs(piece.samples[next_time + 2000]), 20);
}

TEST(Scores, MusicDatHoldsEveryPieceWithItsLoopPoint)
{
    headless::start();
    struct stat info;
    ASSERT_EQ(stat(music_dat.c_str(), &info), 0);
    EXPECT_LE(info.st_size, 8 << 20) << "music.dat is over 8 MiB";
    std::string error;
    DATAFILE *datafile = load_checked_datafile(music_dat, "music datafile", error);
    ASSERT_NE(datafile, nullptr) << error;
    for (const auto &[score, piece] : pieces()) {
        const DATAFILE *entry = find_datafile_object(datafile, score.name.c_str());
        ASSERT_NE(entry, nullptr) << score.name;
        const SAMPLE *sample = static_cast<const SAMPLE *>(entry->dat);
        EXPECT_EQ(sample->bits, 8);
        EXPECT_EQ(sample->len, piece.samples.size()) << score.name;
        const std::string loop = get_datafile_property(entry, DAT_ID('L', 'O', 'O', 'P'));
        EXPECT_EQ(loop, piece.loop_start >= 0 ? std::to_string(piece.loop_start) : "") << score.name;
    }
    unload_datafile(datafile);
    EXPECT_STREQ(level_piece("CANYON1"), "CANYON");
    EXPECT_STREQ(level_piece("SOMEWHERE"), "DESERT");
}
