// Renders the art for review:
//   tolbrint-renders TOLBRINT.DAT OUT_DIR
// writes OUT_DIR/contact_sheet.png (every entry, enlarged, with its number
// and type), OUT_DIR/scene.png (a mock level screen, 3x), OUT_DIR/title.png
// (the intro's finished screen) and OUT_DIR/tent.png (a tent message), all
// drawn the way the game draws them.
#include <allegro.h>
#include <loadpng.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

DATAFILE *data = nullptr;
PALETTE palette;

RLE_SPRITE *sprite(int entry) { return static_cast<RLE_SPRITE *>(data[entry].dat); }
BITMAP *picture(int entry) { return static_cast<BITMAP *>(data[entry].dat); }
FONT *font_of(int entry) { return static_cast<FONT *>(data[entry].dat); }

int colour(int r, int g, int b) { return bestfit_color(palette, r, g, b); }

bool save_scaled(const std::string &path, BITMAP *source, int scale)
{
    BITMAP *big = create_bitmap_ex(8, source->w * scale, source->h * scale);
    stretch_blit(source, big, 0, 0, source->w, source->h, 0, 0, big->w, big->h);
    const bool saved = save_png(path.c_str(), big, palette) == 0;
    destroy_bitmap(big);
    if (!saved)
        std::fprintf(stderr, "tolbrint-renders: cannot write %s\n", path.c_str());
    return saved;
}

// ------------------------------------------------------------ contact sheet

const char *type_label(int type)
{
    switch (type) {
    case DAT_RLE_SPRITE: return "RLE";
    case DAT_BITMAP: return "BMP";
    case DAT_FONT: return "FONT";
    case DAT_PALETTE: return "PAL";
    default: return "?";
    }
}

struct Cell {
    int w, h;
};

Cell picture_size(int entry)
{
    switch (data[entry].type) {
    case DAT_RLE_SPRITE: return {sprite(entry)->w, sprite(entry)->h};
    case DAT_BITMAP: return {picture(entry)->w, picture(entry)->h};
    case DAT_PALETTE: return {128, 128};
    case DAT_FONT: return {300, 40};
    default: return {8, 8};
    }
}

int enlargement(int entry, const Cell &size)
{
    if (size.w >= 300 || data[entry].type == DAT_PALETTE)
        return 1;
    return size.w <= 40 && size.h <= 40 ? 3 : 2;
}

void draw_entry(BITMAP *sheet, int entry, int x, int y, int scale, int backdrop)
{
    const Cell size = picture_size(entry);
    if (data[entry].type == DAT_PALETTE) {
        for (int i = 0; i < 256; i++)
            rectfill(sheet, x + (i % 16) * 8, y + (i / 16) * 8, x + (i % 16) * 8 + 7, y + (i / 16) * 8 + 7, i);
        return;
    }
    if (data[entry].type == DAT_FONT) {
        const int ink = entry == 62 ? 1 : -1;
        textout_ex(sheet, font_of(entry), "ABCDEFGHIJKLMNOPQRSTUVWXYZ 0123456789", x, y, ink, -1);
        textout_ex(sheet, font_of(entry), "abcdefghijklmnopqrstuvwxyz !?.,:;'\"()-+*/", x, y + 14, ink, -1);
        textout_ex(sheet, font_of(entry), "Welcome to the oasis, soldier.", x, y + 28, ink, -1);
        return;
    }
    BITMAP *plain = create_bitmap_ex(8, size.w, size.h);
    clear_to_color(plain, backdrop);
    if (data[entry].type == DAT_RLE_SPRITE)
        draw_rle_sprite(plain, sprite(entry), 0, 0);
    else
        blit(picture(entry), plain, 0, 0, 0, 0, size.w, size.h);
    stretch_blit(plain, sheet, 0, 0, size.w, size.h, x, y, size.w * scale, size.h * scale);
    destroy_bitmap(plain);
}

