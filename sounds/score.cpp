#include "score.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <stdexcept>

#include "source.h"

namespace {

constexpr int TICKS_PER_QUARTER = TICKS_PER_WHOLE / 4;
constexpr int MAX_VELOCITY = 127;
constexpr int MAX_VOICES = 8;
constexpr int MAX_REPEATS = 64;
// Enough for any piece the game plays, and far below where counts overflow
// or memory runs out.
constexpr long long MAX_TICKS = 3600LL * TICKS_PER_WHOLE;
constexpr double LONGEST_PIECE_S = 600;
constexpr double VIBRATO_HZ = 5.5;
constexpr double VIBRATO_DELAY_MS = 150;
constexpr double VIBRATO_RISE_MS = 120;
// A release is followed for this many time constants, then faded out.
constexpr double RELEASE_SPAN = 7;
constexpr double FINAL_FADE_MS = 3;
constexpr double EIGHT_BIT_SCALE = 127.0;

// Where the reading has got to, for errors that point at a word.
struct Place {
    const std::string &path;
    const SourceLine &line;
    size_t word;

    std::runtime_error error(const std::string &message) const
    {
        return source_error_at(path, line, word, message);
    }
    const std::string &text() const { return line.words[word]; }
};

double number_in(const Place &place, const std::string &word, double low, double high)
{
    char *end = nullptr;
    const double value = std::strtod(word.c_str(), &end);
    if (word.empty() || *end != '\0' || !std::isfinite(value))
        throw place.error("'" + word + "' is not a number");
    if (value < low || value > high)
        throw place.error("'" + word + "' should lie from " + std::to_string(static_cast<long long>(low)) +
                          " to " + std::to_string(static_cast<long long>(high)));
    return value;
}

int whole_in(const Place &place, const std::string &word, int low, int high)
{
    int value = 0;
    try {
        value = whole_number(word);
    } catch (const std::runtime_error &problem) {
        throw place.error(problem.what());
    }
    if (value < low || value > high)
        throw place.error("'" + word + "' should lie from " + std::to_string(low) + " to " + std::to_string(high));
    return value;
}

// "c", "f#", "bb": a pitch class, or -1.
int pitch_class(const std::string &name, size_t &used)
{
    static const int letters[] = {9, 11, 0, 2, 4, 5, 7}; // a..g
    used = 0;
    if (name.empty() || name[0] < 'a' || name[0] > 'g')
        return -1;
    int pitch = letters[name[0] - 'a'];
    used = 1;
    // After the letter, '#' sharpens and 'b' flattens ("bb" is B flat).
    if (name.size() > 1 && (name[1] == '#' || name[1] == 'b')) {
        pitch += name[1] == '#' ? 1 : -1;
        used = 2;
    }
    return (pitch + 12) % 12;
}

// "a4", "c#5", "bb3": a MIDI note number, or -1.
int midi_note(const std::string &name)
{
    size_t used = 0;
    const int pitch = pitch_class(name, used);
    if (pitch < 0 || used >= name.size() || name.size() - used != 1 || name[used] < '0' || name[used] > '8')
        return -1;
    // The letter's own octave: C flat belongs below its C, B sharp above its B.
    int octave = name[used] - '0';
    const int letter_pitch = pitch_class(name.substr(0, 1), used);
    if (letter_pitch == 0 && pitch == 11)
        octave--;
    if (letter_pitch == 11 && pitch == 0)
        octave++;
    return 12 * (octave + 1) + pitch;
}

// "/8", "/4.", "/1*2": a length in ticks.
int length_of(const Place &place, const std::string &text)
{
    size_t at = 0;
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])))
        at++;
    if (at == 0)
        throw place.error("a length is /N, N a whole number");
    const int division = whole_in(place, text.substr(0, at), 1, 64);
    if (TICKS_PER_WHOLE % division != 0)
        throw place.error("/" + std::to_string(division) + " is not a length music uses");
    int ticks = TICKS_PER_WHOLE / division;
    if (at < text.size() && text[at] == '.') {
        if (ticks % 2 != 0)
            throw place.error("/" + std::to_string(division) + " cannot be dotted");
        ticks += ticks / 2;
        at++;
    }
    if (at < text.size() && text[at] == '*') {
        ticks *= whole_in(place, text.substr(at + 1), 1, MAX_REPEATS);
        at = text.size();
    }
    if (at != text.size())
        throw place.error("'" + text + "' is not a length (/8, /4., /1*2)");
    return ticks;
}

