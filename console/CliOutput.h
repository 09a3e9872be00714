#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "app/JobRecords.h"
#include "console/CliOptions.h"

class EventStream;

// What a dry run found a selected camera would undergo.
enum class Plan { Flash, Current, ModelMismatch, Wifi, Unauthorized, Unreachable };
const char* PlanName(Plan plan); // "flash", "current", "model-mismatch", "wifi", "unauthorized", "unreachable"
// The plan a dry run's outcome for the camera stands for; unreachable when it has none.
Plan PlanOf(const std::optional<CameraOutcome>& outcome);

int PrintAdapters(const HostAdapterList& list, const Options& o, std::ostream& out);
// Prints the device list and tells whether any listed camera is marked failed or, after a job, was
// left away from home. With plans, each selected row's plan, model and version go with it. The
// table is in the console's language; JSON keeps the English texts, which scripts match on. With an
// event stream the JSON is its closing line.
bool PrintDevices(CTarnDlg& dlg, const Options& o, std::ostream& out, const Text::Translate& translate,
                  const std::vector<int>* planned = nullptr, EventStream* events = nullptr);
// The run's records as one JSON array (FILE.json) or as CSV with a header row (FILE.csv).
void WriteReport(const std::string& path, const std::vector<CameraRecord>& records);
// True when the report's file name ends in .json or .csv.
bool ReportNameValid(const std::string& path);
