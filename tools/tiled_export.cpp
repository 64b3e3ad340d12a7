// Level -> Tiled map. Scenery on the level's most common 20-pixel grid goes
// into tile layers, the rest into tile objects; palm trees, enemies, the
// portal and the exit become objects of their own class.
//
// The game draws scenery records in file order, and the last solid record
// that holds a point sets the landing height there, so records that draw
// over one another or overlap go into layers in their file order; the
// importer reads the layers in order. Within a tile layer the importer merges
// cells of one tile into rectangles, so a tile layer never holds a record
// beside another of the same tile: each record comes back exactly as it was.
#include <tinyxml2.h>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <climits>
#include <map>
#include <memory>

#include "enemy.h"
#include "level_tool.h"
#include "object.h"
#include "platform.h"
#include "tiled_map.h"
#include "tolbrint.h"

namespace tiled {

namespace {

using tinyxml2::XMLPrinter;

// Map sizes far beyond any level: a tile layer holds width * height cells.
constexpr long long LARGEST_MAP_CELLS = 4000000;
constexpr long long LARGEST_TILE_OBJECTS = 100000;

long long floor_mod(long long a, long long m) { return ((a % m) + m) % m; }
long long floor_to(long long a, long long m, long long phase) { return a - floor_mod(a - phase, m); }

// A half-open rectangle of scenery columns and rows.
struct Box {
    long long left = 0, top = 0, right = 0, bottom = 0;
    bool empty() const { return right <= left || bottom <= top; }
    bool meets(const Box &other) const
    {
        return !empty() && !other.empty() && left < other.right && other.left < right && top < other.bottom &&
               other.top < bottom;
    }
};

// A scenery record with what the layering needs to know about it.
struct Piece {
    SceneryRecord record;
    bool solid;
    int tile;
    long long columns, rows; // tiles drawn across and down
    bool on_grid;
    Box drawn;  // every pixel its tiles cover
    Box blocks; // the points its solid box holds, as a half-open box of integers
};

// An object at (0, 0) that draws as the tile does. Built as plain scenery
// with the tile's picture: a solid object would leave the loader's trace file.
Object tile_object(int tile, const std::string &sprite)
{
    int zero = 0;
    std::string name = sprite;
    Object object(zero, zero, zero, zero, name);
    object.sprite = tile >= 0 ? sprite_entry(tileset()[static_cast<std::size_t>(tile)].entry) : nullptr;
    return object;
}

Piece make_piece(const SceneryRecord &record, bool solid, long long phase_x, long long phase_y)
{
    Piece piece{record, solid, tile_for(record.sprite, solid), 0, 0, false, {}, {}};
    const long long x1 = record.x1, y1 = record.y1, x2 = record.x2, y2 = record.y2;
    piece.columns = x2 >= x1 ? (x2 - x1) / TILE + 1 : 0;
    piece.rows = y2 >= y1 ? (y2 - y1) / TILE + 1 : 0;
    const Object drawn_as = tile_object(piece.tile, record.sprite);
    if (drawn_as.sprite && piece.columns > 0 && piece.rows > 0)
        piece.drawn = {x1, y1 - scenery_rise(drawn_as), x1 + (piece.columns - 1) * TILE + drawn_as.sprite->w,
                       y1 + (piece.rows - 1) * TILE + drawn_as.sprite->h};
    if (solid)
        piece.blocks = {x1 + 1, y1 + 1, x2 + TILE, y2 + TILE};
    const bool aligned = floor_mod(x1 - phase_x, TILE) == 0 && floor_mod(y1 - phase_y, TILE) == 0;
    // A solid box must end on the grid too; plain scenery only draws its tiles.
    const bool box_on_grid = !solid || ((x2 - x1) % TILE == 0 && (y2 - y1) % TILE == 0);
    piece.on_grid = aligned && box_on_grid && piece.columns > 0 && piece.rows > 0;
    return piece;
}

// Neither drawn nor solid: the game never sees it.
bool unseen(const Piece &piece) { return piece.drawn.empty() && piece.blocks.empty(); }

bool must_follow(const Piece &later, const Piece &earlier)
{
    return later.drawn.meets(earlier.drawn) || later.blocks.meets(earlier.blocks);
}

// The map's frame: scenery column and row of its corner, its size in tiles.
struct Frame {
    long long origin_x = 0, origin_y = 0;
    long long width = 1, height = 1;
    long long column(long long x) const { return (x - origin_x) / TILE; }
    long long row(long long y) const { return (y - origin_y) / TILE; }
};

class Layer {
public:
    Layer(bool tiles, bool solid, const Frame &frame) : tiles_(tiles), solid_(solid), frame_(frame)
    {
        if (tiles)
            cells_.assign(static_cast<std::size_t>(frame.width * frame.height), 0);
    }