void set_instrument_field(Instrument &instrument, const Place &place)
{
    const std::string &word = place.text();
    const size_t equals = word.find('=');
    if (equals == std::string::npos)
        throw place.error("'" + word + "' should be NAME=VALUE");
    const std::string key = word.substr(0, equals);
    const std::string value = word.substr(equals + 1);
    if (key == "wave") {
        if (!wave_of_name(value, instrument.wave))
            throw place.error("unknown wave '" + value + "' (" + WAVE_NAMES + ")");
        return;
    }
    if (key == "voices") {
        instrument.voices = whole_in(place, value, 1, MAX_VOICES);
        return;
    }
    static const struct {
        const char *key;
        double Instrument::*field;
        double high;
    } fields[] = {{"attack", &Instrument::attack_ms, 10000},     {"decay", &Instrument::decay_ms, 60000},
                  {"sustain", &Instrument::sustain, 1},          {"release", &Instrument::release_ms, 10000},
                  {"detune", &Instrument::detune_cents, 100},    {"vibrato", &Instrument::vibrato_cents, 200},
                  {"lowpass", &Instrument::lowpass_hz, 11000},   {"highpass", &Instrument::highpass_hz, 11000},
                  {"gain", &Instrument::gain, 10}};
    for (const auto &f : fields)
        if (key == f.key) {
            instrument.*f.field = number_in(place, value, 0, f.high);
            return;
        }
    throw place.error("unknown instrument setting '" + key + "'");
}

class ScoreReader {
public:
    ScoreReader(const std::string &path) { score_.path = path; }

    Score read(const std::vector<SourceLine> &lines)
    {
        for (const SourceLine &line : lines)
            read_line(line);
        if (pattern_)
            throw std::runtime_error(score_.path + ": the pattern '" + score_.patterns.back().name +
                                     "' has no 'end'");
        if (score_.name.empty())
            throw std::runtime_error(score_.path + ": no name");
        if (score_.steps.empty())
            throw std::runtime_error(score_.path + ": nothing is played (no 'play' line)");
        if (score_.loop_step >= static_cast<int>(score_.steps.size()))
            throw std::runtime_error(score_.path + ": nothing is played after 'loop'");
        return score_;
    }

private:
    Score score_;
    bool pattern_ = false; // inside pattern ... end
    bool have_key_ = false;

    Place at(const SourceLine &line, size_t word) const { return {score_.path, line, word}; }

    void read_line(const SourceLine &line)
    {
        if (pattern_) {
            if (line.words[0] == "end" && line.words.size() == 1)
                finish_pattern(line);
            else
                read_notes(line);
            return;
        }
        const std::string &what = line.words[0];
        if (what == "instrument")
            read_instrument(line);
        else if (what == "drum")
            read_drum(line);
        else if (what == "pattern")
            start_pattern(line);
        else if (what == "play")
            read_play(line);
        else if (what == "loop")
            read_loop(line);
        else if (what == "key")
            read_key(line);
        else
            read_setting(line);
    }

    const std::string &one_value(const SourceLine &line) const
    {
        if (line.words.size() != 2)
            throw at(line, 0).error("'" + line.words[0] + "' takes one value");
        return line.words[1];
    }

