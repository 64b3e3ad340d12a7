// Builds tolbrint.dat from the editable sources in art/.
//   tolbrint-mkdat ART_DIR OUT.dat
#include <allegro.h>

#include <cerrno>
#include <cstdio>
#include <exception>

#include "pictures.h"

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s ART_DIR OUT.dat\n", argv[0]);
        return 2;
    }
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) {
        std::fprintf(stderr, "%s: cannot start Allegro\n", argv[0]);
        return 1;
    }
    set_color_depth(8);
    try {
        std::string error;
        if (!write_datafile(argv[2], build_all_entries(argv[1]), error)) {
            std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
            return 1;
        }
    } catch (const std::exception &problem) {
        std::fprintf(stderr, "%s: %s\n", argv[0], problem.what());
        return 1;
    }
    return 0;
}
END_OF_MAIN()
