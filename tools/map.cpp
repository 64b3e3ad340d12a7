// Renders a whole level into one PNG, drawn by the game's own drawers:
//   tolbrint-map [--scale N] [--no-overlays] LEVEL OUT.png
// The background repeats across the level, the scenery, solid scenery,
// enemies and the hero stand where the game puts them, and overlays show the
// solid boxes, the enemies' hit rectangles, the spans of the portal and the
// exit, the scroll limits, the hero's start and a ruler of world x.
#include <allegro.h>
#include <loadpng.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "level_tool.h"
#include "tolbrint.h"
#include "zarn.h"

namespace {

using namespace level_tool;

const char *const PROGRAM = "tolbrint-map";
const char *const USAGE = "tolbrint-map [--scale N] [--no-overlays] LEVEL OUT.png";
const int LARGEST_SCALE = 8;
// Far wider than any level; a wider one is cut around the hero's start.
const long long LARGEST_MAP_WIDTH = 50000;
const long long LARGEST_MAP_PIXELS = 100LL << 20;

void print_help()
{
    std::printf("Usage: %s\n"
                "Renders the whole level LEVEL into the PNG picture OUT.png.\n"
                "\n"
                "Options:\n"
                "      --scale N      enlarge the picture N times (1 to %d; 1 when not given)\n"
                "      --no-overlays  only the level as the game draws it, without the marks\n"
                "                     for solid boxes, hit rectangles, portal, exit, scroll\n"
                "                     limits, the hero's start and the ruler\n%s"
                "\n"
                "Exit status: 0 when the picture is written, 1 otherwise.\n",
                USAGE, LARGEST_SCALE, TOOL_HELP_OPTIONS);
}

struct Options {
    int scale = 1;
    bool overlays = true;
    bool help = false;
    bool version = false;
    std::vector<std::string> files;
};

bool parse_scale(const std::string &text, int &scale)
{
    char *end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || value < 1 || value > LARGEST_SCALE)
        return false;
    scale = static_cast<int>(value);
    return true;
}

// False after printing what is wrong with the arguments.
bool parse_arguments(int argc, char **argv, Options &options)
{
    for (int i = 1; i < argc; i++) {
        const std::string argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            options.help = true;
        } else if (argument == "--version") {
            options.version = true;
        } else if (argument == "--no-overlays") {
            options.overlays = false;
        } else if (argument == "--scale" || argument.rfind("--scale=", 0) == 0) {
            const bool separate = argument == "--scale";
            if (separate && i + 1 == argc) {
                print_usage_error(PROGRAM, "--scale needs a number", USAGE);
                return false;
            }
            const std::string value = separate ? argv[++i] : argument.substr(8);
            if (!parse_scale(value, options.scale)) {
                print_usage_error(PROGRAM,
                                  "--scale needs a whole number from 1 to " + std::to_string(LARGEST_SCALE) +
                                      ", not \"" + value + "\"",
                                  USAGE);
                return false;
            }
        } else if (argument.size() > 1 && argument[0] == '-') {
            print_usage_error(PROGRAM, "unknown option \"" + argument + "\"", USAGE);
            return false;
        } else {
            options.files.push_back(argument);
        }
    }
    if (!options.help && !options.version && options.files.size() != 2) {
        print_usage_error(PROGRAM,
                          options.files.size() < 2 ? "needs a level file and a picture file to write"
                                                   : "takes one level file and one picture file",
                          USAGE);
        return false;
    }
    return true;
}

// --------------------------------------------------------------------------
// The map's extent, on the characters' axis

struct Span {
    long long first = LLONG_MAX;
    long long end = LLONG_MIN; // one past the last column

    void add(long long from, long long to)
    {
        first = std::min(first, from);
        end = std::max(end, to);
    }
    long long width() const { return end - first; }
};

void add_scenery(Span &span, const Object &object)
{
    if (object.sprite && object.x2 >= object.x1)
        span.add(static_cast<long long>(object.x1) + SCENERY_SHIFT,
                 static_cast<long long>(object.x2) + SCENERY_SHIFT + object.sprite->w);
}

