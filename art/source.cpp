#include "source.h"

#include <dirent.h>

#include <algorithm>
#include <fstream>

std::vector<SourceLine> read_source(const std::string &path)
{
    std::ifstream file(path);
    if (!file)
        throw std::runtime_error(path + ": cannot read this art source");
    return source_lines(file);
}

std::vector<SourceLine> source_lines(std::istream &file)
{
    std::vector<SourceLine> lines;
    std::string text;
    for (int number = 1; std::getline(file, text); number++) {
        // A comment starts at a '#' that starts a word, so a sharp such as
        // "f#4" is not one.
        for (size_t at = text.find('#'); at != std::string::npos; at = text.find('#', at + 1))
            if (at == 0 || text[at - 1] == ' ' || text[at - 1] == '\t') {
                text.erase(at);
                break;
            }
        while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
            text.pop_back();
        if (text.empty())
            continue;
        SourceLine line;
        line.number = number;
        line.text = text;
        for (size_t at = text.find_first_not_of(" \t\r"); at != std::string::npos;) {
            const size_t end = std::min(text.find_first_of(" \t\r", at), text.size());
            line.words.push_back(text.substr(at, end - at));
            line.columns.push_back(static_cast<int>(at) + 1);
            at = text.find_first_not_of(" \t\r", end);
        }
        lines.push_back(line);
    }
    return lines;
}

std::runtime_error source_error(const std::string &path, const SourceLine &line,
                                const std::string &message)
{
    return std::runtime_error(path + ":" + std::to_string(line.number) + ": " + message);
}

std::runtime_error source_error_at(const std::string &path, const SourceLine &line, size_t word,
                                   const std::string &message)
{
    const int column = word < line.columns.size() ? line.columns[word] : 1;
    return std::runtime_error(path + ":" + std::to_string(line.number) + ":" + std::to_string(column) + ": " +
                              message);
}

int whole_number(const std::string &word)
{
    size_t used = 0;
    int value = 0;
    try {
        value = std::stoi(word, &used);
    } catch (const std::exception &) {
        used = 0;
    }
    if (used == 0 || used != word.size())
        throw std::runtime_error("'" + word + "' is not a whole number");
    return value;
}

int source_int(const std::string &path, const SourceLine &line, const std::string &word)
{
    try {
        return whole_number(word);
    } catch (const std::runtime_error &problem) {
        throw source_error(path, line, problem.what());
    }
}

std::vector<std::string> text_files_in(const std::string &dir)
{
    std::vector<std::string> files;
    DIR *listing = opendir(dir.c_str());
    if (!listing)
        throw std::runtime_error(dir + ": cannot list this art directory");
    while (const dirent *item = readdir(listing)) {
        const std::string name = item->d_name;
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".txt") == 0)
            files.push_back(dir + "/" + name);
    }
    closedir(listing);
    std::sort(files.begin(), files.end());
    return files;
}
