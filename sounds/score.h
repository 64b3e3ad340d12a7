// The game's music, composed as text scores: instruments built from the
// synth's waves, drums from its layers, patterns of notes played together as
// tracks, step after step, with a loop point. A score renders to one mono
// sample whose loop, from the loop point to the end, joins without a seam.
#ifndef SCORE_H
#define SCORE_H

#include <cstdint>
#include <string>
#include <vector>

#include "synth.h"

// Lengths are counted in ticks: a whole note has this many, so that every
// length from /1 to /64 that music uses, triplets too, is a whole number.
constexpr int TICKS_PER_WHOLE = 3840;

struct Instrument {
    std::string name;
    Layer::Wave wave = Layer::Wave::Square;
    double attack_ms = 5;
    double decay_ms = 0;   // time constant of the fall to sustain; 0 holds
    double sustain = 1;    // share of the peak held until the note ends
    double release_ms = 30;
    int voices = 1;
    double detune_cents = 0;
    double vibrato_cents = 0;
    double lowpass_hz = 0;
    double highpass_hz = 0;
    double gain = 1;
};

struct Drum {
    std::string name;
    std::vector<Layer> layers;
};

struct ScoreNote {
    int tick = 0;              // from the pattern's start
    int length = 0;            // in ticks
    std::vector<int> sounds;   // MIDI note numbers, or drum indices
    int velocity = 100;        // 1..127
    int line = 0;
    int column = 0;
};

struct Pattern {
    std::string name;
    bool drums = false;
    int instrument = -1;       // into instruments, for a pitched pattern
    int length = 0;            // in ticks
    std::vector<ScoreNote> notes;
};

struct Step {
    std::vector<int> patterns;
    int repeats = 1;
    int length = 0;            // of one time through, in ticks
};

struct Score {
    std::string path;
    std::string name;
    int rate = 22050;
    double tempo = 120;        // quarter notes a minute
    int meter = 4;             // quarter notes a bar
    int key_root = 0;          // pitch class, C = 0
    bool minor = false;
    double peak = 0.9;
    std::vector<Instrument> instruments;
    std::vector<Drum> drums;
    std::vector<Pattern> patterns;
    std::vector<Step> steps;
    int loop_step = -1;        // -1: the piece plays once

    bool loops() const { return loop_step >= 0; }
    int total_ticks() const;
    int loop_tick() const;     // where the loop begins again
    // The sample where a tick falls, counted without drift from the start.
    long long sample_at(long long tick) const;
};

// Reads one score; throws std::runtime_error as "file:line:col: reason".
Score read_score(const std::string &path);
Score parse_score(const std::string &path, const std::vector<SourceLine> &lines);

// Every score of a directory (its *.txt files), in name order.
std::vector<Score> read_scores(const std::string &dir);

// True when the pitch class belongs to the score's key.
bool in_key(const Score &score, int midi_note);

struct RenderedPiece {
    std::vector<std::int8_t> samples;
    int loop_start = -1;       // the sample the loop returns to; -1 for none
};

// The piece as signed 8-bit samples scaled to the score's peak.
RenderedPiece render_score(const Score &score);

#endif