void add_enemy(Span &span, const Enemy &enemy)
{
    if (enemy.sprite)
        span.add(enemy.x, static_cast<long long>(enemy.x) + enemy.sprite->w);
    for (const Enemy &part : enemy.parts)
        add_enemy(span, part);
}

// Everything that is drawn or marked; the scroll limits are marked when they
// fall inside, but do not widen the map.
Span level_extent(const Level &level, const RLE_SPRITE *hero)
{
    Span span;
    for (const Object &object : level.objects)
        add_scenery(span, object);
    for (const Solid_Object &object : level.solid_objects)
        add_scenery(span, object);
    for (const Enemy &enemy : level.enemies)
        add_enemy(span, enemy);
    for (const Enemy &enemy : level.header_enemies)
        add_enemy(span, enemy);
    for (const Portal &portal : level.portals)
        span.add(static_cast<long long>(portal.x) + SCENERY_SHIFT,
                 static_cast<long long>(portal.x) + SCENERY_SHIFT + PORTAL_WIDTH + 1);
    if (level.level_exit)
        span.add(static_cast<long long>(level.level_exit->x) + SCENERY_SHIFT,
                 static_cast<long long>(level.level_exit->x) + SCENERY_SHIFT + EXIT_WIDTH + 1);
    const long long hero_left = HERO_START_POSITION + HERO_SCREEN_X;
    span.add(hero_left, hero_left + (hero ? hero->w : 1));
    return span;
}

long long floor_to_view(long long column)
{
    const long long rest = ((column % VIEW_WIDTH) + VIEW_WIDTH) % VIEW_WIDTH;
    return column - rest;
}

// --------------------------------------------------------------------------
// Drawing the level with the game's drawers

// The background repeats every 320 columns of the characters' axis, as the
// scrolling panels show it; left_column is a multiple of 320.
void draw_level(Level &level, BITMAP *picture, int left_column)
{
    MapPanels panels(picture, left_column);
    for (int x = 0; x < picture->w; x += VIEW_WIDTH)
        blit(level.background, picture, 0, 0, x, 0, VIEW_WIDTH, VIEW_HEIGHT);
    level.display();
    // The hero where he starts: drawn on the screen at 130 + shift_x, so that
    // with the view at left_column his shift puts him at his world place.
    int x = HERO_SCREEN_X, y = HERO_SCREEN_Y;
    Zarn hero(x, y);
    shift_x = HERO_START_POSITION - left_column;
    shift_y = 0;
    hero.display();
}

// --------------------------------------------------------------------------
// Overlays

struct Colours {
    int box, hit, portal, level_exit, limit, start, ruler, text_back;
};

// The palette's nearest to white, red, yellow, lime green, sky blue, orange and
// black.
Colours overlay_colours(const PALETTE palette)
{
    const int white = bestfit_color(palette, 63, 63, 63);
    return {white,
            bestfit_color(palette, 63, 0, 0),
            bestfit_color(palette, 63, 63, 0),
            bestfit_color(palette, 47, 55, 22),
            bestfit_color(palette, 20, 40, 63),
            bestfit_color(palette, 63, 40, 8),
            white,
            bestfit_color(palette, 0, 0, 0)};
}

// Overlays on the cut picture, whose column 0 is column `left` of the
// characters' axis.
class Overlay {
public:
    Overlay(BITMAP *picture, long long left, const Colours &colours)
        : picture_(picture), left_(left), colours_(colours)
    {
    }

    void solid_boxes(const Level &level)
    {
        for (const Solid_Object &object : level.solid_objects)
            rect(picture_, scenery_column(object.x1), object.y1, scenery_column(object.x2 + 20LL), object.y2 + TILE,
                 colours_.box);
    }

