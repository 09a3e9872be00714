#pragma once

#include <optional>
#include <string>
#include <string_view>

// The fixed framing an upgrade request must carry around the image.
inline constexpr std::string_view kUploadContentType =
    "multipart/form-data; boundary=---------------------------7d9552e70740";

// The image inside an upgrade body, or nothing when the framing differs by a single byte.
std::optional<std::string_view> ExtractImage(std::string_view body);

// "V1.06" from header bytes 24..26; nothing when the image is too short or starts with NUL there.
std::optional<std::string> ImageVersion(std::string_view image);
// The NUL-terminated model at bytes 68..79; nothing when absent or empty.
std::optional<std::string> ImageModel(std::string_view image);
// One lower in the last digit, borrowing like a counter: V1.05 -> V1.04, V1.10 -> V1.09.
std::string LowerVersion(std::string version);

// "user:password" from an Authorization header value "Basic <base64>", or nothing.
std::optional<std::string> BasicCredentials(std::string_view header);