    void read_setting(const SourceLine &line)
    {
        const std::string &what = line.words[0];
        if (what != "name" && what != "tempo" && what != "meter" && what != "peak" && what != "rate")
            throw at(line, 0).error("unknown setting '" + what + "'");
        const std::string &value = one_value(line);
        const Place place = at(line, 1);
        if (what == "name")
            score_.name = value;
        else if (what == "tempo")
            score_.tempo = number_in(place, value, 20, 400);
        else if (what == "meter")
            score_.meter = whole_in(place, value, 1, 16);
        else if (what == "rate")
            score_.rate = whole_in(place, value, 22050, 65535);
        else
            score_.peak = number_in(place, value, 0, 1);
        if (what == "peak" && (score_.peak <= 0 || score_.peak >= 1))
            throw place.error("the peak must lie between 0 and 1 (full scale would clip)");
        if (what == "tempo" || what == "meter")
            if (!score_.patterns.empty())
                throw at(line, 0).error("'" + what + "' must come before the patterns");
    }

    void read_key(const SourceLine &line)
    {
        if (line.words.size() != 3 || (line.words[2] != "major" && line.words[2] != "minor"))
            throw at(line, 0).error("a key is 'key NOTE major' or 'key NOTE minor'");
        size_t used = 0;
        score_.key_root = pitch_class(line.words[1], used);
        if (score_.key_root < 0 || used != line.words[1].size())
            throw at(line, 1).error("'" + line.words[1] + "' is not a note name (c, f#, bb ...)");
        score_.minor = line.words[2] == "minor";
        have_key_ = true;
    }

    void check_new_name(const SourceLine &line, const std::string &name) const
    {
        const bool taken = std::any_of(score_.instruments.begin(), score_.instruments.end(),
                                       [&](const Instrument &i) { return i.name == name; }) ||
                           std::any_of(score_.patterns.begin(), score_.patterns.end(),
                                       [&](const Pattern &p) { return p.name == name; });
        if (taken || name == "drums" || name == "r")
            throw at(line, 1).error("the name '" + name + "' is already taken");
    }

    void read_instrument(const SourceLine &line)
    {
        if (line.words.size() < 2)
            throw at(line, 0).error("an instrument needs a name");
        check_new_name(line, line.words[1]);
        Instrument instrument;
        instrument.name = line.words[1];
        for (size_t i = 2; i < line.words.size(); i++)
            set_instrument_field(instrument, at(line, i));
        score_.instruments.push_back(instrument);
    }

    void read_drum(const SourceLine &line)
    {
        if (line.words.size() < 3)
            throw at(line, 0).error("a drum is 'drum NAME noise|tone ...'");
        const std::string &name = line.words[1];
        if (name.find_first_of("/@+|") != std::string::npos || name == "r")
            throw at(line, 1).error("a drum's name cannot be '" + name + "'");
        Layer layer;
        try {
            layer = read_layer(score_.path, line, 2);
        } catch (const std::runtime_error &problem) {
            // The layer reader names the file and line; point at the layer too.
            const std::string prefix = score_.path + ":" + std::to_string(line.number) + ": ";
            throw at(line, 2).error(std::string(problem.what()).substr(prefix.size()));
        }
        for (Drum &drum : score_.drums)
            if (drum.name == name) {
                drum.layers.push_back(layer);
                return;
            }
        score_.drums.push_back({name, {layer}});
    }

    void start_pattern(const SourceLine &line)
    {
        if (line.words.size() != 3)
            throw at(line, 0).error("a pattern is 'pattern NAME INSTRUMENT'");
        check_new_name(line, line.words[1]);
        Pattern pattern;
        pattern.name = line.words[1];
        pattern.drums = line.words[2] == "drums";
        if (!pattern.drums) {
            const auto &list = score_.instruments;
            const auto found = std::find_if(list.begin(), list.end(),
                                            [&](const Instrument &i) { return i.name == line.words[2]; });
            if (found == list.end())
                throw at(line, 2).error("no instrument '" + line.words[2] + "' above (or 'drums')");
            pattern.instrument = static_cast<int>(found - list.begin());
        }
        score_.patterns.push_back(pattern);
        pattern_ = true;
        last_length_ = TICKS_PER_QUARTER;
    }

    int last_length_ = TICKS_PER_QUARTER;

