#include "synth.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

#include "source.h"

namespace {

constexpr double FULL_SCALE = 32767.0;
// The edges of the sound itself fade over this long, so it starts and stops
// without a click.
constexpr double EDGE_FADE_MS = 3.0;
// Rumble below this is removed: it would only shift the speaker's centre.
constexpr double DC_CUTOFF_HZ = 25.0;

double number(const std::string &path, const SourceLine &line, const std::string &word)
{
    char *end = nullptr;
    const double value = std::strtod(word.c_str(), &end);
    if (word.empty() || *end != '\0' || !std::isfinite(value))
        throw source_error(path, line, "'" + word + "' is not a number");
    return value;
}

double positive(const std::string &path, const SourceLine &line, const std::string &word)
{
    const double value = number(path, line, word);
    if (value < 0)
        throw source_error(path, line, "'" + word + "' is below zero");
    return value;
}

Layer::Wave wave_named(const std::string &path, const SourceLine &line, const std::string &name)
{
    Layer::Wave wave;
    if (!wave_of_name(name, wave))
        throw source_error(path, line, "unknown wave '" + name + "' (" + WAVE_NAMES + ")");
    return wave;
}

// One "key=value" of a layer line.
void set_layer_field(Layer &layer, const std::string &path, const SourceLine &line, const std::string &word)
{
    const size_t equals = word.find('=');
    if (equals == std::string::npos)
        throw source_error(path, line, "'" + word + "' should be NAME=VALUE");
    const std::string key = word.substr(0, equals);
    const std::string value = word.substr(equals + 1);
    static const struct {
        const char *key;
        double Layer::*field;
    } fields[] = {{"start", &Layer::start_ms},       {"length", &Layer::length_ms},
                  {"attack", &Layer::attack_ms},     {"decay", &Layer::decay_ms},
                  {"from", &Layer::from_hz},         {"to", &Layer::to_hz},
                  {"lowpass", &Layer::lowpass_hz},   {"highpass", &Layer::highpass_hz},
                  {"gain", &Layer::gain}};
    if (key == "wave") {
        layer.wave = wave_named(path, line, value);
        return;
    }
    for (const auto &f : fields) {
        if (key == f.key) {
            layer.*f.field = positive(path, line, value);
            return;
        }
    }
    throw source_error(path, line, "unknown layer setting '" + key + "'");
}


void check_source(const SoundSource &source)
{
    const auto fail = [&](const std::string &problem) { throw std::runtime_error(source.path + ": " + problem); };
    if (source.name.empty())
        fail("no name");
    if (source.layers.empty())
        fail("no layers");
    if (source.rate < 22050 || source.rate > 65535)
        fail("the rate must lie from 22050 to 65535");
    if (source.peak <= 0 || source.peak >= 1)
        fail("the peak must lie between 0 and 1 (full scale would clip)");
    if (source.lead_ms + source.tail_ms >= source.length_ms)
        fail("the silent ends leave no room for the sound");
}

// Repeatable white noise, so a build makes the same file every time.
class Noise {
public:
    double next()
    {
        state_ = state_ * 1103515245u + 12345u;
        return static_cast<double>((state_ >> 8) & 0xFFFF) / 32767.5 - 1.0;
    }

private:
    std::uint32_t state_ = 2463534242u;
};


double wave_value(Layer::Wave wave, double phase)
{
    switch (wave) {
    case Layer::Wave::Sine: return std::sin(2 * M_PI * phase);
    case Layer::Wave::Square: return phase < 0.5 ? 1.0 : -1.0;
    case Layer::Wave::Saw: return 2.0 * phase - 1.0;
    case Layer::Wave::Triangle: return phase < 0.5 ? 4.0 * phase - 1.0 : 3.0 - 4.0 * phase;
    }
    return 0;
}

double envelope(const Layer &layer, double t_ms)
{
    const double rise = layer.attack_ms > 0 ? std::min(1.0, t_ms / layer.attack_ms) : 1.0;
    const double after_attack = std::max(0.0, t_ms - layer.attack_ms);
    const double fall = layer.decay_ms > 0 ? std::exp(-after_attack / layer.decay_ms) : 1.0;
    const double to_end = layer.length_ms - t_ms;
    const double release = std::min(1.0, to_end / EDGE_FADE_MS);
    return rise * fall * std::max(0.0, release);
}

} // namespace

const char *const WAVE_NAMES = "sine, square, saw or triangle";

bool wave_of_name(const std::string &name, Layer::Wave &wave)
{
    static const struct {
        const char *name;
        Layer::Wave wave;
    } waves[] = {{"sine", Layer::Wave::Sine},
                 {"square", Layer::Wave::Square},
                 {"saw", Layer::Wave::Saw},
                 {"triangle", Layer::Wave::Triangle}};
    for (const auto &w : waves)
        if (name == w.name) {
            wave = w.wave;
            return true;
        }
    return false;
}

