#pragma once

#include <string>

#include "discovery/DeviceInfo.h"

class ListModel;

// Cell texts of a record, as the list shows them.
std::string IdxText(int rowIndex);         // "%03d"
std::string NameText(const DeviceInfo& d); // each byte becomes the character of the same value
std::string IpText(const DeviceInfo& d);
std::string MacText(const DeviceInfo& d);

// Appends the row of a new camera (position < 0) or refreshes the facts of a known one; its row.
int WriteDeviceRow(ListModel& list, int position, const DeviceInfo& d);
