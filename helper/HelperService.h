#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "helper/HelperHost.h"
#include "helper/HelperProtocol.h"
#include "util/StopRequested.h"
#include "util/UniqueFd.h"

// What flashwell-helper does with one request, and what it holds between requests: the one card
// of its job (bound by the first request that names a card), whether it added the link-local
// route there, whether it has passed its discovery socket. It never changes what it did not add:
// its undo removes its own route, a reclaim only a marked route while no job holds the card.
class HelperService {
public:
    // stop ends a probe early: the helper's parent has hung up, or it was told to stop.
    explicit HelperService(HelperHost& host, StopRequested stop = {}) : m_host(host), m_stop(std::move(stop)) {}

    // A request's bytes in, its reply out; the discovery socket goes to passed.
    HelperReply Handle(std::span<const std::uint8_t> bytes, UniqueFd& passed);
    // On the way out: takes away what this helper added. True when nothing of it is left.
    bool Finish();

    const std::string& Card() const { return m_card; }

private:
    // The checks that need the running system and the helper's own state; None when it may go on.
    HelperRefusal bind(const HelperRequest& request, unsigned& ifindex);
    HelperReply carryOut(const HelperRequest& request, unsigned ifindex, UniqueFd& passed);
    HelperReply reclaim(unsigned ifindex);

    HelperHost& m_host;
    StopRequested m_stop;
    std::string m_card;          // the job's card; empty until a request names one
    unsigned m_routeAddedOn = 0; // the interface where this helper added the route
    bool m_socketGiven = false;
};
