// Builds music.dat from the scores in a directory: one 8-bit sample a piece,
// a looping piece's loop start in its LOOP property.
//   tolbrint-mkmusic MUSIC_DIR OUT.dat
#include <cstdio>

#include "datwriter.h"
#include "score.h"

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s MUSIC_DIR OUT.dat\n", argv[0]);
        return 2;
    }
    return build_datafile(argv[0], argv[2], [&] {
        std::vector<DatObject> objects;
        for (const Score &score : read_scores(argv[1])) {
            const RenderedPiece piece = render_score(score);
            DatObject object = sample_object(score.name, score.rate, piece.samples);
            if (piece.loop_start >= 0)
                object.properties.emplace_back(DAT_ID('L', 'O', 'O', 'P'), std::to_string(piece.loop_start));
            objects.push_back(object);
        }
        return objects;
    });
}
END_OF_MAIN()
