#pragma once

#include <functional>

// Asked between the waits of a blocking network call: true once the caller is stopping (closing,
// a signal), so that the call ends at once instead of waiting out its time-outs.
using StopRequested = std::function<bool()>;

inline bool Stopping(const StopRequested& stop) {
    return stop && stop();
}
