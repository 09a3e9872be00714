#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "webops/CameraWebClient.h"

namespace {

// Exactly as the cameras' upgrade CGI expects it: no line break between the file part's two
// header lines, no filename, no blank line before "Submit", no closing "--".
constexpr char kHead[] = "-----------------------------7d9552e70740\r\n"
                         "Content-Disposition: form-data; name=\"file\";"
                         "Content-Type: application/octet-stream\r\n\r\n";
constexpr char kTail[] = "\r\n-----------------------------7d9552e70740\r\n"
                         "Content-Disposition: form-data; name=\"submit\"\r\n"
                         "Submit\r\n-----------------------------7d9552e70740\r\n";
static_assert(sizeof kHead - 1 + sizeof kTail - 1 == kUploadFramingBytes);
static_assert(sizeof kHead - 1 == kUploadHeadBytes);

constexpr std::size_t kHeadLength = sizeof kHead - 1;
constexpr std::size_t kTailLength = sizeof kTail - 1;

// The pieces around an image of the given size that is already in place at kHeadLength.
void frame(std::vector<std::uint8_t>& body, std::size_t imageSize) {
    std::memcpy(body.data(), kHead, kHeadLength);
    std::memcpy(body.data() + kHeadLength + imageSize, kTail, kTailLength);
}

} // namespace

std::vector<std::uint8_t> BuildUploadBodyFrom(const std::vector<std::uint8_t>& image) {
    std::vector<std::uint8_t> body(image.size() + kHeadLength + kTailLength);
    if (!image.empty())
        std::memcpy(body.data() + kHeadLength, image.data(), image.size());
    frame(body, image.size());
    return body;
}

UploadBody BuildUploadBody(const std::string& firmwarePath) {
    struct stat st {};
    if (::stat(firmwarePath.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return nullptr;
    auto size = static_cast<std::size_t>(st.st_size);
    // The length travels as a signed 32-bit value.
    if (size > 0x7FFFFFFFu - kHeadLength - kTailLength)
        return nullptr;
    std::FILE* file = std::fopen(firmwarePath.c_str(), "rb");
    if (!file)
        return nullptr;
    std::shared_ptr<std::vector<std::uint8_t>> body;
    try {
        body = std::make_shared<std::vector<std::uint8_t>>(size + kHeadLength + kTailLength);
    } catch (const std::bad_alloc&) {
        std::fclose(file);
        return nullptr;
    }
    // Read in one piece, straight into its place: the image is held in memory once.
    std::size_t got = size == 0 ? 0 : std::fread(body->data() + kHeadLength, 1, size, file);
    std::fclose(file);
    if (got != size)
        return nullptr;
    frame(*body, size);
    return body;
}
