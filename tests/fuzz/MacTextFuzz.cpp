// MAC texts as the command line and the simulated cameras' options take them.
#include <cctype>

#include "discovery/WireProtocol.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text = AsText({data, size});
    Mac mac{9, 9, 9, 9, 9, 9};
    if (!ParseMac(text, mac)) {
        FUZZ_CHECK((mac == Mac{9, 9, 9, 9, 9, 9}));
        return 0;
    }
    // Either case is accepted, nothing else: the lower-case form is the only other spelling.
    std::string lower = text;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    FUZZ_CHECK(FormatMac(mac) == lower);
    return 0;
}
