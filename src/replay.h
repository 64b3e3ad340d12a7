// Replays: a run's start and the command of every pass, kept in a file that
// plays the run again in the window, checks it with no display at all, or
// times it. Play asks this module for its commands, whether they come from
// the devices or from a file, and for the pace of its passes. The file's
// format is described in docs/replays.md.
#ifndef TOLBRINT_REPLAY_H
#define TOLBRINT_REPLAY_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "input.h"
#include "level.h"
#include "platform.h"

class Zarn;

constexpr int REPLAY_FORMAT = 1;
// A checkpoint of the game's state is kept every this many passes.
constexpr int CHECKPOINT_INTERVAL = 100;
// Passes a second at the game's pace.
constexpr int PASSES_PER_SECOND = 100;

// The game's state at the end of a pass: the numbers a difference is told
// by, and a hash of each part of the state.
struct Checkpoint {
    int pass = 0;
    int hero_x = 0; // his world position, global_x + shift_x
    int hero_y = 0; // shift_y
    int view_x = 0; // global_x
    int enemies = 0;
    int bullets = 0;
    int lasers = 0;
    uint32_t hero = 0;    // the hero and his steps, speeds and pictures
    uint32_t view = 0;    // the view, the panels' offsets and the recoloured palette entries
    uint32_t enemy = 0;   // every enemy, with its timers and parts
    uint32_t bullet = 0;  // every bullet of the hero's
    uint32_t laser = 0;   // every laser
};

// A level file as a run read it, at the start or for a reload.
struct ReplayLevel {
    LevelText level;
    std::string unreadable; // why the file could not be read; "" when it could
};

struct Replay {
    std::string game_version;
    uint32_t datafile_checksum = 0;
    uint32_t seed = 0;
    std::optional<int> start_x;
    std::vector<ReplayLevel> levels;     // the first is played from the start; each reload and exit takes the next
    std::vector<uint8_t> commands;       // every command read, one byte each (command_byte)
    std::vector<Checkpoint> checkpoints; // in pass order
};

// A command in one byte: the press in the low four bits (0 for none), the
// held actions of PLAY_HELD_ACTIONS in the high four.
uint8_t command_byte(const PassCommand &command);
PassCommand command_from_byte(uint8_t byte);

std::string encode_replay(const Replay &replay);
// False, with the problem in words, when bytes are not a whole replay of
// this format. Never trusts a size or a count it has not checked.
bool decode_replay(const std::string &bytes, Replay &replay, std::string &problem);

// The CRC-32 of bytes, as zlib and PNG compute it.
uint32_t crc32_of(const std::string &bytes);
// The CRC-32 of a file's bytes; false when it cannot be read.
bool file_checksum(const std::string &path, uint32_t &checksum);

// Reads a replay file and checks that this game can play it: its format,
// the game's version and the graphics datafile (by its checksum). False,
// with "FILE: the reason" in problem.
bool load_replay(const std::string &path, uint32_t datafile_checksum, Replay &replay, std::string &problem);

// Keeps a finished run in dir as last.tbr, the one before as last-1.tbr.
bool keep_last_run(const std::string &dir, const std::string &bytes, std::string &problem);

Checkpoint checkpoint_of(int pass, const Level &level, const Zarn &zarn);
// The first thing that differs, worded to follow "pass N: ", or "".
std::string checkpoint_difference(const Checkpoint &now, const Checkpoint &recorded);

// The game's random numbers, 0 to RAND_MAX of glibc (2^31 - 1): the title's
// stars and the shots' colours. The C library's rand gives other numbers
// on other systems, and a replay must play the same everywhere; this is
// glibc's, so that runs recorded with it replay unchanged.
void seed_game_random(std::uint32_t seed);
int game_random();

// A hash of what the player sees of a pass: the play view and the palette.
uint32_t frame_hash(BITMAP *frame, const RGB *palette);

// ---------------------------------------------------------------------------
// A run: where its commands come from, and its pace.

enum class PlayMode {
    live,     // the devices, at the game's pace
    playback, // a replay in the window at its pace, with the playback keys
    timedemo, // a replay as fast as it goes, every pass shown
    verify,   // a replay as fast as it goes, nothing shown, every checkpoint compared
};

// Starts a run. Its commands come from the devices (live) or from played,
// which must stay alive while the run goes on. Every command, level and
// checkpoint goes into the run's own replay, which starts as header.
void start_run(PlayMode mode, const Replay *played, const Replay &header);

// The command of this pass, the pass's press taken and acted on by play.
PassCommand next_pass_command();
// Waits in play for a press, a tent's message being up; false when the
// window was closed or the replay ran out.
bool wait_for_play_press();
// The level text a reload or an exit reads: the file's, or the replay's next.
ReplayLevel run_level_text(const std::string &path);

// Counts the pass and keeps, or compares, its checkpoint.
void pass_done(const Level &level, const Zarn &zarn);
// The replay ran out, was ended, or a checkpoint differed.
bool run_ended();
// Keeps, or compares, the checkpoint of the run's last pass.
void finish_run(const Level &level, const Zarn &zarn);

int passes_run();
PlayMode run_mode();
// The run as it went, a replay of its own.
const Replay &run_record();
// Whether the run was ever played live (from the start or after a takeover).
bool run_played_live();
// The first checkpoint that differed, "pass N: what", or "".
const std::string &run_mismatch();

// The pace. The clock restarts after a pause; pass_due waits for the next
// pass and answers false while no pass should run (playback paused).
void restart_pass_clock();
bool pass_due();
// Whether the pass just run is worth showing.
bool pass_shown();
// Whether the game rests a moment each pass (not when timing or verifying).
bool pass_rests();

// Writes the frame hash of every pass to path ("" for none).
void write_frame_hashes_to(const std::string &path);
void note_frame(BITMAP *frame, const RGB *palette);

#endif
