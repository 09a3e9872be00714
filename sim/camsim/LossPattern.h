#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "discovery/WireProtocol.h"

// Which datagrams of one stream (a camera's set-network commands, or its searches) never reach the
// camera, as on a real bench: a share drawn at random, or given ordinals counted from 1.
class LossPattern {
public:
    LossPattern() = default; // loses nothing

    // "30%" (each lost with that probability) or "1,3" (the first and the third); nothing for bad text.
    static std::optional<LossPattern> Parse(const std::string& text);

    // The share's generator starts from the MAC, so a run repeats; salt keeps two streams apart.
    void seed(const Mac& mac, std::uint64_t salt);
    // Counts one more datagram of the stream; true when that one is lost.
    bool lostNext();
    bool losesAny() const { return m_share > 0 || !m_ordinals.empty(); }
    std::string describe() const; // the text it was parsed from, normalised; empty when it loses nothing

private:
    std::uint64_t draw();

    std::uint32_t m_share = 0; // in millionths
    std::set<std::uint64_t> m_ordinals;
    std::uint64_t m_count = 0;
    std::uint64_t m_state = 0;
};
