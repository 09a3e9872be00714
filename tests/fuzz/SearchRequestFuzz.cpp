// A search request as a camera receives it.
#include <cstring>

#include "discovery/WireProtocol.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> datagram(data, size);
    SearchRequest r;
    r.family = CameraFamily::Maker;
    ParseStatus status = SearchRequest::parse(datagram, r);
    FUZZ_CHECK((status == ParseStatus::TooShort) == (size < 7));
    if (status != ParseStatus::Ok) {
        FUZZ_CHECK(r.family == CameraFamily::Maker);
        return 0;
    }
    // The tag and the command byte decide everything; a request of our own making reads back the same.
    auto built = r.build();
    FUZZ_CHECK(std::memcmp(built.data(), data, 7) == 0);
    SearchRequest again;
    again.family = r.family == CameraFamily::Maker ? CameraFamily::Generic : CameraFamily::Maker;
    FUZZ_CHECK(SearchRequest::parse(built, again) == ParseStatus::Ok && again.family == r.family);
    return 0;
}
