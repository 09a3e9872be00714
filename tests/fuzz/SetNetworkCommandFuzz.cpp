// A set-network command as a camera receives it: the simulated cameras parse every one they hear.
#include <cstring>

#include "discovery/WireProtocol.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

// The gateway bytes mean something only with the "gw" marker; build() leaves them zero otherwise.
bool sameCommand(const SetNetworkCommand& a, const SetNetworkCommand& b) {
    return a.family == b.family && a.interfaceName == b.interfaceName && a.ip == b.ip && a.mac == b.mac &&
           a.netmask == b.netmask && a.hasGateway == b.hasGateway && (!a.hasGateway || a.gateway == b.gateway) &&
           a.flag32 == b.flag32 && a.name == b.name && a.hasCredentials == b.hasCredentials && a.user == b.user &&
           a.password == b.password;
}

bool isCredentialText(const std::string& text) {
    // Each credential field holds at most 63 characters followed by NUL.
    return text.size() <= 63 && text.find('\0') == std::string::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> datagram(data, size);
    SetNetworkCommand untouched;
    untouched.user = "untouched";
    SetNetworkCommand c = untouched;
    ParseStatus status = SetNetworkCommand::parse(datagram, c);
    FUZZ_CHECK((status == ParseStatus::TooShort) == (size < kAnyAddressDatagramLength));
    if (status != ParseStatus::Ok) {
        FUZZ_CHECK(sameCommand(c, untouched));
        return 0;
    }
    FUZZ_CHECK(data[6] == 1);
    FUZZ_CHECK(std::memcmp(data, c.family == CameraFamily::Generic ? "PCEdit" : "KXEdit", 6) == 0);
    if (c.hasCredentials) {
        FUZZ_CHECK(isCredentialText(c.user) && isCredentialText(c.password));
    } else {
        FUZZ_CHECK(c.user.empty() && c.password.empty());
    }

    // Only the first 193 bytes carry the command: the 194th byte of the adapter form is padding.
    SetNetworkCommand shortest;
    FUZZ_CHECK(SetNetworkCommand::parse(datagram.first(kAnyAddressDatagramLength), shortest) == ParseStatus::Ok);
    FUZZ_CHECK(sameCommand(shortest, c));

    auto built = c.build();
    SetNetworkCommand again;
    FUZZ_CHECK(SetNetworkCommand::parse(built, again) == ParseStatus::Ok);
    FUZZ_CHECK(sameCommand(again, c));
    return 0;
}
