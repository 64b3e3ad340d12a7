#include "painted.h"

#include <cmath>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <vector>

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr int WIDTH = 320;  // the backgrounds repeat every screen width
constexpr int GROUND = 180; // top row of the ground tiles

// ---------------------------------------------------------------- helpers

// A 4 x 4 ordered dither: blends between neighbouring ramp steps without
// noise, and its period divides the screen width, so it wraps cleanly.
const int BAYER[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

int dithered(const Ramp &ramp, double brightness, int x, int y)
{
    const double step = std::fmax(0.0, brightness) * (ramp.count - 1);
    const int base = static_cast<int>(std::floor(step));
    const double fraction = step - base;
    return ramp.at(base + (fraction * 16.0 > BAYER[y & 3][x & 3] + 0.5 ? 1 : 0));
}

std::uint32_t hash(int x, int y, int seed)
{
    std::uint32_t h = static_cast<std::uint32_t>(x) * 374761393u + static_cast<std::uint32_t>(y) * 668265263u +
                      static_cast<std::uint32_t>(seed) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}

double random01(int x, int y, int seed) { return (hash(x, y, seed) & 0xFFFF) / 65535.0; }

// Smooth noise along x that repeats every WIDTH pixels: cells lattice
// values, blended with a cosine.
double wrapping_noise(double x, int cells, int seed)
{
    const double cell_w = double(WIDTH) / cells;
    const double at = std::fmod(std::fmod(x, WIDTH) + WIDTH, WIDTH) / cell_w;
    const int left = static_cast<int>(at) % cells;
    const int right = (left + 1) % cells;
    const double t = (1.0 - std::cos((at - std::floor(at)) * PI)) / 2.0;
    return random01(left, 0, seed) * (1.0 - t) + random01(right, 0, seed) * t;
}

// A wave of k whole periods across the screen width.
double wave(double x, int k, double phase) { return std::sin(2.0 * PI * k * x / WIDTH + phase); }

// ------------------------------------------------------------ the desert

// One range of dunes: the row of its crest at each column, shaded by slope
// as if lit from the left by a low sun.
struct DuneRange {
    double base;      // mean crest row
    double amplitude; // how far crests rise above and sink below it
    int waves;        // big dunes across the screen
    double phase;
    const char *ramp;
    double light;     // brightness of a flat face, 0..1
    double contrast;  // how much the slope changes it
    double falloff;   // darkening per row below the crest
    int seed;

    double crest(double x) const
    {
        // A steep lee side and a long windward side: a sine with its
        // first harmonic, plus small wrapping wobbles.
        const double shape = wave(x, waves, phase) + 0.4 * wave(x, 2 * waves, 2.0 * phase + 1.1);
        return base - amplitude * shape + 3.0 * (wrapping_noise(x, 16, seed) - 0.5);
    }
};

void draw_dune_range(BITMAP *canvas, const ArtKit &kit, const DuneRange &range, int bottom)
{
    const Ramp &ramp = kit.palette.ramp(range.ramp);
    for (int x = 0; x < WIDTH; x++) {
        const double top = range.crest(x);
        const double slope = range.crest(x + 1.0) - range.crest(x - 1.0);
        for (int y = static_cast<int>(std::ceil(top)); y < bottom; y++) {
            if (y < 0)
                continue;
            const double depth = y - top;
            double light = range.light + range.contrast * slope / 2.0 - range.falloff * depth;
            if (depth < 1.0)
                light += 0.12; // the crest catches the light
            // Wind ripples: faint diagonal stripes across the faces.
            const double ripple = std::sin((x + y * 3.0) * 2.0 * PI / 16.0);
            light += 0.025 * ripple;
            putpixel(canvas, x, y, dithered(ramp, light, x, y));
        }
    }
}

// Flat-topped buttes on the horizon.
struct Butte {
    int centre;
    int half_width;
    int height;
};

void draw_buttes(BITMAP *canvas, const ArtKit &kit, const std::vector<Butte> &buttes, int horizon,
                 const char *ramp_name, double light)
{
    const Ramp &ramp = kit.palette.ramp(ramp_name);
    for (const Butte &butte : buttes) {
        for (int dx = -butte.half_width - 12; dx <= butte.half_width + 12; dx++) {
            const int x = ((butte.centre + dx) % WIDTH + WIDTH) % WIDTH;
            // Steep sides below a flat cap, a scree slope at the foot.
            const int over = std::abs(dx) - butte.half_width;
            int top = horizon - butte.height;
            if (over > 0)
                top = horizon - std::max(0, butte.height - over * 3 - over * over / 2);
            top += static_cast<int>(2.0 * random01(x, butte.centre, 7) * (over > -2 ? 1 : 0.4));
            for (int y = top; y < horizon + 4; y++) {
                const bool lit_side = dx < -butte.half_width / 2;
                double shade = light + (lit_side ? 0.1 : 0.0) + 0.08 * (y - top) / double(butte.height + 1);
                if (y == top)
                    shade += 0.15;
                // Horizontal strata.
                if ((y - (horizon - butte.height)) % 5 == 2)
                    shade -= 0.06;
                putpixel(canvas, x, y, dithered(ramp, shade, x, y));
            }
        }
    }
}

// A gradient sky from the top row to the horizon, with the sky ramp: the
// curve gives more of the deep colour above and a quick glow low down.
void draw_sky(BITMAP *canvas, const ArtKit &kit, int horizon, double top_light, double power)
{
    const Ramp &sky = kit.palette.ramp("sky");
    for (int y = 0; y < canvas->h; y++) {
        const double t = std::pow(std::fmin(double(y) / horizon, 1.0), power);
        for (int x = 0; x < WIDTH; x++)
            putpixel(canvas, x, y, dithered(sky, top_light + (1.0 - top_light) * t, x, y));
    }
}

// Thin clouds lit from below, in a band of rows.
void draw_clouds(BITMAP *canvas, const ArtKit &kit, int from, int to, int seed)
{
    const Ramp &sky = kit.palette.ramp("sky");
    for (int y = from; y < to; y++) {
        const double band = std::sin(PI * (y - from) / double(to - from));
        for (int x = 0; x < WIDTH; x++) {
            const double streak = wrapping_noise(x + y * 1.5, 10, seed + y / 5) * band;
            if (streak < 0.55)
                continue;
            const double under = double(y - from) / double(to - from);
            putpixel(canvas, x, y, dithered(sky, 0.55 + 0.4 * under + 0.3 * (streak - 0.55), x, y));
        }
    }
}

void scatter_stars(BITMAP *canvas, int rows, int count, int colour, int seed)
{
    for (int i = 0; i < count; i++) {
        const int x = static_cast<int>(hash(i, 1, seed) % WIDTH);
        const int y = static_cast<int>(hash(i, 2, seed) % static_cast<std::uint32_t>(rows));
        putpixel(canvas, x, y, colour);
    }
}

// DUNE1: the level's background. Everything repeats every 320 columns so
// that the scrolling view never shows a seam.
void paint_dunes(BITMAP *canvas, const ArtKit &kit)
{
    const int horizon = 126;
    draw_sky(canvas, kit, horizon, 0.18, 1.6);
    draw_clouds(canvas, kit, 40, 62, 3);
    draw_clouds(canvas, kit, 78, 96, 11);
    scatter_stars(canvas, 30, 18, kit.palette.index("grey.13"), 5);
    draw_buttes(canvas, kit, {{40, 26, 22}, {92, 10, 14}, {210, 34, 17}, {268, 8, 26}}, horizon, "dusk", 0.45);
    draw_dune_range(canvas, kit, {136, 5, 3, 0.4, "dusk", 0.72, 0.6, 0.0, 11}, GROUND);
    draw_dune_range(canvas, kit, {150, 8, 2, 2.0, "sand", 0.45, 0.45, 0.012, 12}, GROUND);
    draw_dune_range(canvas, kit, {166, 7, 3, 4.1, "sand", 0.62, 0.4, 0.012, 13}, GROUND);
    rectfill(canvas, 0, GROUND, WIDTH - 1, canvas->h - 1, kit.palette.index("sand.9"));
}

// ------------------------------------------------------------- the title

// Big lettering from the font's glyphs, scale times larger, shaded through
// the ramp, outlined, with a drop shadow.
void draw_big_word(BITMAP *canvas, const ArtKit &kit, const std::string &word, int left, int top, int scale,
                   const char *ramp_name)
{
    const Ramp &ramp = kit.palette.ramp(ramp_name);
    const int outline = kit.palette.index("ink");
    const int shadow = kit.palette.index("dusk.1");
    BITMAP *ink = create_bitmap_ex(8, canvas->w, canvas->h);
    clear_to_color(ink, 0);
    int x = left;
    int height = 0;
    for (char c : word) {
        const Glyph &glyph = kit.glyphs.at(static_cast<unsigned char>(c));
        height = glyph.h * scale;
        for (int gy = 0; gy < glyph.h; gy++)
            for (int gx = 0; gx < glyph.w; gx++)
                if (glyph.pixels[static_cast<size_t>(gy * glyph.w + gx)])
                    rectfill(ink, x + gx * scale, top + gy * scale, x + gx * scale + scale - 1,
                             top + gy * scale + scale - 1, 1);
        x += (glyph.w + 1) * scale;
    }
    auto inked = [&](int px, int py) {
        return px >= 0 && py >= 0 && px < ink->w && py < ink->h && getpixel(ink, px, py) == 1;
    };
    for (int y = 0; y < canvas->h; y++) {
        for (int px = 0; px < canvas->w; px++) {
            if (inked(px, y)) {
                // Bevel: lit where the pixel above is empty, dark where the
                // pixel below is.
                double light = 0.95 - 0.6 * double(y - top) / height;
                if (!inked(px, y - 1) || !inked(px - 1, y))
                    light += 0.25;
                if (!inked(px, y + 1) || !inked(px + 1, y))
                    light -= 0.25;
                putpixel(canvas, px, y, dithered(ramp, light, px, y));
            } else if (inked(px - 1, y - 1) || inked(px + 1, y + 1) || inked(px, y - 1) || inked(px, y + 1) ||
                       inked(px - 1, y) || inked(px + 1, y)) {
                putpixel(canvas, px, y, outline);
            } else if (inked(px - 3, y - 3)) {
                putpixel(canvas, px, y, shadow);
            }
        }
    }
    destroy_bitmap(ink);
}

// The ramp that holds a palette entry, or null for the fixed colours.
const Ramp *ramp_of(const GamePalette &palette, int colour)
{
    for (const auto &[name, ramp] : palette.ramps)
        if (colour >= ramp.first && colour < ramp.first + ramp.count)
            return &ramp;
    return nullptr;
}

// Shades the picture darker toward its left edge, up to steps ramp steps at
// column 0 and none from column width on: a shadow to write text over.
void darken_left(BITMAP *canvas, const ArtKit &kit, int width, double steps)
{
    for (int y = 0; y < canvas->h; y++) {
        for (int x = 0; x < width; x++) {
            const int colour = getpixel(canvas, x, y);
            const Ramp *ramp = ramp_of(kit.palette, colour);
            if (!ramp)
                continue;
            const double t = 1.0 - double(x) / width;
            const double down = steps * t * t * (3.0 - 2.0 * t);
            const int whole = static_cast<int>(down) + ((down - std::floor(down)) * 16.0 > BAYER[y & 3][x & 3] ? 1 : 0);
            putpixel(canvas, x, y, ramp->at(colour - ramp->first - whole));
        }
    }
}

// Stamps a part a few ramp steps darker, as if in the evening shadow.
void stamp_in_shadow(BITMAP *canvas, const ArtKit &kit, const std::string &name, int x, int y, int steps)
{
    const Part &part = find_part(kit.parts, name);
    for (int row = 0; row < part.h; row++)
        for (int column = 0; column < part.w; column++) {
            const int colour = part.at(column, row);
            if (!colour)
                continue;
            const Ramp *ramp = ramp_of(kit.palette, colour);
            putpixel(canvas, x + column, y + row, ramp ? ramp->at(colour - ramp->first - steps) : colour);
        }
}

// A palm tree stacked as the levels stack it: crown pieces from top, the
// trunk from top + 40 down to the ground.
void palm_in_shadow(BITMAP *canvas, const ArtKit &kit, int x, int top, int ground, int steps)
{
    for (int y = top + 40; y < ground; y += 20)
        stamp_in_shadow(canvas, kit, "trunk", x, y, steps);
    const char *crown[] = {"palm_crown", "palm_fronds", "palm_crown", "palm_fronds"};
    for (int i = 0; i < 4; i++)
        stamp_in_shadow(canvas, kit, crown[i], x, top + 20 * i, steps);
}

// The intro's title picture, which is also the inside-the-tent backdrop:
// a night falling over the dunes, the title in gold and a camp on the right.
// The sky's top rows stay dark for the star dots; the middle band and the
// left third stay dark and calm under the white text written there.
void paint_title(BITMAP *canvas, const ArtKit &kit)
{
    const int horizon = 150;
    draw_sky(canvas, kit, horizon, 0.0, 2.2);
    scatter_stars(canvas, 50, 40, kit.palette.index("grey.11"), 21);
    scatter_stars(canvas, 50, 12, kit.palette.index("grey.15"), 22);
    scatter_stars(canvas, 48, 14, kit.palette.index("flash"), 23);
    draw_buttes(canvas, kit, {{170, 30, 24}, {230, 9, 34}, {300, 20, 16}}, horizon, "dusk", 0.28);
    draw_dune_range(canvas, kit, {158, 4, 2, 1.0, "dusk", 0.45, 0.6, 0.0, 31}, 200);
    draw_dune_range(canvas, kit, {172, 7, 1, 2.6, "dusk", 0.3, 0.7, 0.01, 32}, 200);
    draw_dune_range(canvas, kit, {186, 5, 2, 5.0, "dusk", 0.18, 0.6, 0.01, 33}, 200);
    // A camp for the night on the right: a tent, a palm and a fire.
    palm_in_shadow(canvas, kit, 298, 36, 190, 4);
    stamp_in_shadow(canvas, kit, "tent", 228, 152, 4);
    stamp_in_shadow(canvas, kit, "palm_shrub_clump", 282, 172, 4);
    stamp(canvas, find_part(kit.parts, "campfire_a"), 206, 172);
    darken_left(canvas, kit, 200, 8.0);
    draw_big_word(canvas, kit, "TOLBRINT", 106, 96, 4, "brass");
}

// ------------------------------------------------------------ explosions

// One ball of fire or smoke: lit from the upper left, bright inside.
struct Puff {
    double x, y, r;
};

void draw_puffs(BITMAP *canvas, const Ramp &ramp, const std::vector<Puff> &puffs, double heat, int seed)
{
    for (int y = 0; y < canvas->h; y++) {
        for (int x = 0; x < canvas->w; x++) {
            double best = -1.0;
            for (const Puff &puff : puffs) {
                const double dx = (x - puff.x) / puff.r, dy = (y - puff.y) / puff.r;
                const double d = dx * dx + dy * dy;
                if (d > 1.0)
                    continue;
                const double light = heat * (1.0 - d) + 0.25 * (-dx - dy) * (1.0 - heat * 0.5);
                best = std::fmax(best, light + 0.15 * (random01(x, y, seed) - 0.5));
            }
            if (best >= 0.0)
                putpixel(canvas, x, y, dithered(ramp, std::fmin(best + 0.12, 1.0), x, y));
        }
    }
}

// Ring of puffs around a centre; the fire sits toward the picture's left
// because the game draws explosions to the right of the dying enemy.
std::vector<Puff> puff_ring(double cx, double cy, double spread, double radius, int count, int seed)
{
    std::vector<Puff> puffs;
    for (int i = 0; i < count; i++) {
        const double angle = 2.0 * PI * (i + random01(i, 0, seed)) / count;
        const double d = spread * (0.5 + 0.5 * random01(i, 1, seed));
        puffs.push_back({cx + std::cos(angle) * d, cy + std::sin(angle) * d * 0.8,
                         radius * (0.7 + 0.5 * random01(i, 2, seed))});
    }
    return puffs;
}

void sparks(BITMAP *canvas, const ArtKit &kit, double cx, double cy, double reach, int count, int seed)
{
    for (int i = 0; i < count; i++) {
        const double angle = 2.0 * PI * random01(i, 3, seed);
        const double d = reach * (0.6 + 0.4 * random01(i, 4, seed));
        const int x = static_cast<int>(cx + std::cos(angle) * d), y = static_cast<int>(cy + std::sin(angle) * d);
        putpixel(canvas, x, y, kit.palette.index(i % 2 ? "fire.13" : "fire.10"));
        putpixel(canvas, x + 1, y, kit.palette.index("fire.8"));
    }
}

void paint_explosion1(BITMAP *canvas, const ArtKit &kit)
{
    draw_puffs(canvas, kit.palette.ramp("fire"), puff_ring(12, 22, 4, 7, 5, 1), 1.0, 1);
    sparks(canvas, kit, 12, 22, 14, 10, 1);
}

void paint_explosion2(BITMAP *canvas, const ArtKit &kit)
{
    draw_puffs(canvas, kit.palette.ramp("fire"), puff_ring(13, 21, 7, 8, 7, 2), 0.95, 2);
    sparks(canvas, kit, 13, 21, 18, 14, 2);
}

void paint_explosion3(BITMAP *canvas, const ArtKit &kit)
{
    std::vector<Puff> smoke = puff_ring(15, 17, 10, 8, 8, 3);
    draw_puffs(canvas, kit.palette.ramp("smoke"), smoke, 0.5, 3);
    draw_puffs(canvas, kit.palette.ramp("fire"), puff_ring(13, 21, 6, 7, 6, 4), 0.8, 4);
    sparks(canvas, kit, 14, 20, 19, 8, 3);
}

void paint_explosion4(BITMAP *canvas, const ArtKit &kit)
{
    draw_puffs(canvas, kit.palette.ramp("smoke"), puff_ring(15, 17, 11, 8, 9, 5), 0.6, 5);
    draw_puffs(canvas, kit.palette.ramp("fire"), puff_ring(13, 24, 3, 4, 4, 6), 0.55, 6);
}

void paint_explosion5(BITMAP *canvas, const ArtKit &kit)
{
    std::vector<Puff> wisps = puff_ring(17, 13, 12, 6, 7, 7);
    draw_puffs(canvas, kit.palette.ramp("smoke"), wisps, 0.45, 7);
}

// ------------------------------------------------------------- portrait

// Behind the hero's portrait: the evening sky in a dark frame.
void paint_portrait_backdrop(BITMAP *canvas, const ArtKit &kit)
{
    const Ramp &sky = kit.palette.ramp("sky");
    for (int y = 0; y < canvas->h; y++)
        for (int x = 0; x < canvas->w; x++)
            putpixel(canvas, x, y, dithered(sky, 0.25 + 0.75 * std::pow(double(y) / canvas->h, 1.4), x, y));
}

void paint_portrait_frame(BITMAP *canvas, const ArtKit &kit)
{
    rect(canvas, 0, 0, canvas->w - 1, canvas->h - 1, kit.palette.index("ink"));
    rect(canvas, 1, 1, canvas->w - 2, canvas->h - 2, kit.palette.index("brass.9"));
    rect(canvas, 2, 2, canvas->w - 3, canvas->h - 3, kit.palette.index("brass.4"));
}

// ------------------------------------------------------------ the canyon

// Dithers through a list of colours, darkest first, for shading that runs
// from one ramp into another (clouds, torchlit stone).
int dithered_through(const std::vector<int> &colours, double brightness, int x, int y)
{
    const double step = std::fmin(std::fmax(0.0, brightness), 1.0) * (colours.size() - 1);
    const int base = static_cast<int>(std::floor(step));
    const double fraction = step - base;
    const size_t chosen = static_cast<size_t>(base + (fraction * 16.0 > BAYER[y & 3][x & 3] + 0.5 ? 1 : 0));
    return colours[std::min(chosen, colours.size() - 1)];
}

std::vector<int> colours_of(const GamePalette &palette, const std::vector<const char *> &names)
{
    std::vector<int> colours;
    for (const char *name : names)
        colours.push_back(palette.index(name));
    return colours;
}

// Columns from x to centre, the short way round the wrapping screen.
int wrapped_distance(int x, int centre) { return std::abs(((x - centre) % WIDTH + WIDTH + WIDTH / 2) % WIDTH - WIDTH / 2); }

// A flat-topped mass of rock: a cap, sheer walls that fall `wall` rows,
// then a skirt of scree spreading out from their foot.
struct Mesa {
    int centre;
    int half_width;
    int top;
    int wall;
};

// One range of canyon walls, all at one distance from the viewer.
struct CliffRange {
    std::vector<Mesa> mesas;
    const char *ramp;
    double light;    // brightness of a wall in the sun, 0..1
    double contrast; // how much strata, edges and cracks change it
    int seed;
};

// The row where the range's rock begins at column x: the walls drop four
// rows per column, with a ragged edge.
int cliff_top(const CliffRange &range, int x)
{
    int top = 10000;
    for (const Mesa &mesa : range.mesas) {
        const int over = wrapped_distance(x, mesa.centre) - mesa.half_width;
        int row = mesa.top;
        if (over > 0)
            row += over * 9 + static_cast<int>(4.0 * wrapping_noise(x, 64, range.seed + 2));
        top = std::min(top, row);
    }
    return top;
}

// The row where the scree begins at column x.
int scree_top(const CliffRange &range, int x)
{
    double top = 10000;
    for (const Mesa &mesa : range.mesas) {
        const int over = std::max(0, wrapped_distance(x, mesa.centre) - mesa.half_width);
        top = std::fmin(top, mesa.top + mesa.wall + over * 0.35 + 2.0 * wrapping_noise(x, 40, range.seed + 3));
    }
    return static_cast<int>(top);
}

// Rock strata: a table of bands of random thickness, so that the lines
// across the walls do not look like brickwork.
struct Strata {
    std::vector<int> band;  // the band of each row
    std::vector<int> depth; // the row's place within its band, from its top
    std::vector<int> thick;

    Strata(int rows, int seed)
    {
        int b = 0, at = 0, size = 3;
        for (int y = 0; y < rows; y++) {
            if (at == size) {
                b++;
                at = 0;
                size = 2 + static_cast<int>(hash(b, 0, seed) % 7);
            }
            band.push_back(b);
            depth.push_back(at++);
            thick.push_back(size);
        }
    }
};

// The brightness of wall rock under a high sun a little to the left: edges
// open to the left are lit, edges open to the right in shade; each stratum
// casts a short shadow under its lip; cracks and dark varnish streaks run
// down the walls.
double wall_light(const CliffRange &range, const Strata &strata, int x, int y, int top)
{
    const double c = range.contrast;
    const int band = strata.band[static_cast<size_t>(y)];
    const int in_band = strata.depth[static_cast<size_t>(y)];
    double light = range.light + c * 0.5 * (random01(band, 0, range.seed) - 0.5);
    light += c * 0.3 * (wrapping_noise(x, 53, range.seed + 5) - 0.5); // weathered flutes
    if (in_band == 0)
        light -= c * 0.3;
    else if (in_band == strata.thick[static_cast<size_t>(y)] - 1)
        light += c * 0.1;
    if (cliff_top(range, x - 1) > y)
        light += c * 0.35;
    else if (cliff_top(range, x - 2) > y)
        light += c * 0.15;
    if (cliff_top(range, x + 1) > y)
        light -= c * 0.45;
    else if (cliff_top(range, x + 2) > y || cliff_top(range, x + 3) > y)
        light -= c * 0.25;
    const double varnish = wrapping_noise(x, 160, range.seed) * wrapping_noise(x, 29, range.seed + 1);
    light -= c * 1.2 * std::fmax(0.0, varnish - 0.3) * (0.6 + 0.4 * std::sin(y * 0.21 + x));
    if (random01(x, 0, range.seed) < 0.04 && random01(x, band / 3, range.seed) < 0.5)
        light -= c * 0.35; // a crack down a few strata
    const int depth = y - top;
    if (depth == 0)
        light += c * 0.6;
    else if (depth == 1)
        light += c * 0.3;
    return light;
}

// Scree: rubble lit from above, speckled with stones and their shadows.
double scree_light(const CliffRange &range, int x, int y, int top)
{
    const double c = range.contrast;
    const double slope = scree_top(range, x + 2) - scree_top(range, x - 2);
    double light = range.light - 0.02 + c * 0.08 * slope - c * 0.004 * (y - top);
    const double grit = random01(x, y, range.seed + 4);
    if (grit > 0.97)
        light += c * 0.2;
    else if (grit < 0.04)
        light -= c * 0.25;
    if (y == top)
        light += c * 0.3;
    return light;
}

void draw_cliff_range(BITMAP *canvas, const ArtKit &kit, const CliffRange &range, int bottom)
{
    const Ramp &ramp = kit.palette.ramp(range.ramp);
    const Strata strata(bottom, range.seed);
    for (int x = 0; x < WIDTH; x++) {
        const int top = cliff_top(range, x), scree = scree_top(range, x);
        for (int y = std::max(0, top); y < std::min(scree, bottom); y++)
            putpixel(canvas, x, y, dithered(ramp, wall_light(range, strata, x, y, top), x, y));
        for (int y = std::max(0, scree); y < bottom; y++)
            putpixel(canvas, x, y, dithered(ramp, scree_light(range, x, y, scree), x, y));
    }
}

// The noon sky: deep blue overhead, pale at the horizon.
void draw_noon_sky(BITMAP *canvas, const ArtKit &kit, int horizon)
{
    const Ramp &blue = kit.palette.ramp("blue");
    for (int y = 0; y < canvas->h; y++) {
        const double t = std::pow(std::fmin(double(y) / horizon, 1.0), 1.3);
        for (int x = 0; x < WIDTH; x++)
            putpixel(canvas, x, y, dithered(blue, 0.5 + 0.45 * t, x, y));
    }
}

// A fair-weather cloud: a heap of round puffs over a flat base, lit from
// above.
struct Cloud {
    int x, base, width, height, seed;
};

void draw_cloud(BITMAP *canvas, const ArtKit &kit, const Cloud &cloud)
{
    const std::vector<int> shades = colours_of(kit.palette, {"blue.11", "blue.13", "blue.15", "grey.14", "grey.15"});
    const int puffs = 4;
    for (int dy = -cloud.height; dy < 0; dy++)
        for (int dx = -cloud.width / 2; dx <= cloud.width / 2; dx++) {
            double best = -1.0;
            for (int i = 0; i < puffs; i++) {
                const double px = cloud.width * ((i + 0.5) / puffs - 0.5) + 3.0 * (random01(i, 0, cloud.seed) - 0.5);
                const double r = cloud.height * (i == 1 || i == 2 ? 1.0 : 0.65) * (0.85 + 0.3 * random01(i, 1, cloud.seed));
                const double ux = (dx - px) / (r * 1.3), uy = dy / r;
                const double inside = 1.0 - ux * ux - uy * uy;
                if (inside > 0)
                    best = std::fmax(best, -uy * 0.7 + 0.3 + inside * 0.2);
            }
            if (best < 0.0)
                continue;
            const int x = ((cloud.x + dx) % WIDTH + WIDTH) % WIDTH, y = cloud.base + dy;
            putpixel(canvas, x, y, dithered_through(shades, best, x, y));
        }
}

// A rope bridge far off, slung between two cliff tops: a sagging line of
// planks with a hand rope over it.
void draw_far_bridge(BITMAP *canvas, const ArtKit &kit, int from, int to, int row, int sag)
{
    const int rope = kit.palette.index("rock.3");
    const int plank = kit.palette.index("wood.6");
    for (int x = from; x <= to; x++) {
        const double t = double(x - from) / (to - from);
        const int y = row + static_cast<int>(std::lround(sag * 4.0 * t * (1.0 - t)));
        putpixel(canvas, x % WIDTH, y, plank);
        putpixel(canvas, x % WIDTH, y - 2, rope);
        if ((x - from) % 3 == 0)
            putpixel(canvas, x % WIDTH, y - 1, rope);
    }
}

// The canyon's ranges, far to near: centre, half width, top, wall rows.
const std::vector<Mesa> FAR_MESAS = {{14, 20, 104, 14}, {70, 6, 112, 8}, {132, 28, 100, 16}, {196, 9, 108, 10},
                                     {250, 22, 106, 12}, {300, 5, 113, 8}};
const std::vector<Mesa> CANYON_WALLS = {{40, 24, 46, 92}, {78, 12, 80, 66}, {196, 30, 62, 86},
                                        {240, 12, 84, 70}, {300, 8, 96, 60}};
const std::vector<Mesa> NEAR_LEDGES = {{120, 18, 138, 30}, {146, 6, 150, 20}, {272, 24, 146, 26}, {4, 8, 156, 16}};

// CANYON1: the red canyon at noon, the second level's background. Like
// DUNE1 it repeats every 320 columns; rows 180 to 199 are plain.
void paint_canyon(BITMAP *canvas, const ArtKit &kit)
{
    const int horizon = 130;
    draw_noon_sky(canvas, kit, horizon);
    for (const Cloud &cloud : {Cloud{60, 40, 34, 9, 1}, Cloud{178, 26, 22, 6, 2}, Cloud{262, 52, 28, 7, 3}})
        draw_cloud(canvas, kit, cloud);
    draw_cliff_range(canvas, kit, {FAR_MESAS, "dusk", 0.9, 0.25, 21}, GROUND);
    draw_cliff_range(canvas, kit, {CANYON_WALLS, "rock", 0.72, 0.5, 22}, GROUND);
    draw_far_bridge(canvas, kit, 90, 166, 81, 6);
    draw_cliff_range(canvas, kit, {NEAR_LEDGES, "rock", 0.64, 0.55, 23}, GROUND);
    rectfill(canvas, 0, GROUND, WIDTH - 1, canvas->h - 1, kit.palette.index("rock.6"));
}

// ------------------------------------------------------------ the temple

// The temple's stone in the dark (cold greys and purples) and in
// torchlight (warm browns), each list from dark to light.
std::vector<int> stone_in_dark(const GamePalette &palette)
{
    return colours_of(palette, {"night", "dusk.0", "grey.2", "dusk.2", "grey.4", "dusk.4", "grey.6", "dusk.6"});
}

std::vector<int> stone_in_torchlight(const GamePalette &palette)
{
    return colours_of(palette, {"coal", "brass.0", "brass.1", "sand.2", "brass.2", "sand.4", "brass.4", "brass.6",
                                "brass.8", "brass.10"});
}

constexpr int ARCH_PITCH = 80;  // columns from one pier to the next
constexpr int PIER_HALF = 11;   // half a pier's width
constexpr int ARCH_SPRING = 62; // row where the arches start to curve
constexpr int TEMPLE_FLOOR = 156;
const int TORCH_PIERS[] = {80, 240};
constexpr int TORCH_ROW = 96;   // the flames' row on their piers

// How much torchlight reaches a pixel: 0 in the dark, 1 at a flame.
double torchlight(int x, int y)
{
    double light = 0.0;
    for (int pier : TORCH_PIERS) {
        const double dx = wrapped_distance(x, pier) / 78.0, dy = (y - TORCH_ROW) / 64.0;
        light += std::pow(std::fmax(0.0, 1.0 - std::sqrt(dx * dx + dy * dy)), 1.6);
    }
    return std::fmin(light, 1.0);
}

// Big blocks in a running bond: the face of a block is 1, its lit top and
// left edges more, the joints little.
double block_face(int x, int y, int block_w, int block_h, int seed)
{
    const int course = y / block_h;
    const int shifted = x + (course % 2) * block_w / 2;
    const int in_x = shifted % block_w, in_y = y % block_h;
    if (in_x == 0 || in_y == 0)
        return 0.35;
    double face = 0.85 + 0.2 * random01(shifted / block_w, course, seed);
    if (in_y == 1 || in_x == 1)
        face += 0.2;
    if (in_y == block_h - 1 || in_x == block_w - 1)
        face -= 0.15;
    return face;
}

// The row of the arch's soffit at x, or -1 where x is in a pier.
int arch_row(int x)
{
    const int from_pier = wrapped_distance(x, 0) % ARCH_PITCH;
    const int in_bay = std::min(from_pier, ARCH_PITCH - from_pier);
    if (in_bay < PIER_HALF)
        return -1;
    const double radius = ARCH_PITCH / 2.0 - PIER_HALF;
    const double dx = (x % ARCH_PITCH) - ARCH_PITCH / 2.0 + 0.5;
    return static_cast<int>(ARCH_SPRING - std::sqrt(std::fmax(0.0, radius * radius - dx * dx)));
}

// What a pixel of the temple shows before the light: the near arcade's
// piers and arch rings, the darker hall seen through its bays and a smaller
// arcade further back.
double temple_stone(int x, int y)
{
    if (y >= TEMPLE_FLOOR)
        return (y - TEMPLE_FLOOR) % 8 == 0 ? 0.3 : 0.55 + 0.15 * ((x / 24 + (y - TEMPLE_FLOOR) / 8) % 2);
    if (y < 16) {
        // A cornice of two mouldings over a band of carved squares.
        if (y < 3 || (y > 11 && y < 14))
            return y == 0 || y == 12 ? 0.9 : 0.6;
        if (y == 3 || y == 11 || y >= 14)
            return 0.25;
        return (x % 10 < 2) ? 0.35 : ((x % 10 == 5 && y == 7) ? 0.3 : 0.75);
    }
    const int soffit = arch_row(x);
    if (soffit < 0 || y < soffit)
        return block_face(x, y, 20, 10, 41) * (y < soffit && y > soffit - 6 ? 1.15 : 1.0);
    // Through the bay: the far arcade, half as big and in the dark.
    const int far_x = x + ARCH_PITCH / 4;
    const int far_soffit = arch_row(far_x * 2 % WIDTH) / 2 + ARCH_SPRING / 2 + 20;
    if (arch_row((far_x * 2) % WIDTH) < 0 || y < far_soffit)
        return 0.35 * block_face(far_x, y, 10, 5, 42);
    return 0.1;
}

// A torch in its bracket on a pier, as the level's TORCH tile shows it.
void stamp_torches(BITMAP *canvas, const ArtKit &kit)
{
    const Part &torch = find_part(kit.parts, "torch_a");
    for (int pier : TORCH_PIERS)
        stamp(canvas, torch, pier - 10, TORCH_ROW - 3);
}

// TEMPLE1: the ruined temple's hall by torchlight, the third level's
// background: an arcade of piers and round arches, a hall beyond it in the
// dark and warm pools of light around two torches. Repeats every 320
// columns; rows 180 to 199 are plain.
void paint_temple(BITMAP *canvas, const ArtKit &kit)
{
    const std::vector<int> dark = stone_in_dark(kit.palette), lit = stone_in_torchlight(kit.palette);
    for (int y = 0; y < GROUND; y++)
        for (int x = 0; x < WIDTH; x++) {
            const double light = torchlight(x, y);
            const double value = temple_stone(x, y) * (0.3 + 0.75 * light);
            // Warm where the light is strong, dithered into the cold.
            const bool warm = light * 2.2 * 16.0 > BAYER[(y + 2) & 3][(x + 1) & 3] + 0.5;
            putpixel(canvas, x, y, dithered_through(warm ? lit : dark, value, x, y));
        }
    stamp_torches(canvas, kit);
    rectfill(canvas, 0, GROUND, WIDTH - 1, canvas->h - 1, kit.palette.index("night"));
}

// ------------------------------------------------------------ the ending

// The dawn sky: night overhead, a glow rising on the right where the sun
// comes up.
void draw_dawn_sky(BITMAP *canvas, const ArtKit &kit, int horizon, int sun_x)
{
    const Ramp &sky = kit.palette.ramp("sky");
    for (int y = 0; y < canvas->h; y++)
        for (int x = 0; x < WIDTH; x++) {
            const double low = std::pow(std::fmin(double(y) / horizon, 1.0), 3.0);
            const double east = double(x) / WIDTH;
            const double dx = (x - sun_x) / 50.0, dy = (y - horizon) / 28.0;
            const double glow = std::exp(-(dx * dx + dy * dy));
            putpixel(canvas, x, y, dithered(sky, 0.02 + low * (0.22 + 0.25 * east * east) + 0.4 * glow, x, y));
        }
}

// The temple on its rise, dark against the dawn, its right edges catching
// the first light and a lamp still burning in its shrine.
void draw_temple_silhouette(BITMAP *canvas, const ArtKit &kit, int centre, int base)
{
    const Ramp &dusk = kit.palette.ramp("dusk");
    const int tiers[][2] = {{44, 8}, {35, 8}, {26, 8}, {17, 7}, {9, 10}}; // half width, height
    int bottom = base;
    for (const auto &tier : tiers) {
        const int top = bottom - tier[1];
        for (int y = top; y < bottom; y++)
            for (int x = centre - tier[0]; x <= centre + tier[0]; x++) {
                double light = 0.1 + (y == top ? 0.12 : 0.0) + (x >= centre + tier[0] - 1 ? 0.4 : 0.0);
                putpixel(canvas, x, y, dithered(dusk, light, x, y));
            }
        bottom = top;
    }
    rectfill(canvas, centre - 2, bottom + 3, centre + 2, bottom + 9, kit.palette.index("brass.5"));
    rectfill(canvas, centre - 1, bottom + 5, centre + 1, bottom + 9, kit.palette.index("brass.8"));
    // Broken columns on the left of the stair.
    const int columns[][2] = {{-58, 22}, {-50, 14}, {-70, 9}}; // offset, height
    for (const auto &column : columns)
        for (int y = base - column[1]; y < base; y++)
            for (int dx = 0; dx < 4; dx++) {
                const double light = 0.1 + (dx == 3 ? 0.35 : 0.0) + (y == base - column[1] ? 0.1 : 0.0);
                putpixel(canvas, centre + column[0] + dx, y, dithered(dusk, light, centre + column[0] + dx, y));
            }
}

// ENDING: dawn breaking over the dunes and the quiet temple. Everything
// between rows 20 and 180 and columns 20 and 300 stays dark under the
// closing words; the light is on the right edge, where the sun comes up.
void paint_ending(BITMAP *canvas, const ArtKit &kit)
{
    const int horizon = 150;
    draw_dawn_sky(canvas, kit, horizon, 340);
    scatter_stars(canvas, 70, 30, kit.palette.index("grey.8"), 51);
    scatter_stars(canvas, 40, 10, kit.palette.index("grey.11"), 52);
    draw_buttes(canvas, kit, {{60, 22, 14}, {120, 8, 20}}, horizon, "dusk", 0.12);
    draw_temple_silhouette(canvas, kit, 236, horizon + 4);
    draw_dune_range(canvas, kit, {160, 4, 2, 1.0, "dusk", 0.2, -0.5, 0.0, 61}, 200);
    draw_dune_range(canvas, kit, {174, 6, 1, 2.6, "dusk", 0.14, -0.6, 0.005, 62}, 200);
    draw_dune_range(canvas, kit, {188, 4, 2, 5.0, "dusk", 0.08, -0.5, 0.005, 63}, 200);
    palm_in_shadow(canvas, kit, 0, 60, 186, 10);
    stamp_in_shadow(canvas, kit, "palm_shrub_clump", 8, 172, 10);
}

const std::map<std::string, Painter> painters = {
    {"dunes", paint_dunes},
    {"title", paint_title},
    {"canyon", paint_canyon},
    {"temple", paint_temple},
    {"ending", paint_ending},
    {"explosion1", paint_explosion1},
    {"explosion2", paint_explosion2},
    {"explosion3", paint_explosion3},
    {"explosion4", paint_explosion4},
    {"explosion5", paint_explosion5},
    {"portrait_backdrop", paint_portrait_backdrop},
    {"portrait_frame", paint_portrait_frame},
};

} // namespace

Painter find_painter(const std::string &name)
{
    const auto found = painters.find(name);
    if (found == painters.end())
        throw std::runtime_error("no painter called '" + name + "'");
    return found->second;
}
