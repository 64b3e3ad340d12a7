#include "headless.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "tolbrint.h"

namespace headless {

namespace {

const int ENTRY_COUNT = 143; // every level's pictures and the ending's
DATAFILE test_datafile[ENTRY_COUNT + 1];
PALETTE test_palette;

bool is_bitmap_entry(int index) { return index == 21 || index == 37 || index == 38 || index == 123 || index == 124 || index == 142; }

void build_test_datafile()
{
    for (int i = 0; i < ENTRY_COUNT; i++) {
        DATAFILE &entry = test_datafile[i];
        entry.prop = nullptr;
        if (i == 62 || i == 65) {
            entry.type = DAT_FONT;
            entry.dat = font;
        } else if (i == 100) {
            entry.type = DAT_PALETTE;
            entry.dat = test_palette;
        } else if (is_bitmap_entry(i)) {
            BITMAP *picture = create_bitmap_ex(8, i == 37 ? 75 : 320, i == 37 ? 100 : 200);
            clear_to_color(picture, entry_colour(i));
            entry.type = DAT_BITMAP;
            entry.dat = picture;
        } else {
            BITMAP *picture = create_bitmap_ex(8, SPRITE_SIZE, SPRITE_SIZE);
            clear_to_color(picture, entry_colour(i));
            entry.type = DAT_RLE_SPRITE;
            entry.dat = get_rle_sprite(picture);
            destroy_bitmap(picture);
        }
        entry.size = 0;
    }
    test_datafile[ENTRY_COUNT].type = DAT_END;
    test_datafile[ENTRY_COUNT].dat = nullptr;
}

} // namespace

void start()
{
    static bool started = false;
    if (!started) {
        if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0)
            throw std::runtime_error("cannot install Allegro without a display");
        set_color_depth(8);
        set_color_conversion(COLORCONV_NONE);
        build_test_datafile();
        buffer = create_bitmap_ex(8, 320, 240);
        buffer2 = create_bitmap_ex(8, 320, 240);
        buffer3 = create_bitmap_ex(8, 320, 240);
        started = true;
    }
    data1 = test_datafile;
    reset_game_state();
}

void reset_game_state()
{
    reset_view_and_hero();
    global_difference = 0;
    zarnjump = false;
    QUIT = false;
    zarnbullets.clear();
    eweapons.clear();
    clear_bitmap(buffer);
    clear_bitmap(buffer2);
    clear_bitmap(buffer3);
}

int entry_colour(int index) { return 128 + index; }

int count_colour(BITMAP *bitmap, int colour)
{
    int count = 0;
    for (int y = 0; y < bitmap->h; y++)
        for (int x = 0; x < bitmap->w; x++)
            if (getpixel(bitmap, x, y) == colour)
                count++;
    return count;
}

bool find_colour(BITMAP *bitmap, int colour, int &x, int &y)
{
    for (y = 0; y < bitmap->h; y++)
        for (x = 0; x < bitmap->w; x++)
            if (getpixel(bitmap, x, y) == colour)
                return true;
    return false;
}

namespace {
std::vector<std::string> directories_to_remove;

void remove_directories()
{
    for (const std::string &dir : directories_to_remove)
        if (std::system(("rm -rf '" + dir + "'").c_str()) != 0)
            std::fprintf(stderr, "cannot remove the scratch directory %s\n", dir.c_str());
}
} // namespace

std::string temp_dir()
{
    char pattern[] = "/tmp/tolbrint-test-XXXXXX";
    if (!mkdtemp(pattern))
        throw std::runtime_error("cannot make a temporary directory");
    if (directories_to_remove.empty())
        std::atexit(remove_directories);
    directories_to_remove.push_back(pattern);
    return pattern;
}

void write_file(const std::string &path, const std::string &text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

std::string read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

InDirectory::InDirectory(const std::string &dir)
{
    char here[4096];
    if (getcwd(here, sizeof here))
        previous_ = here;
    if (chdir(dir.c_str()) != 0)
        throw std::runtime_error("cannot enter " + dir);
}

InDirectory::~InDirectory()
{
    if (!previous_.empty() && chdir(previous_.c_str()) != 0)
        std::perror("chdir");
}

void release_all_keys()
{
    for (int k = 0; k < KEY_MAX; k++)
        key[k] = 0;
}

namespace {

std::string quoted(const std::string &word)
{
    std::string text = "'";
    for (char c : word)
        text += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return text + "'";
}

} // namespace

ProgramRun run_program(const std::string &program, const std::vector<std::string> &arguments,
                       const std::string &from, const std::string &scratch, const std::string &prefix)
{
    std::string command = "cd " + quoted(from) + " && " + prefix + " " + quoted(program);
    for (const std::string &argument : arguments)
        command += " " + quoted(argument);
    command += " >" + quoted(scratch + "/out") + " 2>" + quoted(scratch + "/err");
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, read_file(scratch + "/out"), read_file(scratch + "/err")};
}

} // namespace headless
