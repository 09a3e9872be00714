#include "console/EventStream.h"

#include <chrono>
#include <cmath>
#include <cstdio>

#include "app/JobRecords.h"
#include "app/StatusTexts.h"
#include "discovery/DeviceRows.h"
#include "discovery/WireProtocol.h"

namespace {

// The records' time with its milliseconds: "2026-12-08T14:06:43.120Z".
std::string nowUtc() {
    const auto now = std::chrono::system_clock::now();
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::string text = IsoUtc(now);
    char fraction[8];
    std::snprintf(fraction, sizeof fraction, ".%03d", static_cast<int>(millis));
    return text.insert(text.size() - 1, fraction);
}

const char* noteKind(NoteKind kind) {
    switch (kind) {
    case NoteKind::Job:
        return "job";
    case NoteKind::StartUp:
        return "start-up";
    case NoteKind::Waiting:
        return "waiting";
    case NoteKind::Refusal:
        return "refusal";
    case NoteKind::Progress:
        break;
    }
    return "progress";
}

nlohmann::ordered_json camera(const Target& target) {
    return {{"mac", FormatMac(target.mac)}, {"name", target.displayName}};
}

} // namespace

void EventStream::write(const char* kind, const nlohmann::ordered_json& fields) {
    nlohmann::ordered_json line = {{"event", kind}, {"time", nowUtc()}};
    line.update(fields);
    // Names and texts from the network may hold anything: never a line that is not UTF-8 JSON.
    const std::string text = line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    std::lock_guard guard(m_lock);
    m_out << text << "\n";
    m_out.flush();
}

void EventStream::Seen(const std::vector<ListRow>& rows) {
    for (const ListRow& row : rows) {
        {
            std::lock_guard guard(m_lock);
            const std::string ip = IpText(row.device);
            auto [said, first] = m_seen.try_emplace(row.mac(), ip);
            if (!first && said->second == ip)
                continue;
            said->second = ip;
        }
        write("seen", {{"idx", CellText(row, 0)},
                       {"name", NameText(row.device)},
                       {"ip", IpText(row.device)},
                       {"mac", MacText(row.device)}});
    }
}

void EventStream::Job(const Target& target, const JobEvent& event) {
    if (std::holds_alternative<event::CameraStarted>(event)) {
        write("started", camera(target));
    } else if (const auto* changed = std::get_if<event::CameraChanged>(&event)) {
        const auto status = Status::Of(changed->view);
        const int tenth = status && status->progress ? static_cast<int>(*status->progress * 10.0) : -1;
        {
            // A running percentage or countdown is said at each tenth of its way, not at every step.
            std::lock_guard guard(m_lock);
            auto [said, first] = m_phase.try_emplace(target.mac, changed->view.phase, tenth);
            if (!first && said->second == std::pair(changed->view.phase, tenth))
                return;
            said->second = {changed->view.phase, tenth};
        }
        nlohmann::ordered_json fields = camera(target);
        fields["phase"] = PhaseName(changed->view.phase);
        fields["percent"] = status && status->progress ? nlohmann::ordered_json(std::lround(*status->progress * 100.0))
                                                       : nlohmann::ordered_json(nullptr);
        fields["status"] = status ? status->text.English() : std::string();
        write("phase", fields);
    } else if (const auto* ended = std::get_if<event::CameraEnded>(&event)) {
        nlohmann::ordered_json fields = camera(target);
        fields["outcome"] = OutcomeName(ended->outcome.kind);
        fields["failed"] = IsFailure(ended->outcome.kind);
        fields["status"] = Status::Of(ended->outcome).text.English();
        write("outcome", fields);
    }
}

void EventStream::Note(const Text& text, NoteKind kind) {
    // The job's running count is the sum of its outcomes, which a script has already.
    if (text.empty() || kind == NoteKind::Progress)
        return;
    write("note", {{"kind", noteKind(kind)}, {"text", text.English()}});
}

void EventStream::Message(const Text& text) {
    write("note", {{"kind", "message"}, {"text", text.English()}});
}

void EventStream::Ended(Workflow workflow, std::size_t cameras, const std::map<std::string, std::size_t>& outcomes,
                        std::size_t failed) {
    write("ended",
          {{"workflow", WorkflowName(workflow)}, {"cameras", cameras}, {"failed", failed}, {"outcomes", outcomes}});
}

void EventStream::Summary(const nlohmann::json& document) {
    write("summary",
          nlohmann::ordered_json::parse(document.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)));
}
