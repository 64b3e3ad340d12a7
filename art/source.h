// Reading the art sources: text files of whitespace-separated words, with
// '#' comments (from a '#' that starts a word), and errors that name the file and line.
#ifndef SOURCE_H
#define SOURCE_H

#include <istream>
#include <stdexcept>
#include <string>
#include <vector>

struct SourceLine {
    int number = 0;
    std::string text;               // the line without its comment
    std::vector<std::string> words; // text split at whitespace
    std::vector<int> columns;       // where each word starts, from 1
};

// The lines of a file that hold anything but a comment, in order. Throws
// std::runtime_error naming the file when it cannot be read.
std::vector<SourceLine> read_source(const std::string &path);

// The same, of text already open.
std::vector<SourceLine> source_lines(std::istream &text);

// An error pointing at one line of a source file.
std::runtime_error source_error(const std::string &path, const SourceLine &line,
                                const std::string &message);

// An error pointing at one word of a line: file:line:col.
std::runtime_error source_error_at(const std::string &path, const SourceLine &line, size_t word,
                                   const std::string &message);

// The word as an int; throws std::runtime_error when it is not a whole number.
int whole_number(const std::string &word);

// The word as an int; throws source_error when it is not a whole number.
int source_int(const std::string &path, const SourceLine &line, const std::string &word);

// The *.txt files of a directory, sorted by name.
std::vector<std::string> text_files_in(const std::string &dir);

#endif
