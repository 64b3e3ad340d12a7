#include "level.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>

#include "eweapon.h"
#include "platform.h"
#include "sidefiles.h"
#include "tolbrint.h"

namespace {

const char *const DEBUG_FILE = "debuglevel.txt";
// Far more than any level needs; a bigger file is a mistake, not a level.
const long long LARGEST_LEVEL_FILE = 16LL * 1024 * 1024;
const char *const LARGEST_LEVEL_FILE_TEXT = "16 MB";
const char *const SECTION_END = "BREAK";
const char *const EXIT_WORD = "EXIT";
const char *const ARGUMENTS_END = "BREAK1";
const std::size_t LONGEST_QUOTED_TOKEN = 40;

// ---------------------------------------------------------------------------
// Reading the level file into memory

[[noreturn]] void fail_file(const std::string &filename, const std::string &problem)
{
    throw LevelError(filename + ": " + problem, 0, 0);
}

// The whole file; refuses what is not a regular file (a directory, or a pipe
// that would block) and anything larger than LARGEST_LEVEL_FILE.
std::string read_level_file(const std::string &filename)
{
    std::string text;
    const auto system_error = [](const char *doing) { return std::string(doing) + ": " + std::strerror(errno); };
    switch (read_regular_file(filename, LARGEST_LEVEL_FILE, text)) {
    case ReadFailure::none:
        return text;
    case ReadFailure::cannot_open:
        fail_file(filename, system_error("cannot open the level file"));
    case ReadFailure::cannot_read:
        fail_file(filename, system_error("cannot read the level file"));
    case ReadFailure::not_regular:
        fail_file(filename, "the level file is not a regular file");
    case ReadFailure::too_large:
        break;
    }
    fail_file(filename, std::string("the level file is larger than ") + LARGEST_LEVEL_FILE_TEXT);
}

// ---------------------------------------------------------------------------
// Reading tokens

// What a token is for, for messages: "y1" of "a scenery record".
struct Role {
    const char *field;
    const char *record = nullptr;

    std::string text() const { return record ? std::string(field) + " of " + record : field; }
};

struct Token {
    std::string text;
    int line;
    int column;
};

FilePlace place_of(const Token &token) { return {token.line, token.column}; }

bool is_space(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// A token as a message shows it: quoted, cut short, control bytes escaped.
std::string quoted(const std::string &token)
{
    static const char hex[] = "0123456789abcdef";
    std::string shown = "\"";
    const std::size_t length = std::min(token.size(), LONGEST_QUOTED_TOKEN);
    for (std::size_t i = 0; i < length; i++) {
        const unsigned char c = static_cast<unsigned char>(token[i]);
        if (c < 0x20 || c >= 0x7f) {
            shown += "\\x";
            shown += hex[c >> 4];
            shown += hex[c & 15];
        } else {
            shown += static_cast<char>(c);
        }
    }
    shown += "\"";
    if (token.size() > LONGEST_QUOTED_TOKEN)
        shown += " (cut short)";
    return shown;
}

// Sign and decimal digits from the start of text, as atoi and stream
// extraction read them. digits is 0 when there are none; fits is false
// when the number lies outside the int range.
struct LeadingNumber {
    std::size_t length = 0;
    std::size_t digits = 0;
    bool fits = true;
    int value = 0;
};

LeadingNumber leading_number(const std::string &text, std::size_t start)
{
    LeadingNumber number;
    std::size_t at = start;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        at++;
    }
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    long long magnitude = 0;
    for (; at < text.size() && is_digit(text[at]); at++, number.digits++) {
        if (number.fits)
            magnitude = magnitude * 10 + (text[at] - '0');
        if (magnitude > limit)
            number.fits = false;
    }
    number.length = at - start;
    if (number.fits)
        number.value = static_cast<int>(negative ? -magnitude : magnitude);
    return number;
}

const char *const ANY_INT = "an integer from -2147483648 to 2147483647";

// Reads a level file's tokens and knows where each one stands, so that a
// mistake can be reported by line and column.
class LevelReader {
public:
    LevelReader(const std::string &text, const std::string &name) : text_(text), name_(name) {}

    // A run of non-blank characters.
    Token word(Role role)
    {
        skip_blanks();
        if (at_end())
            fail_at_end("a word", role);
        Token token{std::string(), line_, column_};
        const std::size_t start = at_;
        while (!at_end() && !is_space(text_[at_]))
            advance();
        token.text = text_.substr(start, at_ - start);
        last_ = token.text;
        return token;
    }

