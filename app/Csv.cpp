#include "app/Csv.h"

#include <fstream>

#include "app/Discovery.h"
#include "app/FleetView.h"
#include "discovery/DeviceRows.h"
#include "util/Utf8.h"

std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(text);
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string SpreadsheetCell(std::string_view text) {
    std::string cell = Printable(text);
    if (!cell.empty() && std::string_view("=+-@").find(cell.front()) != std::string_view::npos)
        cell.insert(cell.begin(), '\'');
    return cell;
}

std::string CsvLine(const std::vector<std::optional<std::string>>& fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += ',';
        if (fields[i])
            line += CsvField(SpreadsheetCell(*fields[i]));
    }
    return line + "\r\n";
}

bool ExportListCsv(const DiscoverySession& discovery, const FleetView& fleet, const std::string& path) {
    std::string text = CsvLine({"Idx", "Name", "IP", "MAC", "Status", "Model", "Version"});
    for (const ListRow& row : discovery.List().Rows()) {
        auto facts = fleet.Facts(row.mac());
        text += CsvLine({CellText(row, 0), CellText(row, 1), CellText(row, 2), CellText(row, 3),
                         CellText(row, StatusColumn), facts ? std::optional(facts->model) : std::nullopt,
                         facts ? std::optional(facts->version) : std::nullopt});
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    return !file.fail();
}
