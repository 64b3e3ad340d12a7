// The program's entry, the shared game state, start-up and shutdown.
#include "tolbrint.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "intro.h"
#include "level.h"
#include "zarn.h"

#ifndef TOLBRINT_DATA_DIR
#define TOLBRINT_DATA_DIR "/usr/local/share/tolbrint"
#endif

DATAFILE *data1 = nullptr;
BITMAP *buffer = nullptr;
BITMAP *buffer2 = nullptr;
BITMAP *buffer3 = nullptr;
int scroll_x_1 = 0;
int scroll_x_2 = 320;
int scroll_x_3 = -320;
int global_x = 0;
int global_y = 0;
int shift_x = 0;
int shift_y = 0;
int shift_xs = 0;
int shift_ys = 0;
int global_xs = 0;
int global_ys = 0;
int global_difference = 0;
bool zarnjump = false;
bool QUIT = false;
std::vector<ZarnBullet> zarnbullets;
std::vector<EWeapon> eweapons;
std::atomic<int> game_time{0};

std::array<Panel, 3> panels()
{
    return {{{buffer, scroll_x_1}, {buffer2, scroll_x_2}, {buffer3, scroll_x_3}}};
}

namespace {

// What the game needs of each datafile entry it reads.
struct EntryNeed {
    int first;
    int last;
    int type;
    int min_w;
    int min_h;
};

constexpr int ANY = 0;

const EntryNeed datafile_contract[] = {
    {0, 1, DAT_RLE_SPRITE, ANY, ANY},     {5, 6, DAT_RLE_SPRITE, ANY, ANY},
    {13, 13, DAT_RLE_SPRITE, ANY, ANY},   {16, 16, DAT_RLE_SPRITE, ANY, ANY},
    {19, 20, DAT_RLE_SPRITE, ANY, ANY},   {21, 21, DAT_BITMAP, 320, 200},
    {22, 28, DAT_RLE_SPRITE, ANY, ANY},   {31, 34, DAT_RLE_SPRITE, ANY, ANY},
    {37, 37, DAT_BITMAP, 75, 100},        {38, 38, DAT_BITMAP, 320, 200},
    {48, 61, DAT_RLE_SPRITE, ANY, ANY},   {62, 62, DAT_FONT, ANY, ANY},
    {65, 65, DAT_FONT, ANY, ANY},         {70, 73, DAT_RLE_SPRITE, ANY, ANY},
    {79, 81, DAT_RLE_SPRITE, ANY, ANY},   {85, 85, DAT_RLE_SPRITE, ANY, ANY},
    {91, 92, DAT_RLE_SPRITE, ANY, ANY},   {100, 100, DAT_PALETTE, ANY, ANY},
    {104, 109, DAT_RLE_SPRITE, ANY, ANY}, {116, 116, DAT_RLE_SPRITE, ANY, ANY},
    {118, 122, DAT_RLE_SPRITE, ANY, ANY},
};

const char *type_name(int type)
{
    switch (type) {
    case DAT_RLE_SPRITE: return "an RLE sprite";
    case DAT_BITMAP: return "a bitmap";
    case DAT_FONT: return "a font";
    case DAT_PALETTE: return "a palette";
    default: return "another kind of object";
    }
}

int entry_count(const DATAFILE *datafile)
{
    int count = 0;
    while (datafile[count].type != DAT_END)
        count++;
    return count;
}

bool is_regular_file(const std::string &path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string executable_dir()
{
    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return "";
    path[length] = '\0';
    std::string full(path);
    return full.substr(0, full.rfind('/'));
}

const DATAFILE *entry(int index)
{
    if (!data1 || index < 0)
        return nullptr;
    for (int i = 0; i <= index; i++)
        if (data1[i].type == DAT_END)
            return nullptr;
    return &data1[index];
}

template <typename T> T *typed_entry(int index, int type)
{
    const DATAFILE *found = entry(index);
    return found && found->type == type ? static_cast<T *>(found->dat) : nullptr;
}

} // namespace

RLE_SPRITE *sprite_entry(int index) { return typed_entry<RLE_SPRITE>(index, DAT_RLE_SPRITE); }
BITMAP *bitmap_entry(int index) { return typed_entry<BITMAP>(index, DAT_BITMAP); }
FONT *font_entry(int index) { return typed_entry<FONT>(index, DAT_FONT); }

void set_palette_entry(int index, int red, int green, int blue)
{
    RGB colour = {static_cast<unsigned char>(red), static_cast<unsigned char>(green),
                  static_cast<unsigned char>(blue), 0};
    set_color(index, &colour);
}

std::string find_data_file(const std::string &name)
{
    if (is_regular_file(name))
        return name;
    const std::string beside_program = executable_dir() + "/" + name;
    if (is_regular_file(beside_program))
        return beside_program;
    const std::string installed = std::string(TOLBRINT_DATA_DIR) + "/" + name;
    if (is_regular_file(installed))
        return installed;
    return name;
}

std::string datafile_problem(const DATAFILE *datafile)
{
    const int count = entry_count(datafile);
    for (const EntryNeed &need : datafile_contract) {
        for (int i = need.first; i <= need.last; i++) {
            const std::string where = "entry " + std::to_string(i);
            if (i >= count)
                return where + " is missing (the file holds " + std::to_string(count) +
                       " entries, the game needs 123)";
            if (datafile[i].type != need.type)
                return where + " should be " + type_name(need.type) + " but is " +
                       type_name(datafile[i].type);
            int w = 0, h = 0;
            if (need.type == DAT_BITMAP) {
                w = static_cast<BITMAP *>(datafile[i].dat)->w;
                h = static_cast<BITMAP *>(datafile[i].dat)->h;
            } else if (need.type == DAT_RLE_SPRITE) {
                w = static_cast<RLE_SPRITE *>(datafile[i].dat)->w;
                h = static_cast<RLE_SPRITE *>(datafile[i].dat)->h;
            }
            if (w < need.min_w || h < need.min_h)
                return where + " is " + std::to_string(w) + " x " + std::to_string(h) +
                       " pixels, the game needs at least " + std::to_string(need.min_w) +
                       " x " + std::to_string(need.min_h);
        }
    }
    return "";
}

DATAFILE *load_game_datafile(const std::string &path, std::string &error)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        error = path + ": cannot open the graphics datafile: " + std::strerror(errno);
        return nullptr;
    }
    if (!S_ISREG(info.st_mode)) {
        error = path + ": the graphics datafile is not a regular file";
        return nullptr;
    }
    DATAFILE *datafile = load_datafile(path.c_str());
    if (!datafile) {
        error = path + ": not a readable Allegro datafile";
        return nullptr;
    }
    const std::string problem = datafile_problem(datafile);
    if (!problem.empty()) {
        unload_datafile(datafile);
        error = path + ": " + problem;
        return nullptr;
    }
    return datafile;
}

