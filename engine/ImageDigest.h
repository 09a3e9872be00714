#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The SHA-256 of bytes as 64 lower-case hex digits, for the records of what was flashed.
std::string Sha256Hex(const std::uint8_t* bytes, std::size_t length);
