#pragma once

#include "discovery/DeviceInfo.h"
#include "discovery/ListModel.h"

class DeviceTable;

struct SortState {
    int column = 0;        // g_nSortColumn
    bool ascending = true; // g_bSortAscending; inverted before every sort
};

// True when a must come before b under the sort column and direction.
bool CompareDevices(const DeviceInfo& a, const DeviceInfo& b, const SortState& state);

// Reorders the table in place (stable) and rebuilds every row from it; Status texts are not kept.
void SortDeviceList(DeviceTable& table, ListModel& list, const SortState& state);
