#include "discovery/DeviceSort.h"

#include "discovery/DeviceRows.h"
#include "discovery/DeviceTable.h"

#include <map>

namespace {

// char_traits<char> compares as unsigned char, which is code-unit order for these ASCII texts.
int compareBytes(const std::string& a, const std::string& b) {
    return a.compare(b);
}

// Code-unit order of the widened name is the order of its raw bytes.
int compareName(const DeviceInfo& a, const DeviceInfo& b) {
    for (std::size_t i = 0; i < a.name.size(); ++i) {
        auto x = static_cast<unsigned char>(a.name[i]);
        auto y = static_cast<unsigned char>(b.name[i]);
        if (x != y)
            return x < y ? -1 : 1;
        if (x == 0)
            return 0;
    }
    return 0;
}

// The address as the number it is: 10.0.0.255 comes before 10.0.1.0.
std::uint32_t ipKey(const DeviceInfo& d) {
    return Ipv4Value(d.ip);
}

} // namespace

bool CompareDevices(const DeviceInfo& a, const DeviceInfo& b, const SortState& state) {
    int order;
    switch (state.column) {
    case 0:
        order = compareBytes(IdxText(a.rowIndex), IdxText(b.rowIndex));
        break;
    case 1:
        order = compareName(a, b);
        break;
    case 2:
        order = ipKey(a) < ipKey(b) ? -1 : (ipKey(a) == ipKey(b) ? 0 : 1);
        break;
    case 3:
        order = compareBytes(MacText(a), MacText(b));
        break;
    default:
        return false;
    }
    return state.ascending ? order < 0 : order > 0;
}

void SortDeviceList(DeviceTable& table, ListModel& list, const SortState& state) {
    table.WithLock([&](std::list<std::unique_ptr<DeviceInfo>>& records) {
        // std::list::sort is a stable merge sort that relinks nodes: records never move.
        records.sort([&](const auto& a, const auto& b) { return CompareDevices(*a, *b, state); });
        // Each camera's row moves whole to where its record now stands, found by its MAC, so its
        // Status, progress and red mark stay its own.
        std::vector<int> from;
        from.reserve(records.size());
        for (const auto& record : records)
            if (const int row = list.RowOf(record->mac); row >= 0)
                from.push_back(row);
        list.Reorder(from);
    });
}
