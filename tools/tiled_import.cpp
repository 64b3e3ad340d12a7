// Tiled map -> level records. Tile layers and tile objects are scenery of the
// section their layer's "solid" property names; in a tile layer, cells of one
// tile side by side merge into one rectangle. Layers are read in order, so
// what the author puts in a later layer is drawn later. Every other object
// is a palm tree, an enemy, the portal or the exit, by its class.
#include <tinyxml2.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <sstream>

#include "enemy.h"
#include "object.h"
#include "tiled_map.h"
#include "tolbrint.h"

namespace tiled {

namespace {

using tinyxml2::XMLDocument;
using tinyxml2::XMLElement;

constexpr uint32_t FLIP_BITS = 0xF0000000u; // Tiled's flip and rotation flags

// Where a problem is: "layer "solid", object 12 ("ZOMBIE")".
class Place {
public:
    explicit Place(const std::string &file) : file_(file) {}
    Place layer(const std::string &name) const { return Place(file_, "layer \"" + name + "\""); }
    Place object(const XMLElement &object) const
    {
        std::string where = where_ + ", object " + attribute(object, "id", "without id");
        const char *name = object.Attribute("name");
        if (name && *name)
            where += std::string(" (\"") + name + "\")";
        return Place(file_, where);
    }
    Place cell(long long column, long long row) const
    {
        return Place(file_, where_ + ", tile at column " + std::to_string(column) + ", row " + std::to_string(row));
    }
    Place property(const std::string &name) const
    {
        return Place(file_, (where_.empty() ? "map" : where_) + ", property \"" + name + "\"");
    }
    [[noreturn]] void fail(const std::string &problem) const
    {
        throw TiledError(file_ + ": " + (where_.empty() ? "" : where_ + ": ") + problem);
    }

private:
    Place(const std::string &file, const std::string &where) : file_(file), where_(where) {}
    static std::string attribute(const XMLElement &element, const char *name, const char *otherwise)
    {
        const char *value = element.Attribute(name);
        return value ? value : otherwise;
    }

