#include "platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <direct.h>
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <X11/XKBlib.h>
#include <dlfcn.h>
#include <pwd.h>
#include <unistd.h>

#include <thread>
#endif

namespace {

const char *const GAME_FOLDER = "tolbrint";

#ifdef _WIN32
// Files are read and written as they are, and never block.
constexpr int READ_FLAGS = O_RDONLY | O_BINARY;
constexpr int CREATE_FLAGS = O_WRONLY | O_CREAT | O_EXCL | O_BINARY;
bool is_separator(char c) { return c == '/' || c == '\\'; }
int make_one_directory(const std::string &dir) { return _mkdir(dir.c_str()); }
int process_id() { return _getpid(); }

std::string app_data_dir()
{
    const char *app_data = std::getenv("APPDATA");
    return app_data && *app_data ? std::string(app_data) + "\\" + GAME_FOLDER : "";
}
#else
// A pipe or a device would block the game; O_NONBLOCK lets the regular-file
// check see it first.
constexpr int READ_FLAGS = O_RDONLY | O_NONBLOCK | O_CLOEXEC;
constexpr int CREATE_FLAGS = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC;
bool is_separator(char c) { return c == '/'; }
int make_one_directory(const std::string &dir) { return mkdir(dir.c_str(), 0700); }
int process_id() { return getpid(); }

std::string home_dir()
{
    const char *home = std::getenv("HOME");
    if (home && *home)
        return home;
    const passwd *entry = getpwuid(getuid());
    return entry && entry->pw_dir ? entry->pw_dir : "";
}

// A relative XDG variable is to be ignored, as the XDG base directory rules
// say: it would depend on where the game was started.
std::string xdg_dir(const char *variable, const std::string &home, const char *under_home)
{
    const char *value = std::getenv(variable);
    if (value && value[0] == '/')
        return std::string(value) + "/" + GAME_FOLDER;
    return home.empty() ? "" : home + "/" + under_home + "/" + GAME_FOLDER;
}
#endif

bool is_directory(const std::string &path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Closes a file descriptor when it goes out of scope.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

char sound_complaint[256] = "";

} // namespace

std::string settings_dir()
{
#ifdef _WIN32
    return app_data_dir();
#else
    // Only HOME counts here: a settings file is the player's own, not the
    // password file's.
    const char *home = std::getenv("HOME");
    return xdg_dir("XDG_CONFIG_HOME", home && home[0] ? home : "", ".config");
#endif
}

std::string state_dir()
{
#ifdef _WIN32
    return app_data_dir();
#else
    return xdg_dir("XDG_STATE_HOME", home_dir(), ".local/state");
#endif
}

std::string program_dir()
{
#ifdef _WIN32
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return "";
    const std::string full(path, length);
    return full.substr(0, full.find_last_of("\\/"));
#else
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return "";
    path[length] = '\0';
    const std::string full(path);
    return full.substr(0, full.rfind('/'));
#endif
}

bool make_directories(const std::string &dir, std::string &error)
{
    // Each folder on the way, from the first below the root (or the drive).
    for (std::string::size_type at = 1; at <= dir.size(); at++) {
        if (at < dir.size() && !is_separator(dir[at]))
            continue;
        const std::string part = dir.substr(0, at);
        const bool drive = part.size() == 2 && part[1] == ':';
        if (!drive && make_one_directory(part) != 0 && errno != EEXIST) {
            error = part + ": " + std::strerror(errno);
            return false;
        }
    }
    if (!is_directory(dir)) {
        error = dir + ": not a directory";
        return false;
    }
    return true;
}

ReadFailure read_regular_file(const std::string &path, long long most, std::string &bytes)
{
    FileDescriptor file(open(path.c_str(), READ_FLAGS));
    if (file.get() < 0)
        return ReadFailure::cannot_open;
    struct stat info;
    if (fstat(file.get(), &info) != 0)
        return ReadFailure::cannot_read;
    if (!S_ISREG(info.st_mode))
        return ReadFailure::not_regular;
    if (info.st_size > most)
        return ReadFailure::too_large;
    bytes.clear();
    bytes.reserve(static_cast<std::size_t>(info.st_size));
    char chunk[65536];
    for (;;) {
        const auto got = read(file.get(), chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return ReadFailure::cannot_read;
        if (got == 0)
            return ReadFailure::none;
        // The file may have grown since fstat.
        if (static_cast<long long>(bytes.size()) + got > most)
            return ReadFailure::too_large;
        bytes.append(chunk, static_cast<std::size_t>(got));
    }
}

bool replace_file(const std::string &from, const std::string &to)
{
#ifdef _WIN32
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING))
        return true;
    // Callers tell a missing file by errno, as rename sets it.
    const DWORD error = GetLastError();
    errno = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ENOENT : EACCES;
    return false;
#else
    return rename(from.c_str(), to.c_str()) == 0;
#endif
}

