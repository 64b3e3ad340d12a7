#include "replay.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "display.h"
#include "options.h"
#include "platform.h"
#include "sidefiles.h"
#include "tolbrint.h"
#include "zarn.h"

namespace {

const char MAGIC[] = "TBREPLAY";
constexpr std::size_t MAGIC_SIZE = sizeof MAGIC - 1;
// Larger than any run a player makes: a day of play.
constexpr std::uint64_t MOST_COMMANDS = 24ULL * 3600 * PASSES_PER_SECOND;
constexpr long long LARGEST_REPLAY_FILE = 64LL * 1024 * 1024;

// --- Commands in bytes ---

constexpr int PRESS_BITS = 0x0F;
constexpr int HELD_SHIFT = 4;
// Press codes: 0 none, 1 + the action's number, Action::none (a key no
// action uses) last.
constexpr int LAST_PRESS_CODE = 1 + static_cast<int>(Action::none);

// The command stream's tokens: a held token sets the held actions of the
// commands that follow; a press token is one command with that press and
// then a run of commands with none.
constexpr int HELD_TOKEN = 0xD0;
constexpr int RUN_IN_TOKEN = 15; // a run this long or longer has its length in a varint after the token

int press_code(std::uint8_t byte) { return byte & PRESS_BITS; }
int held_bits(std::uint8_t byte) { return byte >> HELD_SHIFT; }

// --- Bytes ---

class Writer {
public:
    void u8(unsigned value) { bytes_ += static_cast<char>(value & 0xFF); }
    void u16(unsigned value)
    {
        u8(value);
        u8(value >> 8);
    }
    void u32(std::uint32_t value)
    {
        for (int i = 0; i < 4; i++)
            u8(value >> (8 * i));
    }
    void varint(std::uint64_t value)
    {
        for (; value >= 0x80; value >>= 7)
            u8(static_cast<unsigned>(value & 0x7F) | 0x80);
        u8(static_cast<unsigned>(value));
    }
    void signed_varint(long long value)
    {
        varint(value < 0 ? ((static_cast<std::uint64_t>(-(value + 1))) << 1) | 1 : static_cast<std::uint64_t>(value) << 1);
    }
    void text(const std::string &value)
    {
        varint(value.size());
        bytes_ += value;
    }
    void raw(const std::string &value) { bytes_ += value; }
    const std::string &bytes() const { return bytes_; }

private:
    std::string bytes_;
};

struct Broken : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class Reader {
public:
    explicit Reader(const std::string &bytes, std::size_t end) : bytes_(bytes), end_(end) {}
    std::size_t left() const { return end_ - at_; }
    unsigned u8(const char *what)
    {
        if (at_ >= end_)
            throw Broken(std::string("it ends inside ") + what);
        return static_cast<unsigned char>(bytes_[at_++]);
    }
    unsigned u16(const char *what) { return u8(what) | u8(what) << 8; }
    std::uint32_t u32(const char *what)
    {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; i++)
            value |= static_cast<std::uint32_t>(u8(what)) << (8 * i);
        return value;
    }
    std::uint64_t varint(const char *what)
    {
        std::uint64_t value = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            const unsigned byte = u8(what);
            value |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
            if (!(byte & 0x80))
                return value;
        }
        throw Broken(std::string("its ") + what + " is too long a number");
    }
    // A count of things each at least min_size bytes long.
    std::size_t count(const char *what, std::size_t min_size, std::uint64_t most)
    {
        const std::uint64_t value = varint(what);
        if (value > most || value * min_size > left())
            throw Broken(std::string("its ") + what + " (" + std::to_string(value) + ") is more than it holds");
        return static_cast<std::size_t>(value);
    }
    int int_value(const char *what)
    {
        const std::uint64_t raw = varint(what);
        const long long value = (raw & 1) ? -static_cast<long long>(raw >> 1) - 1 : static_cast<long long>(raw >> 1);
        if (!fits_int(value))
            throw Broken(std::string("its ") + what + " is out of range");
        return static_cast<int>(value);
    }
    std::string text(const char *what)
    {
        const std::size_t size = count(what, 1, LARGEST_REPLAY_FILE);
        std::string value = bytes_.substr(at_, size);
        at_ += size;
        return value;
    }
    std::string raw(std::size_t size, const char *what)
    {
        if (size > left())
            throw Broken(std::string("it ends inside ") + what);
        std::string value = bytes_.substr(at_, size);
        at_ += size;
        return value;
    }