    int bar_ticks() const { return score_.meter * TICKS_PER_QUARTER; }

    void read_notes(const SourceLine &line)
    {
        Pattern &pattern = score_.patterns.back();
        for (size_t i = 0; i < line.words.size(); i++) {
            const Place place = at(line, i);
            if (place.text() == "|") {
                if (pattern.length % bar_ticks() != 0)
                    throw place.error("the bar line falls " + beats(pattern.length % bar_ticks()) +
                                      " into a bar of " + std::to_string(score_.meter));
                continue;
            }
            ScoreNote note = read_note(pattern, place);
            note.tick = pattern.length;
            pattern.length += note.length;
            if (pattern.length > MAX_TICKS)
                throw place.error("the pattern is too long");
            if (!note.sounds.empty())
                pattern.notes.push_back(note);
        }
    }

    static std::string beats(int ticks)
    {
        const double count = static_cast<double>(ticks) / TICKS_PER_QUARTER;
        char text[32];
        std::snprintf(text, sizeof text, "%g beats", count);
        return text;
    }

    ScoreNote read_note(const Pattern &pattern, const Place &place)
    {
        const std::string &word = place.text();
        const size_t slash = word.find('/');
        const size_t at_sign = word.find('@');
        if (at_sign != std::string::npos && slash != std::string::npos && at_sign < slash)
            throw place.error("the length comes before the velocity: NOTE/LENGTH@VELOCITY");
        const std::string head = word.substr(0, std::min(slash, at_sign));
        ScoreNote note;
        note.line = place.line.number;
        note.column = place.line.columns[place.word];
        note.length = last_length_;
        if (slash != std::string::npos)
            note.length = length_of(place, word.substr(slash + 1, at_sign == std::string::npos
                                                                      ? std::string::npos
                                                                      : at_sign - slash - 1));
        last_length_ = note.length;
        if (at_sign != std::string::npos)
            note.velocity = whole_in(place, word.substr(at_sign + 1), 1, MAX_VELOCITY);
        if (head == "r")
            return note;
        size_t from = 0;
        while (true) {
            const size_t plus = head.find('+', from);
            const std::string item = head.substr(from, plus - from);
            note.sounds.push_back(sound_of(pattern, place, item));
            if (plus == std::string::npos)
                break;
            from = plus + 1;
        }
        return note;
    }

    int sound_of(const Pattern &pattern, const Place &place, const std::string &item) const
    {
        if (pattern.drums) {
            for (size_t d = 0; d < score_.drums.size(); d++)
                if (score_.drums[d].name == item)
                    return static_cast<int>(d);
            throw place.error("no drum '" + item + "' above");
        }
        const int note = midi_note(item);
        if (note < 0)
            throw place.error("'" + item + "' is not a note (c4, f#3, bb5, r for a rest)");
        if (have_key_ && !in_key(score_, note))
            throw place.error("'" + item + "' is not in the key");
        return note;
    }

    void finish_pattern(const SourceLine &line)
    {
        if (score_.patterns.back().length == 0)
            throw at(line, 0).error("the pattern '" + score_.patterns.back().name + "' holds no notes");
        pattern_ = false;
    }

    void read_play(const SourceLine &line)
    {
        Step step;
        for (size_t i = 1; i < line.words.size(); i++) {
            const std::string &word = line.words[i];
            if (word.size() > 1 && word[0] == 'x' && std::isdigit(static_cast<unsigned char>(word[1])) &&
                i + 1 == line.words.size()) {
                step.repeats = whole_in(at(line, i), word.substr(1), 1, MAX_REPEATS);
                continue;
            }
            const auto &list = score_.patterns;
            const auto found = std::find_if(list.begin(), list.end(), [&](const Pattern &p) { return p.name == word; });
            if (found == list.end())
                throw at(line, i).error("no pattern '" + word + "' above");
            step.patterns.push_back(static_cast<int>(found - list.begin()));
            step.length = std::max(step.length, found->length);
        }
        if (step.patterns.empty())
            throw at(line, 0).error("'play' names no pattern");
        for (size_t i = 0; i < step.patterns.size(); i++) {
            const Pattern &pattern = score_.patterns[static_cast<size_t>(step.patterns[i])];
            if (step.length % pattern.length != 0)
                throw at(line, i + 1).error("'" + pattern.name + "' (" + beats(pattern.length) +
                                            ") does not fit evenly into " + beats(step.length));
        }
        const long long ticks = score_.total_ticks() + static_cast<long long>(step.length) * step.repeats;
        if (ticks > MAX_TICKS || score_.sample_at(ticks) > LONGEST_PIECE_S * score_.rate)
            throw at(line, 0).error("the piece is longer than ten minutes");
        score_.steps.push_back(step);
    }

