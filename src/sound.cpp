#include "sound.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform.h"
#include "tolbrint.h"

namespace {

struct EffectRule {
    Effect effect;
    const char *name;
    int voices;   // at most this many at once
    int priority; // a lesser effect gives way to a greater one
};

const EffectRule effect_rules[EFFECT_COUNT] = {
    {Effect::LevelShot, "SHOT", 2, 0},     {Effect::DiagonalShot, "UPSHOT", 2, 0},
    {Effect::BulletHit, "HIT", 2, 1},      {Effect::Laser, "LASER", 2, 2},
    {Effect::Explosion, "EXPLOSION", 3, 3}, {Effect::Tent, "TENT", 1, 4},
    {Effect::Title, "TITLE", 1, 4},
};

const EffectRule &rule_of(Effect effect) { return effect_rules[static_cast<int>(effect)]; }

// Where a thing is heard: the screen's width spread over this much of the
// pan, and beyond the screen's edges it fades out over half a screen.
constexpr int SCREEN_WIDTH = 320;
constexpr int PAN_CENTRE = 128;
constexpr int PAN_SPREAD = 96;
constexpr int FADE_DISTANCE = 160;
constexpr int FULL_VOLUME = 255;
constexpr int MUSIC_VOICES = 2;

// Each sample's loudest level from every block on to its end, so that a
// voice half way through a fading sound leaves room for others.
constexpr int PEAK_BLOCK = 256;

struct LoadedEffect {
    SAMPLE *sample = nullptr;
    std::vector<double> peak_from; // per block of PEAK_BLOCK samples
};

struct VoiceState {
    int voice = -1;
    bool active = false; // started by us and not stopped since
    int volume = 0;
};

struct SoundSystem {
    bool device = false;
    bool muted = false;
    int volume = FULL_VOLUME;
    DATAFILE *datafile = nullptr;
    std::array<LoadedEffect, EFFECT_COUNT> effects;
    VoicePlan plan;
    std::vector<VoiceState> voices;
};

SoundSystem sound;
SoundObserver observer = nullptr;
MuteListener mute_listener = nullptr;

void say_silent(const std::string &why)
{
    std::fprintf(stderr, "tolbrint: %s; playing without sound\n", why.c_str());
}

std::vector<double> peaks_from(const SAMPLE *sample)
{
    const std::size_t length = sample->len * (sample->stereo ? 2 : 1);
    const std::size_t blocks = (length + PEAK_BLOCK - 1) / PEAK_BLOCK;
    std::vector<double> peaks(blocks + 1, 0.0);
    for (std::size_t i = length; i-- > 0;) {
        const double value = sample->bits == 8
                                 ? (static_cast<const unsigned char *>(sample->data)[i] - 128) / 127.0
                                 : (static_cast<const unsigned short *>(sample->data)[i] - 32768) / 32767.0;
        double &peak = peaks[i / PEAK_BLOCK];
        peak = std::max({peak, std::abs(value), peaks[i / PEAK_BLOCK + 1]});
    }
    return peaks;
}

std::string sounds_problem(const DATAFILE *datafile, std::array<LoadedEffect, EFFECT_COUNT> &effects)
{
    for (const EffectRule &rule : effect_rules) {
        const DATAFILE *entry = find_datafile_object(datafile, rule.name);
        if (!entry)
            return std::string("the sample ") + rule.name + " is missing";
        if (entry->type != DAT_SAMPLE)
            return std::string("the entry ") + rule.name + " is not a sound sample";
        SAMPLE *sample = static_cast<SAMPLE *>(entry->dat);
        if (sample->len == 0)
            return std::string("the sample ") + rule.name + " is empty";
        effects[static_cast<int>(rule.effect)] = {sample, peaks_from(sample)};
    }
    return "";
}

bool load_sounds()
{
    const std::string path = find_data_file("sounds.dat");
    std::string error;
    sound.datafile = load_checked_datafile(path, "sound datafile", error);
    if (!sound.datafile) {
        say_silent(error);
        return false;
    }
    const std::string problem = sounds_problem(sound.datafile, sound.effects);
    if (!problem.empty()) {
        say_silent(path + ": " + problem);
        return false;
    }
    for (const VoicePlan::Slot &slot : sound.plan.slots()) {
        VoiceState state;
        state.voice = allocate_voice(sound.effects[static_cast<int>(slot.effect)].sample);
        if (state.voice < 0) {
            say_silent("the sound driver has too few voices");
            return false;
        }
        sound.voices.push_back(state);
    }
    return true;
}

void release_sounds()
{
    for (VoiceState &state : sound.voices)
        if (state.voice >= 0)
            deallocate_voice(state.voice);
    sound.voices.clear();
    if (sound.datafile)
        unload_datafile(sound.datafile);
    sound.datafile = nullptr;
    sound.effects = {};
    sound.device = false;
}

double level_at(Effect effect, int position)
{
    const std::vector<double> &peaks = sound.effects[static_cast<int>(effect)].peak_from;
    const std::size_t block = static_cast<std::size_t>(position) / PEAK_BLOCK;
    return block < peaks.size() ? peaks[block] : 0.0;
}

// Brings the plan up to date with what the mixer is playing.
void refresh_plan()
{
    std::vector<VoicePlan::Slot> &slots = sound.plan.slots();
    for (std::size_t i = 0; i < slots.size(); i++) {
        VoiceState &state = sound.voices[i];
        const int position = state.active ? voice_get_position(state.voice) : -1;
        state.active = position >= 0;
        slots[i].playing = state.active;
        slots[i].level = state.active ? level_at(slots[i].effect, position) * state.volume / FULL_VOLUME : 0.0;
    }
}

void silence_slot(std::size_t i)
{
    if (sound.voices[i].active)
        voice_stop(sound.voices[i].voice);
    sound.voices[i].active = false;
}

void play(const SoundRequest &request)
{
    if (observer)
        observer(request);
    if (!sound_audible() || request.volume <= 0)
        return;
    const int volume = request.volume * sound.volume / FULL_VOLUME;
    if (volume <= 0)
        return;
    refresh_plan();
    double gain = 1.0;
    const int slot = sound.plan.place(request.effect, level_at(request.effect, 0) * volume / FULL_VOLUME, gain);
    const std::vector<VoicePlan::Slot> &slots = sound.plan.slots();
    for (std::size_t i = 0; i < slots.size(); i++)
        if (!slots[i].playing && sound.voices[i].active)
            silence_slot(i);
    if (slot < 0)
        return;
    VoiceState &state = sound.voices[static_cast<std::size_t>(slot)];
    silence_slot(static_cast<std::size_t>(slot));
    state.volume = std::max(1, static_cast<int>(volume * gain));
    voice_set_position(state.voice, 0);
    voice_set_volume(state.voice, state.volume);
    voice_set_pan(state.voice, request.pan);
    voice_start(state.voice);
    state.active = true;
}

void play_at(Effect effect, int x) { play(placed_request(effect, x)); }

void play_centred(Effect effect) { play({effect, PAN_CENTRE, FULL_VOLUME}); }

} // namespace