private:
    const std::string &bytes_;
    std::size_t end_;
    std::size_t at_ = 0;
};

std::string encode_commands(const std::vector<std::uint8_t> &commands)
{
    Writer out;
    int held = 0;
    for (std::size_t i = 0; i < commands.size();) {
        const std::uint8_t command = commands[i];
        if (held_bits(command) != held) {
            held = held_bits(command);
            out.u8(HELD_TOKEN | held);
        }
        const std::uint8_t idle = static_cast<std::uint8_t>(held << HELD_SHIFT);
        std::size_t run = 0;
        for (i++; i < commands.size() && commands[i] == idle; i++)
            run++;
        if (run < RUN_IN_TOKEN) {
            out.u8(press_code(command) << 4 | static_cast<unsigned>(run));
        } else {
            out.u8(press_code(command) << 4 | RUN_IN_TOKEN);
            out.varint(run - RUN_IN_TOKEN);
        }
    }
    return out.bytes();
}

std::vector<std::uint8_t> decode_commands(const std::string &stream, std::size_t count)
{
    Reader in(stream, stream.size());
    std::vector<std::uint8_t> commands;
    commands.reserve(count);
    int held = 0;
    while (in.left() > 0) {
        const unsigned token = in.u8("the commands");
        if ((token & 0xF0) == HELD_TOKEN) {
            held = token & 0x0F;
            continue;
        }
        const unsigned press = token >> 4;
        if (press > LAST_PRESS_CODE)
            throw Broken("its commands hold an unknown token " + std::to_string(token));
        std::uint64_t run = token & 0x0F;
        if (run == RUN_IN_TOKEN)
            run += in.varint("a run of commands");
        if (commands.size() >= count || run > count - commands.size() - 1)
            throw Broken("its commands are more than the " + std::to_string(count) + " it says it holds");
        commands.push_back(static_cast<std::uint8_t>(held << HELD_SHIFT | press));
        commands.insert(commands.end(), static_cast<std::size_t>(run), static_cast<std::uint8_t>(held << HELD_SHIFT));
    }
    if (commands.size() != count)
        throw Broken("its commands are fewer than the " + std::to_string(count) + " it says it holds");
    return commands;
}

void write_checkpoint(Writer &out, const Checkpoint &point, int previous_pass)
{
    out.varint(static_cast<std::uint64_t>(point.pass - previous_pass));
    for (int value : {point.hero_x, point.hero_y, point.view_x})
        out.signed_varint(value);
    for (int count : {point.enemies, point.bullets, point.lasers})
        out.varint(static_cast<std::uint64_t>(count));
    for (std::uint32_t hash : {point.hero, point.view, point.enemy, point.bullet, point.laser})
        out.u32(hash);
}

Checkpoint read_checkpoint(Reader &in, int previous_pass, std::size_t passes)
{
    Checkpoint point;
    const std::uint64_t step = in.varint("a checkpoint's pass");
    if (step == 0 || step > passes - static_cast<std::size_t>(previous_pass))
        throw Broken("a checkpoint's pass is out of order or past the last command");
    point.pass = previous_pass + static_cast<int>(step);
    point.hero_x = in.int_value("a checkpoint");
    point.hero_y = in.int_value("a checkpoint");
    point.view_x = in.int_value("a checkpoint");
    for (int *count : {&point.enemies, &point.bullets, &point.lasers}) {
        const std::uint64_t value = in.varint("a checkpoint");
        if (value > INT_MAX)
            throw Broken("a checkpoint's count is out of range");
        *count = static_cast<int>(value);
    }
    for (std::uint32_t *hash : {&point.hero, &point.view, &point.enemy, &point.bullet, &point.laser})
        *hash = in.u32("a checkpoint");
    return point;
}

