#include "settings.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <sstream>

#include "platform.h"

namespace {

// Settings files are a few lines; anything far bigger is not one.
constexpr long long LARGEST_SETTINGS_FILE = 1 << 20;

std::string lower(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string trimmed(const std::string &text)
{
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// One line of a settings file as the reader sees it.
struct ParsedLine {
    bool section = false; // "[name]"
    bool entry = false;   // "name = value"
    std::string name;     // the section's or the entry's, in lower case
};

ParsedLine parse_line(const std::string &line)
{
    ParsedLine parsed;
    const std::string text = trimmed(line);
    if (text.empty() || text[0] == '#')
        return parsed;
    if (text.front() == '[' && text.back() == ']') {
        parsed.section = true;
        parsed.name = lower(trimmed(text.substr(1, text.size() - 2)));
    } else if (text.find('=') != std::string::npos) {
        parsed.entry = true;
        parsed.name = lower(trimmed(text.substr(0, text.find('='))));
    }
    return parsed;
}

// Every setting with its value, as --print-config writes them.
std::vector<SettingChange> all_settings(const Options &options)
{
    std::vector<SettingChange> settings;
    std::istringstream lines(settings_text(options));
    std::string section;
    for (std::string line; std::getline(lines, line);) {
        const ParsedLine parsed = parse_line(line);
        if (parsed.section)
            section = parsed.name;
        else if (parsed.entry)
            settings.push_back({section, parsed.name, trimmed(line.substr(line.find('=') + 1))});
    }
    return settings;
}

std::string entry_line(const SettingChange &change, const std::string &line_end)
{
    return change.name + " = " + change.value + line_end;
}

} // namespace

std::vector<SettingChange> settings_changes(const Options &before, const Options &now)
{
    const std::vector<SettingChange> old_values = all_settings(before);
    const std::vector<SettingChange> new_values = all_settings(now);
    std::vector<SettingChange> changes;
    for (std::size_t i = 0; i < new_values.size() && i < old_values.size(); i++)
        if (new_values[i].value != old_values[i].value)
            changes.push_back(new_values[i]);
    return changes;
}

std::string merge_settings(const std::string &text, const std::vector<SettingChange> &changes)
{
    // The file's lines, each with its own line end.
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find('\n', at);
        lines.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at + 1));
        at = end == std::string::npos ? text.size() : end + 1;
    }
    const std::string line_end = text.find("\r\n") != std::string::npos ? "\r\n" : "\n";
    if (!lines.empty() && lines.back().back() != '\n')
        lines.back() += line_end;
    for (const SettingChange &change : changes) {
        std::string section;
        int last_entry = -1, section_end = -1; // lines of the change's section
        for (int i = 0; i < static_cast<int>(lines.size()); i++) {
            const ParsedLine parsed = parse_line(lines[static_cast<std::size_t>(i)]);
            if (parsed.section)
                section = parsed.name;
            if (section != change.section)
                continue;
            section_end = i + 1;
            if (parsed.entry && parsed.name == change.name)
                last_entry = i;
        }
        if (last_entry >= 0) {
            std::string &line = lines[static_cast<std::size_t>(last_entry)];
            const std::string end = line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0 ? "\r\n" : "\n";
            line = entry_line(change, end);
        } else if (section_end >= 0) {
            lines.insert(lines.begin() + section_end, entry_line(change, line_end));
        } else {
            lines.push_back(line_end);
            lines.push_back("[" + change.section + "]" + line_end);
            lines.push_back(entry_line(change, line_end));
        }
    }
    std::string merged;
    for (const std::string &line : lines)
        merged += line;
    return merged;
}

bool write_settings(const std::string &path, const Options &before, const Options &now, std::string &problem)
{
    const std::vector<SettingChange> changes = settings_changes(before, now);
    if (changes.empty())
        return true;
    std::string text;
    switch (read_regular_file(path, LARGEST_SETTINGS_FILE, text)) {
    case ReadFailure::none:
        break;
    case ReadFailure::cannot_open:
        if (errno == ENOENT)
            break;
        [[fallthrough]];
    default:
        problem = path + ": cannot read the settings file again: " + std::strerror(errno);
        return false;
    }
    const std::size_t slash = path.find_last_of("/\\");
    std::string error;
    if (slash != std::string::npos && slash > 0 && !make_directories(path.substr(0, slash), error)) {
        problem = path + ": cannot make its folder: " + error;
        return false;
    }
    if (!write_file_atomically(path, merge_settings(text, changes), error)) {
        problem = path + ": cannot write the settings file: " + error;
        return false;
    }
    return true;
}
