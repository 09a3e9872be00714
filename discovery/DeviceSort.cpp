#include "discovery/DeviceSort.h"

#include <cstdio>

#include "discovery/DeviceTable.h"

std::string IdxText(int rowIndex) {
    char text[16];
    std::snprintf(text, sizeof text, "%03d", rowIndex);
    return text;
}

std::string NameText(const DeviceInfo& d) {
    // Latin-1 widening: bytes above 127 keep their value as code points, written as UTF-8.
    std::string out;
    for (char c : d.name) {
        auto u = static_cast<unsigned char>(c);
        if (u == 0)
            break;
        if (u < 0x80) {
            out += static_cast<char>(u);
        } else {
            out += static_cast<char>(0xC0 | (u >> 6));
            out += static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return out;
}

std::string IpText(const DeviceInfo& d) {
    return FormatIpv4(d.ip);
}
std::string MacText(const DeviceInfo& d) {
    return FormatMac(d.mac);
}

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

// Factor 255, not 256: distinct addresses may share a key and then keep their order.
std::uint32_t ipKey(const DeviceInfo& d) {
    return ((static_cast<std::uint32_t>(d.ip[0]) * 255u + d.ip[1]) * 255u + d.ip[2]) * 255u + d.ip[3];
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

void WriteDeviceRow(ListModel& list, int position, const DeviceInfo& d, const std::string& idxText) {
    int row = position;
    if (position < 0)
        row = list.InsertItem(idxText);
    list.SetItemText(row, 1, NameText(d));
    list.SetItemText(row, 2, IpText(d));
    list.SetItemText(row, 3, MacText(d));
}

void SortDeviceList(DeviceTable& table, ListModel& list, const SortState& state) {
    table.WithLock([&](std::list<std::unique_ptr<DeviceInfo>>& records) {
        // std::list::sort is a stable merge sort that relinks nodes: records never move.
        records.sort([&](const auto& a, const auto& b) { return CompareDevices(*a, *b, state); });
        list.DeleteAllItems();
        for (const auto& record : records)
            WriteDeviceRow(list, -1, *record, IdxText(record->rowIndex));
    });
}