// --- Hashes ---

class Hash {
public:
    Hash &add(long long value)
    {
        for (int i = 0; i < 8; i++)
            byte(static_cast<unsigned char>(value >> (8 * i)));
        return *this;
    }
    Hash &add(const std::string &text)
    {
        add(static_cast<long long>(text.size()));
        for (char c : text)
            byte(static_cast<unsigned char>(c));
        return *this;
    }
    void byte(unsigned char value)
    {
        value_ ^= value;
        value_ *= 16777619u;
    }
    std::uint32_t value() const { return value_; }

private:
    std::uint32_t value_ = 2166136261u; // FNV-1a
};

// A picture by its datafile entry: pointers differ from run to run.
long long picture_number(const void *picture)
{
    if (!picture || !data1)
        return -1;
    for (int i = 0; data1[i].type != DAT_END; i++)
        if (data1[i].dat == picture)
            return i;
    return -2;
}

void add_character(Hash &hash, const Character &c)
{
    hash.add(c.x).add(c.y).add(c.dx).add(c.dy).add(c.hit_points).add(c.start_x).add(c.start_y);
    hash.add(c.is_player).add(picture_number(c.sprite)).add(c.kind).add(c.facing);
}

void add_enemy(Hash &hash, const Enemy &enemy)
{
    add_character(hash, enemy);
    hash.add(enemy.action_timer).add(enemy.step_pause).add(enemy.anim_timer).add(enemy.dead);
    hash.add(enemy.death_timer).add(enemy.dying).add(enemy.flash_timer).add(enemy.flashing);
    hash.add(static_cast<long long>(enemy.parts.size()));
    for (const Enemy &part : enemy.parts)
        add_enemy(hash, part);
}

template <typename Shot>
std::uint32_t shots_hash(const std::vector<Shot> &shots)
{
    Hash hash;
    for (const Shot &s : shots)
        hash.add(s.start_x).add(s.start_y).add(s.x).add(s.y).add(s.dx).add(s.dy).add(s.move_countdown).add(s.kind)
            .add(s.hit).add(s.out_of_range);
    return hash.value();
}

// --- Files ---

// The whole file, or why it cannot be read, worded to follow "FILE: ".
bool read_replay_file(const std::string &path, std::string &bytes, std::string &problem)
{
    switch (read_regular_file(path, LARGEST_REPLAY_FILE, bytes)) {
    case ReadFailure::none:
        return true;
    case ReadFailure::cannot_open:
        problem = std::string("cannot open it: ") + std::strerror(errno);
        break;
    case ReadFailure::cannot_read:
        problem = std::string("cannot read it: ") + std::strerror(errno);
        break;
    case ReadFailure::not_regular:
        problem = "it is not a regular file";
        break;
    case ReadFailure::too_large:
        problem = "it is larger than any replay (64 MB)";
        break;
    }
    return false;
}

std::string hex(std::uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

} // namespace

// ---------------------------------------------------------------------------
// The file

std::uint8_t command_byte(const PassCommand &command)
{
    int held = 0;
    for (int bit = 0; bit < 4; bit++)
        if (command.held[static_cast<int>(PLAY_HELD_ACTIONS[bit])])
            held |= 1 << bit;
    const int press = command.pressed ? 1 + static_cast<int>(command.press) : 0;
    return static_cast<std::uint8_t>(held << HELD_SHIFT | press);
}

PassCommand command_from_byte(std::uint8_t byte)
{
    PassCommand command;
    const int press = press_code(byte);
    command.pressed = press != 0 && press <= LAST_PRESS_CODE;
    if (command.pressed)
        command.press = static_cast<Action>(press - 1);
    for (int bit = 0; bit < 4; bit++)
        command.held[static_cast<int>(PLAY_HELD_ACTIONS[bit])] = (held_bits(byte) >> bit) & 1;
    return command;
}

