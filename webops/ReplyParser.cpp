#include "webops/ReplyParser.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

class Scanner {
public:
    Scanner(const char* p, std::size_t n) : m_p(p), m_end(p + n) {}

    // A pattern literal; blanks in it match any run of white space, including none.
    bool literal(const char* text) {
        for (; *text; ++text) {
            if (*text == ' ') {
                while (m_p < m_end && std::isspace(static_cast<unsigned char>(*m_p)))
                    ++m_p;
                continue;
            }
            if (m_p >= m_end || *m_p != *text)
                return false;
            ++m_p;
        }
        return true;
    }

    // %[^'"]: a non-empty run up to the next quote (or the end of the chunk or a NUL).
    template <std::size_t N> bool value(std::array<char, N>& out) {
        const char* start = m_p;
        while (m_p < m_end && *m_p != '\'' && *m_p != '"' && *m_p != '\0')
            ++m_p;
        if (m_p == start)
            return false;
        std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(m_p - start), N - 1);
        out.fill(0);
        std::memcpy(out.data(), start, n);
        return true;
    }

private:
    const char* m_p;
    const char* m_end;
};

} // namespace

int ReplyParser::ScanFirmwareInfo(const char* chunk, std::size_t length, FirmwareInfo& out) {
    Scanner s(chunk, length);
    int captured = 0;
    if (!s.literal("Properties.Firmware.Model=\"") || !s.value(out.model))
        return captured;
    ++captured;
    if (!s.literal("\" Properties.Firmware.Version=\"") || !s.value(out.version))
        return captured;
    ++captured;
    if (!s.literal("\" Properties.Hardware.List=\"") || !s.value(out.hardwareList))
        return captured;
    return ++captured;
}

bool ReplyParser::ScanBurnTime(const char* chunk, std::size_t length, std::array<char, 32>& burnTime) {
    Scanner s(chunk, length);
    return s.literal("OK,ImgBurnTimeSec=\"") && s.value(burnTime);
}

long ReplyParser::ProgressStepMs(const std::array<char, 32>& burnTime) {
    char text[33] = {};
    std::memcpy(text, burnTime.data(), burnTime.size());
    double seconds = std::strtod(text, nullptr);
    // A hundredth of the burn time per step; nonsense gives no wait at all, and an announcement
    // beyond reason is held at the ceiling: the camera is then asked, and judged, after that long.
    if (std::isnan(seconds) || seconds <= 0)
        return 0;
    return static_cast<long>(std::min(seconds, static_cast<double>(kLongestBurnSeconds)) * 10.0);
}