const char *effect_name(Effect effect) { return rule_of(effect).name; }

// ---------------------------------------------------------------------------
// The voice plan

VoicePlan::VoicePlan()
{
    for (const EffectRule &rule : effect_rules)
        for (int i = 0; i < rule.voices; i++)
            slots_.push_back({rule.effect});
}

int VoicePlan::voice_limit(Effect effect) { return rule_of(effect).voices; }

double VoicePlan::playing_level() const
{
    double sum = 0;
    for (const Slot &slot : slots_)
        if (slot.playing)
            sum += slot.level;
    return sum;
}

int VoicePlan::place(Effect effect, double level, double &gain)
{
    gain = 1.0;
    // The effect's own voice: a free one, or else its oldest.
    int chosen = -1;
    for (std::size_t i = 0; i < slots_.size(); i++) {
        const Slot &slot = slots_[i];
        if (slot.effect != effect)
            continue;
        if (chosen < 0 || !slot.playing ||
            (slots_[chosen].playing && slot.started < slots_[chosen].started))
            chosen = static_cast<int>(i);
        if (!slot.playing)
            break;
    }
    slots_[chosen].playing = false;
    // Room in the mix: lesser or equal effects give way, oldest first.
    const int priority = rule_of(effect).priority;
    while (playing_level() + level > ceiling()) {
        int oldest = -1;
        for (std::size_t i = 0; i < slots_.size(); i++) {
            const Slot &slot = slots_[i];
            if (slot.playing && rule_of(slot.effect).priority <= priority &&
                (oldest < 0 || slot.started < slots_[oldest].started))
                oldest = static_cast<int>(i);
        }
        if (oldest < 0)
            break;
        slots_[oldest].playing = false;
    }
    const double room = ceiling() - playing_level();
    if (level > room)
        gain = room > 0 ? room / level : 0.0;
    Slot &slot = slots_[chosen];
    slot.playing = gain > 0;
    slot.level = level * gain;
    slot.started = ++serial_;
    return gain > 0 ? chosen : -1;
}

