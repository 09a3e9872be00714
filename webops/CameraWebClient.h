#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "webops/ReplyParser.h"

class Clock;

// Result codes of the camera requests.
inline constexpr int kNoReply = 0;
inline constexpr int kReplyWithoutContent = 1; // also: upload accepted, reset accepted
inline constexpr int kModelAndVersion = 2;
inline constexpr int kUnauthorized = 401;

struct CameraAddress {
    std::string host; // dotted IPv4
    std::uint16_t port = 80;
    std::string user; // at most 31 characters are used
    std::string password;
};

// The multipart body of an upload, built once per job and shared read-only by every worker.
using UploadBody = std::shared_ptr<const std::vector<std::uint8_t>>;

inline constexpr char kUploadBoundary[] = "---------------------------7d9552e70740";

// The cameras' CGI interface over plain HTTP with preemptive Basic credentials (RFC 7617).
// Every call opens and closes its own handles; calls may run on many threads at once.
int QueryFirmwareInfo(const CameraAddress& camera, FirmwareInfo& info);
// The 500 ms pause after the send is a workflow pause and goes through the clock.
int UploadFirmware(const CameraAddress& camera, const UploadBody& body, std::array<char, 32>& burnTime, Clock& clock);
int RequestFactoryReset(const CameraAddress& camera);

// Reads the image into the cameras' exact multipart layout: file size + 272 bytes. Nothing when
// the file cannot be opened or read.
UploadBody BuildUploadBody(const std::string& firmwarePath);
// The same layout around bytes already in memory.
std::vector<std::uint8_t> BuildUploadBodyFrom(const std::vector<std::uint8_t>& image);
