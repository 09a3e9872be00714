#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One hostile or malformed datagram that --junk broadcasts after every real answer.
struct JunkDatagram {
    std::string what;
    bool accepted = false; // whether a correct receiver lists it as a camera
    std::vector<std::uint8_t> bytes;
};

// The whole set, in the order sent; each carries its own MAC, so a test can tell them apart.
std::vector<JunkDatagram> JunkReplies();

// The --help text: every datagram and which of them a correct receiver lists, with MAC and name.
std::string JunkHelp();