namespace {

// The file that path names, through a link: it gets the new bytes, and the
// link stays. Its permissions, kept for the new file; 0644 for a new one.
std::string linked_target(const std::string &path, int &mode)
{
    mode = 0644;
#ifndef _WIN32
    char resolved[PATH_MAX];
    struct stat info;
    if (realpath(path.c_str(), resolved) && stat(resolved, &info) == 0) {
        mode = static_cast<int>(info.st_mode & 07777);
        return resolved;
    }
#endif
    return path;
}

} // namespace

bool write_file_atomically(const std::string &named, const std::string &bytes, std::string &problem)
{
    int mode = 0;
    const std::string path = linked_target(named, mode);
    const std::string temporary = path + ".new-" + std::to_string(process_id());
    const int fd = open(temporary.c_str(), CREATE_FLAGS, mode);
#ifndef _WIN32
    if (fd >= 0)
        fchmod(fd, static_cast<mode_t>(mode)); // as the old file had it, whatever the umask
#endif
    if (fd < 0) {
        problem = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    bool ok = true;
    for (std::size_t done = 0; ok && done < bytes.size();) {
        const auto put = write(fd, bytes.data() + done, static_cast<unsigned>(bytes.size() - done));
        if (put < 0 && errno == EINTR)
            continue;
        ok = put > 0;
        done += ok ? static_cast<std::size_t>(put) : 0;
    }
    if (!ok)
        problem = "cannot write " + path + ": " + std::strerror(errno);
    if (close(fd) != 0 && ok)
        ok = false, problem = "cannot write " + path + ": " + std::strerror(errno);
    if (ok && !replace_file(temporary, path))
        ok = false, problem = "cannot write " + path + ": " + std::strerror(errno);
    if (!ok)
        std::remove(temporary.c_str());
    return ok;
}

bool desktop_key_repeat(int &delay_ms, int &interval_ms)
{
#ifdef _WIN32
    // The delay in steps of 250 ms from 250; the speed from 2.5 to 30 repeats
    // a second in 31 steps.
    int delay = 0;
    DWORD speed = 0;
    if (!SystemParametersInfoA(SPI_GETKEYBOARDDELAY, 0, &delay, 0) ||
        !SystemParametersInfoA(SPI_GETKEYBOARDSPEED, 0, &speed, 0))
        return false;
    delay_ms = 250 * (delay + 1);
    interval_ms = static_cast<int>(1000.0 / (2.5 + 27.5 * speed / 31.0));
    return true;
#else
    Display *display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    unsigned delay = 0, interval = 0;
    const bool known = XkbGetAutoRepeatRate(display, XkbUseCoreKbd, &delay, &interval) && interval > 0;
    XCloseDisplay(display);
    if (!known)
        return false;
    delay_ms = static_cast<int>(delay);
    interval_ms = static_cast<int>(interval);
    return true;
#endif
}

void on_end_signals(void (*handler)(int))
{
#ifdef _WIN32
    for (int signal : {SIGINT, SIGTERM, SIGBREAK})
        std::signal(signal, handler);
#else
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
#endif
}

#ifndef _WIN32
namespace {

// ALSA writes its complaints (no card, no mixer) straight to stderr, several
// lines a time; the game says one line of its own instead, and keeps the
// last complaint to name the cause.
void keep_alsa_complaint(const char *, int, const char *, int, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    std::vsnprintf(sound_complaint, sizeof sound_complaint, format, args);
    va_end(args);
}

using AlsaErrorHandler = void (*)(const char *, int, const char *, int, const char *, ...);

} // namespace
#endif

void quieten_sound_library()
{
#ifndef _WIN32
    void *alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_GLOBAL);
    if (!alsa)
        return;
    using SetHandler = int (*)(AlsaErrorHandler);
    if (auto set_handler = reinterpret_cast<SetHandler>(dlsym(alsa, "snd_lib_error_set_handler")))
        set_handler(keep_alsa_complaint);
#endif
}

const char *sound_library_complaint() { return sound_complaint; }

void sleep_until(std::chrono::steady_clock::time_point moment)
{
#ifdef _WIN32
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(moment - std::chrono::steady_clock::now());
    if (left.count() > 0)
        Sleep(static_cast<DWORD>(left.count()));
#else
    std::this_thread::sleep_until(moment);
#endif
}
