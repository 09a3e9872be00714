#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "discovery/DeviceInfo.h"
#include "discovery/ListModel.h"

namespace testsupport {

// A generic camera record as a reply would make it, MAC 02:00:00:00:00:<macLast>.
inline DeviceInfo MakeDevice(std::uint8_t macLast, Ipv4 ip, const std::string& name, int rowIndex = 0) {
    DeviceInfo d;
    std::memcpy(d.tag.data(), "IPCam", 5);
    d.ip = ip;
    d.mac = {0x02, 0x00, 0x00, 0x00, 0x00, macLast};
    std::memcpy(d.name.data(), name.data(), std::min<std::size_t>(name.size(), 18));
    d.rowIndex = rowIndex;
    return d;
}

// A row's five cells as the list shows them.
inline std::vector<std::string> Cells(const ListRow& row) {
    std::vector<std::string> cells;
    for (int column = 0; column < kColumnCount; ++column)
        cells.push_back(CellText(row, column));
    return cells;
}

} // namespace testsupport
