#pragma once

#include <array>
#include <cstddef>
#include <string>

// The values a model-and-version query can deliver; each is written only when the reply has it.
struct FirmwareInfo {
    std::array<char, 32> model{};
    std::array<char, 32> version{};
    std::array<char, 256> hardwareList{};
};

// Scanning of one reply chunk under scanf rules: literals from the first byte on, a blank in the
// pattern matches any run of white space, each value is a non-empty run up to a quote.
// Values longer than their buffer are cut, never overrun.
namespace ReplyParser {

// Number of values captured from "Properties.Firmware.Model=\"..\" Properties.Firmware.Version=..".
int ScanFirmwareInfo(const char* chunk, std::size_t length, FirmwareInfo& out);
// True when the chunk reads "OK,ImgBurnTimeSec=\"N\""; the value goes into burnTime.
bool ScanBurnTime(const char* chunk, std::size_t length, std::array<char, 32>& burnTime);
// The longest burn the progress waits out; real cameras announce a few minutes at most.
inline constexpr long kLongestBurnSeconds = 600;
// The burn time in milliseconds per progress step: seconds x 10, truncated, at most the ceiling's;
// 0 when not a positive number.
long ProgressStepMs(const std::array<char, 32>& burnTime);

} // namespace ReplyParser
