// The helper's checks against the running system, made before anything is done; no request here
// passes them, so nothing is changed and nothing is sent.
#include "helper/HelperService.h"

#include <gtest/gtest.h>

namespace {

constexpr std::uint32_t kCamera = 0xC0A80014u; // 192.168.0.20

HelperReply handle(const HelperRequest& request) {
    HelperService service;
    UniqueFd passed;
    const auto bytes = request.build();
    HelperReply reply = service.Handle(bytes, passed);
    EXPECT_FALSE(passed.valid());
    return reply;
}

TEST(HelperService, RefusesCardsThatAreNotThereOrLoopback) {
    for (const HelperRequest& r :
         {HelperRequest::AddRoute("fwnosuch0"), HelperRequest::RemoveRoute("fwnosuch0"),
          HelperRequest::Restore("fwnosuch0", {{0x0A000001u, 24}}), HelperRequest::Arp("fwnosuch0", kCamera, 0),
          HelperRequest::Forget("fwnosuch0", 0xA9FE0101u)}) {
        EXPECT_EQ(handle(r), HelperReply::Refused(HelperRefusal::NoSuchInterface)) << static_cast<int>(r.op);
    }
    // No camera sits behind loopback: a route, an address or a probe there has no business of ours.
    for (const HelperRequest& r : {HelperRequest::AddRoute("lo"), HelperRequest::Restore("lo", {{0x0A000001u, 8}}),
                                   HelperRequest::Arp("lo", kCamera, 0), HelperRequest::Forget("lo", 0xA9FE0101u)}) {
        EXPECT_EQ(handle(r), HelperReply::Refused(HelperRefusal::LoopbackInterface)) << static_cast<int>(r.op);
    }
}

TEST(HelperService, RepliesToMalformedBytesWithTheParsersRefusal) {
    HelperService service;
    UniqueFd passed;
    const std::uint8_t garbage[kHelperRequestLength] = {'G', 'E', 'T', ' ', '/'};
    EXPECT_EQ(service.Handle(garbage, passed), HelperReply::Refused(HelperRefusal::BadMagic));
    EXPECT_EQ(handle(HelperRequest::DiscoverySocket(8080)), HelperReply::Refused(HelperRefusal::BadPort));
}

} // namespace
