#include "engine/LinkLocalDetours.h"

#include <cstdio>
#include <cstring>

#include "util/Trace.h"
#include "util/Utf8.h"

std::optional<Ipv4> ClassMaskFor(std::uint8_t o) {
    if (o >= 1 && o <= 125)
        return Ipv4{255, 0, 0, 0};
    if (o >= 128 && o <= 190)
        return Ipv4{255, 255, 0, 0};
    if (o >= 192 && o <= 222)
        return Ipv4{255, 255, 255, 0};
    return std::nullopt;
}

SetNetworkCommand DetourCommand(const Target& d, const std::string& linkLocal, DetourKind kind, const Login& login) {
    const bool upgrade = kind == DetourKind::Upgrade;
    SetNetworkCommand c;
    c.family = CameraFamily::Maker;
    ParseIpv4(linkLocal, c.ip);
    c.mac = d.mac;
    c.netmask = upgrade ? Ipv4{255, 255, 255, 0} : Ipv4{255, 255, 0, 0};
    if (upgrade) {
        c.hasGateway = true;
        c.gateway = {169, 254, 0, 0};
    }
    c.flag32 = 1;
    std::memcpy(c.name.data(), d.name.data(), c.name.size());
    c.hasCredentials = true;
    c.user = CutUtf8(login.user, 31);
    c.password = CutUtf8(login.password, 31);
    return c;
}

// Back to the address and mask it reported when the job was built (where it reported no mask, the
// mask of its class, 255.255.0.0 outside them). The upgrade's command also carries the gateway it
// reported then and no interface name; the version check's keeps its detour's "eth1" and carries
// no gateway.
SetNetworkCommand RestoreCommand(const Target& d, DetourKind kind, const Login& login) {
    SetNetworkCommand restore = DetourCommand(d, FormatIpv4(d.ip), kind, login);
    restore.netmask = d.netmask != Ipv4{} ? d.netmask : ClassMaskFor(d.ip[0]).value_or(Ipv4{255, 255, 0, 0});
    if (kind == DetourKind::Upgrade) {
        restore.interfaceName = false;
        restore.gateway = d.gateway;
    }
    return restore;
}

namespace {

// Far more than the 64,516 addresses there are: a run that has handed out nearly all stops drawing.
constexpr int kMostDraws = 1 << 20;

// The RFC's pseudo-random generator seeded from the MAC: all six bytes count.
std::uint32_t seedOf(const Mac& mac) {
    std::uint64_t value = 0;
    for (std::uint8_t b : mac)
        value = value << 8 | b;
    return static_cast<std::uint32_t>(value ^ (value >> 32));
}

} // namespace

LinkLocalSequence::LinkLocalSequence(const Mac& card) : m_random(seedOf(card)) {}

std::string LinkLocalSequence::Next() {
    // 169.254.0.0/24 and 169.254.255.0/24 are reserved (RFC 3927, 2.1).
    const unsigned third = 1 + static_cast<unsigned>(m_random() % 254);
    const unsigned fourth = 1 + static_cast<unsigned>(m_random() % 254);
    char text[32];
    std::snprintf(text, sizeof text, "169.254.%u.%u", third, fourth);
    return text;
}

LinkLocalDetours::LinkLocalDetours(CameraNetwork& network, RestoreJournal& journal, StopRequested stop)
    : m_network(network), m_journal(journal), m_stop(std::move(stop)) {}

Result<> LinkLocalDetours::ensureRoute(const JobAdapter& adapter) {
    std::lock_guard guard(m_csWork);
    if (adapter.index == 0 || m_routeAddedOn != 0)
        return {};
    bool added = false;
    if (!m_network.EnsureLinkLocalRoute(adapter.index, added))
        Trace("No on-link route to 169.254.0.0/16: the camera may not be reachable there.\n");
    if (!added)
        return {};
    // A route that the journal does not know of would outlive a crash: it goes again at once.
    if (auto written = m_journal.AddRoute({{}, adapter.interfaceName, adapter.index}); !written) {
        m_network.RemoveLinkLocalRoute(adapter.index);
        return written;
    }
    m_routeAddedOn = adapter.index;
    return {};
}

Result<> LinkLocalDetours::RemoveRoute(const JobAdapter& adapter) {
    std::lock_guard guard(m_csWork);
    if (m_routeAddedOn == 0)
        return {};
    if (!m_network.RemoveLinkLocalRoute(m_routeAddedOn))
        return Failure{EBUSY, Text("Note",
                                   QT_TRANSLATE_NOOP("Note", "the link-local route on %1 could not be removed; the "
                                                             "next start removes it"),
                                   {adapter.interfaceName})};
    m_routeAddedOn = 0;
    return m_journal.RemoveRoute(adapter.interfaceName);
}

