#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/TarnDlg.h"

std::optional<Ipv4> ClassMaskFor(std::uint8_t o) {
    if (o >= 1 && o <= 125)
        return Ipv4{255, 0, 0, 0};
    if (o >= 128 && o <= 190)
        return Ipv4{255, 255, 0, 0};
    if (o >= 192 && o <= 222)
        return Ipv4{255, 255, 255, 0};
    return std::nullopt;
}

void CTarnDlg::ensureLinkLocalRoute() {
    std::lock_guard guard(m_csWork);
    const HostAdapter* adapter = ChosenAdapter();
    if (m_routeAddedOn != 0 || !adapter)
        return;
    bool added = false;
    m_network.EnsureLinkLocalRoute(adapter->index, added);
    if (added)
        m_routeAddedOn = adapter->index;
}

void CTarnDlg::removeLinkLocalRoute() {
    std::lock_guard guard(m_csWork);
    if (m_routeAddedOn != 0 && m_network.RemoveLinkLocalRoute(m_routeAddedOn))
        m_routeAddedOn = 0;
}

std::string CTarnDlg::drawLinkLocal(LinkLocalRecord record) {
    std::lock_guard guard(m_csWork);
    for (;;) {
        unsigned c = static_cast<unsigned>(m_random() % 255);
        unsigned d = static_cast<unsigned>(m_random() % 255 + 1);
        char text[32];
        std::snprintf(text, sizeof text, "169.254.%u.%u", c, d);
        if (record == LinkLocalRecord::DoNotRemember)
            return text;
        // Two workers must never hand out the same address (RFC 3927 range 169.254/16).
        if (std::find(m_linkLocalAssigned.begin(), m_linkLocalAssigned.end(), text) == m_linkLocalAssigned.end()) {
            m_linkLocalAssigned.push_back(text);
            return text;
        }
    }
}

std::string CTarnDlg::findFreeLinkLocal(LinkLocalRecord record) {
    const HostAdapter* adapter = ChosenAdapter();
    unsigned ifindex = adapter ? adapter->index : 0;
    std::string candidate = "169.254.0.1";
    for (int tries = 0; tries < kMaxArpCandidates && m_network.ArpProbe(candidate, ifindex); ++tries)
        candidate = drawLinkLocal(record);
    return candidate;
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
    c.user = m_window.FieldText(Field::User).substr(0, 31);
    c.password = m_window.FieldText(Field::Password).substr(0, 31);
    return c;
}

// Back to the address it had when the worker started, with the gateway it reported then.
SetNetworkCommand CTarnDlg::restoreCommand(const DeviceInfo& snapshot) const {
    SetNetworkCommand restore = detourCommand(snapshot, FormatIpv4(snapshot.ip), DetourKind::Upgrade);
    restore.interfaceName = false;
    restore.netmask = ClassMaskFor(snapshot.ip[0]).value_or(Ipv4{255, 255, 0, 0});
    restore.gateway = snapshot.gateway;
    return restore;
}