bool render_contact_sheet(const std::string &path)
{
    const int width = 1280, gap = 10, label = 12;
    const int backdrop = colour(30, 32, 36);
    // First pass lays the cells out in rows; the second draws them.
    struct Placed {
        int entry, x, y, scale;
    };
    std::vector<Placed> placed;
    int x = gap, y = gap, row_h = 0;
    for (int entry = 0; data[entry].type != DAT_END; entry++) {
        const Cell size = picture_size(entry);
        const int scale = enlargement(entry, size);
        const int cell_w = std::max(size.w * scale, 112), cell_h = size.h * scale + label;
        if (x + cell_w > width - gap) {
            x = gap;
            y += row_h + gap;
            row_h = 0;
        }
        placed.push_back({entry, x, y, scale});
        x += cell_w + gap;
        row_h = std::max(row_h, cell_h);
    }
    BITMAP *sheet = create_bitmap_ex(8, width, y + row_h + gap);
    clear_to_color(sheet, colour(12, 12, 14));
    for (const Placed &cell : placed) {
        const Cell size = picture_size(cell.entry);
        char text[64];
        std::snprintf(text, sizeof text, "%d %s %dx%d", cell.entry, type_label(data[cell.entry].type), size.w,
                      size.h);
        if (data[cell.entry].type == DAT_FONT || data[cell.entry].type == DAT_PALETTE)
            std::snprintf(text, sizeof text, "%d %s", cell.entry, type_label(data[cell.entry].type));
        textout_ex(sheet, font, text, cell.x, cell.y, 1, -1);
        draw_entry(sheet, cell.entry, cell.x, cell.y + label, cell.scale, backdrop);
    }
    const bool saved = save_scaled(path, sheet, 1);
    destroy_bitmap(sheet);
    return saved;
}

// ------------------------------------------------------------ mock screens

// The level's sprite names, as the scenery records use them.
const std::map<std::string, int> scenery_entries = {
    {"SAND4", 91}, {"GRASS1", 34}, {"BARK1", 0},   {"BARK2", 1},   {"PALMT1", 72}, {"PALMT2", 73},
    {"PALMS1", 70}, {"PALMS2", 71}, {"DIRT", 19},  {"DIRT2", 20},  {"TENT1", 104}, {"TENTZ", 109},
    {"TENT2", 105}, {"TENT3", 107}, {"TENT2A", 106}, {"TENT3A", 108}, {"BONE", 5},  {"BONE2", 6},
    {"FLAME", 27},  {"BRASS", 13},  {"FLOOR1", 31}, {"TILE5A", 118}, {"TILE3A", 116},
};

// A scenery record drawn as the game draws it with the view unscrolled:
// tiles every 20 pixels from column x1 + 160; solid sand twice, 2 apart.
void scenery(BITMAP *screen_bmp, int x1, int y1, int x2, int y2, const std::string &name, bool solid = false)
{
    int entry = scenery_entries.at(name);
    if (solid && entry == 91)
        entry = 92;
    for (int y = y1; y <= y2; y += 20)
        for (int c = x1 + 160; c <= x2 + 160; c += 20) {
            draw_rle_sprite(screen_bmp, sprite(entry), c, y);
            if (entry == 92)
                draw_rle_sprite(screen_bmp, sprite(entry), c, y - 2);
        }
}

// The palm tree composite at (x, y): shrubs at y, trunk and crown fixed.
void palm_tree(BITMAP *screen_bmp, int x, int y)
{
    scenery(screen_bmp, x, y, x, y, "PALMS2");
    scenery(screen_bmp, x + 20, y, x + 20, y, "PALMS1");
    scenery(screen_bmp, x + 50, y, x + 50, y, "PALMS2");
    scenery(screen_bmp, x + 70, y, x + 70, y, "PALMS1");
    scenery(screen_bmp, x + 35, 40, x + 35, 160, "BARK2");
    scenery(screen_bmp, x + 35, 20, x + 35, 20, "PALMT1");
    scenery(screen_bmp, x + 35, 0, x + 35, 0, "PALMT2");
    scenery(screen_bmp, x + 35, 40, x + 35, 40, "PALMT2");
    scenery(screen_bmp, x + 35, 60, x + 35, 60, "PALMT1");
}

void tent(BITMAP *screen_bmp, int x)
{
    scenery(screen_bmp, x, 140, x, 140, "TENT1");
    scenery(screen_bmp, x + 20, 140, x + 20, 140, "TENT2");
    scenery(screen_bmp, x + 40, 140, x + 40, 140, "TENT3");
    scenery(screen_bmp, x, 160, x, 160, "TENTZ");
    scenery(screen_bmp, x + 20, 160, x + 20, 160, "TENT2A");
    scenery(screen_bmp, x + 40, 160, x + 40, 160, "TENT3A");
}

