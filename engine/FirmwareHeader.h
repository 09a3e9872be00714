#pragma once

#include <cstddef>
#include <optional>
#include <string>

// The header is the image's first 100 bytes: version text at 24, model name at 68.
inline constexpr std::size_t kFirmwareHeaderBytes = 100;
inline constexpr std::size_t kFirmwareModelField = 12;

// What the main window shows of a firmware image: its model and "V%c.%c%c" version.
struct FirmwareHeader {
    std::string model;   // at most 12 characters
    std::string version; // "V1.05"; a NUL among the three digits ends the text there
};

// Header of the first 100 bytes (version field at 24, model at 68); a shorter buffer reads as
// zero-padded.
FirmwareHeader ParseFirmwareHeader(const unsigned char* bytes, std::size_t length);

// Reads the header of a file; nothing when the path cannot be opened as a file.
std::optional<FirmwareHeader> ReadFirmwareHeader(const std::string& path);

// Whether a camera's model (as its query names it) is the image's: a model that fills the
// header's whole field may have been cut there, so only that much of the camera's is compared.
bool SameModel(const std::string& cameraModel, const std::string& imageModel);
