// Where the game writes its side files.
#include "sidefiles.h"

namespace {

std::string side_file_dir;
bool discarding = false;

} // namespace

std::string side_file_path(const std::string &name)
{
    if (discarding)
        return "/dev/null";
    return side_file_dir.empty() ? name : side_file_dir + "/" + name;
}

void set_side_file_dir(const std::string &dir) { side_file_dir = dir; }

void discard_side_files() { discarding = true; }

std::string state_side_file_dir() { return state_dir(); }

bool keep_side_files_in_state_dir(std::string &error)
{
    const std::string dir = state_side_file_dir();
    if (dir.empty()) {
        error = "no home directory to keep the side files in";
        return false;
    }
    if (!make_directories(dir, error))
        return false;
    set_side_file_dir(dir);
    return true;
}