    void hit_rectangles(const std::vector<Enemy> &enemies)
    {
        for (const Enemy &enemy : enemies) {
            const EnemyShape *shape = enemy_shape(enemy.kind);
            if (shape && shape->can_be_hit)
                rect(picture_, column(enemy.x), enemy.y, column(enemy.x + static_cast<long long>(ENEMY_WIDTH)),
                     enemy.y + shape->height, colours_.hit);
        }
    }

    void portals(const Level &level)
    {
        for (const Portal &portal : level.portals)
            span(portal.x, PORTAL_WIDTH, "PORTAL", colours_.portal);
    }

    // Labelled with the level it leads to.
    void level_exit(const Level &level)
    {
        if (level.level_exit)
            span(level.level_exit->x, EXIT_WIDTH, "EXIT " + level.level_exit->next, colours_.level_exit);
    }

    void scroll_limits(const Level &level)
    {
        limit(level.left_limit, "LEFT LIMIT", false);
        limit(level.right_limit, "RIGHT LIMIT", true);
    }

    void start()
    {
        const int at = scenery_column(HERO_START_POSITION);
        vline(picture_, at, HERO_SCREEN_Y, HERO_FEET_ROW, colours_.start);
        hline(picture_, scenery_column(HERO_START_POSITION + LANDING_FIRST_COLUMN), HERO_FEET_ROW,
              scenery_column(HERO_START_POSITION + LANDING_LAST_COLUMN), colours_.start);
        label("START", at - text_length(font, "START") / 2, START_LABEL_ROW, colours_.start);
    }

    // Ticks every tile of world x along the top, labels every 200.
    void ruler()
    {
        const long long first = left_ - SCENERY_SHIFT;
        const long long end = first + picture_->w;
        for (long long x = first - ((first % TILE) + TILE) % TILE; x < end; x += TILE) {
            const int length = x % 100 == 0 ? 6 : 2;
            vline(picture_, scenery_column(x), 0, length, colours_.ruler);
            if (x % 200 == 0)
                label(std::to_string(x).c_str(), scenery_column(x) + 2, 7, colours_.ruler);
        }
    }

private:
    static constexpr int SPAN_LABEL_ROW = 20;
    static constexpr int LIMIT_LABEL_ROW = 32;
    static constexpr int START_LABEL_ROW = HERO_SCREEN_Y - 12;

    // A column far outside the picture becomes one just outside it.
    int column(long long x) const
    {
        return static_cast<int>(std::clamp(x - left_, -1LL, static_cast<long long>(picture_->w)));
    }
    int scenery_column(long long x) const { return column(x + SCENERY_SHIFT); }

    // The hero's world points from x to x + width where Up does something.
    void span(long long x, int width, const std::string &name, int colour)
    {
        const int from = scenery_column(x);
        vline(picture_, from, 0, VIEW_HEIGHT - 1, colour);
        vline(picture_, scenery_column(x + static_cast<long long>(width)), 0, VIEW_HEIGHT - 1, colour);
        label(name.c_str(), from, SPAN_LABEL_ROW, colour);
    }

    void label(const char *text, int x, int y, int colour)
    {
        textout_ex(picture_, font, text, x, y, colour, colours_.text_back);
    }

    void limit(int position, const char *name, bool text_on_left)
    {
        const int at = scenery_column(position);
        for (int row = 0; row < VIEW_HEIGHT; row += 6)
            vline(picture_, at, row, row + 3, colours_.limit);
        const int x = text_on_left ? at - 2 - text_length(font, name) : at + 3;
        label(name, x, LIMIT_LABEL_ROW, colours_.limit);
    }

    BITMAP *picture_;
    long long left_;
    Colours colours_;
};

void draw_overlays(BITMAP *picture, long long left, const Level &level, const PALETTE palette)
{
    Overlay overlay(picture, left, overlay_colours(palette));
    overlay.solid_boxes(level);
    overlay.hit_rectangles(level.enemies);
    overlay.hit_rectangles(level.header_enemies);
    overlay.portals(level);
    overlay.level_exit(level);
    overlay.scroll_limits(level);
    overlay.start();
    overlay.ruler();
}

