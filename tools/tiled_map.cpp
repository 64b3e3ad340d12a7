#include "tiled_map.h"

#include <loadpng.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "enemy.h"
#include "object.h"

namespace tiled {

namespace {

template <typename Scenery>
SceneryRecord scenery_record(const Scenery &object)
{
    return {object.x1, object.y1, object.x2, object.y2, object.sprite_name};
}

const char *yes_no(bool flag) { return flag ? "yes" : "no"; }

// A temporary name beside path, in the same directory so that the rename
// stays within one file system.
std::string temporary_beside(const std::string &path)
{
    return path + ".tmp" + std::to_string(getpid());
}

[[noreturn]] void fail_writing(const std::string &path)
{
    throw TiledError(path + ": cannot write: " + std::strerror(errno));
}

void move_into_place(const std::string &temporary, const std::string &path)
{
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        std::remove(temporary.c_str());
        errno = error;
        fail_writing(path);
    }
}

} // namespace

LevelRecords records_of(const Level &level, const std::string &background)
{
    LevelRecords records;
    Header &header = records.header;
    header.value_1 = level.header_value_1;
    header.value_2 = level.header_value_2;
    header.background = background;
    header.scroll_x = level.scroll_x_enabled;
    header.scroll_y = level.scroll_y_enabled;
    const bool flags[4] = {level.flag_3, level.flag_4, level.flag_5, level.flag_6};
    std::copy(flags, flags + 4, header.flags);
    header.left_limit = level.left_limit;
    header.right_limit = level.right_limit;
    header.top_limit = level.top_limit;
    header.bottom_limit = level.bottom_limit;
    header.word_1 = level.header_word_1;
    header.word_2 = level.header_word_2;
    header.flag_7 = level.flag_7;

    for (const Enemy &enemy : level.header_enemies)
        records.header_enemies.push_back({enemy.x, enemy.y, enemy.kind});
    const std::size_t plain = level.objects.size() - PALM_TREE_PIECES * level.palm_trees.size();
    for (std::size_t i = 0; i < plain; i++)
        records.scenery.push_back(scenery_record(level.objects[i]));
    for (const Solid_Object &object : level.solid_objects)
        records.solid.push_back(scenery_record(object));
    records.palm_trees = level.palm_trees;
    for (const Enemy &enemy : level.enemies)
        records.enemies.push_back({enemy.x, enemy.y, enemy.kind});
    for (const Portal &portal : level.portals)
        records.portals.push_back({portal.x, portal.y, portal.procedure, portal.args});
    records.level_exit = level.level_exit;
    return records;
}

std::string level_text(const LevelRecords &records)
{
    const Header &h = records.header;
    std::ostringstream out;
    out << h.value_1 << ' ' << h.value_2 << ' ' << h.background << ' ' << yes_no(h.scroll_x) << ' '
        << yes_no(h.scroll_y);
    for (bool flag : h.flags)
        out << ' ' << yes_no(flag);
    out << ' ' << h.left_limit << ' ' << h.right_limit << ' ' << h.top_limit << ' ' << h.bottom_limit << ' '
        << h.word_1 << ' ' << h.word_2 << ' ' << yes_no(h.flag_7) << '\n';
    for (const EnemyRecord &enemy : records.header_enemies)
        out << enemy.kind << ' ' << enemy.x << ' ' << enemy.y << '\n';
    out << "BREAK\nscenery follows\n";
    for (const std::vector<SceneryRecord> *section : {&records.scenery, &records.solid}) {
        for (const SceneryRecord &record : *section)
            out << record.x1 << ' ' << record.y1 << ' ' << record.x2 << ' ' << record.y2 << ' ' << record.sprite
                << '\n';
        out << "BREAK\n";
    }
    out << "BREAK\n";
    for (const PalmTreeRecord &palm : records.palm_trees)
        out << palm.x << ' ' << palm.y << ' ' << palm.third << ' ' << palm.fourth << ' ' << PALM_TREE_CLASS << '\n';
    out << "BREAK\n";
    for (const EnemyRecord &enemy : records.enemies)
        out << enemy.x << ' ' << enemy.y << ' ' << enemy.kind << '\n';
    out << "BREAK\n";
    for (const PortalRecord &portal : records.portals) {
        // The first argument stands before the procedure's name.
        out << portal.x << ' ' << portal.y << ' ' << (portal.args.empty() ? "BREAK1" : portal.args[0].c_str()) << ' '
            << portal.procedure;
        for (std::size_t i = 1; i < portal.args.size(); i++)
            out << ' ' << portal.args[i];
        out << (portal.args.empty() ? "\n" : " BREAK1\n");
    }
    out << "BREAK\n";
    if (records.level_exit)
        out << "EXIT " << records.level_exit->x << ' ' << records.level_exit->next << '\n';
    return out.str();
}

const std::vector<Tile> &tileset()
{
    static const std::vector<Tile> tiles = [] {
        std::vector<Tile> list;
        const std::vector<SceneryPicture> pictures = scenery_picture_table();
        for (const SceneryPicture &picture : pictures)
            list.push_back({picture.name, picture.plain_entry, false});
        for (const SceneryPicture &picture : pictures)
            if (picture.solid_entry != picture.plain_entry)
                list.push_back({picture.name, picture.solid_entry, true});
        return list;
    }();
    return tiles;
}

int tile_for(const std::string &sprite, bool solid)
{
    int found = -1;
    const std::vector<Tile> &tiles = tileset();
    for (std::size_t i = 0; i < tiles.size(); i++)
        if (tiles[i].sprite == sprite && (found < 0 || tiles[i].solid_look == solid))
            found = static_cast<int>(i);
    return found;
}

const std::vector<std::string> &thing_classes()
{
    static const std::vector<std::string> classes = {PALM_TREE_CLASS, "ZOMBIE", "ROBO", "CACTUS", "RHAND"};
    return classes;
}

int thing_height(const std::string &kind)
{
    if (kind == PALM_TREE_CLASS)
        return PALM_TREE_HEIGHT;
    int zero = 0;
    std::string name = kind;
    const Enemy enemy(zero, zero, name);
    return enemy.sprite ? enemy.sprite->h : TILE;
}

void write_file(const std::string &path, const std::string &text)
{
    const std::string temporary = temporary_beside(path);
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out)
            fail_writing(path);
        out << text;
        out.close();
        if (!out) {
            const int error = errno;
            std::remove(temporary.c_str());
            errno = error;
            fail_writing(path);
        }
    }
    move_into_place(temporary, path);
}

void save_picture(const std::string &path, BITMAP *picture, const PALETTE palette)
{
    const std::string temporary = temporary_beside(path);
    errno = 0;
    if (save_png(temporary.c_str(), picture, palette) != 0) {
        const int error = errno ? errno : EIO;
        std::remove(temporary.c_str());
        errno = error;
        fail_writing(path);
    }
    move_into_place(temporary, path);
}

std::string directory_of(const std::string &path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace tiled
