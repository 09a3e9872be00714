#include "console/CliJournal.h"

#include <nlohmann/json.hpp>

#include "console/CliOptions.h"
#include "engine/RestoreJournal.h"
#include "util/Utf8.h"

namespace {

std::string pad(const std::string& text, std::size_t width) {
    return text.size() >= width ? text + " " : text + std::string(width - text.size(), ' ');
}

int list(const std::vector<PendingRestore>& away, bool json, std::ostream& out) {
    if (json) {
        nlohmann::json cameras = nlohmann::json::array();
        for (const PendingRestore& r : away)
            cameras.push_back({{"mac", FormatMac(r.mac)},
                               {"name", r.name},
                               {"away_at", r.movedTo},
                               {"home", r.home},
                               {"adapter", r.adapter},
                               {"since", r.since.empty() ? nlohmann::json(nullptr) : nlohmann::json(r.since)},
                               {"running", r.owner.Alive()}});
        out << nlohmann::json{{"away", cameras}}.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
        return kExitOk;
    }
    if (away.empty()) {
        out << "No camera is away from home.\n";
        return kExitOk;
    }
    out << pad("MAC", 19) << pad("Name", 20) << pad("Away at", 17) << pad("Home", 17) << pad("Card", 10) << "Since\n";
    for (const PendingRestore& r : away)
        out << pad(FormatMac(r.mac), 19) << pad(Printable(r.name), 20) << pad(r.movedTo, 17) << pad(r.home, 17)
            << pad(r.adapter, 10) << (r.since.empty() ? "(not known)" : r.since)
            << (r.owner.Alive() ? " (a running Flashwell's job)" : "") << "\n";
    out << away.size() << (away.size() == 1 ? " camera is" : " cameras are")
        << " away; each start of Flashwell sends them home where a search shows them\n";
    return kExitOk;
}

} // namespace

int RunJournal(const JournalCommand& c, std::istream& in, bool interactive, std::ostream& out, std::ostream& err) {
    if (c.folder.empty())
        throw UsageError{"no journal: neither XDG_STATE_HOME nor HOME names a folder"};
    RestoreJournal journal(c.folder);
    std::string problem;
    const std::vector<PendingRestore> away = journal.Read(problem).restores;
    if (!problem.empty())
        err << "flashwell-cli: " << problem << "\n";
    if (!c.forget)
        return list(away, c.json, out);

    std::optional<Mac> mac;
    if (c.which != "all") {
        Mac parsed{};
        if (!ParseMacArgument(c.which, parsed))
            throw UsageError{"journal forget takes a MAC address (aa:bb:cc:dd:ee:ff) or all, not \"" + c.which + "\""};
        mac = parsed;
    }
    std::size_t named = 0;
    for (const PendingRestore& r : away)
        named += !mac || r.mac == *mac;
    if (named == 0)
        throw UsageError{mac ? "the journal holds no camera " + FormatMac(*mac) : "the journal holds no camera"};
    if (!c.yes) {
        if (!interactive)
            throw UsageError{"journal forget asks first: give --yes to forget without a question"};
        err << "Forget " << named << (named == 1 ? " camera" : " cameras") << "? Flashwell will no longer send "
            << (named == 1 ? "it" : "them") << " home, and the way home is lost. [y/N] ";
        std::string answer;
        std::getline(in, answer);
        if (answer != "y" && answer != "Y" && answer != "yes") {
            err << "Nothing was forgotten.\n";
            return kExitOk;
        }
    }
    auto forgotten = journal.Forget(mac);
    if (!forgotten)
        throw UsageError{forgotten.Message()};
    out << "Forgot " << forgotten.Value() << (forgotten.Value() == 1 ? " camera" : " cameras");
    if (forgotten.Value() < named)
        out << "; " << named - forgotten.Value() << " kept: a running Flashwell's job is at work on them";
    out << ".\n";
    return kExitOk;
}