// --------------------------------------------------------------------------

bool save(const std::string &path, BITMAP *picture, int scale, const PALETTE palette)
{
    BITMAP *scaled = picture;
    if (scale > 1) {
        scaled = create_bitmap_ex(8, picture->w * scale, picture->h * scale);
        stretch_blit(picture, scaled, 0, 0, picture->w, picture->h, 0, 0, scaled->w, scaled->h);
    }
    errno = 0;
    const bool saved = save_png(path.c_str(), scaled, palette) == 0;
    if (!saved)
        std::fprintf(stderr, "%s: cannot write %s%s%s\n", PROGRAM, path.c_str(), errno ? ": " : "",
                     errno ? std::strerror(errno) : "");
    if (scaled != picture)
        destroy_bitmap(scaled);
    return saved;
}

// The part of the level that the map shows; false after saying why there is
// none.
bool map_window(const Level &level, int scale, Span &window)
{
    int x = HERO_SCREEN_X, y = HERO_SCREEN_Y;
    const Zarn hero(x, y);
    window = level_extent(level, hero.sprite);
    if (window.width() > LARGEST_MAP_WIDTH) {
        // What lies around the hero's start is most likely the level itself.
        const long long start = HERO_START_POSITION + SCENERY_SHIFT;
        const long long first =
            std::clamp(start - LARGEST_MAP_WIDTH / 2, window.first, window.end - LARGEST_MAP_WIDTH);
        std::fprintf(stderr, "%s: the level is %lld columns wide; the map shows world x %lld to %lld\n", PROGRAM,
                     window.width(), first - SCENERY_SHIFT, first + LARGEST_MAP_WIDTH - 1 - SCENERY_SHIFT);
        window = {first, first + LARGEST_MAP_WIDTH};
    }
    const long long pixels = window.width() * scale * VIEW_HEIGHT * scale;
    if (pixels > LARGEST_MAP_PIXELS) {
        std::fprintf(stderr, "%s: the map would be %lld x %d pixels; choose a smaller --scale\n", PROGRAM,
                     window.width() * scale, VIEW_HEIGHT * scale);
        return false;
    }
    if (floor_to_view(window.first) < INT_MIN / 2 || window.end > INT_MAX / 2) {
        std::fprintf(stderr, "%s: the level lies too far out to draw (world x %lld to %lld)\n", PROGRAM,
                     window.first - SCENERY_SHIFT, window.end - SCENERY_SHIFT);
        return false;
    }
    return true;
}

int render(const Options &options, const PALETTE palette)
{
    const std::string &level_file = options.files[0];
    Loaded loaded = load_level(level_file);
    if (!loaded.level) {
        std::fprintf(stderr, "%s\n", loaded.error.c_str());
        return 1;
    }
    Level &level = *loaded.level;
    Span window;
    if (!map_window(level, options.scale, window))
        return 1;
    // Drawn from a multiple of 320 so that the background lines up, then cut.
    const long long drawn_from = floor_to_view(window.first);
    BITMAP *drawn = create_bitmap_ex(8, static_cast<int>(window.end - drawn_from), VIEW_HEIGHT);
    draw_level(level, drawn, static_cast<int>(drawn_from));
    BITMAP *picture = create_sub_bitmap(drawn, static_cast<int>(window.first - drawn_from), 0,
                                        static_cast<int>(window.width()), VIEW_HEIGHT);
    if (options.overlays)
        draw_overlays(picture, window.first, level, palette);
    const bool saved = save(options.files[1], picture, options.scale, palette);
    destroy_bitmap(picture);
    destroy_bitmap(drawn);
    return saved ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    if (!parse_arguments(argc, argv, options))
        return 1;
    if (options.help) {
        print_help();
        return 0;
    }
    if (options.version) {
        print_version(PROGRAM);
        return 0;
    }
    PALETTE palette;
    if (!start(PROGRAM, palette))
        return 1;
    register_png_file_type();
    return render(options, palette);
}
END_OF_MAIN()
