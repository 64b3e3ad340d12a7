#include "palette.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

#include "source.h"

int Ramp::at(int step) const { return first + std::clamp(step, 0, count - 1); }

int Ramp::shade(double brightness) const
{
    return at(static_cast<int>(std::lround(brightness * (count - 1))));
}

int GamePalette::index(const std::string &name) const
{
    const auto found = names.find(name);
    if (found != names.end())
        return found->second;
    if (!name.empty() && name.find_first_not_of("0123456789") == std::string::npos) {
        const int number = std::stoi(name);
        if (number < PAL_SIZE)
            return number;
    }
    throw std::runtime_error("no colour called '" + name + "' in the palette");
}

const Ramp &GamePalette::ramp(const std::string &name) const
{
    const auto found = ramps.find(name);
    if (found == ramps.end())
        throw std::runtime_error("no ramp called '" + name + "' in the palette");
    return found->second;
}

namespace {

RGB parse_rgb(const std::string &path, const SourceLine &line, const std::string &word)
{
    int r = 0, g = 0, b = 0;
    char comma1 = 0, comma2 = 0;
    if (std::sscanf(word.c_str(), "%d%c%d%c%d", &r, &comma1, &g, &comma2, &b) != 5 || comma1 != ',' ||
        comma2 != ',')
        throw source_error(path, line, "'" + word + "' is not a colour written R,G,B");
    for (int value : {r, g, b})
        if (value < 0 || value > 63)
            throw source_error(path, line, "'" + word + "': each value must lie in 0..63");
    return {static_cast<unsigned char>(r), static_cast<unsigned char>(g), static_cast<unsigned char>(b), 0};
}

// Blends the stops evenly over count entries.
void fill_ramp(PALETTE colours, int first, int count, const std::vector<RGB> &stops)
{
    for (int i = 0; i < count; i++) {
        const double along = count == 1 ? 0.0 : double(i) * double(stops.size() - 1) / double(count - 1);
        const size_t low = std::min(static_cast<size_t>(along), stops.size() - 1);
        const size_t high = std::min(low + 1, stops.size() - 1);
        const double t = along - double(low);
        auto mix = [t](int a, int b) { return static_cast<unsigned char>(std::lround(a + (b - a) * t)); };
        colours[first + i] = {mix(stops[low].r, stops[high].r), mix(stops[low].g, stops[high].g),
                              mix(stops[low].b, stops[high].b), 0};
    }
}

void claim(std::vector<bool> &taken, const std::string &path, const SourceLine &line, int first, int count)
{
    if (first < 0 || count < 1 || first + count > PAL_SIZE)
        throw source_error(path, line, "entries must lie in 0..255");
    for (int i = first; i < first + count; i++) {
        if (taken[i])
            throw source_error(path, line, "entry " + std::to_string(i) + " is given twice");
        taken[i] = true;
    }
}

} // namespace

GamePalette load_palette(const std::string &path)
{
    GamePalette palette;
    for (int i = 0; i < PAL_SIZE; i++)
        palette.colours[i] = {0, 0, 0, 0};
    std::vector<bool> taken(PAL_SIZE, false);
    for (const SourceLine &line : read_source(path)) {
        const auto &words = line.words;
        if (words[0] == "colour" && words.size() == 4) {
            const int entry = source_int(path, line, words[1]);
            claim(taken, path, line, entry, 1);
            palette.colours[entry] = parse_rgb(path, line, words[3]);
            palette.names[words[2]] = entry;
        } else if (words[0] == "ramp" && words.size() >= 5) {
            const int first = source_int(path, line, words[2]);
            const int count = source_int(path, line, words[3]);
            claim(taken, path, line, first, count);
            std::vector<RGB> stops;
            for (size_t i = 4; i < words.size(); i++)
                stops.push_back(parse_rgb(path, line, words[i]));
            fill_ramp(palette.colours, first, count, stops);
            palette.ramps[words[1]] = {first, count};
            for (int i = 0; i < count; i++)
                palette.names[words[1] + "." + std::to_string(i)] = first + i;
        } else {
            throw source_error(path, line,
                               "expected 'colour ENTRY NAME R,G,B' or 'ramp NAME FIRST COUNT R,G,B ...'");
        }
    }
    return palette;
}
