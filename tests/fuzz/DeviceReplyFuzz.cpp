// A camera's discovery reply, as the receive thread reads it into its 2048-byte buffer, through to the
// table record and the texts of its list row.
#include <cstring>

#include "discovery/DeviceInfo.h"
#include "discovery/DeviceRows.h"
#include "discovery/WireProtocol.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

bool sameReply(const DeviceReply& a, const DeviceReply& b) {
    return a.family == b.family && a.ip == b.ip && a.mac == b.mac && a.netmask == b.netmask && a.gateway == b.gateway &&
           a.name == b.name && a.port == b.port && a.ifType == b.ifType;
}

// Undoes the Latin-1 widening of NameText; false when the text is not the two-byte UTF-8 it should be.
bool narrowName(const std::string& text, std::string& out) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
            continue;
        }
        if ((c != 0xC2 && c != 0xC3) || i + 1 >= text.size())
            return false;
        auto next = static_cast<unsigned char>(text[++i]);
        if ((next & 0xC0) != 0x80)
            return false;
        out += static_cast<char>(((c & 0x03) << 6) | (next & 0x3F));
    }
    return true;
}

void checkRow(const DeviceInfo& d, int rowIndex) {
    std::string idx = IdxText(rowIndex);
    FUZZ_CHECK(idx.size() >= 3 && std::strtol(idx.c_str(), nullptr, 10) == rowIndex);

    std::string narrow;
    FUZZ_CHECK(narrowName(NameText(d), narrow));
    FUZZ_CHECK(narrow == std::string(d.name.data()));

    Ipv4 ip{};
    FUZZ_CHECK(ParseIpv4(IpText(d), ip) && ip == d.ip);
    Mac mac{};
    std::string macText = MacText(d);
    FUZZ_CHECK(macText.size() == 17 && ParseMac(macText, mac) && mac == d.mac);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> datagram(data, size);
    DeviceReply untouched;
    untouched.setName("untouched");
    DeviceReply r = untouched;
    ParseStatus status = DeviceReply::parse(datagram, r);
    FUZZ_CHECK((status == ParseStatus::TooShort) == (size < kReplyMinimumLength));
    if (status != ParseStatus::Ok) {
        FUZZ_CHECK(sameReply(r, untouched));
        return 0;
    }
    FUZZ_CHECK(std::memcmp(data, r.family == CameraFamily::Maker ? "KXCam" : "IPCam", 5) == 0);
    FUZZ_CHECK(r.ip != Ipv4{});
    FUZZ_CHECK(r.name[18] == '\0' && std::strlen(r.name.data()) <= 18);
    FUZZ_CHECK(r.webPort() >= -999 && r.webPort() <= 9999);

    // Bytes past the received length read as zero, so padding with zeros changes nothing.
    std::vector<std::uint8_t> padded(datagram.begin(), datagram.end());
    padded.resize(std::max<std::size_t>(size, kReplyMinimumLength + 13), 0);
    DeviceReply fromPadded;
    FUZZ_CHECK(DeviceReply::parse(padded, fromPadded) == ParseStatus::Ok && sameReply(fromPadded, r));

    auto built = r.build();
    DeviceReply again;
    FUZZ_CHECK(DeviceReply::parse(built, again) == ParseStatus::Ok && sameReply(again, r));

    DeviceInfo d = DeviceInfo::FromReply(r);
    FUZZ_CHECK(std::memcmp(d.tag.data(), data, 5) == 0);
    FUZZ_CHECK(d.ip == r.ip && d.mac == r.mac && d.netmask == r.netmask && d.gateway == r.gateway);
    FUZZ_CHECK(std::memchr(d.name.data(), 0, d.name.size()) != nullptr && std::strlen(d.name.data()) <= 18);
    FUZZ_CHECK(std::string(d.name.data()) == std::string(r.name.data()));
    FUZZ_CHECK(d.webPort == r.webPort() && d.kind == static_cast<int>(r.family) && d.ifType == r.ifType);

    // The row number is the program's own, but its text must survive any value: take one from unused bytes.
    int rowIndex = 0;
    if (size >= 59)
        std::memcpy(&rowIndex, data + 55, sizeof rowIndex);
    checkRow(d, rowIndex);
    return 0;
}
