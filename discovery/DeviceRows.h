#pragma once

#include <string>

#include "discovery/DeviceInfo.h"

class ListModel;

// Cell texts of a record, as the list shows them.
std::string IdxText(int rowIndex);         // "%03d"
std::string NameText(const DeviceInfo& d); // each byte becomes the character of the same value
std::string IpText(const DeviceInfo& d);
std::string MacText(const DeviceInfo& d);

// Appends the row of a new camera (position < 0) or rewrites Name, IP and MAC of a known one.
int WriteDeviceRow(ListModel& list, int position, const DeviceInfo& d, const std::string& idxText);
