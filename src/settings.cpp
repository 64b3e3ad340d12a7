#include "settings.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <sstream>
#include <vector>

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

// One line of a settings file as Allegro's reader takes it: its name is the
// first word, up to a space, '=' or '#'; a name in brackets opens a section
// ("[video] # picture" too), any other is an entry, its '=' optional; a line
// with no name is blank or a comment.
struct ParsedLine {
    bool section = false;
    bool entry = false;
    std::string name; // the section's or the entry's, in lower case
};

ParsedLine parse_line(const std::string &line)
{
    const char *const spaces = " \t\r\n\f\v";
    ParsedLine parsed;
    const std::size_t start = line.find_first_not_of(spaces);
    if (start == std::string::npos)
        return parsed;
    const std::string name = line.substr(start, line.find_first_of(std::string(spaces) + "=#", start) - start);
    if (name.empty())
        return parsed;
    parsed.section = name.size() >= 2 && name.front() == '[' && name.back() == ']';
    parsed.entry = !parsed.section;
    parsed.name = lower(parsed.section ? name.substr(1, name.size() - 2) : name);
    return parsed;
}

// The text's lines, each with its own line end; like the reader, a line ends
// at CR, LF, CR LF or LF CR.
std::vector<std::string> split_lines(const std::string &text)
{
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find_first_of("\r\n", at);
        if (end == std::string::npos)
            end = text.size();
        else if (++end < text.size() && (text[end] == '\r' || text[end] == '\n') && text[end] != text[end - 1])
            end++;
        lines.push_back(text.substr(at, end - at));
        at = end;
    }
    return lines;
}

std::string line_end_of(const std::string &line)
{
    const std::size_t text_end = line.find_last_not_of("\r\n");
    return line.substr(text_end == std::string::npos ? 0 : text_end + 1);
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

// Why the file could not be read, in words; errno holds the system's reason
// only after cannot_open and cannot_read.
std::string read_problem(ReadFailure failure)
{
    if (failure == ReadFailure::not_regular)
        return "it is not a regular file";
    if (failure == ReadFailure::too_large)
        return "it is larger than " + std::to_string(LARGEST_SETTINGS_FILE) + " bytes";
    return std::strerror(errno);
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
    std::vector<std::string> lines = split_lines(text);
    std::string line_end = "\n"; // for added lines: the file's own, from its first line that has one
    for (const std::string &line : lines)
        if (!line_end_of(line).empty()) {
            line_end = line_end_of(line);
            break;
        }
    if (!lines.empty() && line_end_of(lines.back()).empty())
        lines.back() += line_end;
    for (const SettingChange &change : changes) {
        // The reader takes the first line of the name in any of the section's
        // headers; a new line goes after the section's last header or entry,
        // before the blank lines and comments that lead to the next section.
        std::string section;
        int first_entry = -1, insert_at = -1;
        for (int i = 0; i < static_cast<int>(lines.size()) && first_entry < 0; i++) {
            const ParsedLine parsed = parse_line(lines[static_cast<std::size_t>(i)]);
            if (parsed.section)
                section = parsed.name;
            if (section != change.section || !(parsed.section || parsed.entry))
                continue;
            insert_at = i + 1;
            if (parsed.entry && parsed.name == change.name)
                first_entry = i;
        }
        if (first_entry >= 0) {
            std::string &line = lines[static_cast<std::size_t>(first_entry)];
            line = entry_line(change, line_end_of(line));
        } else if (insert_at >= 0) {
            lines.insert(lines.begin() + insert_at, entry_line(change, line_end));
        } else {
            if (!lines.empty() && lines.back() != line_end)
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
    const ReadFailure failure = read_regular_file(path, LARGEST_SETTINGS_FILE, text);
    if (failure != ReadFailure::none && !(failure == ReadFailure::cannot_open && errno == ENOENT)) {
        problem = path + ": cannot read the settings file again: " + read_problem(failure);
        return false;
    }
    const std::size_t slash = path.find_last_of("/\\");
    std::string error;
    if (slash != std::string::npos && slash > 0 && !make_directories(path.substr(0, slash), error)) {
        problem = path + ": cannot make its folder: " + error;
        return false;
    }
    if (!write_file_atomically(path, merge_settings(text, changes), error)) {
        // The writer's words name the file too; the reason is enough here.
        const std::string named = "cannot write " + path + ": ";
        if (error.rfind(named, 0) == 0)
            error.erase(0, named.size());
        problem = path + ": cannot write the settings file: " + error;
        return false;
    }
    return true;
}
