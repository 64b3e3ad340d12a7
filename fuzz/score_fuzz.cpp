// Feeds arbitrary text to the score reader: it must read a score or refuse
// it with a runtime_error naming the place, never crash, hang or touch bad
// memory. What it reads, when short, is rendered too.
#include <cstdint>
#include <sstream>
#include <stdexcept>
#include <string>

#include "score.h"
#include "source.h"

namespace {

// Longer pieces take the fuzzer's time without reaching new code.
constexpr long long LONGEST_RENDERED = 22050LL * 4;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::istringstream text(std::string(reinterpret_cast<const char *>(data), size));
    try {
        const Score score = parse_score("fuzz.txt", source_lines(text));
        if (score.sample_at(score.total_ticks()) <= LONGEST_RENDERED)
            render_score(score);
    } catch (const std::runtime_error &) {
    }
    return 0;
}
