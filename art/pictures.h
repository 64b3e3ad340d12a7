// Every entry of tolbrint.dat, built from the sources in art/.
#ifndef PICTURES_H
#define PICTURES_H

#include <string>
#include <vector>

#include "datwriter.h"

// The entries in datafile order, 0 to 142. Throws std::runtime_error naming
// the source file when a source cannot be read.
std::vector<DatObject> build_all_entries(const std::string &art_dir);

#endif
