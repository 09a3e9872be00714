// Dotted IPv4 texts as operators type them and as the system reports them.
#include "tests/fuzz/FuzzSupport.h"
#include "util/Ipv4.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text = AsText({data, size});
    Ipv4 ip{9, 9, 9, 9};
    if (!ParseIpv4(text, ip)) {
        FUZZ_CHECK((ip == Ipv4{9, 9, 9, 9}));
        return 0;
    }
    // A strict dotted quad has exactly one spelling, so an accepted text is what formatting gives back.
    FUZZ_CHECK(FormatIpv4(ip) == text);
    return 0;
}