// The next address of the card's sequence that nobody has: not handed out in this run, and not
// where the journal says a camera sits now or has its home.
std::string LinkLocalDetours::candidate(const JobAdapter& adapter) {
    std::lock_guard guard(m_csWork);
    if (!m_random || m_seededFor != adapter.mac) {
        m_random.emplace(adapter.mac);
        m_seededFor = adapter.mac;
    }
    const std::set<std::string> journalled = m_journal.LinkLocalAddresses();
    for (int draws = 0; draws < kMostDraws; ++draws) {
        std::string next = m_random->Next();
        if (m_linkLocalAssigned.contains(next) || journalled.contains(next))
            continue;
        // Recorded before it is probed, so that no other camera of this run can be given it.
        m_linkLocalAssigned.insert(next);
        return next;
    }
    return {};
}

MoveResult LinkLocalDetours::claim(std::string& address, const JobAdapter& adapter) {
    for (int tries = 0; tries < kMaxArpCandidates && !Stopping(m_stop); ++tries) {
        const std::string next = candidate(adapter);
        if (next.empty())
            break;
        switch (m_network.ProbeAddress(next, adapter.index, m_stop)) {
        case ProbeResult::Free:
            break;
        case ProbeResult::Unknown:
            // A probe that cannot probe must not call an address free.
            return Stopping(m_stop) ? MoveResult::Interrupted : MoveResult::CannotProbe;
        case ProbeResult::InUse:
            continue;
        }
        // An entry left by an earlier job would steer the queries to whichever camera had the
        // address then; one the administrator pinned is theirs, and so is the address.
        switch (m_network.ForgetNeighbour(next, adapter.index)) {
        case NeighbourForget::Forgotten:
            break;
        case NeighbourForget::Pinned:
            Trace("%s is pinned in the neighbour table of %s: not handed out.\n", next.c_str(),
                  adapter.interfaceName.c_str());
            continue;
        case NeighbourForget::Failed:
            Trace("The neighbour entry of %s on %s could not be removed.\n", next.c_str(),
                  adapter.interfaceName.c_str());
            break;
        }
        address = next;
        return MoveResult::Moved;
    }
    return Stopping(m_stop) ? MoveResult::Interrupted : MoveResult::NoFreeAddress;
}

void LinkLocalDetours::send(const SetNetworkCommand& command, const JobAdapter& adapter) {
    auto datagram = command.build();
    // From any address, but out of the chosen adapter rather than the default route.
    m_network.BroadcastDatagram(datagram.data(), kAnyAddressDatagramLength, adapter.index);
}

input::Moved LinkLocalDetours::Move(const Target& camera, DetourKind kind, const Login& login,
                                    const JobAdapter& adapter) {
    input::Moved moved;
    if (auto route = ensureRoute(adapter); !route) {
        moved.result = MoveResult::NoJournal;
        moved.problem = Text("Note", QT_TRANSLATE_NOOP("Note", "Cameras were not moved: %1"), {route.Said()});
        return moved;
    }
    moved.result = claim(moved.address, adapter);
    if (moved.result != MoveResult::Moved)
        return moved;
    auto home = RestoreCommand(camera, kind, login).build();
    PendingRestore pending;
    pending.mac = camera.mac;
    pending.name = camera.displayName;
    pending.home = FormatIpv4(camera.ip);
    pending.movedTo = moved.address;
    pending.adapter = adapter.interfaceName;
    pending.command.assign(home.begin(), home.begin() + kAnyAddressDatagramLength);
    // Written before the camera moves: a crash from here on leaves the way home on disk. Without
    // it the camera is not moved at all.
    if (auto written = m_journal.AddRestore(pending); !written) {
        moved.result = MoveResult::NoJournal;
        moved.problem = Text("Note", QT_TRANSLATE_NOOP("Note", "Cameras were not moved: %1"), {written.Said()});
        moved.address.clear();
        return moved;
    }
    send(DetourCommand(camera, moved.address, kind, login), adapter);
    return moved;
}

void LinkLocalDetours::SendDetour(const Target& camera, DetourKind kind, const Login& login, const JobAdapter& adapter,
                                  const std::string& address) {
    send(DetourCommand(camera, address, kind, login), adapter);
}

void LinkLocalDetours::SendHome(const Target& camera, DetourKind kind, const Login& login, const JobAdapter& adapter) {
    if (camera.homeCommand.empty())
        return send(RestoreCommand(camera, kind, login), adapter);
    m_network.BroadcastDatagram(camera.homeCommand.data(), camera.homeCommand.size(), adapter.index);
}

void LinkLocalDetours::Forget(const Mac& camera) {
    if (auto removed = m_journal.RemoveRestore(camera); !removed)
        Trace("Journal: %s; the next start sends the camera home once more\n", removed.Message().c_str());
}