// ---------------------------------------------------------------------------
// Starting, muting and the events

void start_sound(const SoundSettings &settings)
{
    sound.muted = settings.muted;
    sound.volume = std::clamp(settings.volume, 0, FULL_VOLUME);
    quieten_sound_library();
    // The effects' voices and the music's two.
    reserve_voices(static_cast<int>(sound.plan.slots().size()) + MUSIC_VOICES, 0);
    // One voice panned fully to a side reaches full scale; the plan keeps
    // the sum of all voices under it.
    set_volume_per_voice(1);
    // Two fragments of 1024 samples queued for the device, about 46 ms: a
    // shot is heard at once, and the mixer, woken every 10 ms, keeps up.
    static const char latency[] = "[sound]\nalsa_fragsize = 1024\nalsa_numfrags = 2\n";
    override_config_data(latency, sizeof latency - 1);
    if (install_sound(DIGI_AUTODETECT, MIDI_NONE, nullptr) != 0 || digi_card == DIGI_NONE) {
        const std::string cause = sound_library_complaint()[0] ? sound_library_complaint() : allegro_error;
        say_silent("no sound device (" + cause + ")");
        return;
    }
    sound.device = true;
    if (!load_sounds()) {
        release_sounds();
        remove_sound();
    }
}

void stop_sound()
{
    if (!sound.device)
        return;
    release_sounds();
    remove_sound();
}

bool sound_audible() { return sound.device && !sound.muted; }

bool sound_muted() { return sound.muted; }

void set_effects_volume(int volume) { sound.volume = std::clamp(volume, 0, FULL_VOLUME); }

bool sound_device_ready() { return sound.device; }

void set_mute_listener(MuteListener listener) { mute_listener = listener; }

void reserve_mix(double level) { sound.plan.reserve(level); }

void toggle_mute()
{
    sound.muted = !sound.muted;
    if (mute_listener)
        mute_listener(sound.muted);
    if (!sound.muted || !sound.device)
        return;
    for (std::size_t i = 0; i < sound.voices.size(); i++)
        silence_slot(i);
}

SoundRequest placed_request(Effect effect, int x)
{
    const long long screen_x = static_cast<long long>(x) - global_x;
    const long long on_screen = std::clamp<long long>(screen_x, 0, SCREEN_WIDTH);
    const int pan = static_cast<int>(PAN_CENTRE + (on_screen - SCREEN_WIDTH / 2) * PAN_SPREAD / (SCREEN_WIDTH / 2));
    const long long off_by = std::max(on_screen - screen_x, screen_x - on_screen);
    const long long volume = std::max(0LL, FULL_VOLUME - off_by * FULL_VOLUME / FADE_DISTANCE);
    return {effect, std::min(pan, 255), static_cast<int>(volume)};
}

void set_sound_observer(SoundObserver new_observer) { observer = new_observer; }

void sound_level_shot(int x) { play_at(Effect::LevelShot, x); }
void sound_diagonal_shot(int x) { play_at(Effect::DiagonalShot, x); }
void sound_bullet_hit(int x) { play_at(Effect::BulletHit, x); }
void sound_laser(int x) { play_at(Effect::Laser, x); }
void sound_explosion(int x) { play_at(Effect::Explosion, x); }
void sound_tent() { play_centred(Effect::Tent); }
void sound_title() { play_centred(Effect::Title); }