    std::string file_;
    std::string where_;
};

// --- Properties ------------------------------------------------------------------

// A property element's value: its value attribute, or its text when Tiled
// wrote a string of several lines.
const char *property_value(const XMLElement &property)
{
    const char *value = property.Attribute("value");
    if (value)
        return value;
    const char *text = property.GetText();
    return text ? text : "";
}

const XMLElement *find_property(const XMLElement &owner, const char *name)
{
    const XMLElement *properties = owner.FirstChildElement("properties");
    if (!properties)
        return nullptr;
    for (const XMLElement *p = properties->FirstChildElement("property"); p; p = p->NextSiblingElement("property"))
        if (p->Attribute("name", name))
            return p;
    return nullptr;
}

const XMLElement &require_property(const XMLElement &owner, const char *name, const Place &where)
{
    const XMLElement *property = find_property(owner, name);
    if (!property)
        where.fail("missing property \"" + std::string(name) + "\"");
    return *property;
}

bool parse_int(const char *text, long long &value)
{
    if (!text || !*text)
        return false;
    char *end = nullptr;
    errno = 0;
    value = std::strtoll(text, &end, 10);
    return *end == '\0' && errno == 0;
}

int int_property(const XMLElement &owner, const char *name, const Place &where)
{
    const char *text = property_value(require_property(owner, name, where));
    long long value;
    if (!parse_int(text, value) || !fits_int(value))
        where.property(name).fail("\"" + std::string(text) + "\" is not a whole number from -2147483648 to 2147483647");
    return static_cast<int>(value);
}

bool bool_property(const XMLElement &owner, const char *name, const Place &where)
{
    const std::string text = property_value(require_property(owner, name, where));
    if (text != "true" && text != "false")
        where.property(name).fail("\"" + text + "\" is not true or false");
    return text == "true";
}

std::string string_property(const XMLElement &owner, const char *name, const Place &where)
{
    return property_value(require_property(owner, name, where));
}

bool is_blank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// The words of a text as the level file's reader splits them.
std::vector<std::string> words_of(const std::string &text)
{
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

// One word of the level file: not empty, no blanks, and not the word that
// would end the list it stands in.
std::string word_property(const XMLElement &owner, const char *name, const Place &where, const char *ender)
{
    const std::string text = string_property(owner, name, where);
    if (text.empty() || std::any_of(text.begin(), text.end(), is_blank))
        where.property(name).fail("\"" + text + "\" must be one word, without blanks");
    if (ender && text == ender)
        where.property(name).fail(std::string("\"") + ender + "\" cannot stand here: it would end the record");
    return text;
}

// --- Positions -------------------------------------------------------------------

long long position(const XMLElement &element, const char *name, const Place &where)
{
    double value = 0;
    element.QueryDoubleAttribute(name, &value);
    if (!std::isfinite(value) || std::fabs(value) > 1e15)
        where.fail(std::string(name) + " " + std::to_string(value) + " is out of range");
    return std::llround(value);
}

int level_int(long long value, const char *what, const Place &where)
{
    if (!fits_int(value))
        where.fail(std::string(what) + " " + std::to_string(value) + " lies outside the level's number range");
    return static_cast<int>(value);
}

// --- The tileset -------------------------------------------------------------------

struct OurTileset {
    int64_t first_gid = 0;
    int64_t count = 0;
    bool found = false;
    std::map<int64_t, std::string> sprites; // by tile id
};

// The tileset's own element: the map's, or the root of the file it names;
// null when that file is not a tileset.
const XMLElement *tileset_element(const XMLElement &tileset, const std::string &directory, XMLDocument &document,
                                  const Place &where)
{
    const char *source = tileset.Attribute("source");
    if (!source)
        return &tileset;
    const std::string path = source[0] == '/' ? source : directory + "/" + source;
    if (document.LoadFile(path.c_str()) != tinyxml2::XML_SUCCESS)
        where.fail("cannot read the tileset " + path + ": " + document.ErrorStr());
    const XMLElement *root = document.RootElement();
    return root && std::strcmp(root->Name(), "tileset") == 0 ? root : nullptr;
}

// Each tile is the sprite its "sprite" property names, so that a map keeps
// its tiles when the tileset of a later tolbrint-tiled numbers them otherwise.
void read_tile_sprites(const XMLElement &tileset, OurTileset &ours, const Place &where)
{
    tileset.QueryInt64Attribute("tilecount", &ours.count);
    for (const XMLElement *tile = tileset.FirstChildElement("tile"); tile; tile = tile->NextSiblingElement("tile")) {
        const XMLElement *property = find_property(*tile, "sprite");
        if (!property)
            continue;
        const std::string sprite = property_value(*property);
        if (!is_scenery_sprite_name(sprite))
            where.fail("tile " + std::to_string(tile->Int64Attribute("id")) + " of the tileset \"" + TILESET_NAME +
                       "\" is the sprite \"" + sprite + "\", which the game does not know");
        ours.sprites[tile->Int64Attribute("id")] = sprite;
    }
}

OurTileset find_tileset(const XMLElement &map, const std::string &directory, const Place &where)
{
    OurTileset ours;
    for (const XMLElement *t = map.FirstChildElement("tileset"); t; t = t->NextSiblingElement("tileset")) {
        XMLDocument document;
        const XMLElement *tileset = tileset_element(*t, directory, document, where);
        if (!tileset || !tileset->Attribute("name", TILESET_NAME))
            continue;
        if (t->QueryInt64Attribute("firstgid", &ours.first_gid) != tinyxml2::XML_SUCCESS || ours.first_gid < 1)
            where.fail("the tileset \"" + std::string(TILESET_NAME) + "\" has no valid firstgid");
        ours.found = true;
        read_tile_sprites(*tileset, ours, where);
    }
    return ours;
}

// --- Reading the map --------------------------------------------------------------

class Importer {
public:
    Importer(const std::string &file, const XMLElement &map, const OurTileset &tileset)
        : top_(file), map_(map), tileset_(tileset)
    {
        origin_x_ = int_property(map, ORIGIN_X, top_);
        origin_y_ = int_property(map, ORIGIN_Y, top_);
        map.QueryInt64Attribute("width", &width_);
        map.QueryInt64Attribute("height", &height_);
    }

    LevelRecords read()
    {
        read_header();
        read_layers(map_);
        return std::move(records_);
    }

private:
    void read_header()
    {
        Header &h = records_.header;
        h.value_1 = int_property(map_, "header value 1", top_);
        h.value_2 = int_property(map_, "header value 2", top_);
        // The loader, reading the level back, tells a background it does not know.
        h.background = word_property(map_, "background", top_, nullptr);
        h.scroll_x = bool_property(map_, "horizontal scrolling", top_);
        h.scroll_y = bool_property(map_, "vertical scrolling", top_);
        const char *flags[4] = {"flag 3", "flag 4", "flag 5", "flag 6"};
        for (int i = 0; i < 4; i++)
            h.flags[i] = bool_property(map_, flags[i], top_);
        h.left_limit = int_property(map_, "left limit", top_);
        h.right_limit = int_property(map_, "right limit", top_);
        h.top_limit = int_property(map_, "top limit", top_);
        h.bottom_limit = int_property(map_, "bottom limit", top_);
        h.word_1 = word_property(map_, "header word 1", top_, nullptr);
        h.word_2 = word_property(map_, "header word 2", top_, nullptr);
        h.flag_7 = bool_property(map_, "flag 7", top_);
    }

    // Layers in order, those inside group layers where the group stands.
    void read_layers(const XMLElement &parent)
    {
        for (const XMLElement *e = parent.FirstChildElement(); e; e = e->NextSiblingElement()) {
            const std::string kind = e->Name();
            const char *name = e->Attribute("name");
            const Place where = top_.layer(name ? name : "");
            if (kind == "layer")
                read_tile_layer(*e, where);
            else if (kind == "objectgroup")
                read_object_layer(*e, where);
            else if (kind == "group")
                read_layers(*e);
        }
    }

    std::vector<SceneryRecord> &section(const XMLElement &layer, const Place &where)
    {
        return bool_property(layer, SOLID_PROPERTY, where) ? records_.solid : records_.scenery;
    }

    // The sprite of a tile number, after the checks.
    const std::string &sprite_of(uint32_t gid, const Place &where) const
    {
        if (gid & FLIP_BITS)
            where.fail("the tile is flipped or rotated, which the game cannot draw");
        const long long count = tileset_.count;
        if (!tileset_.found)
            where.fail("tile " + std::to_string(gid) + " is outside our tileset: the map has no tileset \"" +
                       TILESET_NAME + "\"");
        if (gid < tileset_.first_gid || gid >= tileset_.first_gid + count)
            where.fail("tile " + std::to_string(gid) + " is outside our tileset \"" + TILESET_NAME + "\" (tiles " +
                       std::to_string(tileset_.first_gid) + " to " + std::to_string(tileset_.first_gid + count - 1) +
                       ")");
        const auto sprite = tileset_.sprites.find(gid - tileset_.first_gid);
        if (sprite == tileset_.sprites.end())
            where.fail("tile " + std::to_string(gid) + " of our tileset \"" + TILESET_NAME +
                       "\" has no \"sprite\" property");
        return sprite->second;
    }

    std::vector<uint32_t> cells(const XMLElement &layer, const Place &where) const
    {
        const XMLElement *data = layer.FirstChildElement("data");
        if (!data)
            where.fail("the layer has no tile data");
        if (data->FirstChildElement("chunk"))
            where.fail("the map is infinite; uncheck Infinite in the map's properties");
        const char *compression = data->Attribute("compression");
        if (compression)
            where.fail(std::string("the tile data is compressed with ") + compression +
                       "; set the map's tile layer format to CSV");
        const char *encoding = data->Attribute("encoding");
        std::vector<uint32_t> gids;
        if (!encoding) {
            for (const XMLElement *t = data->FirstChildElement("tile"); t; t = t->NextSiblingElement("tile"))
                gids.push_back(t->UnsignedAttribute("gid"));
        } else if (std::strcmp(encoding, "csv") == 0) {
            gids = csv_cells(data->GetText() ? data->GetText() : "", where);
        } else if (std::strcmp(encoding, "base64") == 0) {
            gids = base64_cells(data->GetText() ? data->GetText() : "", where);
        } else {
            where.fail(std::string("unknown tile data encoding \"") + encoding + "\"");
        }
        if (static_cast<long long>(gids.size()) != width_ * height_)
            where.fail("the layer holds " + std::to_string(gids.size()) + " tiles, the map's " +
                       std::to_string(width_) + " x " + std::to_string(height_) + " needs " +
                       std::to_string(width_ * height_));
        return gids;
    }

    static std::vector<uint32_t> csv_cells(const std::string &text, const Place &where)
    {
        std::vector<uint32_t> gids;
        std::string field;
        std::istringstream in(text);
        while (std::getline(in, field, ',')) {
            const std::vector<std::string> words = words_of(field);
            long long gid;
            if (words.size() != 1 || !parse_int(words[0].c_str(), gid) || gid < 0 || gid > UINT32_MAX)
                where.fail("\"" + field + "\" in the tile data is not a tile number");
            gids.push_back(static_cast<uint32_t>(gid));
        }
        return gids;
    }

    static std::vector<uint32_t> base64_cells(const std::string &text, const Place &where)
    {
        static const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        std::vector<unsigned char> bytes;
        unsigned bits = 0, count = 0;
        for (char c : text) {
            if (is_blank(c) || c == '=')
                continue;
            const std::size_t value = alphabet.find(c);
            if (value == std::string::npos)
                where.fail("the tile data is not valid base64");
            bits = (bits << 6) | static_cast<unsigned>(value);
            count += 6;
            if (count >= 8) {
                count -= 8;
                bytes.push_back(static_cast<unsigned char>((bits >> count) & 0xff));
            }
        }
        if (bytes.size() % 4 != 0)
            where.fail("the tile data is not a whole number of tiles");
        std::vector<uint32_t> gids;
        for (std::size_t i = 0; i < bytes.size(); i += 4)
            gids.push_back(bytes[i] | bytes[i + 1] << 8 | bytes[i + 2] << 16 | static_cast<uint32_t>(bytes[i + 3]) << 24);
        return gids;
    }

    // Runs of one tile along each row, and runs of the same span and tile in
    // the rows below them, make rectangles, in the order of their corners.
    void read_tile_layer(const XMLElement &layer, const Place &where)
    {
        const std::vector<uint32_t> gids = cells(layer, where);
        if (std::all_of(gids.begin(), gids.end(), [](uint32_t gid) { return gid == 0; }))
            return;
        std::vector<SceneryRecord> &records = section(layer, where);
        struct Open {
            std::size_t record;
            long long last_row;
        };
        std::map<std::tuple<long long, long long, uint32_t>, Open> open; // by first column, last column, tile
        for (long long row = 0; row < height_; row++) {
            for (long long column = 0; column < width_;) {
                const uint32_t gid = gids[static_cast<std::size_t>(row * width_ + column)];
                long long end = column + 1;
                while (end < width_ && gids[static_cast<std::size_t>(row * width_ + end)] == gid)
                    end++;
                if (gid != 0) {
                    const std::string &sprite = sprite_of(gid, where.cell(column, row));
                    const auto key = std::make_tuple(column, end - 1, gid);
                    auto found = open.find(key);
                    if (found != open.end() && found->second.last_row == row - 1) {
                        found->second.last_row = row;
                        records[found->second.record].y2 = level_int(origin_y_ + row * TILE, "y2", where);
                    } else {
                        const Place at = where.cell(column, row);
                        const int x1 = level_int(origin_x_ + column * TILE, "x1", at);
                        const int y1 = level_int(origin_y_ + row * TILE, "y1", at);
                        const int x2 = level_int(origin_x_ + (end - 1) * TILE, "x2", at);
                        open[key] = {records.size(), row};
                        records.push_back({x1, y1, x2, y1, sprite});
                    }
                }
                column = end;
            }
        }
    }

    void read_object_layer(const XMLElement &layer, const Place &where)
    {
        for (const XMLElement *o = layer.FirstChildElement("object"); o; o = o->NextSiblingElement("object")) {
            const Place at = where.object(*o);
            if (o->Attribute("gid") && class_of(*o).empty())
                read_tile_object(layer, *o, where, at);
            else
                read_thing(*o, at);
        }
    }

    // A tile object's corner is its bottom left; its size is the record's box.
    void read_tile_object(const XMLElement &layer, const XMLElement &object, const Place &layer_place,
                          const Place &at)
    {
        const std::string &sprite = sprite_of(object.UnsignedAttribute("gid"), at);
        const long long width = object.Attribute("width") ? position(object, "width", at) : TILE;
        const long long height = object.Attribute("height") ? position(object, "height", at) : TILE;
        const long long x1 = origin_x_ + position(object, "x", at);
        const long long y1 = origin_y_ + position(object, "y", at) - height;
        section(layer, layer_place)
            .push_back({level_int(x1, "x", at), level_int(y1, "y", at), level_int(x1 + width - TILE, "x2", at),
                        level_int(y1 + height - TILE, "y2", at), sprite});
    }

    std::string class_of(const XMLElement &object) const
    {
        const char *type = object.Attribute("type");
        if (!type)
            type = object.Attribute("class");
        return type ? type : "";
    }

    // Things stand on the bottom edge of their object: a tile object's
    // corner is its bottom left, a rectangle's its top left.
    void read_thing(const XMLElement &object, const Place &at)
    {
        const std::string kind = class_of(object);
        const int x = level_int(origin_x_ + position(object, "x", at), "x", at);
        long long bottom = origin_y_ + position(object, "y", at);
        if (!object.Attribute("gid") && object.Attribute("height"))
            bottom += position(object, "height", at);
        if (kind == PALM_TREE_CLASS) {
            if (x > INT_MAX - 70)
                at.fail("a palm tree this far right reaches beyond the level's number range");
            records_.palm_trees.push_back({x, level_int(bottom - TILE, "y", at), int_property(object, "a", at),
                                           int_property(object, "b", at)});
        } else if (is_enemy_kind(kind)) {
            const int enemy_x = level_int(static_cast<long long>(x) + SCENERY_SHIFT, "x", at);
            const int y = level_int(bottom - thing_height(kind), "y", at);
            auto &list = bool_property(object, HEADER_ENEMY_PROPERTY, at) ? records_.header_enemies : records_.enemies;
            list.push_back({enemy_x, y, kind});
        } else if (kind == PORTAL_CLASS) {
            read_portal(object, x, level_int(bottom, "y", at), at);
        } else if (kind == EXIT_CLASS) {
            read_exit(object, x, at);
        } else if (kind.empty()) {
            at.fail("the object has no class; give it one of PALMTREE, ZOMBIE, ROBO, CACTUS, RHAND, portal or exit");
        } else {
            at.fail("unknown class \"" + kind +
                    "\"; the classes are PALMTREE, ZOMBIE, ROBO, CACTUS, RHAND, portal and exit");
        }
    }

    // Only the exit's x counts: the hero's world point, like the portal's.
    void read_exit(const XMLElement &object, int x, const Place &at)
    {
        if (records_.level_exit)
            at.fail("a second exit; a level has at most one");
        const std::string next = word_property(object, EXIT_NEXT_PROPERTY, at, nullptr);
        if (next.find_first_of("/\\") != std::string::npos)
            at.property(EXIT_NEXT_PROPERTY)
                .fail("\"" + next + "\" must be a level file name without a folder, or \"" + ENDING_WORD + "\"");
        records_.level_exit = LevelExit{x, next};
    }

    // The portal's y is the bottom of its marker, where the hero's feet are.
    void read_portal(const XMLElement &object, int x, int y, const Place &at)
    {
        if (!records_.portals.empty())
            at.fail("a second portal; a level has at most one");
        PortalRecord portal{x, y, word_property(object, "procedure", at, nullptr), {}};
        portal.args.push_back(word_property(object, "first", at, "BREAK1"));
        portal.args.push_back(word_property(object, "second", at, "BREAK1"));
        for (const std::string &word : words_of(string_property(object, "message", at))) {
            if (word == "BREAK1")
                at.property("message").fail("the word \"BREAK1\" would end the message");
            portal.args.push_back(word);
        }
        records_.portals.push_back(portal);
    }

    Place top_;
    const XMLElement &map_;
    OurTileset tileset_;
    long long origin_x_ = 0, origin_y_ = 0;
    int64_t width_ = 0, height_ = 0;
    LevelRecords records_;
};

} // namespace

LevelRecords import_map(const std::string &in_tmx)
{
    const Place top(in_tmx);
    XMLDocument document;
    if (document.LoadFile(in_tmx.c_str()) != tinyxml2::XML_SUCCESS)
        top.fail(document.ErrorID() == tinyxml2::XML_ERROR_FILE_NOT_FOUND ||
                         document.ErrorID() == tinyxml2::XML_ERROR_FILE_COULD_NOT_BE_OPENED
                     ? std::string("cannot open the map: ") + std::strerror(errno)
                     : std::string("not an XML file: ") + document.ErrorStr());
    const XMLElement *map = document.RootElement();
    if (!map || std::strcmp(map->Name(), "map") != 0)
        top.fail("not a Tiled map: its first element is not <map>");
    const char *orientation = map->Attribute("orientation");
    if (!orientation || std::strcmp(orientation, "orthogonal") != 0)
        top.fail("the map is not orthogonal");
    if (map->IntAttribute("tilewidth") != TILE || map->IntAttribute("tileheight") != TILE)
        top.fail("the map's tiles are not 20 x 20 pixels");
    if (map->IntAttribute("infinite") != 0)
        top.fail("the map is infinite; uncheck Infinite in the map's properties");
    if (!find_property(*map, ORIGIN_X) || !find_property(*map, ORIGIN_Y))
        top.fail("not a map of a level: it has no \"origin x\" and \"origin y\" properties; start from a map that "
                 "tolbrint-tiled export wrote");
    const OurTileset tileset = find_tileset(*map, directory_of(in_tmx), top);
    return Importer(in_tmx, *map, tileset).read();
}

} // namespace tiled
