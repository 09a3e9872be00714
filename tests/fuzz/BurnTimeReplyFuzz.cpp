// The body of a camera's upload reply, which announces the burn time, and the progress step taken from it.
// Input layout: see ChunkedInput.
#include <cctype>
#include <cstring>

#include "tests/fuzz/FuzzSupport.h"
#include "webops/ReplyParser.h"

namespace {

constexpr long kLongestStepMs = ReplyParser::kLongestBurnSeconds * 10; // the ceiling of a burn

long checkedStep(const std::array<char, 32>& burnTime) {
    long step = ReplyParser::ProgressStepMs(burnTime);
    FUZZ_CHECK(step >= 0 && step <= kLongestStepMs);
    return step;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ChunkedInput input(data, size);
    std::array<char, 32> burnTime;
    burnTime.fill('b');
    // Unterminated bytes, as a cut value of exactly 32 characters would leave them.
    checkedStep(burnTime);

    for (auto chunk : input.chunks) {
        auto before = burnTime;
        ExactBuffer bytes(chunk);
        bool found = ReplyParser::ScanBurnTime(bytes.data(), bytes.size(), burnTime);
        if (!found) {
            FUZZ_CHECK(burnTime == before);
            continue;
        }
        FUZZ_CHECK(std::memchr(burnTime.data(), 0, burnTime.size()) != nullptr);
        std::string value(burnTime.data());
        FUZZ_CHECK(!value.empty() && value.find_first_of("'\"") == std::string::npos);
        long step = checkedStep(burnTime);
        // Whole seconds up to the ceiling give ten milliseconds per second ("90" -> 900).
        if (value.size() <= 5 && value.find_first_not_of("0123456789") == std::string::npos &&
            std::stol(value) <= ReplyParser::kLongestBurnSeconds)
            FUZZ_CHECK(step == std::stol(value) * 10);
    }
    return 0;
}
