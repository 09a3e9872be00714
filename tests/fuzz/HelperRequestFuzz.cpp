// A request to the privileged helper, as any member of its group may send it.
#include <cstring>

#include "helper/HelperProtocol.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ExactBuffer exact({data, size});
    std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(exact.data()), exact.size());
    HelperRequest untouched = HelperRequest::Ping(0x0A000001u);
    HelperRequest r = untouched;
    HelperRefusal why = HelperRequest::parse(bytes, r);
    FUZZ_CHECK((why == HelperRefusal::BadLength) == (size != kHelperRequestLength));
    if (why != HelperRefusal::None) {
        FUZZ_CHECK(r == untouched);
        return 0;
    }
    // Every byte of an accepted request means something: building it again gives the same bytes.
    const auto built = r.build();
    FUZZ_CHECK(std::memcmp(built.data(), data, size) == 0);
    FUZZ_CHECK(r.interfaceName.size() < kHelperNameField);
    switch (r.op) {
    case HelperOp::AddLinkLocalRoute:
    case HelperOp::RemoveLinkLocalRoute:
    case HelperOp::ReclaimLinkLocalRoute:
        FUZZ_CHECK(r.address == kLinkLocalNetwork && r.prefix == kLinkLocalPrefixLength);
        FUZZ_CHECK(!r.interfaceName.empty());
        break;
    case HelperOp::ArpProbe:
        FUZZ_CHECK(IsUnicastHostAddress(r.address) && (r.source == 0 || IsLinkLocalHostAddress(r.source)));
        break;
    case HelperOp::RawPing:
        FUZZ_CHECK(IsUnicastHostAddress(r.address) && r.interfaceName.empty());
        break;
    case HelperOp::ForgetNeighbour:
        FUZZ_CHECK(IsLinkLocalHostAddress(r.address));
        break;
    case HelperOp::OpenDiscoverySocket:
        FUZZ_CHECK(r.port == 4000 && r.interfaceName.empty());
        break;
    }
    return 0;
}
