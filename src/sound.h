// Sound effects. The game calls one function per event ("a shot was fired at
// x"); this module alone holds the samples and the voices. Without a usable
// device or sounds.dat the game plays on in silence.
#ifndef TOLBRINT_SOUND_H
#define TOLBRINT_SOUND_H

#include <string>
#include <vector>

enum class Effect { LevelShot, DiagonalShot, BulletHit, Laser, Explosion, Tent, Title };
constexpr int EFFECT_COUNT = 7;

// The effect's sample name in sounds.dat.
const char *effect_name(Effect effect);

struct SoundSettings {
    bool muted = false;
    int volume = 255; // 0..255
};

// Installs the digital sound driver and loads sounds.dat. Any failure gives
// one line on stderr and silent play; the game never stops for sound.
void start_sound(const SoundSettings &settings);
void stop_sound();

// True while effects are heard: a device, the samples, and not muted.
bool sound_audible();
void toggle_mute();
bool sound_muted();
// True once a sound device is working, muted or not.
bool sound_device_ready();
// Someone told of every switch of the mute; null for none.
using MuteListener = void (*)(bool muted);
void set_mute_listener(MuteListener listener);
// The share of full scale the music can reach, which the effects leave to it.
void reserve_mix(double level);
// The player's volume, 0..255, from the next sound on.
void set_effects_volume(int volume);

// The events. x is a position on the world axis of the characters and
// projectiles, so the effect pans by where it shows on the screen.
void sound_level_shot(int x);
void sound_diagonal_shot(int x);
void sound_bullet_hit(int x);
void sound_laser(int x);
void sound_explosion(int x);
void sound_tent();
void sound_title();

// What an event asks of the mixer: the pan (0 left, 255 right) and the volume
// before the player's setting (0 when the thing is too far off the screen to
// be heard).
struct SoundRequest {
    Effect effect;
    int pan;
    int volume;
};

// Where a thing at world x is heard.
SoundRequest placed_request(Effect effect, int x);

// Sees every request the events make, heard or not. Null to stop.
using SoundObserver = void (*)(const SoundRequest &request);
void set_sound_observer(SoundObserver observer);

// The voices: each effect has a few of its own; a new sound of an effect
// whose voices are all busy restarts the oldest. The sum of what the playing
// voices can still reach stays below full scale: the voices of lesser
// effects make room, oldest first, and only then is the newcomer turned down.
class VoicePlan {
public:
    struct Slot {
        Effect effect;
        bool playing = false;
        double level = 0;        // the loudest the voice can still be, 0..1
        unsigned long long started = 0;
    };

    VoicePlan();

    // The voices of one effect at most.
    static int voice_limit(Effect effect);
    // The share of full scale that all voices together stay under.
    static constexpr double MIX_CEILING = 0.97;
    // The share of it held back for the music.
    void reserve(double level) { reserved_ = level; }
    double ceiling() const { return MIX_CEILING - reserved_; }

    // Chooses the slot for a new sound of the given loudest level. Slots to
    // be silenced are set not playing; returns the slot and, in gain, the
    // factor the newcomer is played at (1 unless it had to be turned down).
    int place(Effect effect, double level, double &gain);

    std::vector<Slot> &slots() { return slots_; }
    double playing_level() const;

private:
    std::vector<Slot> slots_;
    unsigned long long serial_ = 0;
    double reserved_ = 0;
};

#endif
