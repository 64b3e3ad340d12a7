// Differential fuzzing of the datafile check: bytes the check accepts must
// load with Allegro's own loader, draw and unload without a crash, a leak
// or a sanitizer finding; bytes it refuses are never given to Allegro.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "datafile.h"
#include "headless.h"

namespace {

int input_file = -1;
std::string datafile_path;

// Allegro's loader reads files only, so each input becomes one: a file
// unlinked as soon as it is made and reached through /proc, so that nothing
// is left behind however the run ends (libFuzzer leaves on a finding
// without running exit handlers).
void write_input(const uint8_t *data, size_t size)
{
    if (ftruncate(input_file, 0) != 0 || pwrite(input_file, data, size, 0) != static_cast<ssize_t>(size)) {
        std::perror("datafile_fuzz: writing the input");
        std::abort();
    }
}

// Draws a picture or some text with every loaded object, so that the drawers
// meet what the loader built: RLE sprites whose runs the drawer trusts, fonts
// with their glyphs.
void draw_entries(const DATAFILE *datafile)
{
    for (const DATAFILE *entry = datafile; entry->type != DAT_END; entry++) {
        if (entry->type == DAT_FILE) {
            draw_entries(static_cast<const DATAFILE *>(entry->dat));
        } else if (entry->type == DAT_RLE_SPRITE) {
            const RLE_SPRITE *sprite = static_cast<const RLE_SPRITE *>(entry->dat);
            BITMAP *page = create_bitmap_ex(sprite->color_depth, sprite->w + 2, sprite->h + 2);
            if (!page)
                continue;
            draw_rle_sprite(page, sprite, 1, 1);
            draw_rle_sprite(page, sprite, -sprite->w / 2, -sprite->h / 2);
            destroy_bitmap(page);
        } else if (entry->type == DAT_BITMAP) {
            BITMAP *picture = static_cast<BITMAP *>(entry->dat);
            BITMAP *page = create_bitmap_ex(8, 16, 16);
            blit(picture, page, 0, 0, 0, 0, picture->w, picture->h);
            destroy_bitmap(page);
        } else if (entry->type == DAT_FONT) {
            FONT *face = static_cast<FONT *>(entry->dat);
            BITMAP *page = create_bitmap_ex(8, 64, 32);
            textout_ex(page, face, " AZaz09~!", 0, 0, -1, -1);
            textout_ex(page, face, "Az", 0, 0, 1, 0);
            destroy_bitmap(page);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    headless::start();
    // Memory-backed when possible: rewriting the file on a disk is slow.
    char in_memory[] = "/dev/shm/tolbrint-datfuzz-XXXXXX";
    char on_disk[] = "/tmp/tolbrint-datfuzz-XXXXXX";
    input_file = mkstemp(in_memory);
    const char *made = in_memory;
    if (input_file < 0) {
        input_file = mkstemp(on_disk);
        made = on_disk;
    }
    if (input_file < 0) {
        std::perror("datafile_fuzz: scratch file");
        std::abort();
    }
    unlink(made);
    datafile_path = "/proc/self/fd/" + std::to_string(input_file);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    write_input(data, size);
    if (!datafile_structure_problem(datafile_path).empty())
        return 0;
    // The game loads with conversion off, so do we.
    set_color_conversion(COLORCONV_NONE);
    DATAFILE *datafile = load_datafile(datafile_path.c_str());
    if (!datafile) {
        std::fprintf(stderr, "datafile_fuzz: the check accepted a datafile Allegro cannot load\n");
        std::abort();
    }
    draw_entries(datafile);
    unload_datafile(datafile);
    return 0;
}
