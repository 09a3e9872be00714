#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "util/UniqueFd.h"

// A burst of thousands of replies arrives within milliseconds; the default buffer holds ~200.
inline constexpr int kDiscoveryReceiveBufferBytes = 16 * 1024 * 1024;

// The discovery listener's socket: UDP on 0.0.0.0:port with SO_REUSEADDR and IP_PKTINFO, and the
// 16 MiB receive buffer where the process may force it (CAP_NET_ADMIN), else as large as
// net.core.rmem_max allows. Invalid, with error saying why, when it cannot be had.
UniqueFd OpenDiscoverySocket(std::uint16_t port, std::string& error);

// Whether the socket's receive buffer is the full 16 MiB.
bool HasFullReceiveBuffer(int fd);

// Where a receiver gets its socket from; the default opens it in this process.
using DiscoverySocketOpener = std::function<UniqueFd(std::uint16_t port, std::string& error)>;
