// Feeds arbitrary bytes to the replay reader: it must either read a replay
// or refuse it with a reason, never crash, hang or touch bad memory. Most
// inputs get a good checksum put on their end first, so that the fuzzer
// gets past it to everything the reader trusts after it.
#include <cstdint>
#include <string>

#include "replay.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string bytes(reinterpret_cast<const char *>(data), size);
    if (size > 0 && data[0] != 0xFF) {
        const std::uint32_t crc = crc32_of(bytes);
        for (int i = 0; i < 4; i++)
            bytes += static_cast<char>(crc >> (8 * i));
    }
    Replay replay;
    std::string problem;
    if (!decode_replay(bytes, replay, problem) && problem.empty())
        __builtin_trap(); // a refusal always says why
    return 0;
}
