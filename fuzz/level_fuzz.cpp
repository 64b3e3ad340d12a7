// Feeds arbitrary bytes to the level loader: it must either load a level or
// refuse with a LevelError, never crash, hang or touch bad memory.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "headless.h"
#include "level.h"

namespace {

// Loading writes its debug files into the working directory, so the fuzzer
// works in a scratch directory of its own.
std::string scratch;

void remove_scratch()
{
    for (const char *file : {"/debuglevel.txt", "/default_object.txt"})
        unlink((scratch + file).c_str());
    rmdir(scratch.c_str());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    headless::start();
    // Memory-backed when possible: rewriting the files on a disk is slow.
    char in_memory[] = "/dev/shm/tolbrint-fuzz-XXXXXX";
    char on_disk[] = "/tmp/tolbrint-fuzz-XXXXXX";
    const char *dir = mkdtemp(in_memory);
    if (!dir)
        dir = mkdtemp(on_disk);
    if (!dir || chdir(dir) != 0) {
        std::perror("level_fuzz: scratch directory");
        std::abort();
    }
    scratch = dir;
    std::atexit(remove_scratch);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const LevelText source{std::string(reinterpret_cast<const char *>(data), size), "fuzz.dat"};
    try {
        Level level(source);
    } catch (const LevelError &) {
        // A refused level is a good answer.
    }
    return 0;
}
