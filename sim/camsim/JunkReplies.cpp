#include "sim/camsim/JunkReplies.h"

#include <cstring>

#include "discovery/WireProtocol.h"

// What a correct receiver makes of each datagram (every one goes to 255.255.255.255:4000):
//   rejected  49 bytes starting "IPCam" (too short)             MAC 02:fe:ee:00:00:10 "Short"
//   rejected  50 bytes tagged "IPCaM"                          MAC 02:fe:ee:00:00:11 "CapitalM"
//   rejected  63 bytes tagged "NVCam" (another maker's tag)    MAC 02:fe:ee:00:00:12 "Foreign"
//   rejected  63-byte "IPCam" reply at address 0.0.0.0         MAC 02:fe:ee:00:00:13 "ZeroAddress"
//   accepted  4000-byte "IPCam" reply, zero-padded; a 2048-byte receive buffer cuts it, the first
//             63 bytes still read as a camera: 192.0.2.1, MAC 02:fe:ee:00:00:01, name "Oversize"
//   accepted  192.0.2.2, MAC 02:fe:ee:00:00:02, the 18-byte name without NUL
//             "\x1b[2J\x1b]0;pwn\x07\r\n\t\b\x01\x7f" (clear screen, window title, control bytes)
//   accepted  192.0.2.3, MAC 02:fe:ee:00:00:03, name "BadPort", port bytes "8x80" (web port 8 by
//             its leading digits)
// The accepted ones sit in 192.0.2.0/24 (RFC 5737), where no simulated camera ever lives.

namespace {

constexpr char kEscapeName[] = "\x1b[2J\x1b]0;pwn\x07\r\n\t\b\x01\x7f";
static_assert(sizeof kEscapeName - 1 == 18, "the name fills its 18 bytes without a NUL");

std::vector<std::uint8_t> reply(std::uint8_t macLast, std::uint8_t ipLast, const char* name) {
    DeviceReply r;
    r.family = CameraFamily::Generic;
    r.ip = {192, 0, 2, ipLast};
    r.mac = {0x02, 0xfe, 0xee, 0x00, 0x00, macLast};
    r.netmask = {255, 255, 255, 0};
    r.gateway = {192, 0, 2, 254};
    r.setName(name);
    r.setWebPort(80);
    auto bytes = r.build();
    return {bytes.begin(), bytes.end()};
}

} // namespace

std::vector<JunkDatagram> JunkReplies() {
    std::vector<JunkDatagram> junk;
    auto shortOne = reply(0x10, 10, "Short");
    shortOne.resize(kReplyMinimumLength - 1);
    junk.push_back({"49 bytes starting IPCam", false, shortOne});
    auto capital = reply(0x11, 11, "CapitalM");
    capital.resize(kReplyMinimumLength);
    capital[4] = 'M';
    junk.push_back({"50 bytes tagged IPCaM", false, capital});
    auto foreign = reply(0x12, 12, "Foreign");
    std::memcpy(foreign.data(), "NVCam", 5);
    junk.push_back({"foreign tag NVCam", false, foreign});
    auto zero = reply(0x13, 13, "ZeroAddress");
    std::memset(zero.data() + 10, 0, 4);
    junk.push_back({"address 0.0.0.0", false, zero});
    auto oversize = reply(0x01, 1, "Oversize");
    oversize.resize(4000, 0);
    junk.push_back({"4000 bytes, Oversize", true, oversize});
    auto escapes = reply(0x02, 2, "");
    std::memcpy(escapes.data() + 32, kEscapeName, 18);
    junk.push_back({"escape sequences in the name", true, escapes});
    auto badPort = reply(0x03, 3, "BadPort");
    std::memcpy(badPort.data() + 51, "8x80", 4);
    junk.push_back({"port 8x80, BadPort", true, badPort});
    return junk;
}

std::string JunkHelp() {
    return "after every answer to a search also broadcast malformed replies. A correct receiver rejects: 49 bytes "
           "starting IPCam (MAC 02:fe:ee:00:00:10), 50 bytes tagged IPCaM (:11), tag NVCam (:12), address 0.0.0.0 "
           "(:13); and lists three cameras: 192.0.2.1 02:fe:ee:00:00:01 \"Oversize\" (a 4000-byte datagram), "
           "192.0.2.2 02:fe:ee:00:00:02 whose 18-byte name is \"\\x1b[2J\\x1b]0;pwn\\x07\\r\\n\\t\\b\\x01\\x7f\" "
           "(no NUL), 192.0.2.3 02:fe:ee:00:00:03 \"BadPort\" with port text 8x80 (web port 8)";
}
