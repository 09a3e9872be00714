#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "util/Ipv4.h"

// The cameras' UDP discovery protocol: every datagram goes to 255.255.255.255:4000 and all
// multi-byte addresses travel as octets, first octet first.

inline constexpr std::uint16_t DISCOVERY_PORT = 4000;
inline constexpr std::size_t kAdapterDatagramLength = 194;    // sent by BroadcastFromAdapter
inline constexpr std::size_t kAnyAddressDatagramLength = 193; // sent by BroadcastDatagram
inline constexpr std::size_t kReplyMinimumLength = 50;
inline constexpr std::size_t kReceiveBufferLength = 2048;
inline constexpr std::uint8_t kWifiInterface = 0xAF;
// Where a camera answers out of the box and after a reset; the one address Auto Change IP takes from.
inline constexpr Ipv4 kFactoryAddress{192, 168, 0, 20};

using Mac = std::array<std::uint8_t, 6>;

enum class CameraFamily : int { Generic = 0, Maker = 1 }; // "PCEdit"/"IPCam" and "KXEdit"/"KXCam"

enum class ParseStatus { Ok, TooShort, Malformed };

std::string FormatMac(const Mac& mac);            // "%02x:..." lower case
bool ParseMac(const std::string& text, Mac& out); // "aa:bb:cc:dd:ee:ff", either case

// PC to all cameras: announce yourselves.
struct SearchRequest {
    CameraFamily family = CameraFamily::Generic;

    std::array<std::uint8_t, 200> build() const; // the first 194 bytes are sent
    static ParseStatus parse(std::span<const std::uint8_t> datagram, SearchRequest& out);
};

// Camera to PC.
struct DeviceReply {
    CameraFamily family = CameraFamily::Generic;
    Ipv4 ip{};
    Mac mac{};
    Ipv4 netmask{};
    Ipv4 gateway{};
    std::array<char, 19> name{}; // at most 18 bytes from the wire, always NUL-terminated
    std::array<char, 4> port{};  // the four port bytes as received (decimal text, NUL-padded)
    std::uint8_t ifType = 0;

    int webPort() const; // leading decimal number of the port text, 0 when there is none
    void setName(const std::string& text);
    void setWebPort(int port);

    std::array<std::uint8_t, kReplyMinimumLength + 13> build() const; // 63 bytes: up to ifType
    static ParseStatus parse(std::span<const std::uint8_t> datagram, DeviceReply& out);
};

// PC to one camera, picked out by the MAC inside the datagram.
struct SetNetworkCommand {
    CameraFamily family = CameraFamily::Maker; // tag "KXEdit" unless Generic
    bool interfaceName = true;                 // "eth1" at offset 7
    Ipv4 ip{};
    Mac mac{};
    Ipv4 netmask{};
    bool hasGateway = false;
    Ipv4 gateway{};
    std::uint8_t flag32 = 0;
    std::array<char, 18> name{};
    bool hasCredentials = false; // 0xFD marker, then login and password
    std::string user;            // cut to 63 bytes on the wire
    std::string password;

    std::array<std::uint8_t, 200> build() const;
    static ParseStatus parse(std::span<const std::uint8_t> datagram, SetNetworkCommand& out);
};