    bool tiles() const { return tiles_; }
    bool solid() const { return solid_; }
    const std::vector<const Piece *> &pieces() const { return pieces_; }
    int cell(long long column, long long row) const
    {
        if (column < 0 || row < 0 || column >= frame_.width || row >= frame_.height)
            return 0;
        return cells_[static_cast<std::size_t>(row * frame_.width + column)];
    }

    // A tile layer takes a record whose cells are free and which no record of
    // the same tile touches, so that the importer cannot merge the two.
    bool takes(const Piece &piece) const
    {
        if (!tiles_)
            return !piece.on_grid;
        if (!piece.on_grid)
            return false;
        const long long c0 = frame_.column(piece.record.x1), r0 = frame_.row(piece.record.y1);
        const int gid = piece.tile + 1;
        for (long long r = r0 - 1; r <= r0 + piece.rows; r++)
            for (long long c = c0 - 1; c <= c0 + piece.columns; c++) {
                const bool inside = r >= r0 && r < r0 + piece.rows && c >= c0 && c < c0 + piece.columns;
                const bool corner = (r < r0 || r >= r0 + piece.rows) && (c < c0 || c >= c0 + piece.columns);
                if ((inside && cell(c, r) != 0) || (!inside && !corner && cell(c, r) == gid))
                    return false;
            }
        return true;
    }