Layer read_layer(const std::string &path, const SourceLine &line, size_t kind_word)
{
    const std::string kind = kind_word < line.words.size() ? line.words[kind_word] : "";
    if (kind != "noise" && kind != "tone")
        throw source_error(path, line, "a layer is '" + line.words[0] + " noise ...' or '" + line.words[0] + " tone ...'");
    Layer layer;
    layer.kind = kind == "noise" ? Layer::Kind::Noise : Layer::Kind::Tone;
    for (size_t i = kind_word + 1; i < line.words.size(); i++)
        set_layer_field(layer, path, line, line.words[i]);
    if (layer.length_ms <= 0)
        throw source_error(path, line, "a layer needs a length");
    return layer;
}

void add_layer(std::vector<double> &mix, const Layer &layer, int rate, int first, int last)
{
    Noise noise;
    OnePole low(layer.lowpass_hz, rate);
    OnePole high(layer.highpass_hz, rate);
    double phase = 0;
    const int begin = first + static_cast<int>(layer.start_ms * rate / 1000.0);
    const int count = static_cast<int>(layer.length_ms * rate / 1000.0);
    for (int i = 0; i < count && begin + i < last; i++) {
        const double t_ms = i * 1000.0 / rate;
        double x;
        if (layer.kind == Layer::Kind::Noise) {
            x = noise.next();
        } else {
            const double hz = layer.from_hz * std::pow(layer.to_hz / layer.from_hz, t_ms / layer.length_ms);
            x = wave_value(layer.wave, phase);
            phase = std::fmod(phase + hz / rate, 1.0);
        }
        if (layer.lowpass_hz > 0)
            x = low.lowpass(x);
        if (layer.highpass_hz > 0)
            x = high.highpass(x);
        mix[static_cast<size_t>(begin + i)] += x * envelope(layer, t_ms) * layer.gain;
    }
}

int SoundSource::length_samples() const { return static_cast<int>(std::lround(length_ms * rate / 1000.0)); }
int SoundSource::lead_samples() const { return static_cast<int>(std::lround(lead_ms * rate / 1000.0)); }
int SoundSource::tail_samples() const { return static_cast<int>(std::lround(tail_ms * rate / 1000.0)); }

SoundSource read_sound_source(const std::string &path)
{
    SoundSource source;
    source.path = path;
    for (const SourceLine &line : read_source(path)) {
        const std::string &what = line.words[0];
        const auto value = [&]() -> const std::string & {
            if (line.words.size() != 2)
                throw source_error(path, line, "'" + what + "' takes one value");
            return line.words[1];
        };
        if (what == "name")
            source.name = value();
        else if (what == "rate")
            source.rate = source_int(path, line, value());
        else if (what == "length")
            source.length_ms = positive(path, line, value());
        else if (what == "peak")
            source.peak = positive(path, line, value());
        else if (what == "lead")
            source.lead_ms = positive(path, line, value());
        else if (what == "tail")
            source.tail_ms = positive(path, line, value());
        else if (what == "layer")
            source.layers.push_back(read_layer(path, line, 1));
        else
            throw source_error(path, line, "unknown setting '" + what + "'");
    }
    check_source(source);
    return source;
}

std::vector<SoundSource> read_sound_sources(const std::string &dir)
{
    std::vector<SoundSource> sources;
    for (const std::string &path : text_files_in(dir))
        sources.push_back(read_sound_source(path));
    return sources;
}

std::vector<std::int16_t> render_sound(const SoundSource &source)
{
    const int length = source.length_samples();
    const int first = source.lead_samples();
    const int last = length - source.tail_samples();
    std::vector<double> mix(static_cast<size_t>(length), 0.0);
    for (const Layer &layer : source.layers)
        add_layer(mix, layer, source.rate, first, last);

    OnePole dc(DC_CUTOFF_HZ, source.rate);
    for (int i = first; i < last; i++)
        mix[static_cast<size_t>(i)] = dc.highpass(mix[static_cast<size_t>(i)]);
    // Fade the edges, then take out what is left of the mean in proportion
    // to the fade, so the ends stay silent and the sum is zero.
    const int fade = static_cast<int>(EDGE_FADE_MS * source.rate / 1000.0);
    std::vector<double> gate(mix.size(), 0.0);
    double sum = 0, gates = 0;
    for (int i = first; i < last; i++) {
        const size_t at = static_cast<size_t>(i);
        const int edge = std::min(i - first, last - 1 - i);
        gate[at] = std::min(1.0, static_cast<double>(edge) / fade);
        mix[at] *= gate[at];
        sum += mix[at];
        gates += gate[at];
    }
    const double offset = gates > 0 ? sum / gates : 0.0;
    for (int i = first; i < last; i++)
        mix[static_cast<size_t>(i)] -= offset * gate[static_cast<size_t>(i)];

    double loudest = 0;
    for (double x : mix)
        loudest = std::max(loudest, std::fabs(x));
    const double scale = loudest > 0 ? source.peak * FULL_SCALE / loudest : 0;
    std::vector<std::int16_t> samples(static_cast<size_t>(length), 0);
    for (int i = 0; i < length; i++)
        samples[static_cast<size_t>(i)] = static_cast<std::int16_t>(std::lround(mix[static_cast<size_t>(i)] * scale));
    return samples;
}