std::string encode_replay(const Replay &replay)
{
    Writer out;
    out.raw(MAGIC);
    out.u16(REPLAY_FORMAT);
    out.text(replay.game_version);
    out.u32(replay.datafile_checksum);
    out.u32(replay.seed);
    out.u8(replay.start_x.has_value());
    if (replay.start_x)
        out.signed_varint(*replay.start_x);
    out.varint(replay.levels.size());
    for (const ReplayLevel &level : replay.levels) {
        out.text(level.level.name);
        out.u8(level.unreadable.empty());
        out.text(level.unreadable.empty() ? level.level.text : level.unreadable);
    }
    out.varint(replay.commands.size());
    out.text(encode_commands(replay.commands));
    out.varint(replay.checkpoints.size());
    int previous = 0;
    for (const Checkpoint &point : replay.checkpoints) {
        write_checkpoint(out, point, previous);
        previous = point.pass;
    }
    out.u32(crc32_of(out.bytes()));
    return out.bytes();
}

bool decode_replay(const std::string &bytes, Replay &replay, std::string &problem)
{
    if (bytes.compare(0, MAGIC_SIZE, MAGIC) != 0) {
        problem = "not a replay (it does not start with " + std::string(MAGIC) + ")";
        return false;
    }
    try {
        if (bytes.size() < MAGIC_SIZE + 2 + 4)
            throw Broken("it is cut short");
        Reader in(bytes, bytes.size() - 4);
        in.raw(MAGIC_SIZE, "the magic word");
        const unsigned format = in.u16("the format");
        if (format != REPLAY_FORMAT)
            throw Broken("a replay of format " + std::to_string(format) + ", and this game reads format " +
                         std::to_string(REPLAY_FORMAT));
        Reader whole(bytes, bytes.size());
        whole.raw(bytes.size() - 4, "the replay");
        if (whole.u32("the checksum") != crc32_of(bytes.substr(0, bytes.size() - 4)))
            throw Broken("it is damaged or cut short (its checksum does not match)");

        Replay read;
        read.game_version = in.text("the game's version");
        read.datafile_checksum = in.u32("the datafile's checksum");
        read.seed = in.u32("the seed");
        const unsigned has_start_x = in.u8("the start");
        if (has_start_x > 1)
            throw Broken("its start is unreadable");
        if (has_start_x)
            read.start_x = in.int_value("the start x");
        const std::size_t levels = in.count("number of levels", 3, LARGEST_REPLAY_FILE);
        if (levels == 0)
            throw Broken("it holds no level");
        for (std::size_t i = 0; i < levels; i++) {
            ReplayLevel level;
            level.level.name = in.text("a level's name");
            const unsigned readable = in.u8("a level");
            if (readable > 1)
                throw Broken("a level of it is unreadable");
            (readable ? level.level.text : level.unreadable) = in.text("a level's text");
            read.levels.push_back(std::move(level));
        }
        if (!read.levels.front().unreadable.empty())
            throw Broken("its level could not be read when it was made");
        const std::size_t passes = static_cast<std::size_t>(in.varint("number of commands"));
        if (passes > MOST_COMMANDS)
            throw Broken("it says it holds " + std::to_string(passes) + " commands, more than a day of play");
        read.commands = decode_commands(in.text("the commands"), passes);
        const std::size_t checkpoints = in.count("number of checkpoints", 24, passes);
        int previous = 0;
        for (std::size_t i = 0; i < checkpoints; i++) {
            read.checkpoints.push_back(read_checkpoint(in, previous, passes));
            previous = read.checkpoints.back().pass;
        }
        if (in.left() != 0)
            throw Broken("it has " + std::to_string(in.left()) + " bytes more than a replay holds");
        replay = std::move(read);
        return true;
    } catch (const Broken &broken) {
        problem = broken.what();
        return false;
    }
}

std::uint32_t crc32_of(const std::string &bytes)
{
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; n++) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; k++)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : bytes)
        crc = table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

bool file_checksum(const std::string &path, std::uint32_t &checksum)
{
    std::string bytes, problem;
    if (!read_replay_file(path, bytes, problem))
        return false;
    checksum = crc32_of(bytes);
    return true;
}

