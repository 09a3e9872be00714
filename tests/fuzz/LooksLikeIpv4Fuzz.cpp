// The adapter list's test for an IPv4 address among the system's mixed IPv4 and IPv6 texts.
#include <algorithm>

#include "tests/fuzz/FuzzSupport.h"
#include "util/Ipv4.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text = AsText({data, size});
    bool looks = LooksLikeIpv4(text);
    // Every address the workflows can use must also be one the adapter list accepts.
    Ipv4 ip{};
    if (ParseIpv4(text, ip))
        FUZZ_CHECK(looks);
    if (!looks)
        return 0;
    FUZZ_CHECK(std::count(text.begin(), text.end(), '.') >= 3);
    FUZZ_CHECK(std::count_if(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }) >= 4);
    // An IPv6 text never passes, even one that embeds an IPv4 address ("::ffff:1.2.3.4"): no colon may
    // come before the third dot.
    std::size_t dot = 0;
    for (int i = 0; i < 3; ++i)
        dot = text.find('.', i == 0 ? 0 : dot + 1);
    FUZZ_CHECK(text.find(':') > dot);
    return 0;
}
