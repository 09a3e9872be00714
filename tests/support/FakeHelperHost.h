#pragma once

#include <sys/eventfd.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "helper/HelperHost.h"
#include "hostnet/CardLock.h"

namespace testsupport {

// A system for the helper's service without a card or a capability: cards eth0 (2), eth1 (3) and
// lo (1), routes and neighbour entries as maps. Every change is logged as "route+ 2", "route- 2",
// "neighbour- 2 a9fe0101"; whatever did not go through the service stays as the test set it.
class FakeHelperHost : public HelperHost {
public:
    struct Route {
        bool marked = false; // our protocol number
        bool byService = false;
    };

    std::map<unsigned, Route> routes;                              // by interface
    std::map<std::pair<unsigned, std::uint32_t>, bool> neighbours; // value: pinned
    std::set<std::string> busyCards;                               // another job holds their lock
    std::vector<std::string> changes;
    int socketsGiven = 0;

    Card Find(const std::string& name, unsigned& ifindex) override {
        static const std::map<std::string, unsigned> cards = {{"lo", 1}, {"eth0", 2}, {"eth1", 3}};
        auto card = cards.find(name);
        ifindex = card == cards.end() ? 0 : card->second;
        if (ifindex == 0)
            return Card::Missing;
        return ifindex == 1 ? Card::Loopback : Card::Usable;
    }
    bool AddRoute(unsigned ifindex, bool& added) override {
        added = !routes.contains(ifindex);
        if (added) {
            routes[ifindex] = {true, true};
            changes.push_back("route+ " + std::to_string(ifindex));
        }
        return true;
    }
    bool RemoveMarkedRoute(unsigned ifindex) override {
        auto route = routes.find(ifindex);
        if (route != routes.end() && route->second.marked) {
            routes.erase(route);
            changes.push_back("route- " + std::to_string(ifindex));
        }
        return true;
    }
    bool MarkedRoutePresent(unsigned ifindex) override {
        auto route = routes.find(ifindex);
        return route != routes.end() && route->second.marked;
    }
    NeighbourForget ForgetNeighbour(std::uint32_t address, unsigned ifindex) override {
        auto entry = neighbours.find({ifindex, address});
        if (entry == neighbours.end())
            return NeighbourForget::Forgotten;
        if (entry->second)
            return NeighbourForget::Pinned;
        neighbours.erase(entry);
        changes.push_back("neighbour- " + std::to_string(ifindex) + " " + std::to_string(address));
        return NeighbourForget::Forgotten;
    }
    ProbeResult Arp(std::uint32_t, unsigned, const StopRequested&) override { return ProbeResult::Free; }
    ProbeResult Ping(std::uint32_t, const StopRequested&) override { return ProbeResult::InUse; }
    UniqueFd DiscoverySocket(std::uint16_t, bool& full, int& error) override {
        full = true;
        error = 0;
        ++socketsGiven;
        return UniqueFd(::eventfd(0, EFD_CLOEXEC));
    }
    Result<CardLock> LockCard(const std::string& name) override {
        if (busyCards.contains(name))
            return Failure{EADDRINUSE, "another Flashwell job is running on " + name};
        return CardLock{};
    }
};

} // namespace testsupport
