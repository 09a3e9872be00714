#pragma once

#include <sys/types.h>

#include <cstdint>
#include <span>

#include "util/UniqueFd.h"

// One message over the helper's socket pair (SOCK_SEQPACKET), with at most one descriptor riding
// along as SCM_RIGHTS. True when the whole message went.
bool SendHelperMessage(int socket, std::span<const std::uint8_t> bytes, int descriptor = -1);

struct ReceivedMessage {
    ssize_t length = -1;    // 0 at end of input, negative on error
    bool truncated = false; // the message or its control data did not fit
    bool control = false;   // control data came with it
    UniqueFd descriptor;    // the first descriptor that came; any others are closed
};

ReceivedMessage ReceiveHelperMessage(int socket, std::span<std::uint8_t> buffer, int flags = 0);
