#include "music.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>

#include <allegro.h>

#include "datafile.h"
#include "sound.h"

namespace {

enum class Piece { Title, Desert, Canyon, Temple, Ending, None };
constexpr int PIECE_COUNT = 5;

struct PieceRule {
    Piece piece;
    const char *name;
    bool loops;
};

const PieceRule piece_rules[PIECE_COUNT] = {
    {Piece::Title, "TITLE_THEME", true}, {Piece::Desert, "DESERT", true}, {Piece::Canyon, "CANYON", true},
    {Piece::Temple, "TEMPLE", true},     {Piece::Ending, "ENDING", false},
};

// Each level's background and the loop in its mood; any other background
// plays the desert's.
const struct {
    const char *background;
    Piece piece;
} level_pieces[] = {{"DUNE1", Piece::Desert}, {"CANYON1", Piece::Canyon}, {"TEMPLE1", Piece::Temple}};

constexpr int FULL_VOLUME = 255;
// The music at its loudest setting plays at this share of a voice's full
// volume, so that it sits under the effects.
constexpr double MUSIC_SHARE = 0.65;
constexpr int CROSSFADE_MS = 500;

struct LoadedPiece {
    SAMPLE *sample = nullptr;
    double peak = 0; // the loudest sample, a share of full scale
};

struct MusicSystem {
    bool ready = false;
    bool paused = false;
    bool muted = false;
    int volume = 0;
    DATAFILE *datafile = nullptr;
    std::array<LoadedPiece, PIECE_COUNT> pieces;
    // Two voices, so that one piece fades out while the next fades in.
    std::array<int, 2> voices{-1, -1};
    std::array<Piece, 2> playing{Piece::None, Piece::None};
    int current = 0; // the voice of the piece heard now
};

MusicSystem music;

const PieceRule &rule_of(Piece piece) { return piece_rules[static_cast<int>(piece)]; }

double sample_peak(const SAMPLE *sample)
{
    int loudest = 0;
    const unsigned char *data = static_cast<const unsigned char *>(sample->data);
    for (unsigned long i = 0; i < sample->len; i++)
        loudest = std::max(loudest, std::abs(data[i] - 128));
    return loudest / 127.0;
}

// What is wrong with one piece of the datafile, "" when nothing.
std::string piece_problem(const DATAFILE *datafile, const PieceRule &rule, LoadedPiece &loaded)
{
    const DATAFILE *entry = find_datafile_object(datafile, rule.name);
    if (!entry)
        return std::string("the piece ") + rule.name + " is missing";
    SAMPLE *sample = static_cast<SAMPLE *>(entry->dat);
    if (entry->type != DAT_SAMPLE || sample->bits != 8 || sample->stereo)
        return std::string("the entry ") + rule.name + " is not an 8-bit mono sample";
    if (sample->len == 0)
        return std::string("the piece ") + rule.name + " is empty";
    const char *loop = get_datafile_property(entry, DAT_ID('L', 'O', 'O', 'P'));
    if (rule.loops) {
        char *end = nullptr;
        const long start = std::strtol(loop, &end, 10);
        if (!*loop || *end || start < 0 || static_cast<unsigned long>(start) >= sample->len)
            return std::string("the piece ") + rule.name + " has no loop point within it";
        sample->loop_start = static_cast<unsigned long>(start);
        sample->loop_end = sample->len;
    }
    loaded = {sample, sample_peak(sample)};
    return "";
}

bool load_music()
{
    const std::string path = find_data_file("music.dat");
    std::string error;
    music.datafile = load_checked_datafile(path, "music datafile", error);
    if (!music.datafile) {
        std::fprintf(stderr, "tolbrint: %s; playing without music\n", error.c_str());
        return false;
    }
    for (const PieceRule &rule : piece_rules) {
        const std::string problem = piece_problem(music.datafile, rule, music.pieces[static_cast<int>(rule.piece)]);
        if (!problem.empty()) {
            std::fprintf(stderr, "tolbrint: %s: %s; playing without music\n", path.c_str(), problem.c_str());
            return false;
        }
    }
    for (int &voice : music.voices) {
        voice = allocate_voice(music.pieces[0].sample);
        if (voice < 0) {
            std::fprintf(stderr, "tolbrint: the sound driver has too few voices; playing without music\n");
            return false;
        }
    }
    return true;
}

void release_music()
{
    for (int &voice : music.voices) {
        if (voice >= 0)
            deallocate_voice(voice);
        voice = -1;
    }
    music.playing = {Piece::None, Piece::None};
    if (music.datafile)
        unload_datafile(music.datafile);
    music.datafile = nullptr;
    music.pieces = {};
    music.ready = false;
    reserve_mix(0);
}

bool heard() { return music.ready && !music.paused && !music.muted; }

int voice_volume() { return static_cast<int>(music.volume * MUSIC_SHARE); }

// The most the music can reach, kept out of the effects' share of the mix:
// while two pieces cross, their volumes add up to one piece's.
void reserve_music_level()
{
    double peak = 0;
    for (int v = 0; v < 2; v++)
        if (music.playing[v] != Piece::None)
            peak = std::max(peak, music.pieces[static_cast<int>(music.playing[v])].peak);
    reserve_mix(heard() ? peak * voice_volume() / FULL_VOLUME : 0.0);
}

// A piece faded out by a crossfade is stopped, so it is not mixed on.
void drop_faded()
{
    const int old = 1 - music.current;
    if (music.playing[old] != Piece::None && voice_get_volume(music.voices[old]) == 0) {
        voice_stop(music.voices[old]);
        music.playing[old] = Piece::None;
    }
}

// Starts or stops the voices as the pause and the mute say.
void follow_state()
{
    drop_faded();
    for (int v = 0; v < 2; v++) {
        if (music.playing[v] == Piece::None)
            continue;
        const int voice = music.voices[v];
        if (!heard())
            voice_stop(voice);
        else if (voice_get_position(voice) >= 0 || rule_of(music.playing[v]).loops)
            voice_start(voice);
    }
    reserve_music_level();
}

void on_mute(bool muted)
{
    music.muted = muted;
    if (music.ready)
        follow_state();
}

// The piece heard from now on: the one playing fades out while this one
// fades in from its start.
void change_to(Piece piece)
{
    if (!music.ready || music.playing[music.current] == piece)
        return;
    drop_faded();
    const int old_voice = music.voices[music.current];
    if (music.playing[music.current] != Piece::None)
        voice_ramp_volume(old_voice, CROSSFADE_MS, 0);
    const int next = 1 - music.current;
    const int voice = music.voices[next];
    voice_stop(voice);
    const PieceRule &rule = rule_of(piece);
    reallocate_voice(voice, music.pieces[static_cast<int>(piece)].sample);
    voice_set_playmode(voice, rule.loops ? PLAYMODE_LOOP : PLAYMODE_PLAY);
    voice_set_position(voice, 0);
    voice_set_pan(voice, 128);
    voice_set_volume(voice, 0);
    music.playing[next] = piece;
    music.current = next;
    if (heard())
        voice_start(voice);
    voice_ramp_volume(voice, CROSSFADE_MS, voice_volume());
    reserve_music_level();
}

} // namespace

const char *level_piece(const std::string &background)
{
    Piece piece = Piece::Desert;
    for (const auto &level : level_pieces)
        if (background == level.background)
            piece = level.piece;
    return rule_of(piece).name;
}

void start_music(int volume)
{
    music.volume = std::clamp(volume, 0, FULL_VOLUME);
    music.muted = sound_muted();
    if (!sound_device_ready())
        return;
    if (!load_music()) {
        release_music();
        return;
    }
    music.ready = true;
    set_mute_listener(on_mute);
}

void stop_music()
{
    set_mute_listener(nullptr);
    if (music.ready || music.datafile)
        release_music();
}

void play_title_music() { change_to(Piece::Title); }

void play_level_music(const std::string &background)
{
    for (const PieceRule &rule : piece_rules)
        if (rule.name == std::string(level_piece(background)))
            change_to(rule.piece);
}

void play_ending_music() { change_to(Piece::Ending); }

void pause_music(bool paused)
{
    music.paused = paused;
    if (music.ready)
        follow_state();
}

void set_music_volume(int volume)
{
    music.volume = std::clamp(volume, 0, FULL_VOLUME);
    if (!music.ready)
        return;
    voice_set_volume(music.voices[music.current], voice_volume());
    reserve_music_level();
}
