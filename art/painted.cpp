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

const std::map<std::string, Painter> painters = {
    {"dunes", paint_dunes},
    {"title", paint_title},
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