void game_timer()
{
    game_time++;
}

namespace {

// Tells the player what went wrong, on the terminal and in a message box.
void report_failure(const std::string &message)
{
    std::fprintf(stderr, "tolbrint: %s\n", message.c_str());
    allegro_message("%s\n", message.c_str());
}

void reset_view_and_hero()
{
    scroll_x_1 = 0;
    scroll_x_2 = 320;
    scroll_x_3 = -320;
    global_x = global_y = global_xs = global_ys = 0;
    shift_x = shift_y = shift_xs = shift_ys = 0;
}

} // namespace

int game_main(int, char **)
{
    reset_view_and_hero();
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    if (install_allegro(SYSTEM_AUTODETECT, &errno, atexit) != 0) {
        // Without a system driver no other library call is safe, not even a
        // message box.
        std::fprintf(stderr, "tolbrint: cannot start the Allegro library (is there a display?): %s\n",
                     allegro_error);
        return 1;
    }
    if (install_keyboard() != 0) {
        report_failure(std::string("cannot use the keyboard: ") + allegro_error);
        return 1;
    }
    install_timer();

    std::string error;
    data1 = load_game_datafile(find_data_file("tolbrint.dat"), error);
    if (!data1) {
        report_failure(error);
        return 1;
    }
    QUIT = false;

    // A window first: the autodetected fullscreen mode would change the
    // desktop's resolution or letterbox the game in a screen-sized window.
    if (set_gfx_mode(GFX_AUTODETECT_WINDOWED, 320, 240, 320, 240) != 0 &&
        set_gfx_mode(GFX_AUTODETECT, 320, 240, 320, 240) != 0) {
        set_gfx_mode(GFX_TEXT, 0, 0, 0, 0);
        allegro_message("Unable to set any graphic mode\n%s\n", allegro_error);
        return 1;
    }
    buffer = create_bitmap(SCREEN_W, SCREEN_H);
    buffer2 = create_bitmap(SCREEN_W, SCREEN_H);
    buffer3 = create_bitmap(SCREEN_W, SCREEN_H);
    if (!buffer || !buffer2 || !buffer3) {
        set_gfx_mode(GFX_TEXT, 0, 0, 0, 0);
        report_failure("not enough memory for the three screen panels");
        return 1;
    }
    set_window_title("tolbrint");
    set_color_conversion(COLORCONV_NONE);
    set_palette(static_cast<RGB *>(data1[100].dat));
    install_int(game_timer, 30);

    readkey();
    remove_int(game_timer);
    return 0;
}