void bullet(BITMAP *screen_bmp, int x, int y) { circlefill(screen_bmp, x, y, 1, 6); }

bool render_scene(const std::string &path)
{
    BITMAP *view = create_bitmap_ex(8, 320, 200);
    blit(picture(21), view, 0, 0, 0, 0, 320, 200);
    scenery(view, -160, 180, 160, 180, "SAND4");
    palm_tree(view, -160, 160);
    scenery(view, -60, 160, -60, 160, "BONE");
    scenery(view, -20, 160, -20, 160, "GRASS1");
    scenery(view, 10, 140, 30, 140, "SAND4", true);
    scenery(view, 10, 160, 30, 160, "DIRT");
    tent(view, 80);
    scenery(view, 140, 160, 140, 160, "FLAME");
    draw_rle_sprite(view, sprite(32), 40, 100);             // hero firing, standing
    bullet(view, 110, 138);
    bullet(view, 150, 138);
    draw_rle_sprite(view, sprite(24), 96 + 15, 120 + 10);   // a zombie blowing up
    draw_rle_sprite(view, sprite(119), 150, 120);           // a zombie walking left
    draw_rle_sprite(view, sprite(85), 176, 98);             // a robot on the ledge
    hline(view, 150, 118, 158, 3);                          // its laser
    draw_rle_sprite(view, sprite(16), 208, 100);            // a cactus waving
    draw_rle_sprite(view, sprite(80), 208 + 5, 100 + 30);
    draw_rle_sprite(view, sprite(53), 100, 10);             // the hero jumping, firing upwards
    bullet(view, 162, 4);
    const bool saved = save_scaled(path, view, 3);
    destroy_bitmap(view);
    return saved;
}

bool render_title(const std::string &path)
{
    BITMAP *view = create_bitmap_ex(8, 320, 240);
    clear_to_color(view, 0);
    blit(picture(38), view, 0, 0, 0, 0, 320, 200);
    blit(picture(37), view, 0, 0, 0, 100, 75, 100);
    std::srand(7);
    for (int i = 0; i < 35; i++) {
        const int x = std::rand() % 320, y = std::rand() % 50;
        circlefill(view, x, y, 2, 1);
    }
    textout_centre_ex(view, font_of(65), "TOLBRINT: A DESERT SHOOTER", 160, 55, -1, -1);
    textout_centre_ex(view, font_of(65), "Press a key to begin", 160, 70, -1, -1);
    const bool saved = save_scaled(path, view, 2);
    destroy_bitmap(view);
    return saved;
}

bool render_tent(const std::string &path)
{
    BITMAP *view = create_bitmap_ex(8, 320, 240);
    clear_to_color(view, 0);
    blit(picture(38), view, 0, 0, 0, 0, 320, 200);
    const char *words[] = {"Rest", "here,", "soldier.", "Robots", "guard", "the", "east."};
    for (int i = 0; i < 7; i++)
        textout_centre_ex(view, font_of(62), words[i], 50, 15 * (i + 2) + 20, 1, -1);
    const bool saved = save_scaled(path, view, 2);
    destroy_bitmap(view);
    return saved;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s TOLBRINT.DAT OUT_DIR\n", argv[0]);
        return 2;
    }
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) {
        std::fprintf(stderr, "%s: cannot start Allegro\n", argv[0]);
        return 1;
    }
    set_color_depth(8);
    set_color_conversion(COLORCONV_NONE);
    register_png_file_type();
    data = load_datafile(argv[1]);
    if (!data) {
        std::fprintf(stderr, "%s: cannot load %s\n", argv[0], argv[1]);
        return 1;
    }
    for (int i = 0; i < 256; i++)
        palette[i] = static_cast<RGB *>(data[100].dat)[i];
    palette[4] = {63, 56, 30, 0}; // as after a shot: the flash colour is random then
    select_palette(palette);
    const std::string out = argv[2];
    const bool ok = render_contact_sheet(out + "/contact_sheet.png") && render_scene(out + "/scene.png") &&
                    render_title(out + "/title.png") && render_tent(out + "/tent.png");
    unload_datafile(data);
    return ok ? 0 : 1;
}
END_OF_MAIN()
