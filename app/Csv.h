#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Comma-separated values as RFC 4180 writes them: a field that holds a comma, a double quote, a
// CR or an LF is enclosed in double quotes, with each double quote doubled; lines end in CRLF.
std::string CsvField(std::string_view text);
// A value that may have come from the network, made safe to open in a spreadsheet: control
// characters become '?', invalid UTF-8 becomes U+FFFD, and a leading = + - @ (which a spreadsheet
// would run as a formula) is shown behind a '.
std::string SpreadsheetCell(std::string_view text);
// One line of spreadsheet-safe cells; a missing value is an empty field.
std::string CsvLine(const std::vector<std::optional<std::string>>& fields);

class DiscoverySession;
class FleetView;
// The list as it stands (its five columns, then model and version where known); false when the
// file cannot be written.
bool ExportListCsv(const DiscoverySession& discovery, const FleetView& fleet, const std::string& path);
