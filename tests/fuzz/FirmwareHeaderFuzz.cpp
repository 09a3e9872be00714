// The first bytes of a firmware image file the operator picks.
#include <algorithm>
#include <vector>

#include "engine/FirmwareHeader.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

constexpr std::size_t kHeaderBytes = 100;

bool sameHeader(const FirmwareHeader& a, const FirmwareHeader& b) {
    return a.model == b.model && a.version == b.version;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FirmwareHeader h = ParseFirmwareHeader(data, size);
    // "V%c.%c%c" with a NUL ending the text early: "V", "Vx.", "Vx.y" or "Vx.yz".
    FUZZ_CHECK(!h.version.empty() && h.version.size() <= 5 && h.version.size() != 2 && h.version[0] == 'V');
    FUZZ_CHECK(h.version.size() < 3 || h.version[2] == '.');
    FUZZ_CHECK(h.version.find('\0') == std::string::npos);
    FUZZ_CHECK(h.model.size() <= 12 && h.model.find('\0') == std::string::npos);

    // Only the first 100 bytes count, and a shorter file reads as if padded with zeros.
    std::vector<unsigned char> padded(data, data + std::min(size, kHeaderBytes));
    padded.resize(kHeaderBytes, 0);
    FUZZ_CHECK(sameHeader(ParseFirmwareHeader(padded.data(), padded.size()), h));
    return 0;
}
