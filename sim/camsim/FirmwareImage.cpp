#include "sim/camsim/FirmwareImage.h"

#include <cctype>
#include <cstdint>

namespace {

constexpr std::string_view kHead = "-----------------------------7d9552e70740\r\n"
                                   "Content-Disposition: form-data; name=\"file\";"
                                   "Content-Type: application/octet-stream\r\n\r\n";
constexpr std::string_view kTail = "\r\n-----------------------------7d9552e70740\r\n"
                                   "Content-Disposition: form-data; name=\"submit\"\r\n"
                                   "Submit\r\n-----------------------------7d9552e70740\r\n";

// The bytes at [offset, offset+length) up to the first NUL.
std::string field(std::string_view image, std::size_t offset, std::size_t length) {
    if (image.size() <= offset)
        return {};
    std::string_view part = image.substr(offset, length);
    return std::string(part.substr(0, part.find('\0')));
}

int base64Value(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

} // namespace

static_assert(kHead.size() == 129 && kTail.size() == 143, "upload framing sizes");

std::optional<std::string_view> ExtractImage(std::string_view body) {
    if (body.size() < kHead.size() + kTail.size() || !body.starts_with(kHead) || !body.ends_with(kTail))
        return std::nullopt;
    return body.substr(kHead.size(), body.size() - kHead.size() - kTail.size());
}

std::optional<std::string> ImageVersion(std::string_view image) {
    std::string digits = field(image, 24, 3);
    if (digits.empty())
        return std::nullopt;
    return "V" + digits.substr(0, 1) + "." + digits.substr(1);
}

std::optional<std::string> ImageModel(std::string_view image) {
    std::string model = field(image, 68, 12);
    if (model.empty())
        return std::nullopt;
    return model;
}

std::string LowerVersion(std::string version) {
    for (auto i = version.size(); i-- > 0;) {
        char& c = version[i];
        if (!std::isdigit(static_cast<unsigned char>(c)))
            continue;
        if (c > '0') {
            --c;
            return version;
        }
        c = '9';
    }
    return version;
}

std::optional<std::string> BasicCredentials(std::string_view header) {
    constexpr std::string_view scheme = "basic ";
    if (header.size() < scheme.size())
        return std::nullopt;
    for (std::size_t i = 0; i < scheme.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(header[i])) != scheme[i])
            return std::nullopt;
    std::string_view encoded = header.substr(scheme.size());
    while (!encoded.empty() && encoded.front() == ' ')
        encoded.remove_prefix(1);
    std::string decoded;
    std::uint32_t bits = 0;
    int count = 0;
    for (char c : encoded) {
        if (c == '=')
            break;
        int value = base64Value(c);
        if (value < 0)
            return std::nullopt;
        bits = (bits << 6) | static_cast<std::uint32_t>(value);
        count += 6;
        if (count >= 8) {
            count -= 8;
            decoded.push_back(static_cast<char>((bits >> count) & 0xffu));
        }
    }
    return decoded;
}
