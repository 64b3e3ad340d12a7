// Levels to Tiled maps and back:
//   tolbrint-tiled export LEVEL OUT.tmx
//   tolbrint-tiled import IN.tmx OUT.dat
#include <allegro.h>
#include <loadpng.h>

#include <cstdio>
#include <string>
#include <vector>

#include "level_tool.h"
#include "tiled_map.h"

namespace {

using namespace level_tool;

const char *const PROGRAM = "tolbrint-tiled";
const char *const USAGE = "tolbrint-tiled export LEVEL OUT.tmx | import IN.tmx OUT.dat";

void print_help()
{
    std::printf("Usage: tolbrint-tiled export LEVEL OUT.tmx\n"
                "  or:  tolbrint-tiled import IN.tmx OUT.dat\n"
                "Turns a level into a map for the Tiled map editor, and such a map back into a\n"
                "level file.\n"
                "  export  writes OUT.tmx, making its folders when they are missing, and\n"
                "          beside it the tilesets %s and %s\n"
                "          with their pictures, and the background %s\n"
                "  import  writes the level file OUT.dat from IN.tmx; nothing is written when\n"
                "          the map has a mistake\n"
                "\n"
                "Options:\n%s"
                "\n"
                "Exit status: 0 when the files are written, 1 otherwise.\n",
                tiled::TILESET_FILE, tiled::THINGS_TILESET_FILE, tiled::BACKGROUND_IMAGE, TOOL_HELP_OPTIONS);
}

int export_level(const std::string &level_file, const std::string &out_tmx, const PALETTE palette)
{
    Loaded loaded = load_level(level_file);
    if (!loaded.level) {
        std::fprintf(stderr, "%s\n", loaded.error.c_str());
        return 1;
    }
    try {
        tiled::export_map(*loaded.level, background_name(loaded), level_file, out_tmx, palette);
    } catch (const tiled::TiledError &error) {
        std::fprintf(stderr, "%s: %s\n", PROGRAM, error.what());
        return 1;
    }
    return 0;
}

// The level is written beside OUT.dat and loaded with the game's loader
// before it takes OUT.dat's place.
int import_level(const std::string &in_tmx, const std::string &out_dat)
{
    try {
        const std::string text = tiled::level_text(tiled::import_map(in_tmx));
        const std::string check = out_dat + ".check";
        tiled::write_file(check, text);
        const Loaded loaded = load_level(check);
        if (!loaded.level) {
            std::remove(check.c_str());
            std::fprintf(stderr, "%s: %s: the level written from it does not load: %s\n", PROGRAM, in_tmx.c_str(),
                         loaded.error.c_str());
            return 1;
        }
        if (std::rename(check.c_str(), out_dat.c_str()) != 0) {
            std::perror((std::string(PROGRAM) + ": cannot write " + out_dat).c_str());
            std::remove(check.c_str());
            return 1;
        }
    } catch (const tiled::TiledError &error) {
        std::fprintf(stderr, "%s: %s\n", PROGRAM, error.what());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> arguments(argv + 1, argv + argc);
    for (const std::string &argument : arguments)
        if (argument == "--help" || argument == "-h") {
            print_help();
            return 0;
        } else if (argument == "--version") {
            print_version(PROGRAM);
            return 0;
        }
    for (const std::string &argument : arguments)
        if (argument.size() > 1 && argument[0] == '-') {
            print_usage_error(PROGRAM, "unknown option \"" + argument + "\"", USAGE);
            return 1;
        }
    if (arguments.empty() || (arguments[0] != "export" && arguments[0] != "import")) {
        print_usage_error(PROGRAM, arguments.empty() ? "needs export or import" : "unknown command \"" + arguments[0] + "\"",
                          USAGE);
        return 1;
    }
    if (arguments.size() != 3) {
        print_usage_error(PROGRAM,
                          arguments[0] == "export" ? "export needs a level file and a map file to write"
                                                   : "import needs a map file and a level file to write",
                          USAGE);
        return 1;
    }
    PALETTE palette;
    if (!start(PROGRAM, palette))
        return 1;
    register_png_file_type();
    if (arguments[0] == "export")
        return export_level(arguments[1], arguments[2], palette);
    return import_level(arguments[1], arguments[2]);
}
END_OF_MAIN()
