#pragma once

#include <memory>
#include <string>

#include "engine/FirmwareHeader.h"
#include "util/Result.h"
#include "webops/CameraWebClient.h"

// The image an upgrade sends: read once, with what its own header says of it. Every camera of a
// job is judged by and sent these bytes, whatever the file holds by the time it is flashed.
struct FirmwareImage {
    UploadBody body;
    FirmwareHeader header;
    std::string path;
    std::string sha256;

    // Reads the file whole: its upload body, header and digest. The failure says why nothing can be
    // sent (the file cannot be read, or is too short to hold a header).
    static Result<std::shared_ptr<const FirmwareImage>> Load(const std::string& path);
};
