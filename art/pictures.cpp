// Builds every entry of tolbrint.dat from the table in art/entries.txt.
//
// Each line of the table: ENTRY KIND NAME RECIPE...
//   sprite|bitmap NAME part P                   the part P as it is drawn
//   sprite|bitmap NAME piece P X Y W H          the W x H rectangle of part P
//                                               whose top-left is (X, Y)
//   sprite|bitmap NAME canvas W H LAYER...      layers on a clear W x H canvas:
//                                               P@X,Y stamps part P, draw:F runs
//                                               painter F over the whole canvas
//   sprite|bitmap NAME mirror E                 entry E (listed earlier), mirrored
//   palette NAME                                the palette of art/palette.txt
//   font NAME plain                             the glyphs in colour 1
//   font NAME shaded RAMP OUTLINE               bold glyphs shaded through RAMP
// Entries that the table leaves out become 1 x 1 placeholders.
#include "pictures.h"

#include <allegro.h>

#include <map>
#include <memory>
#include <stdexcept>

#include "fonts.h"
#include "painted.h"
#include "palette.h"
#include "parts.h"
#include "source.h"

namespace {

constexpr int ENTRY_COUNT = 143;

struct BitmapDeleter {
    void operator()(BITMAP *bitmap) const { destroy_bitmap(bitmap); }
};
using Picture = std::unique_ptr<BITMAP, BitmapDeleter>;

Picture blank_picture(int w, int h)
{
    Picture picture(create_bitmap_ex(8, w, h));
    if (!picture)
        throw std::runtime_error("out of memory for a " + std::to_string(w) + " x " + std::to_string(h) +
                                 " picture");
    clear_to_color(picture.get(), 0);
    return picture;
}

class EntryBuilder {
public:
    EntryBuilder(const std::string &table_path, const ArtKit &kit) : path_(table_path), kit_(kit) {}

    DatObject build(const SourceLine &line)
    {
        const auto &words = line.words;
        if (words.size() < 3)
            throw source_error(path_, line, "expected 'ENTRY KIND NAME ...'");
        const std::string &kind = words[1];
        const std::string &name = words[2];
        const std::vector<std::string> recipe(words.begin() + 3, words.end());
        const int entry = source_int(path_, line, words[0]);
        try {
            if (kind == "palette")
                return palette_object(name, kit_.palette.colours);
            if (kind == "font")
                return font(name, recipe);
            if (kind != "sprite" && kind != "bitmap")
                throw std::runtime_error("unknown kind '" + kind + "'");
            Picture picture = paint(recipe);
            DatObject object = kind == "sprite" ? rle_sprite_object(name, picture.get())
                                                : bitmap_object(name, picture.get());
            pictures_[entry] = std::move(picture);
            return object;
        } catch (const std::runtime_error &problem) {
            throw source_error(path_, line, problem.what());
        }
    }

private:
    DatObject font(const std::string &name, const std::vector<std::string> &recipe)
    {
        if (recipe.size() == 1 && recipe[0] == "plain")
            return font_object(name, 32, plain_font_glyphs(kit_.glyphs), true);
        if (recipe.size() == 3 && recipe[0] == "shaded")
            return font_object(name, 32,
                               shaded_font_glyphs(kit_.glyphs, kit_.palette.ramp(recipe[1]),
                                                  kit_.palette.index(recipe[2])),
                               false);
        throw std::runtime_error("a font is 'plain' or 'shaded RAMP OUTLINE'");
    }

    Picture paint(const std::vector<std::string> &recipe)
    {
        if (recipe.size() == 2 && recipe[0] == "part") {
            const Part &part = find_part(kit_.parts, recipe[1]);
            Picture picture = blank_picture(part.w, part.h);
            stamp(picture.get(), part, 0, 0);
            return picture;
        }
        if (recipe.size() == 6 && recipe[0] == "piece")
            return piece(find_part(kit_.parts, recipe[1]), whole_number(recipe[2]), whole_number(recipe[3]),
                         whole_number(recipe[4]), whole_number(recipe[5]));
        if (recipe.size() == 2 && recipe[0] == "mirror")
            return mirror_of(whole_number(recipe[1]));
        if (recipe.size() >= 3 && recipe[0] == "canvas")
            return canvas(recipe);
        throw std::runtime_error("a picture is 'part P', 'piece P X Y W H', 'mirror ENTRY' or "
                                 "'canvas W H LAYER...'");
    }

    Picture piece(const Part &part, int x, int y, int w, int h)
    {
        if (x < 0 || y < 0 || w < 1 || h < 1 || x + w > part.w || y + h > part.h)
            throw std::runtime_error("the piece lies outside its part");
        Picture picture = blank_picture(w, h);
        stamp(picture.get(), part, -x, -y);
        return picture;
    }

    Picture mirror_of(int entry)
    {
        const auto found = pictures_.find(entry);
        if (found == pictures_.end())
            throw std::runtime_error("entry " + std::to_string(entry) + " is not a picture listed earlier");
        BITMAP *original = found->second.get();
        Picture picture = blank_picture(original->w, original->h);
        draw_sprite_h_flip(picture.get(), original, 0, 0);
        return picture;
    }

    Picture canvas(const std::vector<std::string> &recipe)
    {
        Picture picture = blank_picture(whole_number(recipe[1]), whole_number(recipe[2]));
        for (size_t i = 3; i < recipe.size(); i++) {
            const std::string &layer = recipe[i];
            if (layer.rfind("draw:", 0) == 0) {
                find_painter(layer.substr(5))(picture.get(), kit_);
                continue;
            }
            const size_t at = layer.find('@');
            const size_t comma = layer.find(',', at);
            if (at == std::string::npos || comma == std::string::npos)
                throw std::runtime_error("a layer is 'PART@X,Y' or 'draw:PAINTER', not '" + layer + "'");
            stamp(picture.get(), find_part(kit_.parts, layer.substr(0, at)),
                  whole_number(layer.substr(at + 1, comma - at - 1)), whole_number(layer.substr(comma + 1)));
        }
        return picture;
    }

    const std::string &path_;
    const ArtKit &kit_;
    std::map<int, Picture> pictures_;
};

DatObject placeholder(int entry)
{
    Picture picture = blank_picture(1, 1);
    return bitmap_object("UNUSED" + std::to_string(entry), picture.get());
}

} // namespace

std::vector<DatObject> build_all_entries(const std::string &art_dir)
{
    const GamePalette palette = load_palette(art_dir + "/palette.txt");
    PartLibrary parts;
    for (const std::string &file : text_files_in(art_dir + "/sprites"))
        load_parts(file, palette, parts);
    const GlyphSet glyphs = load_glyphs(art_dir + "/fonts/glyphs.txt");
    const ArtKit kit{palette, parts, glyphs};

    const std::string table = art_dir + "/entries.txt";
    EntryBuilder builder(table, kit);
    std::map<int, DatObject> built;
    for (const SourceLine &line : read_source(table)) {
        const int entry = source_int(table, line, line.words[0]);
        if (entry < 0 || entry >= ENTRY_COUNT)
            throw source_error(table, line, "entries run from 0 to " + std::to_string(ENTRY_COUNT - 1));
        if (built.count(entry))
            throw source_error(table, line, "entry " + std::to_string(entry) + " is listed twice");
        built[entry] = builder.build(line);
    }
    std::vector<DatObject> entries;
    for (int entry = 0; entry < ENTRY_COUNT; entry++)
        entries.push_back(built.count(entry) ? built[entry] : placeholder(entry));
    return entries;
}
