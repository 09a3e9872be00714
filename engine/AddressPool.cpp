#include "engine/AddressPool.h"

#include "util/Trace.h"

AddressPool::AddressPool(const AddressRange& range, CameraNetwork& network, unsigned ifindex, StopRequested stop)
    : m_range(range), m_next(range.start), m_taken(range.taken), m_network(network), m_ifindex(ifindex),
      m_stop(std::move(stop)) {}

std::optional<Ipv4> AddressPool::Next() {
    if (m_usedUp)
        return std::nullopt;
    const Ipv4& net = m_range.network;
    for (; m_next <= m_range.end && !Stopping(m_stop); ++m_next) {
        if (m_next == m_range.end)
            break;
        Ipv4 candidate{net[0], net[1], net[2], static_cast<std::uint8_t>(m_next & 0xFF)};
        if (m_taken.contains(candidate))
            continue;
        // Where the probe can tell, a station that answers for the address keeps it.
        if (m_network.ProbeAddress(FormatIpv4(candidate), m_ifindex, m_stop) == ProbeResult::InUse) {
            Trace("Auto Change IP: %s answers on the segment; skipped.\n", FormatIpv4(candidate).c_str());
            continue;
        }
        ++m_next;
        m_taken.insert(candidate);
        return candidate;
    }
    if (!Stopping(m_stop))
        m_usedUp = true;
    return std::nullopt;
}