    // A decimal integer as stream extraction reads it: optional sign, digits,
    // ending at the first character that cannot continue it, which then
    // starts the next token.
    int integer(Role role)
    {
        skip_blanks();
        if (at_end())
            fail_at_end("an integer", role);
        const LeadingNumber number = leading_number(text_, at_);
        if (number.digits == 0) {
            // "14x0" where two numbers are due is a bad first number, not
            // a second one that is missing.
            if (at_ == number_end_)
                fail(Token{last_number_.text + token_here().text, last_number_.line, last_number_.column},
                     "an integer", number_role_);
            fail(token_here(), "an integer", role);
        }
        if (!number.fits)
            fail(token_here(), ANY_INT, role);
        last_ = text_.substr(at_, number.length);
        last_number_ = Token{last_, line_, column_};
        number_role_ = role;
        for (std::size_t i = 0; i < number.length; i++)
            advance();
        number_end_ = at_;
        return number.value;
    }

    // The first field of a record, read as a word: its leading number as atoi
    // gives it, 0 when it has none.
    int lenient(const Token &token, Role role) const
    {
        const LeadingNumber number = leading_number(token.text, 0);
        if (!number.fits)
            fail(token, ANY_INT, role);
        return number.value;
    }

    [[noreturn]] void fail(const Token &found, const std::string &expected, Role role) const
    {
        fail_at(found.line, found.column, expected, role, quoted(found.text));
    }

    // The last token read, empty before the first.
    const std::string &last_token() const { return last_; }

    // Whether the next word is exactly text; nothing is read.
    bool next_word_is(const std::string &text)
    {
        skip_blanks();
        return !at_end() && token_here().text == text;
    }

    void set_last_token(const std::string &token) { last_ = token; }

    // Where the next token starts (the end of the file when there is none).
    FilePlace next_place()
    {
        skip_blanks();
        return {line_, column_};
    }

private:
    bool at_end() const { return at_ >= text_.size(); }

    void advance()
    {
        if (text_[at_] == '\n') {
            line_++;
            column_ = 1;
        } else {
            column_++;
        }
        at_++;
    }

    void skip_blanks()
    {
        while (!at_end() && is_space(text_[at_]))
            advance();
    }

    // The blank-delimited word at the read position, without reading it.
    Token token_here() const
    {
        std::size_t end = at_;
        while (end < text_.size() && !is_space(text_[end]))
            end++;
        return Token{text_.substr(at_, std::min(end - at_, LONGEST_QUOTED_TOKEN + 1)), line_, column_};
    }

    [[noreturn]] void fail_at_end(const std::string &expected, Role role) const
    {
        fail_at(line_, column_, expected, role, "the end of the file");
    }

    [[noreturn]] void fail_at(int line, int column, const std::string &expected, Role role,
                              const std::string &found) const
    {
        throw LevelError(name_ + ":" + std::to_string(line) + ":" + std::to_string(column) +
                             ": expected " + expected + " (" + role.text() + "), found " + found,
                         line, column);
    }

