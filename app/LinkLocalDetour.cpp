#include <cstdio>
#include <cstring>

#include "app/Detour.h"
#include "app/TarnDlg.h"
#include "discovery/DeviceRows.h"
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

bool CTarnDlg::ensureLinkLocalRoute() {
    std::lock_guard guard(m_csWork);
    const HostAdapter* adapter = ChosenAdapter();
    if (!adapter)
        return false;
    if (m_routeAddedOn != 0)
        return true;
    bool added = false;
    bool ok = m_network.EnsureLinkLocalRoute(adapter->index, added);
    if (added) {
        m_routeAddedOn = adapter->index;
        m_journal.AddRoute({{}, adapter->interfaceName, adapter->index});
    }
    return ok;
}

void CTarnDlg::removeLinkLocalRoute() {
    std::lock_guard guard(m_csWork);
    if (m_routeAddedOn == 0 || !m_network.RemoveLinkLocalRoute(m_routeAddedOn))
        return;
    m_routeAddedOn = 0;
    if (const HostAdapter* adapter = ChosenAdapter())
        m_journal.RemoveRoute(adapter->interfaceName);
}

CTarnDlg::Claim CTarnDlg::claimLinkLocal(std::string& address) {
    const HostAdapter* adapter = ChosenAdapter();
    const unsigned ifindex = adapter ? adapter->index : 0;
    for (int tries = 0; tries < kMaxArpCandidates && !m_clock.Interrupted(); ++tries) {
        std::string candidate = "169.254.0.1";
        {
            // Recorded before it is probed, so that no other worker of this run can be given it (RFC 3927).
            std::lock_guard guard(m_csWork);
            while (m_linkLocalAssigned.contains(candidate)) {
                char text[32];
                std::snprintf(text, sizeof text, "169.254.%u.%u", static_cast<unsigned>(m_random() % 255),
                              static_cast<unsigned>(m_random() % 255 + 1));
                candidate = text;
            }
            m_linkLocalAssigned.insert(candidate);
        }
        switch (m_network.ProbeAddress(candidate, ifindex, m_stop)) {
        case ProbeResult::Free:
            address = candidate;
            return Claim::Claimed;
        case ProbeResult::Unknown:
            // A probe that cannot probe must not call an address free.
            return m_clock.Interrupted() ? Claim::Interrupted : Claim::CannotProbe;
        case ProbeResult::InUse:
            break;
        }
    }
    return m_clock.Interrupted() ? Claim::Interrupted : Claim::NoFreeAddress;
}

void CTarnDlg::sendSetNetwork(const SetNetworkCommand& command) {
    auto datagram = command.build();
    const HostAdapter* adapter = ChosenAdapter();
    // From any address, but out of the chosen adapter rather than the default route.
    m_network.BroadcastDatagram(datagram.data(), kAnyAddressDatagramLength, adapter ? adapter->index : 0);
}

SetNetworkCommand CTarnDlg::detourCommand(const DeviceInfo& d, const std::string& linkLocal, DetourKind kind) const {
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
    c.user = CutUtf8(m_window.FieldText(Field::User), 31);
    c.password = CutUtf8(m_window.FieldText(Field::Password), 31);
    return c;
}

// Back to the address it had when the worker started, with the mask of its class (255.255.0.0
// outside them). The upgrade's command also carries the gateway it reported then and no interface
// name; the version check's keeps its detour's "eth1" and carries no gateway.
SetNetworkCommand CTarnDlg::restoreCommand(const DeviceInfo& snapshot, DetourKind kind) const {
    SetNetworkCommand restore = detourCommand(snapshot, FormatIpv4(snapshot.ip), kind);
    restore.netmask = ClassMaskFor(snapshot.ip[0]).value_or(Ipv4{255, 255, 0, 0});
    if (kind == DetourKind::Upgrade) {
        restore.interfaceName = false;
        restore.gateway = snapshot.gateway;
    }
    return restore;
}

bool CTarnDlg::moveOrFail(Detour& detour, DeviceInfo* record, int row) {
    switch (detour.Move()) {
    case Detour::Outcome::Moved:
        return true;
    case Detour::Outcome::NoFreeAddress:
        fail(record, row, Status::kNoFreeLinkLocal);
        return false;
    case Detour::Outcome::CannotProbe:
        fail(record, row, Status::kCannotProbe);
        return false;
    case Detour::Outcome::Interrupted:
        fail(record, row, Status::kInterrupted);
        return false;
    }
    return false;
}

std::set<Ipv4> CTarnDlg::sharedAddresses() const {
    std::set<Ipv4> seen, shared;
    m_table->WithLock([&](auto& records) {
        for (const auto& record : records)
            if (!seen.insert(record->ip).second)
                shared.insert(record->ip);
    });
    return shared;
}

Detour::Detour(CTarnDlg& dlg, const DeviceInfo& snapshot, DetourKind kind)
    : m_dlg(dlg), m_snapshot(snapshot), m_kind(kind) {}

Detour::~Detour() {
    if (!m_moved)
        return;
    if (m_rebooting) {
        Trace("Camera %s is rebooting at %s: its way home waits in the journal for the next start.\n",
              FormatMac(m_snapshot.mac).c_str(), m_address.c_str());
        m_dlg.noteCameraAway();
        return;
    }
    SendBack();
}

Detour::Outcome Detour::Move() {
    if (!m_dlg.ensureLinkLocalRoute())
        Trace("No on-link route to 169.254.0.0/16: the camera may not be reachable there.\n");
    std::string address;
    switch (m_dlg.claimLinkLocal(address)) {
    case CTarnDlg::Claim::NoFreeAddress:
        return Outcome::NoFreeAddress;
    case CTarnDlg::Claim::CannotProbe:
        return Outcome::CannotProbe;
    case CTarnDlg::Claim::Interrupted:
        return Outcome::Interrupted;
    case CTarnDlg::Claim::Claimed:
        break;
    }
    SetNetworkCommand home = m_dlg.restoreCommand(m_snapshot, m_kind);
    auto bytes = home.build();
    PendingRestore pending;
    pending.mac = m_snapshot.mac;
    pending.name = NameText(m_snapshot);
    pending.home = FormatIpv4(m_snapshot.ip);
    pending.movedTo = address;
    const HostAdapter* adapter = m_dlg.ChosenAdapter();
    pending.adapter = adapter ? adapter->interfaceName : std::string();
    pending.command.assign(bytes.begin(), bytes.begin() + kAnyAddressDatagramLength);
    // Written before the camera moves: a crash from here on leaves the way home on disk.
    m_dlg.m_journal.AddRestore(pending);
    m_dlg.sendSetNetwork(m_dlg.detourCommand(m_snapshot, address, m_kind));
    m_moved = true;
    m_address = address;
    return Outcome::Moved;
}

void Detour::SendBack(bool keepJournal) {
    if (!m_moved)
        return;
    m_dlg.sendSetNetwork(m_dlg.restoreCommand(m_snapshot, m_kind));
    m_moved = false;
    m_rebooting = false;
    if (keepJournal)
        m_dlg.noteCameraAway();
    else
        m_dlg.m_journal.RemoveRestore(m_snapshot.mac);
}

void Detour::Forget() {
    if (!m_moved)
        return;
    m_moved = false;
    m_rebooting = false;
    m_dlg.m_journal.RemoveRestore(m_snapshot.mac);
}
