#include "engine/FirmwareHeader.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <sys/stat.h>

namespace {

constexpr std::size_t kHeaderBytes = kFirmwareHeaderBytes;
constexpr std::size_t kVersionOffset = 24;
constexpr std::size_t kVersionField = 32;
constexpr std::size_t kModelOffset = 68;
constexpr std::size_t kModelField = kFirmwareModelField;

std::string field(const std::array<unsigned char, kHeaderBytes>& h, std::size_t offset, std::size_t size) {
    const unsigned char* begin = h.data() + offset;
    const unsigned char* end = std::find(begin, begin + size, 0);
    return std::string(begin, end);
}

} // namespace

FirmwareHeader ParseFirmwareHeader(const unsigned char* bytes, std::size_t length) {
    std::array<unsigned char, kHeaderBytes> h{};
    std::copy_n(bytes, std::min(length, kHeaderBytes), h.begin());
    FirmwareHeader out;
    out.model = field(h, kModelOffset, kModelField);
    // A version field without a NUL is cut at 31 characters, like the window's buffer.
    std::string digits = field(h, kVersionOffset, kVersionField - 1);
    // "V%c.%c%c": a NUL among the three characters ends the text where it stands.
    char text[6] = {'V', 0, 0, 0, 0, 0};
    if (digits.size() > 0) {
        text[1] = digits[0];
        text[2] = '.';
    }
    for (std::size_t i = 1; i < 3 && i < digits.size(); ++i)
        text[i + 2] = digits[i];
    out.version = text;
    return out;
}

std::optional<FirmwareHeader> ReadFirmwareHeader(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return std::nullopt;
    std::array<unsigned char, kHeaderBytes> h{};
    file.read(reinterpret_cast<char*>(h.data()), kHeaderBytes);
    return ParseFirmwareHeader(h.data(), static_cast<std::size_t>(file.gcount()));
}

bool SameModel(const std::string& cameraModel, const std::string& imageModel) {
    if (imageModel.size() >= kFirmwareModelField)
        return cameraModel.compare(0, imageModel.size(), imageModel) == 0;
    return cameraModel == imageModel;
}
