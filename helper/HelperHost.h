#pragma once

#include <cstdint>
#include <string>

#include "hostnet/Probes.h"
#include "util/Result.h"
#include "util/StopRequested.h"
#include "util/UniqueFd.h"

class CardLock;

// What flashwell-helper does to the running system, each with only the capability it needs raised
// while it runs. The service decides whether a request may be carried out; this only carries it out,
// so that unit tests can put a fake here and check every refusal without a card or a capability.
class HelperHost {
public:
    enum class Card { Usable, Missing, Loopback };

    virtual ~HelperHost() = default;

    // The interface's index and whether a camera can sit behind it.
    virtual Card Find(const std::string& name, unsigned& ifindex) = 0;
    // The on-link route to 169.254.0.0/16 with our mark; added is set when this call put it there.
    virtual bool AddRoute(unsigned ifindex, bool& added) = 0;
    // Deletes the route with our mark on the interface, and no other; one already gone counts.
    virtual bool RemoveMarkedRoute(unsigned ifindex) = 0;
    virtual bool MarkedRoutePresent(unsigned ifindex) = 0;
    // Deletes a dynamic neighbour entry; a pinned one (permanent, no-ARP) is left and said so.
    virtual NeighbourForget ForgetNeighbour(std::uint32_t address, unsigned ifindex) = 0;
    virtual ProbeResult Arp(std::uint32_t target, unsigned ifindex, const StopRequested& stop) = 0;
    virtual ProbeResult Ping(std::uint32_t target, const StopRequested& stop) = 0;
    // UDP on port with the 16 MiB receive buffer; full tells whether the buffer was granted.
    virtual UniqueFd DiscoverySocket(std::uint16_t port, bool& full, int& error) = 0;
    // The card's job lock, held while a leftover is reclaimed: no job then runs there.
    virtual Result<CardLock> LockCard(const std::string& name) = 0;
};

// The real system: rtnetlink, packet and raw sockets.
class SystemHelperHost : public HelperHost {
public:
    Card Find(const std::string& name, unsigned& ifindex) override;
    bool AddRoute(unsigned ifindex, bool& added) override;
    bool RemoveMarkedRoute(unsigned ifindex) override;
    bool MarkedRoutePresent(unsigned ifindex) override;
    NeighbourForget ForgetNeighbour(std::uint32_t address, unsigned ifindex) override;
    ProbeResult Arp(std::uint32_t target, unsigned ifindex, const StopRequested& stop) override;
    ProbeResult Ping(std::uint32_t target, const StopRequested& stop) override;
    UniqueFd DiscoverySocket(std::uint16_t port, bool& full, int& error) override;
    Result<CardLock> LockCard(const std::string& name) override;
};
