#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "app/TarnDlg.h"
#include "console/CliOptions.h"

// NAME is an interface name or a description; a plain number is a list position. A usage error
// names a card that is not there.
int ResolveAdapter(const HostAdapterList& list, const std::string& choice);
// The cameras that ended failed in the newest job of the workflow on the card, as MAC addresses
// separated by commas; a usage error when there is no such job or none of its cameras failed.
std::string FailedLastTime(CTarnDlg& dlg, Workflow workflow, std::ostream& err);
// "all", or MAC addresses and row numbers separated by commas. With missingOk, a MAC address that
// no camera of the list has is said on standard error and left out.
std::vector<int> ResolveSelection(CTarnDlg& dlg, const std::string& select, std::ostream* missingOk = nullptr);