bool load_replay(const std::string &path, std::uint32_t datafile_checksum, Replay &replay, std::string &problem)
{
    std::string bytes, why;
    Replay read;
    if (!read_replay_file(path, bytes, why) || !decode_replay(bytes, read, why)) {
        problem = path + ": " + why;
        return false;
    }
    if (read.game_version != game_version()) {
        problem = path + ": made by tolbrint " + read.game_version + ", and this is tolbrint " + game_version() +
                  "; play it with that version";
        return false;
    }
    if (read.datafile_checksum != datafile_checksum) {
        problem = path + ": made with another tolbrint.dat (checksum " + hex(read.datafile_checksum) +
                  ", this one's is " + hex(datafile_checksum) + ")";
        return false;
    }
    replay = std::move(read);
    return true;
}

bool keep_last_run(const std::string &dir, const std::string &bytes, std::string &problem)
{
    if (dir.empty()) {
        problem = "no home directory to keep it in";
        return false;
    }
    if (!make_directories(dir, problem))
        return false;
    const std::string last = dir + "/last.tbr";
    if (!replace_file(last, dir + "/last-1.tbr") && errno != ENOENT) {
        problem = "cannot keep the run before as " + dir + "/last-1.tbr: " + std::strerror(errno);
        return false;
    }
    return write_file_atomically(last, bytes, problem);
}

Checkpoint checkpoint_of(int pass, const Level &level, const Zarn &zarn)
{
    Checkpoint point;
    point.pass = pass;
    point.hero_x = clamp_to_int(static_cast<long long>(global_x) + shift_x);
    point.hero_y = shift_y;
    point.view_x = global_x;
    point.enemies = static_cast<int>(level.enemies.size() + level.header_enemies.size());
    point.bullets = static_cast<int>(zarnbullets.size());
    point.lasers = static_cast<int>(eweapons.size());

    Hash hero;
    add_character(hero, zarn);
    hero.add(zarn.walk_frame).add(zarn.pose_timer).add(zarn.fire_walk_frame).add(zarn.fall_ticks);
    hero.add(shift_x).add(shift_y).add(shift_xs).add(shift_ys).add(global_ys).add(zarnjump).add(global_difference);
    point.hero = hero.value();

    Hash view;
    view.add(global_x).add(global_y).add(global_xs).add(scroll_x_1).add(scroll_x_2).add(scroll_x_3);
    const RGB *palette = game_palette();
    for (int entry : {4, 7})
        view.add(palette[entry].r).add(palette[entry].g).add(palette[entry].b);
    point.view = view.value();

    Hash enemies;
    for (const std::vector<Enemy> *list : {&level.enemies, &level.header_enemies}) {
        enemies.add(static_cast<long long>(list->size()));
        for (const Enemy &enemy : *list)
            add_enemy(enemies, enemy);
    }
    point.enemy = enemies.value();
    point.bullet = shots_hash(zarnbullets);
    point.laser = shots_hash(eweapons);
    return point;
}

std::string checkpoint_difference(const Checkpoint &now, const Checkpoint &recorded)
{
    struct Number {
        const char *name;
        int now, recorded;
    };
    const Number numbers[] = {
        {"hero x", now.hero_x, recorded.hero_x},    {"hero y", now.hero_y, recorded.hero_y},
        {"view x", now.view_x, recorded.view_x},    {"enemies", now.enemies, recorded.enemies},
        {"bullets", now.bullets, recorded.bullets}, {"lasers", now.lasers, recorded.lasers},
    };
    for (const Number &number : numbers)
        if (number.now != number.recorded)
            return std::string(number.name) + " " + std::to_string(number.now) + ", replay says " +
                   std::to_string(number.recorded);
    struct Part {
        const char *name;
        std::uint32_t now, recorded;
    };
    const Part parts[] = {
        {"the hero's state", now.hero, recorded.hero},
        {"the view's state (offsets or shot colours)", now.view, recorded.view},
        {"the enemies' state", now.enemy, recorded.enemy},
        {"the bullets' state", now.bullet, recorded.bullet},
        {"the lasers' state", now.laser, recorded.laser},
    };
    for (const Part &part : parts)
        if (part.now != part.recorded)
            return std::string(part.name) + " differs (hash " + hex(part.now) + ", replay says " + hex(part.recorded) +
                   ")";
    return "";
}

