// Builds sounds.dat from the effect sources in sounds/.
//   tolbrint-mksounds SOUNDS_DIR OUT.dat
#include <cstdio>

#include "datwriter.h"
#include "synth.h"

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SOUNDS_DIR OUT.dat\n", argv[0]);
        return 2;
    }
    return build_datafile(argv[0], argv[2], [&] {
        std::vector<DatObject> objects;
        for (const SoundSource &source : read_sound_sources(argv[1]))
            objects.push_back(sample_object(source.name, source.rate, render_sound(source)));
        return objects;
    });
}
END_OF_MAIN()
