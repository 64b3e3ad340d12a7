#include "source.h"

#include <dirent.h>

#include <algorithm>
#include <fstream>
#include <sstream>

std::vector<SourceLine> read_source(const std::string &path)
{
    std::ifstream file(path);
    if (!file)
        throw std::runtime_error(path + ": cannot read this art source");
    std::vector<SourceLine> lines;
    std::string text;
    for (int number = 1; std::getline(file, text); number++) {
        const size_t comment = text.find('#');
        if (comment != std::string::npos)
            text.erase(comment);
        while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
            text.pop_back();
        if (text.empty())
            continue;
        SourceLine line;
        line.number = number;
        line.text = text;
        std::istringstream words(text);
        for (std::string word; words >> word;)
            line.words.push_back(word);
        lines.push_back(line);
    }
    return lines;
}

std::runtime_error source_error(const std::string &path, const SourceLine &line,
                                const std::string &message)
{
    return std::runtime_error(path + ":" + std::to_string(line.number) + ": " + message);
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
