#include "level_tool.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "options.h"
#include "sidefiles.h"
#include "tolbrint.h"

namespace level_tool {

namespace {

const EnemyShape ENEMY_SHAPES[] = {
    // kind     name      height hit    stands
    {"ZOMBIE", "zombie", ZOMBIE_HEIGHT, true, true},
    {"ROBO", "robot", ROBOT_HEIGHT, true, true},
    {"CACTUS", "cactus", 80, false, true},
    {"RHAND", "hand", 0, false, false},
};

const int PALETTE_ENTRY = 100;
const char *const LOADER_SIDE_FILES[] = {"debuglevel.txt", "default_object.txt"};
const int BACKGROUND_TOKEN = 2; // in LevelPlaces::header

// The loader's message with "error: " put after its place, which is the
// level file's name followed by the line and column when it has them.
std::string as_error(const std::string &path, const LevelError &error)
{
    const std::string message = error.what();
    std::string prefix = path + ":";
    if (error.line > 0)
        prefix += std::to_string(error.line) + ":" + std::to_string(error.column) + ":";
    prefix += " ";
    if (message.compare(0, prefix.size(), prefix) == 0)
        return prefix + "error: " + message.substr(prefix.size());
    return path + ": error: " + message;
}

} // namespace

bool file_exists(const std::string &path) { return access(path.c_str(), F_OK) == 0; }

const EnemyShape *enemy_shape(const std::string &kind)
{
    for (const EnemyShape &shape : ENEMY_SHAPES)
        if (kind == shape.kind)
            return &shape;
    return nullptr;
}

bool start(const char *program, PALETTE palette)
{
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) {
        std::fprintf(stderr, "%s: cannot start the Allegro library: %s\n", program, allegro_error);
        return false;
    }
    set_color_depth(8);
    set_color_conversion(COLORCONV_NONE);
    std::string error;
    data1 = load_game_datafile(find_data_file("tolbrint.dat"), error);
    if (!data1) {
        std::fprintf(stderr, "%s: %s\n", program, error.c_str());
        return false;
    }
    const RGB *colours = static_cast<const RGB *>(data1[PALETTE_ENTRY].dat);
    for (int i = 0; i < PAL_SIZE; i++)
        palette[i] = colours[i];
    return true;
}

Loaded load_level(const std::string &path)
{
    bool there_before[2];
    for (int i = 0; i < 2; i++)
        there_before[i] = file_exists(side_file_path(LOADER_SIDE_FILES[i]));
    Loaded loaded;
    try {
        const LevelText source = read_level_text(path);
        loaded.level = std::make_unique<Level>(source);
        loaded.text = source.text;
    } catch (const LevelError &error) {
        loaded.error = as_error(path, error);
        loaded.line = error.line;
        loaded.column = error.column;
    }
    for (int i = 0; i < 2; i++)
        if (!there_before[i])
            std::remove(side_file_path(LOADER_SIDE_FILES[i]).c_str());
    return loaded;
}

std::string background_name(const Loaded &loaded)
{
    const FilePlace place = loaded.level->places.header[BACKGROUND_TOKEN];
    std::size_t at = 0;
    for (int line = 1; line < place.line; line++)
        at = loaded.text.find('\n', at) + 1;
    at += static_cast<std::size_t>(place.column - 1);
    const std::size_t end = loaded.text.find_first_of(" \t\n\v\f\r", at);
    return loaded.text.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

MapPanels::MapPanels(BITMAP *picture, int left_column)
{
    unused_ = create_bitmap_ex(8, 1, 1);
    buffer = picture;
    buffer2 = buffer3 = unused_;
    scroll_x_1 = scroll_x_2 = scroll_x_3 = 0;
    global_x = left_column;
    global_y = 0;
}

MapPanels::~MapPanels()
{
    buffer = buffer2 = buffer3 = nullptr;
    destroy_bitmap(unused_);
}

std::string located(const std::string &file, FilePlace place, const char *kind, const std::string &text)
{
    return file + ":" + std::to_string(place.line) + ":" + std::to_string(place.column) + ": " + kind + ": " +
           text;
}

const char *const TOOL_HELP_OPTIONS = "  -h, --help         show this help and exit\n"
                                      "      --version      show the version number and exit\n";

void print_version(const char *program) { std::printf("%s %s\n", program, game_version()); }

void print_usage_error(const char *program, const std::string &problem, const char *usage)
{
    std::fprintf(stderr, "%s: %s\nusage: %s\nTry '%s --help' for more.\n", program, problem.c_str(), usage,
                 program);
}

} // namespace level_tool
