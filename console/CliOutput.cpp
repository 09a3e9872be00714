#include "console/CliOutput.h"

#include <algorithm>
#include <fstream>

#include <nlohmann/json.hpp>

#include "app/Csv.h"
#include "app/Language.h"
#include "console/EventStream.h"
#include "util/Utf8.h"

namespace {

nlohmann::json adapterJson(const HostAdapter& a, int position) {
    return {{"position", position}, {"description", a.description}, {"address", a.address}};
}

// Names and descriptions are not always valid UTF-8; bad bytes become U+FFFD instead of failing.
std::string dumpJson(const nlohmann::json& j) {
    return j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

const char* PlanName(Plan plan) {
    switch (plan) {
    case Plan::Flash:
        return "flash";
    case Plan::Current:
        return "current";
    case Plan::ModelMismatch:
        return "model-mismatch";
    case Plan::Wifi:
        return "wifi";
    case Plan::Unauthorized:
        return "unauthorized";
    case Plan::Unreachable:
        return "unreachable";
    }
    return "unreachable";
}

Plan PlanOf(const std::optional<CameraOutcome>& outcome) {
    switch (outcome ? outcome->kind : OutcomeKind::Pending) {
    case OutcomeKind::WouldFlash:
        return Plan::Flash;
    case OutcomeKind::AlreadyCurrent:
        return Plan::Current;
    case OutcomeKind::ModelMismatch:
        return Plan::ModelMismatch;
    case OutcomeKind::WifiInterface:
        return Plan::Wifi;
    case OutcomeKind::Unauthorized:
        return Plan::Unauthorized;
    default:
        return Plan::Unreachable;
    }
}

int PrintAdapters(const HostAdapterList& list, const Options& o, std::ostream& out) {
    if (o.json) {
        nlohmann::json all = nlohmann::json::array();
        for (std::size_t i = 0; i < list.adapters.size(); ++i) {
            auto entry = adapterJson(list.adapters[i], static_cast<int>(i));
            entry["default"] = static_cast<int>(i) == list.selected;
            all.push_back(entry);
        }
        out << dumpJson({{"adapters", all}}) << "\n";
        return kExitOk;
    }
    out << PadToColumns("Pos", 5) << PadToColumns("Network Card", 32) << PadToColumns("Address", 17) << "Default\n";
    for (std::size_t i = 0; i < list.adapters.size(); ++i) {
        const HostAdapter& a = list.adapters[i];
        out << PadToColumns(std::to_string(i), 5) << PadToColumns(Printable(a.description), 32)
            << PadToColumns(a.address.empty() ? "-" : a.address, 17)
            << (static_cast<int>(i) == list.selected ? "*" : "") << "\n";
    }
    if (list.adapters.empty())
        out << "(no connected network adapter)\n";
    return kExitOk;
}

bool PrintDevices(CTarnDlg& dlg, const Options& o, std::ostream& out, const Text::Translate& translate,
                  const std::vector<int>* planned, EventStream* events) {
    const std::vector<ListRow> rows = dlg.Discovery().List().Rows();
    bool anyFailed = false;
    for (const ListRow& row : rows)
        anyFailed = anyFailed || row.Failed();
    auto isPlanned = [&](std::size_t r) {
        return planned && std::find(planned->begin(), planned->end(), static_cast<int>(r)) != planned->end();
    };
    // A camera left away from home is no clean success, whatever its Status says of its work.
    auto awayAt = [&](const ListRow& row) -> std::optional<std::string> {
        const auto outcome = dlg.Fleet().Outcome(row.mac());
        return outcome ? outcome->leftAt : std::nullopt;
    };
    // A search did nothing to any camera: the start-up's homecoming says for itself who is away.
    if (o.workflow.has_value())
        for (const ListRow& row : rows)
            anyFailed = anyFailed || awayAt(row).has_value();
    if (o.json || events) {
        nlohmann::json devices = nlohmann::json::array();
        for (std::size_t r = 0; r < rows.size(); ++r) {
            nlohmann::json d = {{"idx", CellText(rows[r], 0)},        {"name", CellText(rows[r], 1)},
                                {"ip", CellText(rows[r], 2)},         {"mac", CellText(rows[r], 3)},
                                {"status", rows[r].status.English()}, {"failed", rows[r].Failed()}};
            const auto away = awayAt(rows[r]);
            d["away"] = away ? nlohmann::json(*away) : nlohmann::json(nullptr);
            if (planned) {
                auto known = dlg.Fleet().Facts(rows[r].mac());
                d["plan"] = isPlanned(r) ? nlohmann::json(PlanName(PlanOf(dlg.Fleet().Outcome(rows[r].mac()))))
                                         : nlohmann::json(nullptr);
                d["model"] = known ? nlohmann::json(known->model) : nlohmann::json(nullptr);
                d["version"] = known ? nlohmann::json(known->version) : nlohmann::json(nullptr);
            }
            devices.push_back(d);
        }
        nlohmann::json adapter = nullptr;
        if (const HostAdapter* a = dlg.Discovery().ChosenAdapter())
            adapter = adapterJson(*a, dlg.Discovery().AdapterIndex());
        if (events)
            events->Summary({{"adapter", adapter}, {"devices", devices}});
        else
            out << dumpJson({{"adapter", adapter}, {"devices", devices}}) << "\n";
        return anyFailed;
    }
    static const std::size_t widths[] = {6, 20, 17, 19, 0};
    std::string header;
    for (int c = 0; c < kColumnCount; ++c)
        header += c < 4 ? PadToColumns(ColumnTitle(c).In(translate), widths[c]) : ColumnTitle(c).In(translate);
    out << header << "\n";
    // Names and the rest came from the network: no control character reaches the terminal.
    for (const ListRow& row : rows) {
        std::string line;
        for (int c = 0; c < 4; ++c)
            line += PadToColumns(Printable(CellText(row, c)), widths[c]);
        const std::string said = row.status.In(translate);
        const std::string failed = Text("Console", QT_TRANSLATE_NOOP("Console", "[failed]")).In(translate);
        line += Printable(said) + (row.Failed() ? (said.empty() ? failed : " " + failed) : "");
        if (const auto away = awayAt(row))
            line += " " + Text("Console", QT_TRANSLATE_NOOP("Console", "[still away at %1]"), {*away}).In(translate);
        // A row with an empty Status ends at its MAC address, without the padding after it.
        out << line.erase(line.find_last_not_of(' ') + 1) << "\n";
    }
    const Text card = dlg.Discovery().ChosenAdapter() ? Text(Printable(dlg.Discovery().ChosenAdapter()->description))
                                                      : Text("Console", QT_TRANSLATE_NOOP("Console", "no adapter"));
    const Text count = rows.size() == 1 ? Text("Console", QT_TRANSLATE_NOOP("Console", "1 camera on %1"), {card})
                                        : Text("Console", QT_TRANSLATE_NOOP("Console", "%1 cameras on %2"),
                                               {std::to_string(rows.size()), card});
    out << count.In(translate) << "\n";
    return anyFailed;
}

bool ReportNameValid(const std::string& path) {
    return endsWith(path, ".json") || endsWith(path, ".csv");
}

void WriteReport(const std::string& path, const std::vector<CameraRecord>& records) {
    std::string text;
    if (endsWith(path, ".csv")) {
        std::vector<std::optional<std::string>> header(RecordFields().begin(), RecordFields().end());
        text = CsvLine(header);
        for (const CameraRecord& r : records)
            text += RecordCsv(r);
    } else {
        text = "[";
        for (std::size_t i = 0; i < records.size(); ++i)
            text += (i == 0 ? "\n  " : ",\n  ") + RecordJson(records[i]);
        text += records.empty() ? "]\n" : "\n]\n";
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (file.fail())
        throw UsageError{"cannot write the report \"" + path + "\""};
}
