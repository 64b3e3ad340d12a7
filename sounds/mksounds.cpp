// Builds sounds.dat from the effect sources in sounds/.
//   tolbrint-mksounds SOUNDS_DIR OUT.dat
#include <cstdio>
#include <exception>

#include "datwriter.h"
#include "synth.h"

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SOUNDS_DIR OUT.dat\n", argv[0]);
        return 2;
    }
    try {
        std::vector<DatObject> objects;
        for (const SoundSource &source : read_sound_sources(argv[1]))
            objects.push_back(sample_object(source.name, source.rate, render_sound(source)));
        std::string error;
        if (!write_datafile(argv[2], objects, error)) {
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
