// Builds tolbrint.dat from the editable sources in art/.
//   tolbrint-mkdat ART_DIR OUT.dat
#include <allegro.h>

#include <cerrno>
#include <cstdio>

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
    return build_datafile(argv[0], argv[2], [&] { return build_all_entries(argv[1]); });
}
END_OF_MAIN()
