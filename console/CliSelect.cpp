// Which card and which cameras a command line means: by name or position, by MAC or row, or the
// cameras that failed in the newest recorded job.
#include "console/CliSelect.h"

#include <algorithm>
#include <sstream>

#include "console/CliOutput.h"

int ResolveAdapter(const HostAdapterList& list, const std::string& choice) {
    if (choice.empty())
        return list.selected;
    for (std::size_t i = 0; i < list.adapters.size(); ++i)
        if (list.adapters[i].interfaceName == choice || list.adapters[i].description == choice)
            return static_cast<int>(i);
    // Digits only and short enough that no conversion can overflow.
    if (choice.size() <= 6 && choice.find_first_not_of("0123456789") == std::string::npos) {
        std::size_t position = std::stoul(choice);
        if (position < list.adapters.size())
            return static_cast<int>(position);
    }
    throw UsageError{"no network adapter \"" + choice + "\"; \"flashwell-cli adapters\" lists them"};
}

std::string FailedLastTime(CTarnDlg& dlg, Workflow workflow, std::ostream& err) {
    const HostAdapter* card = dlg.Discovery().ChosenAdapter();
    const std::string cardName = card ? card->interfaceName : "";
    const std::string folder = dlg.Fleet().Records().Folder();
    const auto job = NewestRecordedJob(folder, WorkflowName(workflow), cardName);
    if (job && job->future > 0)
        err << "flashwell-cli: --select failed: " << job->future << (job->future == 1 ? " record ends" : " records end")
            << " more than a minute from now (a clock that was wrong); left out\n";
    if (job && job->damaged > 0)
        err << "flashwell-cli: --select failed: " << job->damaged << (job->damaged == 1 ? " line" : " lines") << " of "
            << job->path << (job->damaged == 1 ? " is" : " are") << " no whole record; skipped\n";
    if (!job)
        throw UsageError{std::string("--select failed: no ") + WorkflowName(workflow) + " on " + cardName +
                         " is recorded in " + (folder.empty() ? "a records folder (HOME is not set)" : folder)};
    if (job->failed.empty())
        throw UsageError{std::string("--select failed: no camera failed in the newest ") + WorkflowName(workflow) +
                         " on " + cardName + " (" + job->path + ")"};
    err << "flashwell-cli: --select failed: " << job->failed.size()
        << (job->failed.size() == 1 ? " camera" : " cameras") << " failed in " << job->path << "\n";
    std::string macs;
    for (const std::string& mac : job->failed)
        macs += (macs.empty() ? "" : ",") + mac;
    return macs;
}

std::vector<int> ResolveSelection(CTarnDlg& dlg, const std::string& select, std::ostream* missingOk) {
    auto rows = dlg.Discovery().List().Rows();
    std::vector<int> chosen;
    if (select == "all") {
        for (std::size_t r = 0; r < rows.size(); ++r)
            chosen.push_back(static_cast<int>(r));
        return chosen;
    }
    std::stringstream list(select);
    std::string item;
    while (std::getline(list, item, ',')) {
        item = TrimSpaces(item);
        int found = -1;
        Mac mac;
        if (ParseMacArgument(item, mac)) {
            found = dlg.Discovery().List().RowOf(mac);
        } else if (!item.empty() && item.size() <= 6 && item.find_first_not_of("0123456789") == std::string::npos) {
            std::size_t r = std::stoul(item);
            if (r < rows.size())
                found = static_cast<int>(r);
        }
        if (found < 0 && missingOk) {
            *missingOk << "flashwell-cli: " << item << " did not answer the search; it is left out\n";
            continue;
        }
        if (found < 0)
            throw UsageError{"no camera \"" + item + "\" in the list (give MAC addresses or row numbers)"};
        chosen.push_back(found);
    }
    std::sort(chosen.begin(), chosen.end());
    chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
    return chosen;
}
