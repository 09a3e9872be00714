#include "engine/FirmwareImage.h"

#include <cerrno>

#include "engine/ImageDigest.h"

Result<std::shared_ptr<const FirmwareImage>> FirmwareImage::Load(const std::string& path) {
    auto image = std::make_shared<FirmwareImage>();
    image->path = path;
    image->body = BuildUploadBody(path);
    if (!image->body)
        return Failure{ENOENT, Text("Note", QT_TRANSLATE_NOOP("Note", "Cannot read the firmware file %1"), {path})};
    const std::size_t imageBytes = image->body->size() - kUploadFramingBytes;
    if (imageBytes < kFirmwareHeaderBytes)
        return Failure{EINVAL, Text("Note",
                                    QT_TRANSLATE_NOOP("Note", "The firmware file %1 is too short to hold an image "
                                                              "header (%2 bytes): nothing was sent."),
                                    {path, std::to_string(kFirmwareHeaderBytes)})};
    image->header = ParseFirmwareHeader(image->body->data() + kUploadHeadBytes, imageBytes);
    image->sha256 = Sha256Hex(image->body->data() + kUploadHeadBytes, imageBytes);
    return std::shared_ptr<const FirmwareImage>(std::move(image));
}
