#pragma once

#include <string>

#include "discovery/DeviceInfo.h"
#include "discovery/ListModel.h"

class DeviceTable;

// Cell texts of a record, as the list shows them.
std::string IdxText(int rowIndex);         // "%03d"
std::string NameText(const DeviceInfo& d); // each byte becomes the character of the same value
std::string IpText(const DeviceInfo& d);
std::string MacText(const DeviceInfo& d);

struct SortState {
    int column = 0;        // g_nSortColumn
    bool ascending = true; // g_bSortAscending; inverted before every sort
};

// True when a must come before b under the sort column and direction.
bool CompareDevices(const DeviceInfo& a, const DeviceInfo& b, const SortState& state);

// Reorders the table in place (stable) and rebuilds every row from it; Status texts are not kept.
void SortDeviceList(DeviceTable& table, ListModel& list, const SortState& state);

// Appends the row of a new camera or rewrites Name, IP and MAC of a known one.
void WriteDeviceRow(ListModel& list, int position, const DeviceInfo& d, const std::string& idxText);
