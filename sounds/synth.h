// The game's sound effects, made from text sources: each source names one
// effect and stacks layers of noise and tones, each with its own envelope,
// pitch sweep and filters. The mix is cleared of DC, scaled to the source's
// peak and given silent ends.
#ifndef SYNTH_H
#define SYNTH_H

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

struct Layer {
    enum class Kind { Noise, Tone };
    enum class Wave { Sine, Square, Saw, Triangle };
    Kind kind = Kind::Noise;
    Wave wave = Wave::Sine;
    double start_ms = 0;
    double length_ms = 0;
    double attack_ms = 1;   // linear rise from silence
    double decay_ms = 0;    // time constant of the fall after the attack; 0 holds
    double from_hz = 440;   // a tone's pitch at its start...
    double to_hz = 440;     // ...and at its end, swept evenly in octaves
    double lowpass_hz = 0;  // 0: no filter
    double highpass_hz = 0; // 0: no filter
    double gain = 1;
};

struct SoundSource {
    std::string path;
    std::string name;       // the sample's name in sounds.dat
    int rate = 22050;       // samples a second
    double length_ms = 0;   // the whole sample, its silent ends included
    double peak = 0.5;      // the loudest sample, as a share of full scale
    double lead_ms = 0;     // silence before the sound...
    double tail_ms = 0;     // ...and after it
    std::vector<Layer> layers;

    int length_samples() const;
    int lead_samples() const;
    int tail_samples() const;
};

// Reads one source; throws std::runtime_error naming the file and line.
SoundSource read_sound_source(const std::string &path);

// Every source of a directory (its *.txt files), in name order.
std::vector<SoundSource> read_sound_sources(const std::string &dir);

// A first-order filter.
class OnePole {
public:
    OnePole(double cutoff_hz, int rate)
        : a_(cutoff_hz > 0 ? 1.0 - std::exp(-2.0 * M_PI * cutoff_hz / rate) : 1.0) {}
    double lowpass(double x) { return low_ += a_ * (x - low_); }
    double highpass(double x) { return x - lowpass(x); }

private:
    double a_;
    double low_ = 0;
};

struct SourceLine;

// A wave by its name in a source; false for none. WAVE_NAMES lists them.
bool wave_of_name(const std::string &name, Layer::Wave &wave);
extern const char *const WAVE_NAMES;

// A layer written as "WORD ... noise|tone key=value ...", its kind at kind_word.
Layer read_layer(const std::string &path, const SourceLine &line, size_t kind_word);

// Adds a layer to mix, its time 0 at sample first, nothing at or past last.
void add_layer(std::vector<double> &mix, const Layer &layer, int rate, int first, int last);

// The sample as signed 16-bit values.
std::vector<std::int16_t> render_sound(const SoundSource &source);

#endif