    void add(const Piece &piece)
    {
        pieces_.push_back(&piece);
        if (!tiles_)
            return;
        const long long c0 = frame_.column(piece.record.x1), r0 = frame_.row(piece.record.y1);
        for (long long r = r0; r < r0 + piece.rows; r++)
            for (long long c = c0; c < c0 + piece.columns; c++)
                cells_[static_cast<std::size_t>(r * frame_.width + c)] = piece.tile + 1;
    }

private:
    bool tiles_;
    bool solid_;
    Frame frame_;
    std::vector<int> cells_;
    std::vector<const Piece *> pieces_;
};

// Puts every piece of one section into the first layer that keeps the order
// it must be drawn in; an object layer keeps its objects' order, so a piece
// may join the object layer of one it must follow.
std::vector<Layer> layer_pieces(const std::vector<Piece> &pieces, bool solid, const Frame &frame)
{
    std::vector<Layer> layers;
    std::vector<std::size_t> layer_of(pieces.size(), 0);
    for (std::size_t i = 0; i < pieces.size(); i++) {
        const Piece &piece = pieces[i];
        std::size_t lowest = 0;
        for (std::size_t j = 0; j < i; j++)
            if (must_follow(piece, pieces[j])) {
                const bool same_objects = !piece.on_grid && !layers[layer_of[j]].tiles();
                lowest = std::max(lowest, layer_of[j] + (same_objects ? 0 : 1));
            }
        std::size_t k = lowest;
        while (k < layers.size() && !layers[k].takes(piece))
            k++;
        if (k == layers.size())
            layers.emplace_back(!piece.on_grid ? false : true, solid, frame);
        layers[k].add(piece);
        layer_of[i] = k;
    }
    return layers;
}

// The most common corner of the records on the 20-pixel grid.
void grid_phase(const LevelRecords &records, long long &phase_x, long long &phase_y)
{
    std::map<std::pair<long long, long long>, int> count;
    for (const auto *section : {&records.scenery, &records.solid})
        for (const SceneryRecord &record : *section)
            count[{floor_mod(record.x1, TILE), floor_mod(record.y1, TILE)}]++;
    phase_x = phase_y = 0;
    int best = 0;
    for (const auto &[phase, n] : count)
        if (n > best) {
            best = n;
            phase_x = phase.first;
            phase_y = phase.second;
        }
}

struct Extent {
    long long left = LLONG_MAX, top = LLONG_MAX, right = LLONG_MIN, bottom = LLONG_MIN;
    void add(long long l, long long t, long long r, long long b)
    {
        left = std::min(left, l);
        top = std::min(top, t);
        right = std::max(right, r);
        bottom = std::max(bottom, b);
    }
};

int enemy_width(const Enemy &enemy) { return enemy.sprite ? enemy.sprite->w : ENEMY_WIDTH; }
int enemy_height(const Enemy &enemy) { return enemy.sprite ? enemy.sprite->h : TILE; }

// Everything the map shows, the play view and the hero's start included.
Frame map_frame(const Level &level, const std::vector<Piece> &pieces, long long phase_x, long long phase_y)
{
    Extent extent;
    extent.add(-SCENERY_SHIFT, 0, -SCENERY_SHIFT + level_tool::VIEW_WIDTH, level_tool::VIEW_HEIGHT);
    for (const Piece &piece : pieces)
        if (!unseen(piece))
            extent.add(piece.record.x1, piece.record.y1, piece.record.x1 + piece.columns * TILE,
                       piece.record.y1 + piece.rows * TILE);
    for (const std::vector<Enemy> *list : {&level.header_enemies, &level.enemies})
        for (const Enemy &enemy : *list)
            extent.add(enemy.x - static_cast<long long>(SCENERY_SHIFT), enemy.y,
                       enemy.x - static_cast<long long>(SCENERY_SHIFT) + enemy_width(enemy),
                       static_cast<long long>(enemy.y) + enemy_height(enemy));
    for (const PalmTreeRecord &palm : level.palm_trees)
        extent.add(palm.x, static_cast<long long>(palm.y) + TILE - PALM_TREE_HEIGHT,
                   palm.x + static_cast<long long>(PALM_TREE_WIDTH), static_cast<long long>(palm.y) + TILE);
    for (const Portal &portal : level.portals)
        extent.add(portal.x, portal.y - static_cast<long long>(PORTAL_MARKER_HEIGHT),
                   portal.x + static_cast<long long>(PORTAL_WIDTH), portal.y);
    if (level.level_exit)
        extent.add(level.level_exit->x, HERO_FEET_ROW - PORTAL_MARKER_HEIGHT,
                   level.level_exit->x + static_cast<long long>(EXIT_WIDTH), HERO_FEET_ROW);
    Frame frame;
    frame.origin_x = floor_to(extent.left, TILE, phase_x);
    frame.origin_y = floor_to(extent.top, TILE, phase_y);
    frame.width = (extent.right - frame.origin_x + TILE - 1) / TILE;
    frame.height = (extent.bottom - frame.origin_y + TILE - 1) / TILE;
    if (frame.width * frame.height > LARGEST_MAP_CELLS || !fits_int(frame.origin_x) || !fits_int(frame.origin_y))
        throw TiledError("the level spans " + std::to_string(frame.width * TILE) + " x " +
                         std::to_string(frame.height * TILE) +
                         " pixels, too large for a Tiled map; bring its far-off records closer");
    return frame;
}

// --- Writing the XML --------------------------------------------------------------

class MapWriter {
public:
    explicit MapWriter(const Frame &frame) : frame_(frame) {}

    XMLPrinter &printer() { return printer_; }
    const char *text() const { return printer_.CStr(); }

    void property(const char *name, const char *type, const std::string &value)
    {
        printer_.OpenElement("property");
        printer_.PushAttribute("name", name);
        if (type)
            printer_.PushAttribute("type", type);
        printer_.PushAttribute("value", value.c_str());
        printer_.CloseElement();
    }
    void property(const char *name, int value) { property(name, "int", std::to_string(value)); }
    void property(const char *name, long long value) { property(name, "int", std::to_string(value)); }
    void property(const char *name, bool value) { property(name, "bool", value ? "true" : "false"); }

    void open_layer(const char *element, const std::string &name)
    {
        printer_.OpenElement(element);
        printer_.PushAttribute("id", next_layer_++);
        printer_.PushAttribute("name", name.c_str());
    }