uint32_t frame_hash(BITMAP *frame, const RGB *palette)
{
    Hash hash;
    for (int row = 0; row < STRIP_TOP && frame && row < frame->h; row++)
        for (int column = 0; column < frame->w; column++)
            hash.byte(frame->line[row][column]);
    for (int entry = 0; entry < 256; entry++) {
        hash.byte(palette[entry].r);
        hash.byte(palette[entry].g);
        hash.byte(palette[entry].b);
    }
    return hash.value();
}

// ---------------------------------------------------------------------------
// Random numbers

namespace {

// glibc's additive feedback generator: r[k] = r[k - 31] + r[k - 3], seeded
// by a Park-Miller sequence and run 310 steps before the first number.
class GameRandom {
public:
    explicit GameRandom(std::uint32_t seed) { reseed(seed); }
    void reseed(std::uint32_t seed)
    {
        constexpr int WARM_UP = 310;
        std::array<std::int32_t, LAG + WARM_UP + 3> r{};
        r[0] = static_cast<std::int32_t>(seed == 0 ? 1 : seed);
        for (int k = 1; k < LAG; k++)
            r[k] = static_cast<std::int32_t>((16807LL * r[k - 1]) % 2147483647LL);
        for (int k = 1; k < LAG; k++)
            if (r[k] < 0)
                r[k] += 2147483647;
        for (int k = LAG; k < LAG + 3; k++)
            r[k] = r[k - LAG];
        for (std::size_t k = LAG + 3; k < r.size(); k++)
            r[k] = static_cast<std::int32_t>(static_cast<std::uint32_t>(r[k - LAG]) + static_cast<std::uint32_t>(r[k - 3]));
        for (int k = 0; k < LAG; k++)
            ring_[k] = static_cast<std::uint32_t>(r[r.size() - LAG + k]);
        at_ = 0;
    }
    int next()
    {
        const std::uint32_t value = ring_[at_] + ring_[(at_ + LAG - 3) % LAG];
        ring_[at_] = value;
        at_ = (at_ + 1) % LAG;
        return static_cast<int>(value >> 1);
    }

private:
    static constexpr int LAG = 31;
    std::array<std::uint32_t, LAG> ring_{};
    int at_ = 0;
};

GameRandom game_random_numbers(1);

} // namespace

void seed_game_random(std::uint32_t seed) { game_random_numbers.reseed(seed); }

int game_random() { return game_random_numbers.next(); }

// ---------------------------------------------------------------------------
// A run

namespace {

using Clock = std::chrono::steady_clock;

// Passes start this far apart, so the game runs at the same speed on every
// machine that can keep up.
constexpr auto PASS_TIME = std::chrono::milliseconds(1000 / PASSES_PER_SECOND);
// A loop this far behind its timetable (a stalled machine) starts a new one
// instead of running the missed passes in a burst.
constexpr auto MAX_LAG = std::chrono::milliseconds(100);
// Holding F in playback runs this many passes in the time of one.
constexpr int FAST_FORWARD = 8;
// Passes behind the timetable are not shown, but a picture still comes at
// least this often: held F, every pass is a little late.
constexpr auto LONGEST_UNSHOWN = std::chrono::milliseconds(50);

struct Run {
    PlayMode mode = PlayMode::live;
    const Replay *played = nullptr; // until a takeover
    std::size_t next_command = 0;
    std::size_t next_level = 1;
    std::size_t next_checkpoint = 0;
    Replay record;
    int pass = 0;
    bool ended = false;
    bool played_live = true;
    std::string mismatch;