    const std::string &text_;
    const std::string name_;
    std::size_t at_ = 0;
    int line_ = 1;
    int column_ = 1;
    std::string last_;
    // The last integer read, and where it ended.
    Token last_number_{std::string(), 0, 0};
    Role number_role_{""};
    std::size_t number_end_ = std::string::npos;
};

// ---------------------------------------------------------------------------
// The sections of a level file

bool yes(const Token &token) { return token.text == "yes"; }

bool ends_section(const Token &token) { return token.text == SECTION_END; }

struct Background {
    const char *name;
    int entry;
};

const Background BACKGROUNDS[] = {{"DUNE1", 21}, {"CANYON1", 123}, {"TEMPLE1", 124}};

// A background the level names; the datafile must hold its picture (a
// datafile made for the first level alone has only the desert).
void read_background(Level &level, LevelReader &in, const Token &name, Role role)
{
    for (const Background &background : BACKGROUNDS) {
        if (name.text != background.name)
            continue;
        level.background = bitmap_entry(background.entry);
        level.background_name = name.text;
        if (data1 && !level.background)
            in.fail(name, "a background that the graphics datafile holds", role);
        return;
    }
    in.fail(name, "\"DUNE1\", \"CANYON1\" or \"TEMPLE1\"", role);
}

void read_header(Level &level, LevelReader &in)
{
    // The reader, once the place of the token it reads next is noted.
    auto noted = [&]() -> LevelReader & {
        level.places.header.push_back(in.next_place());
        return in;
    };
    level.header_value_1 = noted().integer({"header token 1"});
    level.header_value_2 = noted().integer({"header token 2"});
    const Role background_role{"header token 3, the background"};
    read_background(level, in, noted().word(background_role), background_role);
    level.scroll_x_enabled = yes(noted().word({"header token 4, the horizontal scrolling flag"}));
    level.scroll_y_enabled = yes(noted().word({"header token 5, the vertical scrolling flag"}));
    level.flag_3 = yes(noted().word({"header token 6"}));
    level.flag_4 = yes(noted().word({"header token 7"}));
    level.flag_5 = yes(noted().word({"header token 8"}));
    level.flag_6 = yes(noted().word({"header token 9"}));
    level.left_limit = noted().integer({"header token 10, the left scroll limit"});
    level.right_limit = noted().integer({"header token 11, the right scroll limit"});
    level.top_limit = noted().integer({"header token 12"});
    level.bottom_limit = noted().integer({"header token 13"});
    level.header_word_1 = noted().word({"header token 14"}).text;
    level.header_word_2 = noted().word({"header token 15"}).text;
    level.flag_7 = yes(noted().word({"header token 16"}));
}

void require_enemy_kind(const LevelReader &in, const Token &kind, Role role)
{
    if (!is_enemy_kind(kind.text))
        in.fail(kind, "\"ZOMBIE\", \"ROBO\", \"CACTUS\" or \"RHAND\"", role);
}

void read_sprite_name(LevelReader &in, std::string &name, const char *record)
{
    const Role role{"the sprite", record};
    const Token sprite = in.word(role);
    if (!is_scenery_sprite_name(sprite.text))
        in.fail(sprite, "a scenery sprite name", role);
    if (data1 && !scenery_pictures_present(sprite.text))
        in.fail(sprite, "a scenery sprite that the graphics datafile holds", role);
    name = sprite.text;
}

// Records: kind, x, y.
void read_header_enemies(Level &level, LevelReader &in)
{
    const char *record = "a header enemy";
    const Role next{"the kind of a header enemy or the \"BREAK\" that ends them"};
    for (Token kind = in.word(next); !ends_section(kind); kind = in.word(next)) {
        require_enemy_kind(in, kind, {"the kind", record});
        int x = in.integer({"x", record});
        int y = in.integer({"y", record});
        level.header_enemies.push_back(Enemy(x, y, kind.text));
        level.places.header_enemies.push_back(place_of(kind));
    }
}

void skip_two_words(LevelReader &in)
{
    in.word({"the first of two unused words after the header enemies"});
    in.word({"the second of two unused words after the header enemies"});
}

// Records: x1, y1, x2, y2, sprite; for plain and solid scenery alike.
template <typename Scenery>
void read_scenery(std::vector<Scenery> &list, std::vector<FilePlace> &places, LevelReader &in,
                  const char *record, const char *next_text)
{
    const Role next{next_text};
    for (Token first = in.word(next); !ends_section(first); first = in.word(next)) {
        int x1 = in.lenient(first, {"x1", record});
        int y1 = in.integer({"y1", record});
        int x2 = in.integer({"x2", record});
        int y2 = in.integer({"y2", record});
        std::string sprite;
        read_sprite_name(in, sprite, record);
        list.push_back(Scenery(x1, y1, x2, y2, sprite));
        places.push_back(place_of(first));
    }
}

void read_pass_through(LevelReader &in)
{
    const Role role{"the pass-through section, which holds no records"};
    const Token only = in.word(role);
    if (!ends_section(only))
        in.fail(only, "\"BREAK\"", role);
}

// A palm tree's pieces: the four crown pieces stand at the record's y, the
// trunk and its leaves at fixed heights whatever that y is.
struct PalmPiece {
    const char *sprite;
    int x_offset;
    bool at_record_y;
    int y1;
    int y2;
};

const PalmPiece PALM_TREE[] = {
    {"PALMS2", 0, true, 0, 0},    {"PALMS1", 20, true, 0, 0},   {"PALMS2", 50, true, 0, 0},
    {"PALMS1", 70, true, 0, 0},   {"BARK2", 35, false, 40, 160}, {"PALMT1", 35, false, 20, 20},
    {"PALMT2", 35, false, 0, 0},  {"PALMT2", 35, false, 40, 40}, {"PALMT1", 35, false, 60, 60},
};
const int PALM_TREE_REACH = 70; // the largest x offset
static_assert(sizeof PALM_TREE / sizeof PALM_TREE[0] == PALM_TREE_PIECES, "a palm tree's pieces");

void add_palm_tree(Level &level, int x, int y, FilePlace place)
{
    for (const PalmPiece &piece : PALM_TREE) {
        int x1 = x + piece.x_offset;
        int x2 = x1;
        int y1 = piece.at_record_y ? y : piece.y1;
        int y2 = piece.at_record_y ? y : piece.y2;
        std::string sprite = piece.sprite;
        level.objects.push_back(Object(x1, y1, x2, y2, sprite));
        level.places.objects.push_back(place);
    }
}

// Records: x, y, two unused integers, name; only "PALMTREE" builds anything.
void read_composites(Level &level, LevelReader &in)
{
    const char *record = "a composite record";
    const Role next{"x of a composite record or the \"BREAK\" that ends them"};
    for (Token first = in.word(next); !ends_section(first); first = in.word(next)) {
        const int x = in.lenient(first, {"x", record});
        const int y = in.integer({"y", record});
        const int third = in.integer({"the third value", record});
        const int fourth = in.integer({"the fourth value", record});
        const Token name = in.word({"the name", record});
        if (name.text != "PALMTREE")
            continue;
        if (x > INT_MAX - PALM_TREE_REACH)
            in.fail(first, "an x of at most " + std::to_string(INT_MAX - PALM_TREE_REACH),
                    {"x", "a \"PALMTREE\" record"});
        add_palm_tree(level, x, y, place_of(first));
        level.palm_trees.push_back({x, y, third, fourth});
    }
}

// Records: x, y, kind.
void read_enemies(Level &level, LevelReader &in)
{
    const char *record = "an enemy record";
    const Role next{"x of an enemy record or the \"BREAK\" that ends them"};
    for (Token first = in.word(next); !ends_section(first); first = in.word(next)) {
        int x = in.lenient(first, {"x", record});
        int y = in.integer({"y", record});
        Token kind = in.word({"the kind", record});
        require_enemy_kind(in, kind, {"the kind", record});
        level.enemies.push_back(Enemy(x, y, kind.text));
        level.places.enemies.push_back(place_of(first));
    }
}

// At most one record: x, y, the first argument, the procedure name, the
// further arguments up to "BREAK1". One more word follows it, the final
// word, which is returned.
Token read_portal_and_final_word(Level &level, LevelReader &in)
{
    const Token first = in.word({"x of the portal record or the \"BREAK\" that ends the level"});
    if (ends_section(first))
        return first;
    const char *record = "the portal record";
    int x = in.lenient(first, {"x", record});
    int y = in.integer({"y", record});
    std::vector<std::string> args;
    Token argument = in.word({"the portal's first argument or \"BREAK1\""});
    std::string procedure = in.word({"the procedure name", record}).text;
    const Role next_argument{"a further argument of the portal or the \"BREAK1\" that ends them"};
    for (; argument.text != ARGUMENTS_END; argument = in.word(next_argument))
        args.push_back(argument.text);
    level.portals.push_back(Portal(x, y, procedure, args));
    level.places.portals.push_back(place_of(first));
    return in.word({"the word after the portal record, \"BREAK\""});
}

bool bare_file_name(const std::string &name) { return name.find_first_of("/\\") == std::string::npos; }

// After a level's final "BREAK", "EXIT x NEXT" may follow: the way on to
// the level file NEXT, beside this one, or to the ending. Anything else
// after the final word is never looked at, as in every older level file.
void read_exit(Level &level, LevelReader &in, const Token &final_word)
{
    if (!ends_section(final_word) || !in.next_word_is(EXIT_WORD))
        return;
    const char *record = "the exit record";
    const FilePlace place = place_of(in.word({"the exit record"}));
    LevelExit way_out;
    way_out.x = in.integer({"x", record});
    const Role next_role{"the next level", record};
    const Token next = in.word(next_role);
    if (!bare_file_name(next.text))
        in.fail(next, "a level file name without a folder, or \"ENDING\"", next_role);
    way_out.next = next.text;
    level.level_exit = way_out;
    level.places.level_exit = place;
    // The debug file keeps the final word, as for a level without an exit.
    in.set_last_token(final_word.text);
}

void read_level(Level &level, LevelReader &in)
{
    read_header(level, in);
    read_header_enemies(level, in);
    skip_two_words(in);
    read_scenery(level.objects, level.places.objects, in, "a scenery record",
                 "x1 of a scenery record or the \"BREAK\" that ends them");
    read_scenery(level.solid_objects, level.places.solid_objects, in, "a solid record",
                 "x1 of a solid record or the \"BREAK\" that ends them");
    read_pass_through(in);
    read_composites(level, in);
    read_enemies(level, in);
    read_exit(level, in, read_portal_and_final_word(level, in));
}

// Emptied when loading starts; when it ends it holds the last token read
// (after a complete level, its final word).
std::ofstream start_debug_file() { return std::ofstream(side_file_path(DEBUG_FILE), std::ios::trunc); }

void note_last_token(std::ofstream &debug, const LevelReader &in)
{
    if (debug && !in.last_token().empty())
        debug << in.last_token() << '\n';
}

void load_level(Level &level, const std::string &text, const std::string &name, std::ofstream &debug)
{
    LevelReader in(text, name);
    try {
        read_level(level, in);
    } catch (const LevelError &) {
        note_last_token(debug, in);
        throw;
    }
    note_last_token(debug, in);
}

// ---------------------------------------------------------------------------
// Run time

// Updates every element once, removing each as soon as it reports itself
// gone; the element that moves down into a freed place is visited next.
template <typename Thing, typename Gone>
void update_removing(std::vector<Thing> &list, Gone gone)
{
    for (std::size_t i = 0; i < list.size();) {
        list[i].update();
        if (gone(list[i]))
            list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
        else
            i++;
    }
}

} // namespace