    // An object at scenery column x and row y, as long long so that no sum
    // overflows before it is written.
    void open_object(const std::string &name, const std::string &type, long long x, long long y)
    {
        printer_.OpenElement("object");
        printer_.PushAttribute("id", next_object_++);
        if (!name.empty())
            printer_.PushAttribute("name", name.c_str());
        if (!type.empty())
            printer_.PushAttribute("type", type.c_str());
        printer_.PushAttribute("x", static_cast<int64_t>(x - frame_.origin_x));
        printer_.PushAttribute("y", static_cast<int64_t>(y - frame_.origin_y));
    }
    void size(long long width, long long height)
    {
        printer_.PushAttribute("width", static_cast<int64_t>(width));
        printer_.PushAttribute("height", static_cast<int64_t>(height));
    }

    int next_layer() const { return next_layer_; }
    int next_object() const { return next_object_; }

private:
    XMLPrinter printer_;
    Frame frame_;
    int next_layer_ = 1;
    int next_object_ = 1;
};

// Layer names: "scenery", "scenery 2", ..., "solid objects", ...
std::string layer_name(const Layer &layer, int number)
{
    std::string name = layer.solid() ? "solid" : "scenery";
    if (!layer.tiles())
        name += " objects";
    return number > 1 ? name + " " + std::to_string(number) : name;
}

void write_tile_layer(MapWriter &out, const Layer &layer, const std::string &name, const Frame &frame)
{
    XMLPrinter &p = out.printer();
    out.open_layer("layer", name);
    p.PushAttribute("width", static_cast<int64_t>(frame.width));
    p.PushAttribute("height", static_cast<int64_t>(frame.height));
    p.OpenElement("properties");
    out.property(SOLID_PROPERTY, layer.solid());
    p.CloseElement();
    p.OpenElement("data");
    p.PushAttribute("encoding", "csv");
    std::string csv = "\n";
    for (long long r = 0; r < frame.height; r++) {
        for (long long c = 0; c < frame.width; c++) {
            csv += std::to_string(layer.cell(c, r));
            if (r + 1 < frame.height || c + 1 < frame.width)
                csv += ',';
        }
        csv += '\n';
    }
    p.PushText(csv.c_str());
    p.CloseElement();
    p.CloseElement();
}

// A tile object's corner is its bottom left.
void write_tile_object(MapWriter &out, int tile, long long x, long long y, long long width, long long height)
{
    out.open_object("", "", x, y + height);
    out.printer().PushAttribute("gid", tile + 1);
    out.size(width, height);
    out.printer().CloseElement();
}

void write_object_layer(MapWriter &out, const Layer &layer, const std::string &name)
{
    XMLPrinter &p = out.printer();
    out.open_layer("objectgroup", name);
    p.OpenElement("properties");
    out.property(SOLID_PROPERTY, layer.solid());
    p.CloseElement();
    for (const Piece *piece : layer.pieces()) {
        const SceneryRecord &r = piece->record;
        if (piece->solid) {
            // One object, so that its solid box stays whole.
            write_tile_object(out, piece->tile, r.x1, r.y1, static_cast<long long>(r.x2) - r.x1 + TILE,
                              static_cast<long long>(r.y2) - r.y1 + TILE);
            continue;
        }
        // Plain scenery is only its tiles, one object each, in drawing order.
        for (long long j = 0; j < piece->rows; j++)
            for (long long k = 0; k < piece->columns; k++)
                write_tile_object(out, piece->tile, r.x1 + k * TILE, r.y1 + j * TILE, TILE, TILE);
    }
    p.CloseElement();
}

void write_scenery_layers(MapWriter &out, const std::vector<Layer> &layers, const Frame &frame)
{
    std::map<std::pair<bool, bool>, int> numbers; // by solid, tiles
    for (const Layer &layer : layers) {
        const std::string name = layer_name(layer, ++numbers[{layer.solid(), layer.tiles()}]);
        if (layer.tiles())
            write_tile_layer(out, layer, name, frame);
        else
            write_object_layer(out, layer, name);
    }
}

// The first tile number of the things' tileset, after the scenery's.
int first_thing_gid() { return 1 + static_cast<int>(tileset().size()); }

int thing_gid(const std::string &kind)
{
    const std::vector<std::string> &classes = thing_classes();
    return first_thing_gid() + static_cast<int>(std::find(classes.begin(), classes.end(), kind) - classes.begin());
}

// A thing's picture as a tile object, whose corner is its bottom left.
void open_thing(MapWriter &out, const std::string &name, const std::string &kind, long long x, long long bottom,
                int width, int height)
{
    out.open_object(name, kind, x, bottom);
    out.printer().PushAttribute("gid", thing_gid(kind));
    out.size(width, height);
}

void write_enemies(MapWriter &out, const std::vector<Enemy> &enemies, bool header)
{
    XMLPrinter &p = out.printer();
    for (const Enemy &enemy : enemies) {
        open_thing(out, enemy.kind, enemy.kind, enemy.x - static_cast<long long>(SCENERY_SHIFT),
                   static_cast<long long>(enemy.y) + enemy_height(enemy), enemy_width(enemy), enemy_height(enemy));
        p.OpenElement("properties");
        out.property(HEADER_ENEMY_PROPERTY, header);
        p.CloseElement();
        p.CloseElement();
    }
}

std::string joined(const std::vector<std::string> &words, std::size_t from)
{
    std::string text;
    for (std::size_t i = from; i < words.size(); i++)
        text += (text.empty() ? "" : " ") + words[i];
    return text;
}

void write_things(MapWriter &out, const Level &level)
{
    XMLPrinter &p = out.printer();
    out.open_layer("objectgroup", "palm trees");
    for (const PalmTreeRecord &palm : level.palm_trees) {
        open_thing(out, "palm tree", PALM_TREE_CLASS, palm.x, static_cast<long long>(palm.y) + TILE, PALM_TREE_WIDTH,
                   PALM_TREE_HEIGHT);
        p.OpenElement("properties");
        out.property("a", palm.third);
        out.property("b", palm.fourth);
        p.CloseElement();
        p.CloseElement();
    }
    p.CloseElement();

    out.open_layer("objectgroup", "enemies");
    write_enemies(out, level.header_enemies, true);
    write_enemies(out, level.enemies, false);
    p.CloseElement();

    out.open_layer("objectgroup", "portal");
    for (const Portal &portal : level.portals) {
        out.open_object("portal", PORTAL_CLASS, portal.x, portal.y - static_cast<long long>(PORTAL_MARKER_HEIGHT));
        out.size(PORTAL_WIDTH, PORTAL_MARKER_HEIGHT);
        p.OpenElement("properties");
        out.property("procedure", nullptr, portal.procedure);
        // Two words the tent takes before its message; "false" and "0" as the
        // guide writes them when the level has fewer.
        out.property("first", nullptr, portal.args.size() > 0 ? portal.args[0] : "false");
        out.property("second", nullptr, portal.args.size() > 1 ? portal.args[1] : "0");
        out.property("message", nullptr, joined(portal.args, 2));
        p.CloseElement();
        p.CloseElement();
    }
    p.CloseElement();

    // Always there, so that an author can put an exit into a level without one.
    out.open_layer("objectgroup", "exit");
    if (level.level_exit) {
        out.open_object("exit", EXIT_CLASS, level.level_exit->x, HERO_FEET_ROW - PORTAL_MARKER_HEIGHT);
        out.size(EXIT_WIDTH, PORTAL_MARKER_HEIGHT);
        p.OpenElement("properties");
        out.property(EXIT_NEXT_PROPERTY, nullptr, level.level_exit->next);
        p.CloseElement();
        p.CloseElement();
    }
    p.CloseElement();
}

void write_map_properties(MapWriter &out, const Level &level, const std::string &background, const Frame &frame)
{
    XMLPrinter &p = out.printer();
    p.OpenElement("properties");
    out.property("header value 1", level.header_value_1);
    out.property("header value 2", level.header_value_2);
    out.property("background", nullptr, background);
    out.property("horizontal scrolling", level.scroll_x_enabled);
    out.property("vertical scrolling", level.scroll_y_enabled);
    out.property("flag 3", level.flag_3);
    out.property("flag 4", level.flag_4);
    out.property("flag 5", level.flag_5);
    out.property("flag 6", level.flag_6);
    out.property("left limit", level.left_limit);
    out.property("right limit", level.right_limit);
    out.property("top limit", level.top_limit);
    out.property("bottom limit", level.bottom_limit);
    out.property("header word 1", nullptr, level.header_word_1);
    out.property("header word 2", nullptr, level.header_word_2);
    out.property("flag 7", level.flag_7);
    out.property(ORIGIN_X, frame.origin_x);
    out.property(ORIGIN_Y, frame.origin_y);
    p.CloseElement();
}

// The background repeats across the map as the scrolling view shows it: at
// the characters' column X it shows its column X mod 320.
void write_background(MapWriter &out, const Level &level, const Frame &frame)
{
    XMLPrinter &p = out.printer();
    out.open_layer("imagelayer", "background");
    const long long width = level.background ? level.background->w : level_tool::VIEW_WIDTH;
    p.PushAttribute("offsetx", static_cast<int64_t>(-floor_mod(frame.origin_x + SCENERY_SHIFT, width)));
    p.PushAttribute("offsety", static_cast<int64_t>(-frame.origin_y));
    p.PushAttribute("repeatx", 1);
    p.OpenElement("image");
    p.PushAttribute("source", BACKGROUND_IMAGE);
    p.PushAttribute("width", static_cast<int64_t>(width));
    p.PushAttribute("height", level_tool::VIEW_HEIGHT);
    p.CloseElement();
    p.CloseElement();
}

// Colour 0 is the sprites' transparent colour: the pictures of tiles and
// things leave it out as a 32-bit picture with an alpha channel.
void save_with_transparency(const std::string &path, BITMAP *picture, const PALETTE palette)
{
    BITMAP *with_alpha = create_bitmap_ex(32, picture->w, picture->h);
    for (int y = 0; y < picture->h; y++)
        for (int x = 0; x < picture->w; x++) {
            const int index = getpixel(picture, x, y);
            const RGB &c = palette[index];
            putpixel(with_alpha, x, y,
                     index == 0 ? makeacol32(0, 0, 0, 0)
                                : makeacol32(_rgb_scale_6[c.r], _rgb_scale_6[c.g], _rgb_scale_6[c.b], 255));
        }
    try {
        save_picture(path, with_alpha, palette);
    } catch (...) {
        destroy_bitmap(with_alpha);
        throw;
    }
    destroy_bitmap(with_alpha);
}

int tileset_rows() { return static_cast<int>((tileset().size() + TILESET_COLUMNS - 1) / TILESET_COLUMNS); }

// Each tile drawn by the game's own drawer, clipped to its 20 x 20 cell.
void write_tileset_image(const std::string &path, const PALETTE palette)
{
    BITMAP *image = create_bitmap_ex(8, TILESET_COLUMNS * TILE, tileset_rows() * TILE);
    clear_to_color(image, 0);
    const std::vector<Tile> &tiles = tileset();
    for (std::size_t i = 0; i < tiles.size(); i++) {
        BITMAP *cell = create_sub_bitmap(image, static_cast<int>(i % TILESET_COLUMNS) * TILE,
                                         static_cast<int>(i / TILESET_COLUMNS) * TILE, TILE, TILE);
        {
            level_tool::MapPanels panels(cell, SCENERY_SHIFT);
            tile_object(static_cast<int>(i), tiles[i].sprite).display();
        }
        destroy_bitmap(cell);
    }
    try {
        save_with_transparency(path, image, palette);
    } catch (...) {
        destroy_bitmap(image);
        throw;
    }
    destroy_bitmap(image);
}

void write_tileset(const std::string &directory, const PALETTE palette)
{
    write_tileset_image(directory + "/" + TILESET_IMAGE, palette);
    MapWriter out(Frame{});
    XMLPrinter &p = out.printer();
    p.PushHeader(false, true);
    p.OpenElement("tileset");
    p.PushAttribute("version", "1.8");
    p.PushAttribute("name", TILESET_NAME);
    p.PushAttribute("tilewidth", TILE);
    p.PushAttribute("tileheight", TILE);
    p.PushAttribute("tilecount", static_cast<int>(tileset().size()));
    p.PushAttribute("columns", TILESET_COLUMNS);
    p.OpenElement("image");
    p.PushAttribute("source", TILESET_IMAGE);
    p.PushAttribute("width", TILESET_COLUMNS * TILE);
    p.PushAttribute("height", tileset_rows() * TILE);
    p.CloseElement();
    for (std::size_t i = 0; i < tileset().size(); i++) {
        p.OpenElement("tile");
        p.PushAttribute("id", static_cast<int>(i));
        p.OpenElement("properties");
        out.property("sprite", nullptr, tileset()[i].sprite);
        out.property("solid look", tileset()[i].solid_look);
        p.CloseElement();
        p.CloseElement();
    }
    p.CloseElement();
    write_file(directory + "/" + TILESET_FILE, out.text());
}

std::string thing_image(const std::string &kind)
{
    std::string name = "tolbrint-" + kind + ".png";
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    return name;
}

// A palm tree drawn by the game's loader and drawers: a level of one palm,
// loaded from a scratch file.
BITMAP *palm_tree_picture()
{
    BITMAP *picture = create_bitmap_ex(8, PALM_TREE_WIDTH, PALM_TREE_HEIGHT);
    clear_to_color(picture, 0);
    char path[] = "/tmp/tolbrint-palm-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0)
        return picture;
    close(fd);
    const std::string palm_y = std::to_string(PALM_TREE_HEIGHT - TILE);
    write_file(path, std::string("0 0 DUNE1 yes no no no no no 0 0 0 200 palm tree no\nBREAK\nscenery follows\n"
                                 "BREAK\nBREAK\nBREAK\n0 ") +
                         palm_y + " 0 0 " + PALM_TREE_CLASS + "\nBREAK\nBREAK\nBREAK\n");
    level_tool::Loaded loaded = level_tool::load_level(path);
    std::remove(path);
    if (loaded.level) {
        level_tool::MapPanels panels(picture, SCENERY_SHIFT);
        for (Object &object : loaded.level->objects)
            object.display();
    }
    return picture;
}

BITMAP *enemy_picture(const std::string &kind)
{
    int zero = 0;
    std::string name = kind;
    Enemy enemy(zero, zero, name);
    BITMAP *picture = create_bitmap_ex(8, enemy_width(enemy), enemy_height(enemy));
    clear_to_color(picture, 0);
    level_tool::MapPanels panels(picture, 0);
    enemy.display();
    return picture;
}

// An image collection: each thing has a picture of its own size.
void write_things_tileset(const std::string &directory, const PALETTE palette)
{
    MapWriter out(Frame{});
    XMLPrinter &p = out.printer();
    p.PushHeader(false, true);
    p.OpenElement("tileset");
    p.PushAttribute("version", "1.8");
    p.PushAttribute("name", THINGS_TILESET_NAME);
    p.PushAttribute("tilewidth", PALM_TREE_WIDTH);
    p.PushAttribute("tileheight", PALM_TREE_HEIGHT);
    p.PushAttribute("tilecount", static_cast<int>(thing_classes().size()));
    p.PushAttribute("columns", 0);
    p.OpenElement("grid");
    p.PushAttribute("orientation", "orthogonal");
    p.PushAttribute("width", 1);
    p.PushAttribute("height", 1);
    p.CloseElement();
    for (std::size_t i = 0; i < thing_classes().size(); i++) {
        const std::string &kind = thing_classes()[i];
        BITMAP *picture = kind == PALM_TREE_CLASS ? palm_tree_picture() : enemy_picture(kind);
        const std::string image = thing_image(kind);
        p.OpenElement("tile");
        p.PushAttribute("id", static_cast<int>(i));
        p.PushAttribute("type", kind.c_str());
        p.OpenElement("image");
        p.PushAttribute("width", picture->w);
        p.PushAttribute("height", picture->h);
        p.PushAttribute("source", image.c_str());
            p.CloseElement();
        p.CloseElement();
        try {
            save_with_transparency(directory + "/" + image, picture, palette);
        } catch (...) {
            destroy_bitmap(picture);
            throw;
        }
        destroy_bitmap(picture);
    }
    p.CloseElement();
    write_file(directory + "/" + THINGS_TILESET_FILE, out.text());
}

void write_background_image(const std::string &path, const Level &level, const PALETTE palette)
{
    BITMAP *image = create_bitmap_ex(8, level_tool::VIEW_WIDTH, level_tool::VIEW_HEIGHT);
    clear_to_color(image, 0);
    if (level.background)
        blit(level.background, image, 0, 0, 0, 0, image->w, image->h);
    try {
        save_picture(path, image, palette);
    } catch (...) {
        destroy_bitmap(image);
        throw;
    }
    destroy_bitmap(image);
}

std::vector<Piece> pieces_of(const std::vector<SceneryRecord> &records, bool solid, long long phase_x,
                             long long phase_y)
{
    std::vector<Piece> pieces;
    for (const SceneryRecord &record : records) {
        Piece piece = make_piece(record, solid, phase_x, phase_y);
        if (!unseen(piece))
            pieces.push_back(piece);
    }
    return pieces;
}

void write_map(MapWriter &out, const Level &level, const std::string &background, const std::vector<Layer> &layers,
               const Frame &frame, int next_layer, int next_object)
{
    XMLPrinter &p = out.printer();
    p.PushHeader(false, true);
    p.OpenElement("map");
    p.PushAttribute("version", "1.8");
    p.PushAttribute("orientation", "orthogonal");
    p.PushAttribute("renderorder", "right-down");
    p.PushAttribute("width", static_cast<int64_t>(frame.width));
    p.PushAttribute("height", static_cast<int64_t>(frame.height));
    p.PushAttribute("tilewidth", TILE);
    p.PushAttribute("tileheight", TILE);
    p.PushAttribute("infinite", 0);
    p.PushAttribute("nextlayerid", next_layer);
    p.PushAttribute("nextobjectid", next_object);
    write_map_properties(out, level, background, frame);
    p.OpenElement("tileset");
    p.PushAttribute("firstgid", 1);
    p.PushAttribute("source", TILESET_FILE);
    p.CloseElement();
    p.OpenElement("tileset");
    p.PushAttribute("firstgid", first_thing_gid());
    p.PushAttribute("source", THINGS_TILESET_FILE);
    p.CloseElement();
    write_background(out, level, frame);
    write_scenery_layers(out, layers, frame);
    write_things(out, level);
    p.CloseElement();
}

// Scenery off the grid is written as one tile object per plain tile.
void check_tile_objects(const std::vector<Piece> &pieces)
{
    long long count = 0;
    for (const Piece &piece : pieces)
        if (!piece.on_grid)
            count += piece.solid ? 1 : piece.rows * piece.columns;
    if (count > LARGEST_TILE_OBJECTS)
        throw TiledError("the scenery off the grid needs more than " + std::to_string(LARGEST_TILE_OBJECTS) +
                         " tile objects, too many for a Tiled map");
}

} // namespace

void export_map(const Level &level, const std::string &background, const std::string &level_name,
                const std::string &out_tmx, const PALETTE palette)
{
    const LevelRecords records = records_of(level, background);
    long long phase_x, phase_y;
    grid_phase(records, phase_x, phase_y);
    const std::vector<Piece> plain = pieces_of(records.scenery, false, phase_x, phase_y);
    const std::vector<Piece> solid = pieces_of(records.solid, true, phase_x, phase_y);
    std::vector<Piece> all = plain;
    all.insert(all.end(), solid.begin(), solid.end());
    Frame frame;
    try {
        frame = map_frame(level, all, phase_x, phase_y);
        check_tile_objects(all);
    } catch (const TiledError &error) {
        throw TiledError(level_name + ": " + error.what());
    }
    std::vector<Layer> layers = layer_pieces(plain, false, frame);
    std::vector<Layer> solid_layers = layer_pieces(solid, true, frame);
    layers.insert(layers.end(), solid_layers.begin(), solid_layers.end());

    // Tiled wants the next free ids on the map element: a first pass counts.
    MapWriter count(frame);
    write_map(count, level, background, layers, frame, 0, 0);
    MapWriter out(frame);
    write_map(out, level, background, layers, frame, count.next_layer(), count.next_object());

    const std::string directory = directory_of(out_tmx);
    std::string problem;
    if (!make_directories(directory, problem))
        throw TiledError("cannot make the folder " + problem);
    write_tileset(directory, palette);
    write_things_tileset(directory, palette);
    write_background_image(directory + "/" + BACKGROUND_IMAGE, level, palette);
    write_file(out_tmx, out.text());
}

} // namespace tiled