    // The pace.
    Clock::time_point next_pass = Clock::now();
    Clock::time_point last_shown = Clock::now();
    bool paused = false; // playback's own pause
    bool step = false;   // one pass, then paused again
    std::FILE *frame_hashes = nullptr;
};

Run run;

bool replay_exhausted() { return run.played && run.next_command >= run.played->commands.size(); }

// Every command goes through its byte, so the game runs on exactly what a
// replay of it will read.
PassCommand take_command(const PassCommand &read)
{
    const std::uint8_t byte = command_byte(read);
    run.record.commands.push_back(byte);
    const PassCommand command = command_from_byte(byte);
    set_current_command(command);
    return command;
}

PassCommand replayed_command() { return command_from_byte(run.played->commands[run.next_command++]); }

void compare_checkpoint(const Checkpoint &point)
{
    if (!run.played || !run.mismatch.empty())
        return;
    const std::vector<Checkpoint> &recorded = run.played->checkpoints;
    while (run.next_checkpoint < recorded.size() && recorded[run.next_checkpoint].pass < point.pass)
        run.next_checkpoint++;
    if (run.next_checkpoint >= recorded.size() || recorded[run.next_checkpoint].pass != point.pass)
        return;
    const std::string difference = checkpoint_difference(point, recorded[run.next_checkpoint]);
    if (!difference.empty()) {
        run.mismatch = "pass " + std::to_string(point.pass) + ": " + difference;
        if (run.mode == PlayMode::verify)
            run.ended = true;
    }
}

void keep_checkpoint(const Level &level, const Zarn &zarn)
{
    const Checkpoint point = checkpoint_of(run.pass, level, zarn);
    run.record.checkpoints.push_back(point);
    compare_checkpoint(point);
}

bool fast_forward() { return run.mode == PlayMode::playback && key_down(KEY_F); }

std::string held_names(const PassCommand &command)
{
    static const char *const names[] = {"LEFT", "RIGHT", "UP", "WALK-FIRE"};
    std::string text;
    for (int bit = 0; bit < 4; bit++)
        if (command.held[static_cast<int>(PLAY_HELD_ACTIONS[bit])])
            text += std::string("  ") + names[bit];
    return text;
}

void show_playback_strip()
{
    std::string line = "PASS " + std::to_string(run.pass) + held_names(current_command());
    if (run.paused)
        line += "  (PAUSED)";
    else if (fast_forward())
        line += "  (X8)";
    show_strip_text(line);
}

bool is_game_action(Action action)
{
    switch (action) {
    case Action::left: case Action::right: case Action::up: case Action::jump: case Action::fire:
    case Action::walk_fire: case Action::reload:
        return true;
    default:
        return false;
    }
}

// Play goes on live from this pass; the key acts in its first command.
void take_over(Action action)
{
    run.mode = PlayMode::live;
    run.played = nullptr;
    run.played_live = true;
    run.paused = false;
    gamepad().clear_presses();
    push_back_action(action);
    show_strip_text("");
    restart_pass_clock();
}

// Space (or the pause key) pauses and resumes, '.' steps while paused, the
// quit key ends; while paused, a game key takes over.
void answer_playback_keys()
{
    for (int scancode; (scancode = take_key()) != 0;) {
        const Action action = key_action(scancode, key_shifts);
        if (scancode == KEY_SPACE || action == Action::pause) {
            run.paused = !run.paused;
            restart_pass_clock();
        } else if (scancode == KEY_STOP && run.paused) {
            run.step = true;
        } else if (action == Action::quit) {
            run.ended = true;
        } else if (run.paused && is_game_action(action)) {
            take_over(action);
            return;
        }
    }
}

} // namespace

void start_run(PlayMode mode, const Replay *played, const Replay &header)
{
    std::FILE *frame_hashes = run.frame_hashes;
    run = Run();
    run.frame_hashes = frame_hashes;
    run.mode = played ? mode : PlayMode::live;
    run.played = played;
    run.played_live = !played;
    run.record = header;
    run.record.commands.clear();
    run.record.checkpoints.clear();
    run.record.levels.resize(std::min<std::size_t>(run.record.levels.size(), 1));
    set_current_command(PassCommand());
}

PassCommand next_pass_command()
{
    if (!run.played)
        return take_command(read_pass_command());
    if (replay_exhausted()) {
        run.ended = true;
        return take_command(PassCommand());
    }
    return take_command(replayed_command());
}

