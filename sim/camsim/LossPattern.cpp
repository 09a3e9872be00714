#include "sim/camsim/LossPattern.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace {

constexpr std::uint32_t kWhole = 1000000; // a share is kept in millionths

} // namespace

std::optional<LossPattern> LossPattern::Parse(const std::string& text) {
    LossPattern pattern;
    if (!text.empty() && text.back() == '%') {
        const std::string number = text.substr(0, text.size() - 1);
        if (number.empty() || number.find_first_not_of("0123456789.") != std::string::npos)
            return std::nullopt;
        char* end = nullptr;
        errno = 0;
        const double percent = std::strtod(number.c_str(), &end);
        if (errno != 0 || *end != '\0' || !(percent >= 0.0 && percent <= 100.0))
            return std::nullopt;
        pattern.m_share = static_cast<std::uint32_t>(std::lround(percent / 100.0 * kWhole));
        return pattern;
    }
    std::size_t at = 0;
    while (at <= text.size()) {
        std::size_t comma = text.find(',', at);
        const std::string item = text.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
        if (item.empty() || item.size() > 18 || item.find_first_not_of("0123456789") != std::string::npos)
            return std::nullopt;
        const std::uint64_t ordinal = std::strtoull(item.c_str(), nullptr, 10);
        if (ordinal == 0)
            return std::nullopt;
        pattern.m_ordinals.insert(ordinal);
        if (comma == std::string::npos)
            break;
        at = comma + 1;
    }
    return pattern;
}

void LossPattern::seed(const Mac& mac, std::uint64_t salt) {
    std::uint64_t value = 0;
    for (std::uint8_t octet : mac)
        value = (value << 8) | octet;
    m_state = value ^ salt;
    m_count = 0;
}

// SplitMix64: small, and the same sequence from the same seed on every platform and library.
std::uint64_t LossPattern::draw() {
    std::uint64_t z = (m_state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

bool LossPattern::lostNext() {
    ++m_count;
    if (!m_ordinals.empty())
        return m_ordinals.contains(m_count);
    return m_share > 0 && draw() % kWhole < m_share;
}

std::string LossPattern::describe() const {
    if (m_share > 0) {
        std::string text = std::to_string(m_share / (kWhole / 100));
        if (std::uint32_t rest = m_share % (kWhole / 100); rest != 0) {
            std::string fraction = std::to_string(rest);
            fraction.insert(0, 4 - fraction.size(), '0');
            while (fraction.back() == '0')
                fraction.pop_back();
            text += "." + fraction;
        }
        return text + "%";
    }
    std::string text;
    for (std::uint64_t ordinal : m_ordinals)
        text += (text.empty() ? "" : ",") + std::to_string(ordinal);
    return text;
}
