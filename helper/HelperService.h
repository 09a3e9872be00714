#pragma once

#include <cstdint>
#include <span>

#include "helper/HelperProtocol.h"
#include "util/StopRequested.h"
#include "util/UniqueFd.h"

// What flashwell-helper does with one request: the checks against the running system first
// (the card exists and is no loopback, an ARP sender address is the card's own), then the
// operation, with only the one capability it needs raised while it runs.
class HelperService {
public:
    // stop ends a probe early: the helper's parent has hung up.
    explicit HelperService(StopRequested stop = {}) : m_stop(std::move(stop)) {}

    // A request's bytes in, its reply out; the discovery socket goes to passed.
    HelperReply Handle(std::span<const std::uint8_t> bytes, UniqueFd& passed);

    // The checks that need the running system; None when the request may be carried out. ifindex
    // is the named card's.
    static HelperRefusal CheckSystem(const HelperRequest& request, unsigned& ifindex);

private:
    HelperReply carryOut(const HelperRequest& request, unsigned ifindex, UniqueFd& passed);

    StopRequested m_stop;
};