    void read_loop(const SourceLine &line)
    {
        if (line.words.size() != 1)
            throw at(line, 1).error("'loop' takes nothing after it");
        if (score_.loops())
            throw at(line, 0).error("a piece has one loop point");
        score_.loop_step = static_cast<int>(score_.steps.size());
    }
};

// ---------------------------------------------------------------------------
// Rendering

// The correction that takes the corner out of a jump in a wave at phase 0,
// so square and saw waves do not alias (a polynomial band-limited step).
double blep(double phase, double step)
{
    if (phase < step) {
        const double t = phase / step;
        return t + t - t * t - 1.0;
    }
    if (phase > 1.0 - step) {
        const double t = (phase - 1.0) / step;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

double oscillator(Layer::Wave wave, double phase, double step)
{
    switch (wave) {
    case Layer::Wave::Sine: return std::sin(2 * M_PI * phase);
    case Layer::Wave::Saw: return 2.0 * phase - 1.0 - blep(phase, step);
    case Layer::Wave::Square: {
        const double half = std::fmod(phase + 0.5, 1.0);
        return (phase < 0.5 ? 1.0 : -1.0) + blep(phase, step) - blep(half, step);
    }
    case Layer::Wave::Triangle: return phase < 0.5 ? 4.0 * phase - 1.0 : 3.0 - 4.0 * phase;
    }
    return 0;
}

// The level of a note t ms after it starts, held for length ms.
double note_envelope(const Instrument &instrument, double t, double length, double end)
{
    const auto held = [&](double at) {
        if (at < instrument.attack_ms)
            return at / instrument.attack_ms;
        if (instrument.decay_ms <= 0)
            return 1.0;
        const double fall = std::exp(-(at - instrument.attack_ms) / instrument.decay_ms);
        return instrument.sustain + (1.0 - instrument.sustain) * fall;
    };
    if (t < length)
        return held(t);
    const double after = t - length;
    double level = held(length);
    if (instrument.release_ms > 0)
        level *= std::exp(-after / instrument.release_ms);
    // The very end fades to nothing over a few ms.
    return level * std::clamp((end - t) / FINAL_FADE_MS, 0.0, 1.0);
}

void add_note(std::vector<double> &mix, const Instrument &instrument, int midi, double gain, long long first,
              double length_ms, int rate)
{
    const double release_span = instrument.release_ms > 0 ? instrument.release_ms * RELEASE_SPAN : 0;
    const double end_ms = length_ms + release_span + FINAL_FADE_MS;
    const long long count = static_cast<long long>(end_ms * rate / 1000.0);
    const double hz = 440.0 * std::pow(2.0, (midi - 69) / 12.0);
    // Each voice's phase and its share of the detune, as a step a sample.
    std::vector<double> phases(static_cast<size_t>(instrument.voices));
    std::vector<double> steps(phases.size());
    for (int v = 0; v < instrument.voices; v++) {
        const double spread =
            instrument.voices > 1 ? instrument.detune_cents * (static_cast<double>(v) / (instrument.voices - 1) - 0.5)
                                  : 0.0;
        phases[static_cast<size_t>(v)] = static_cast<double>(v) / instrument.voices;
        steps[static_cast<size_t>(v)] = hz * std::pow(2.0, spread / 1200.0) / rate;
    }
    OnePole low1(instrument.lowpass_hz, rate), low2(instrument.lowpass_hz, rate);
    OnePole high1(instrument.highpass_hz, rate), high2(instrument.highpass_hz, rate);
    for (long long i = 0; i < count && first + i < static_cast<long long>(mix.size()); i++) {
        const double t = i * 1000.0 / rate;
        double bend = 1.0;
        if (instrument.vibrato_cents > 0 && t > VIBRATO_DELAY_MS) {
            const double rise = std::min(1.0, (t - VIBRATO_DELAY_MS) / VIBRATO_RISE_MS);
            bend = std::pow(2.0, instrument.vibrato_cents * rise * std::sin(2 * M_PI * VIBRATO_HZ * t / 1000.0) / 1200.0);
        }
        double x = 0;
        for (size_t v = 0; v < phases.size(); v++) {
            const double step = steps[v] * bend;
            x += oscillator(instrument.wave, phases[v], step);
            phases[v] = std::fmod(phases[v] + step, 1.0);
        }
        x /= std::sqrt(static_cast<double>(instrument.voices));
        if (instrument.lowpass_hz > 0)
            x = low2.lowpass(low1.lowpass(x));
        if (instrument.highpass_hz > 0)
            x = high2.highpass(high1.highpass(x));
        if (first + i >= 0)
            mix[static_cast<size_t>(first + i)] += x * gain * note_envelope(instrument, t, length_ms, end_ms);
    }
}

// How far past its end a sound may ring, in samples.
long long ring_samples(const Score &score)
{
    double longest = 0;
    for (const Instrument &instrument : score.instruments)
        longest = std::max(longest, instrument.release_ms * RELEASE_SPAN + FINAL_FADE_MS);
    for (const Drum &drum : score.drums)
        for (const Layer &layer : drum.layers)
            longest = std::max(longest, layer.start_ms + layer.length_ms);
    return static_cast<long long>(longest * score.rate / 1000.0) + 2;
}

// The pattern from start_tick on, moved on by shift samples.
void add_pattern(std::vector<double> &mix, const Score &score, const Pattern &pattern, long long start_tick,
                 long long shift)
{
    for (const ScoreNote &note : pattern.notes) {
        const long long first = score.sample_at(start_tick + note.tick) + shift;
        const double gain = static_cast<double>(note.velocity) / MAX_VELOCITY;
        if (pattern.drums) {
            for (int d : note.sounds)
                for (Layer layer : score.drums[static_cast<size_t>(d)].layers) {
                    layer.gain *= gain;
                    add_layer(mix, layer, score.rate, static_cast<int>(first), static_cast<int>(mix.size()));
                }
            continue;
        }
        const Instrument &instrument = score.instruments[static_cast<size_t>(pattern.instrument)];
        const double length_ms =
            static_cast<double>(score.sample_at(start_tick + note.tick + note.length) + shift - first) * 1000.0 /
            score.rate;
        for (int midi : note.sounds)
            add_note(mix, instrument, midi, gain * instrument.gain, first, length_ms, score.rate);
    }
}

// Repeatable triangular dither, so every build makes the same file.
class Dither {
public:
    double next() { return uniform() + uniform(); }

private:
    double uniform()
    {
        state_ = state_ * 1664525u + 1013904223u;
        return static_cast<double>(state_ >> 8) / 16777216.0 - 0.5;
    }
    std::uint32_t state_ = 22222u;
};

} // namespace

int Score::total_ticks() const
{
    int total = 0;
    for (const Step &step : steps)
        total += step.length * step.repeats;
    return total;
}

int Score::loop_tick() const
{
    int tick = 0;
    for (int i = 0; i < loop_step && i < static_cast<int>(steps.size()); i++)
        tick += steps[static_cast<size_t>(i)].length * steps[static_cast<size_t>(i)].repeats;
    return tick;
}

long long Score::sample_at(long long tick) const
{
    const double seconds = static_cast<double>(tick) / TICKS_PER_QUARTER * 60.0 / tempo;
    return std::llround(seconds * rate);
}

bool in_key(const Score &score, int midi_note)
{
    static const bool major[12] = {1, 0, 1, 0, 1, 1, 0, 1, 0, 1, 0, 1};
    // Natural minor, with the raised sixth and seventh.
    static const bool minor[12] = {1, 0, 1, 1, 0, 1, 0, 1, 1, 1, 1, 1};
    const int degree = ((midi_note - score.key_root) % 12 + 12) % 12;
    return score.minor ? minor[degree] : major[degree];
}

Score parse_score(const std::string &path, const std::vector<SourceLine> &lines)
{
    return ScoreReader(path).read(lines);
}

Score read_score(const std::string &path) { return parse_score(path, read_source(path)); }

std::vector<Score> read_scores(const std::string &dir)
{
    std::vector<Score> scores;
    for (const std::string &path : text_files_in(dir))
        scores.push_back(read_score(path));
    return scores;
}

// Plays the steps from first on, from tick on, moved on by shift samples,
// into mix.
void add_steps(std::vector<double> &mix, const Score &score, std::size_t first, long long tick, long long shift)
{
    for (std::size_t s = first; s < score.steps.size(); s++) {
        const Step &step = score.steps[s];
        for (int r = 0; r < step.repeats; r++, tick += step.length)
            for (int p : step.patterns) {
                const Pattern &pattern = score.patterns[static_cast<size_t>(p)];
                for (long long at = 0; at < step.length; at += pattern.length)
                    add_pattern(mix, score, pattern, tick + at, shift);
            }
    }
}

RenderedPiece render_score(const Score &score)
{
    const long long length = score.sample_at(score.total_ticks());
    const long long ring = ring_samples(score);
    RenderedPiece piece;
    std::vector<double> mix;
    if (score.loops()) {
        // The loop is played on past the end for as long as a sound can
        // ring, and the loop point moved on by as much: from there on every
        // sample is what the same moment of the loop's next time through
        // holds, the tails of the time before included, so the wrap joins
        // exactly, and the first time into the loop has no tails it should
        // not have.
        // Each time through starts a whole number of samples after the
        // last, so that every time is the same to the sample.
        mix.assign(static_cast<size_t>(length + 2 * ring), 0.0);
        add_steps(mix, score, 0, 0, 0);
        const long long loop_sample = score.sample_at(score.loop_tick());
        for (long long shift = length - loop_sample; loop_sample + shift < length + ring; shift += length - loop_sample)
            add_steps(mix, score, static_cast<std::size_t>(score.loop_step), score.loop_tick(), shift);
        mix.resize(static_cast<size_t>(length + ring));
        piece.loop_start = static_cast<int>(loop_sample + ring);
    } else {
        mix.assign(static_cast<size_t>(length + ring), 0.0);
        add_steps(mix, score, 0, 0, 0);
    }
    double loudest = 0;
    for (double x : mix)
        loudest = std::max(loudest, std::fabs(x));
    const double scale = loudest > 0 ? score.peak * EIGHT_BIT_SCALE / loudest : 0;
    // A piece played once rings out until it falls below the last 8-bit step.
    if (!score.loops()) {
        while (mix.size() > 1 && std::fabs(mix.back()) * scale < 0.5)
            mix.pop_back();
        const std::size_t fade = std::min(mix.size(), static_cast<std::size_t>(score.rate * FINAL_FADE_MS / 1000));
        for (std::size_t i = 0; i < fade; i++)
            mix[mix.size() - 1 - i] *= static_cast<double>(i) / fade;
    }
    Dither dither;
    piece.samples.reserve(mix.size());
    for (double x : mix) {
        const double value = std::round(x * scale + dither.next());
        piece.samples.push_back(static_cast<std::int8_t>(std::clamp(value, -EIGHT_BIT_SCALE, EIGHT_BIT_SCALE)));
    }
    return piece;
}
