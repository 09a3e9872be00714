#pragma once

#include <cstdint>

#include "helper/HelperProtocol.h"
#include "hostnet/Probes.h"

// A probe's outcome as the helper's reply carries it, and back; a value of no outcome is Unknown.
HelperProbe ProbeToWire(ProbeResult result);
ProbeResult ProbeFromWire(std::uint32_t value);
