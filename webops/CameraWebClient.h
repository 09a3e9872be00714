#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "util/StopRequested.h"
#include "webops/ReplyParser.h"

// Result codes of the camera requests.
enum class RequestResult : int {
    NoReply = 0,
    ReplyWithoutContent = 1, // also: upload accepted, reset accepted
    ModelAndVersion = 2,
    Unauthorized = 401,
};

struct CameraAddress {
    std::string host; // dotted IPv4
    std::uint16_t port = 80;
    std::string user; // at most 31 characters are used
    std::string password;
};

// What an upload's exchange showed besides its result.
struct UploadReply {
    std::array<char, 32> burnTime{}; // the announced burn time, when the camera took the image
    bool bodySent = false;           // every byte of the body left
    bool answered = false;           // a whole HTTP answer came back
    // The body left but no whole answer came back: the camera may be burning the image.
    bool OutcomeUnknown() const { return bodySent && !answered; }
};

// What a reset's exchange showed besides its result.
struct ResetReply {
    long status = 0;    // the HTTP status; 0 when no answer came
    std::string answer; // the start of the answer's body, printable
};

// The multipart body of an upload, built once per job and shared read-only by every worker.
using UploadBody = std::shared_ptr<const std::vector<std::uint8_t>>;

inline constexpr char kUploadBoundary[] = "---------------------------7d9552e70740";
// The image starts this far into the body; the body is the image plus this much framing.
inline constexpr std::size_t kUploadHeadBytes = 129;
inline constexpr std::size_t kUploadFramingBytes = 272;

// A query and a reset have an overall bound, so a camera that trickles its answer cannot hold a
// worker: a query 5 s, a reset 30 s. An upload's body is bounded by stall only (nothing moves
// for 30 s), since how long it takes is the shared link's business; its answer, a line the camera
// sends once it has the image, must be whole within 30 s of the body's last byte.
inline constexpr long kQueryLimitMs = 5000;
inline constexpr long kResetLimitMs = 30000;
inline constexpr long kUploadStallSeconds = 30;
inline constexpr long kUploadAnswerLimitMs = 30000;

// The cameras' CGI interface over plain HTTP with preemptive Basic credentials (RFC 7617).
// Every call opens and closes its own handles; calls may run on many threads at once. A stop
// aborts the transfer at once and the call returns NoReply.
RequestResult QueryFirmwareInfo(const CameraAddress& camera, FirmwareInfo& info, const StopRequested& stop = {});
// The 500 ms pause that follows an upload is the workflow's, not the client's. Accepted
// (ReplyWithoutContent) only for the camera's "OK,ImgBurnTimeSec=" answer, which may arrive in
// pieces.
RequestResult UploadFirmware(const CameraAddress& camera, const UploadBody& body, UploadReply& reply,
                             const StopRequested& stop = {});
// Accepted (ReplyWithoutContent) only when the camera answers "OK", or success without a body;
// any other answer is NoReply with the answer in reply.
RequestResult RequestFactoryReset(const CameraAddress& camera, ResetReply& reply, const StopRequested& stop = {});
RequestResult RequestFactoryReset(const CameraAddress& camera, const StopRequested& stop = {});

// Reads the image into the cameras' exact multipart layout: file size + 272 bytes. Nothing when
// the file cannot be opened or read.
UploadBody BuildUploadBody(const std::string& firmwarePath);
// The same layout around bytes already in memory.
std::vector<std::uint8_t> BuildUploadBodyFrom(const std::vector<std::uint8_t>& image);