LevelText read_level_text(const std::string &filename) { return {read_level_file(filename), filename}; }

Level::Level(std::string filename)
{
    std::ofstream debug = start_debug_file();
    load_level(*this, read_level_file(filename), filename, debug);
}

Level::Level(const LevelText &source)
{
    std::ofstream debug = start_debug_file();
    load_level(*this, source.text, source.name, debug);
}

Level::~Level() = default;

void Level::display()
{
    if (background)
        for (const Panel &panel : panels())
            blit(background, panel.bitmap, 0, 0, 0, 0, 320, 200);
    for (Object &object : objects)
        object.display();
    for (Solid_Object &object : solid_objects)
        object.display();
    for (Enemy &enemy : enemies)
        enemy.display();
    for (Enemy &enemy : header_enemies)
        enemy.display();
    for (EWeapon &weapon : eweapons)
        weapon.display();
}

// Lasers that the enemies fire here are updated in the same call.
void Level::update()
{
    update_removing(enemies, [](Enemy &enemy) { return enemy.isDead(); });
    update_removing(header_enemies, [](Enemy &enemy) { return enemy.isDead(); });
    update_removing(eweapons, [](EWeapon &weapon) { return !weapon.active(); });
    for (Object &object : objects)
        object.update();
}

// Both limits are positions the view may still scroll to.
bool Level::scroll_x_violation_check(int position, int step)
{
    const long long target = static_cast<long long>(position) + step;
    scroll_x_violation = target > right_limit || target < left_limit;
    return scroll_x_violation;
}

// Every solid object is asked, even after one has answered.
bool Level::boundary_x_violation_check(int x, int y, int dx, int dy)
{
    boundary_x_violation = false;
    for (Solid_Object &object : solid_objects)
        boundary_x_violation = object.boundary_x_check(x, y, dx, dy) || boundary_x_violation;
    return boundary_x_violation;
}

// Every solid object is asked, so the last one hit on the way down sets the
// landing height.
bool Level::boundary_y_violation_check(int x, int y, int dx, int dy)
{
    boundary_y_violation = false;
    for (Solid_Object &object : solid_objects)
        boundary_y_violation = object.boundary_y_check(x, y, dx, dy) || boundary_y_violation;
    return boundary_y_violation;
}

bool Level::scroll_x_check() { return scroll_x_enabled; }

bool Level::scroll_y_check() { return scroll_y_enabled; }

bool Level::scroll_y_violation_check(int, int) { return scroll_y_violation; }

bool Level::enemy_violation_check(int, int) { return enemy_violation; }

void Level::portal_handler(Zarn &)
{
    for (Portal &portal : portals)
        if (portal.boundary_check())
            portal.call_procedure();
}