bool wait_for_play_press()
{
    for (;;) {
        if (close_requested())
            return false;
        PassCommand read;
        if (run.played) {
            if (replay_exhausted())
                return false;
            if (run.mode == PlayMode::playback && !fast_forward())
                rest_polling(static_cast<int>(PASS_TIME.count()));
            read = replayed_command();
        } else {
            rest_polling(static_cast<int>(PASS_TIME.count()));
            if (close_requested())
                return false;
            read = read_wait_command();
        }
        if (take_command(read).pressed)
            return true;
    }
}

ReplayLevel run_level_text(const std::string &path)
{
    ReplayLevel level;
    if (run.played) {
        if (run.next_level < run.played->levels.size())
            level = run.played->levels[run.next_level++];
        else
            level.unreadable = "the replay holds no level for this reload";
    } else {
        level.level.name = path;
        try {
            level.level = read_level_text(path);
        } catch (const LevelError &error) {
            level.unreadable = error.what();
        }
    }
    run.record.levels.push_back(level);
    return level;
}

void pass_done(const Level &level, const Zarn &zarn)
{
    run.pass++;
    if (run.pass % CHECKPOINT_INTERVAL == 0)
        keep_checkpoint(level, zarn);
}

bool run_ended() { return run.ended || replay_exhausted(); }

void finish_run(const Level &level, const Zarn &zarn)
{
    if (run.record.checkpoints.empty() || run.record.checkpoints.back().pass != run.pass)
        keep_checkpoint(level, zarn);
    if (!run.played || !run.mismatch.empty())
        return;
    const std::vector<Checkpoint> &recorded = run.played->checkpoints;
    if (!recorded.empty() && recorded.back().pass > run.pass)
        run.mismatch = "pass " + std::to_string(run.pass) + ": the game ended here, and the replay goes on to pass " +
                       std::to_string(recorded.back().pass);
    else if (!replay_exhausted() && run.mode == PlayMode::verify)
        run.mismatch = "pass " + std::to_string(run.pass) + ": the game ended here, and the replay has " +
                       std::to_string(run.played->commands.size() - run.next_command) + " commands more";
}

int passes_run() { return run.pass; }

PlayMode run_mode() { return run.mode; }

const Replay &run_record() { return run.record; }

bool run_played_live() { return run.played_live; }

const std::string &run_mismatch() { return run.mismatch; }

void restart_pass_clock() { run.next_pass = Clock::now(); }

bool pass_due()
{
    switch (run.mode) {
    case PlayMode::timedemo:
    case PlayMode::verify:
        return true;
    case PlayMode::playback:
        answer_playback_keys();
        if (run.mode == PlayMode::live || run.ended)
            return !run.ended;
        if (run.paused && !run.step) {
            show_playback_strip();
            present();
            rest(5);
            return false;
        }
        run.step = false;
        break;
    case PlayMode::live:
        break;
    }
    sleep_until(run.next_pass);
    return true;
}

bool pass_shown()
{
    switch (run.mode) {
    case PlayMode::timedemo:
        return true;
    case PlayMode::verify:
        return false;
    case PlayMode::playback:
    case PlayMode::live:
        break;
    }
    const bool fast = fast_forward();
    run.next_pass += fast ? PASS_TIME / FAST_FORWARD : PASS_TIME;
    const auto now = Clock::now();
    if (now > run.next_pass + MAX_LAG)
        run.next_pass = now;
    if (run.mode == PlayMode::playback)
        show_playback_strip();
    const bool shown = (now <= run.next_pass && (!fast || run.pass % FAST_FORWARD == 0)) ||
                       now - run.last_shown > LONGEST_UNSHOWN;
    if (shown)
        run.last_shown = now;
    return shown;
}

bool pass_rests() { return run.mode == PlayMode::live || run.mode == PlayMode::playback; }

void write_frame_hashes_to(const std::string &path)
{
    if (run.frame_hashes)
        std::fclose(run.frame_hashes);
    run.frame_hashes = path.empty() ? nullptr : std::fopen(path.c_str(), "w");
}

void note_frame(BITMAP *frame, const RGB *palette)
{
    if (run.frame_hashes)
        std::fprintf(run.frame_hashes, "%08x\n", frame_hash(frame, palette));
}
