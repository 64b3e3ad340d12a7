#include "parts.h"

#include <stdexcept>

#include "source.h"

namespace {

struct Reader {
    const std::string &path;
    const GamePalette &palette;
    PartLibrary &library;
    std::map<char, unsigned char> key;
    std::string part_name; // the part whose rows are being read, or ""

    void add_key(const SourceLine &line)
    {
        const auto &words = line.words;
        if (words.size() != 2 || words[0].size() != 1)
            throw source_error(path, line, "a key line is one character and a colour name");
        try {
            key[words[0][0]] = static_cast<unsigned char>(palette.index(words[1]));
        } catch (const std::runtime_error &problem) {
            throw source_error(path, line, problem.what());
        }
    }

    void start_part(const SourceLine &line)
    {
        if (line.words.size() != 2)
            throw source_error(path, line, "expected 'part NAME'");
        part_name = line.words[1];
        if (library.count(part_name))
            throw source_error(path, line, "a part called '" + part_name + "' exists already");
        library[part_name] = Part();
    }

    void add_row(const SourceLine &line)
    {
        if (line.words.size() != 1)
            throw source_error(path, line, "a picture row holds no blanks");
        Part &part = library[part_name];
        const std::string &row = line.words[0];
        if (part.h > 0 && static_cast<int>(row.size()) != part.w)
            throw source_error(path, line,
                               "row is " + std::to_string(row.size()) + " wide, the part's first row " +
                                   std::to_string(part.w));
        part.w = static_cast<int>(row.size());
        part.h++;
        for (char c : row) {
            const auto colour = key.find(c);
            if (colour == key.end())
                throw source_error(path, line, std::string("'") + c + "' is not in the key");
            part.pixels.push_back(colour->second);
        }
    }
};

} // namespace

void load_parts(const std::string &path, const GamePalette &palette, PartLibrary &library)
{
    const std::vector<SourceLine> lines = read_source(path);
    Reader reader{path, palette, library, {}, ""};
    enum { NOTHING, KEY, ROWS } mode = NOTHING;
    for (const SourceLine &line : lines) {
        if (line.words[0] == "key" && line.words.size() == 1) {
            mode = KEY;
        } else if (line.words[0] == "part") {
            reader.start_part(line);
            mode = ROWS;
        } else if (mode == KEY) {
            reader.add_key(line);
        } else if (mode == ROWS) {
            reader.add_row(line);
        } else {
            throw source_error(path, line, "expected 'key' or 'part NAME' first");
        }
    }
    for (const auto &[name, part] : library)
        if (part.h == 0)
            throw std::runtime_error(path + ": part '" + name + "' has no rows");
}

const Part &find_part(const PartLibrary &library, const std::string &name)
{
    const auto found = library.find(name);
    if (found == library.end())
        throw std::runtime_error("no part called '" + name + "' in art/sprites");
    return found->second;
}

void stamp(BITMAP *picture, const Part &part, int x, int y)
{
    for (int row = 0; row < part.h; row++)
        for (int column = 0; column < part.w; column++)
            if (const unsigned char colour = part.at(column, row))
                putpixel(picture, x + column, y + row, colour);
}
