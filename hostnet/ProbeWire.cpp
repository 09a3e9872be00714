#include "hostnet/ProbeWire.h"

HelperProbe ProbeToWire(ProbeResult result) {
    switch (result) {
    case ProbeResult::InUse:
        return HelperProbe::InUse;
    case ProbeResult::Free:
        return HelperProbe::Free;
    case ProbeResult::Unknown:
        break;
    }
    return HelperProbe::Unknown;
}

ProbeResult ProbeFromWire(std::uint32_t value) {
    switch (static_cast<HelperProbe>(value)) {
    case HelperProbe::InUse:
        return ProbeResult::InUse;
    case HelperProbe::Free:
        return ProbeResult::Free;
    case HelperProbe::Unknown:
        break;
    }
    return ProbeResult::Unknown;
}
