#include "discovery/DeviceRows.h"

#include <cstdio>

#include "discovery/ListModel.h"

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

int WriteDeviceRow(ListModel& list, int position, const DeviceInfo& d) {
    if (position < 0)
        return list.AppendRow(d);
    // The camera's own row, found by its MAC, not by where the table holds its record.
    list.Refresh(d.mac, d);
    return list.RowOf(d.mac);
}
