// Where the game writes its side files.
#include "sidefiles.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

std::string side_file_dir;
bool discarding = false;

std::string home_dir()
{
    const char *home = std::getenv("HOME");
    if (home && *home)
        return home;
    const passwd *entry = getpwuid(getuid());
    return entry && entry->pw_dir ? entry->pw_dir : "";
}

bool is_directory(const std::string &path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

std::string side_file_path(const std::string &name)
{
    if (discarding)
        return "/dev/null";
    return side_file_dir.empty() ? name : side_file_dir + "/" + name;
}

void set_side_file_dir(const std::string &dir) { side_file_dir = dir; }

void discard_side_files() { discarding = true; }

std::string state_side_file_dir()
{
    // A relative XDG_STATE_HOME is to be ignored, as the XDG base directory
    // rules say; it would depend on where the game was started.
    const char *state = std::getenv("XDG_STATE_HOME");
    if (state && state[0] == '/')
        return std::string(state) + "/tolbrint";
    const std::string home = home_dir();
    return home.empty() ? "" : home + "/.local/state/tolbrint";
}

bool make_directories(const std::string &dir, std::string &error)
{
    for (std::string::size_type slash = dir.find('/', 1);; slash = dir.find('/', slash + 1)) {
        const std::string part = dir.substr(0, slash);
        if (!part.empty() && mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            error = part + ": " + std::strerror(errno);
            return false;
        }
        if (slash == std::string::npos)
            break;
    }
    if (!is_directory(dir)) {
        error = dir + ": not a directory";
        return false;
    }
    return true;
}

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
