#include "util/Utf8.h"

#include <utility>

namespace {

// Length of the valid UTF-8 sequence at the start of s, 0 when it is not one (RFC 3629).
std::size_t sequenceLength(std::string_view s) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    unsigned char c = byte(0);
    std::size_t n = c < 0x80                   ? 1
                    : (c >= 0xC2 && c <= 0xDF) ? 2
                    : (c >= 0xE0 && c <= 0xEF) ? 3
                    : (c >= 0xF0 && c <= 0xF4) ? 4
                                               : 0;
    if (n == 0 || n > s.size())
        return 0;
    for (std::size_t i = 1; i < n; ++i)
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
    // Overlong forms, surrogates and code points above U+10FFFF.
    if ((c == 0xE0 && byte(1) < 0xA0) || (c == 0xED && byte(1) > 0x9F) || (c == 0xF0 && byte(1) < 0x90) ||
        (c == 0xF4 && byte(1) > 0x8F))
        return 0;
    return n;
}

char32_t codePoint(std::string_view s, std::size_t n) {
    auto byte = [&](std::size_t i) { return static_cast<char32_t>(static_cast<unsigned char>(s[i])); };
    if (n == 1)
        return byte(0);
    char32_t c = byte(0) & (0x7F >> n);
    for (std::size_t i = 1; i < n; ++i)
        c = (c << 6) | (byte(i) & 0x3F);
    return c;
}

// Terminal columns of one character: two for East Asian wide and fullwidth ones (Hangul Jamo,
// CJK, Hangul syllables, compatibility ideographs, fullwidth forms, the supplementary ideographs),
// none for combining marks and the zero-width joiners, one for the rest.
std::size_t columnsOf(char32_t c) {
    if ((c >= 0x0300 && c <= 0x036F) || (c >= 0x200B && c <= 0x200F) || (c >= 0xFE00 && c <= 0xFE0F))
        return 0;
    const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF && c != 0x303F) ||
                      (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
                      (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
                      (c >= 0x20000 && c <= 0x3FFFD);
    return wide ? 2 : 1;
}

// Walks the characters of text while they fit in columns; the bytes that fit and their columns.
std::pair<std::size_t, std::size_t> fitColumns(std::string_view text, std::size_t columns) {
    std::size_t used = 0, end = 0;
    while (end < text.size()) {
        const std::size_t n = sequenceLength(text.substr(end));
        const std::size_t width = n == 0 ? 1 : columnsOf(codePoint(text.substr(end), n));
        if (used + width > columns)
            break;
        used += width;
        end += n == 0 ? 1 : n;
    }
    return {end, used};
}

} // namespace

std::size_t DisplayWidth(std::string_view text) {
    return fitColumns(text, std::string_view::npos).second;
}

std::string CutToColumns(std::string_view text, std::size_t columns) {
    return std::string(text.substr(0, fitColumns(text, columns).first));
}

std::string PadToColumns(const std::string& text, std::size_t columns) {
    const std::size_t width = DisplayWidth(text);
    return width >= columns ? text + " " : text + std::string(columns - width, ' ');
}

std::string Printable(std::string_view text, std::size_t maxBytes) {
    const bool cut = text.size() > maxBytes;
    if (cut)
        text = text.substr(0, maxBytes);
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        std::size_t n = sequenceLength(text);
        if (n == 0) {
            out += "\xEF\xBF\xBD";
            text.remove_prefix(1);
            continue;
        }
        auto c = static_cast<unsigned char>(text[0]);
        // C1 controls are U+0080..U+009F, written as C2 80..C2 9F.
        bool control =
            (n == 1 && (c < 0x20 || c == 0x7F)) || (n == 2 && c == 0xC2 && static_cast<unsigned char>(text[1]) < 0xA0);
        if (control)
            out += '?';
        else
            out.append(text.substr(0, n));
        text.remove_prefix(n);
    }
    if (cut)
        out += "...";
    return out;
}

std::string CutUtf8(std::string_view text, std::size_t maxUnits, std::size_t maxBytes) {
    std::size_t units = 0, end = 0;
    while (end < text.size()) {
        std::size_t n = sequenceLength(text.substr(end));
        if (n == 0)
            n = 1; // a stray byte counts as one character of its own
        std::size_t width = n == 4 ? 2 : 1;
        if (units + width > maxUnits || end + n > maxBytes)
            break;
        units += width;
        end += n;
    }
    return std::string(text.substr(0, end));
}
