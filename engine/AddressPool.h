#pragma once

#include <optional>
#include <set>

#include "engine/CameraNetwork.h"
#include "engine/JobRequest.h"

// The addresses "Auto Change IP" hands out, in turn from the range: the network's first three
// octets and the next host number that no listed camera, no host and, where the probe can tell,
// no station on the segment holds. Its end is never handed out, as the tool always did.
class AddressPool {
public:
    AddressPool(const AddressRange& range, CameraNetwork& network, unsigned ifindex, StopRequested stop);

    // The next free address; nothing once the range is used up (for good) or the job stops.
    std::optional<Ipv4> Next();
    bool UsedUp() const { return m_usedUp; }

private:
    AddressRange m_range;
    long m_next;
    std::set<Ipv4> m_taken;
    CameraNetwork& m_network;
    unsigned m_ifindex;
    StopRequested m_stop;
    bool m_usedUp = false;
};
