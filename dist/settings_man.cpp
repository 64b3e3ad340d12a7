// Writes the settings section of the game's manual page, in help2man's
// include format, from the same table that reads the settings file:
//   tolbrint-settings-man OUT.h2m
#include <cstdio>

#include "options.h"

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: tolbrint-settings-man OUT.h2m\n");
        return 2;
    }
    std::FILE *out = std::fopen(argv[1], "w");
    if (!out || std::fputs(settings_manual().c_str(), out) < 0 || std::fclose(out) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
