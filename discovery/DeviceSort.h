#pragma once

#include "discovery/DeviceInfo.h"
#include "discovery/ListModel.h"

class DeviceTable;

struct SortState {
    int column = 0;        // g_nSortColumn
    bool ascending = true; // g_bSortAscending
    bool sorted = false;   // a column was clicked: a second click on it turns the order round

    // A click on a column: ascending at first, the other way round on the same column again.
    void Click(int clicked) {
        ascending = sorted && clicked == column ? !ascending : true;
        column = clicked;
        sorted = true;
    }
};

// True when a must come before b under the sort column and direction.
bool CompareDevices(const DeviceInfo& a, const DeviceInfo& b, const SortState& state);

// Reorders the table in place (stable) and rebuilds every row from it; each camera's row keeps
// its Status, its progress and its red mark.
void SortDeviceList(DeviceTable& table, ListModel& list, const SortState& state);
