// The console front end's run of one command: the adapter, the search, the selection, the
// workflow with its progress, and what is printed and reported at the end.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <map>
#include <optional>
#include <sstream>
#include <thread>

#include "console/CliOptions.h"
#include "console/CliOutput.h"
#include "console/CliSelect.h"
#include "console/CliWindow.h"
#include "console/EventStream.h"
#include "console/Progress.h"
#include "console/StopSignals.h"
#include "engine/FirmwareImage.h"

namespace {

// What the command line asks of the job: the cameras by MAC, the login, the image read already,
// the range (the window's defaults when none is given).
JobInputs inputsOf(CTarnDlg& dlg, const Options& o, const Login& login, const std::vector<int>& rows,
                   std::shared_ptr<const FirmwareImage> image) {
    JobInputs inputs;
    inputs.selected = MacsAtRows(dlg.Discovery().List(), rows);
    inputs.login = login;
    inputs.image = std::move(image);
    if (inputs.image)
        inputs.firmwarePath = inputs.image->path;
    inputs.rangeStart = o.range.empty() ? kDefaultRangeStart : o.range.substr(0, o.range.find('-'));
    inputs.rangeEnd = o.range.empty() ? kDefaultRangeEnd : o.range.substr(o.range.find('-') + 1);
    return inputs;
}

// Waits for seconds to pass, saying on the event stream each camera as the search lists it; false
// when a stop signal came first.
bool pause(double seconds, CTarnDlg& dlg, EventStream* events) {
    for (auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
         std::chrono::steady_clock::now() < end;) {
        if (StopSignal() != 0)
            return false;
        if (events)
            events->Seen(dlg.Discovery().List().Rows());
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (events)
        events->Seen(dlg.Discovery().List().Rows());
    return StopSignal() == 0;
}

// The job's end on the event stream: how its cameras ended, by outcome.
void sayEnded(EventStream& events, CTarnDlg& dlg, Workflow workflow, const std::vector<int>& rows) {
    std::map<std::string, std::size_t> outcomes;
    std::size_t failed = 0;
    for (const Mac& mac : MacsAtRows(dlg.Discovery().List(), rows)) {
        const auto outcome = dlg.Fleet().Outcome(mac);
        const OutcomeKind kind = outcome ? outcome->kind : OutcomeKind::NotStarted;
        ++outcomes[OutcomeName(kind)];
        failed += IsFailure(kind) ? 1 : 0;
    }
    events.Ended(workflow, rows.size(), outcomes, failed);
}

// How long a stop signal may wait to be seen while a job runs.
constexpr auto kStopSeenWithin = std::chrono::milliseconds(50);

// Waits for the job's end, showing its progress; false when a stop signal came first.
bool waitForWorkflow(CTarnDlg& dlg, ConsoleProgress& progress) {
    while (!dlg.Jobs().Threads().WaitForAll(kStopSeenWithin) && StopSignal() == 0)
        progress.Tick();
    progress.Finish();
    if (StopSignal() != 0)
        return false;
    dlg.Jobs().Threads().JoinAll();
    return true;
}

// A stop signal: the cameras that can hear it are sent home and the rest journalled (stopping
// does both), then the list says where each camera's job stood.
int stopped(CTarnDlg& dlg, const CliWindow& window, const Options& o, std::ostream& out, std::ostream& err,
            EventStream* events) {
    const int signal = StopSignal();
    err << "flashwell-cli: "
        << window.Say(Text("Console", QT_TRANSLATE_NOOP("Console", "stopped by signal %1"), {std::to_string(signal)}))
        << "\n";
    dlg.Jobs().Stop();
    dlg.Jobs().Threads().JoinAll();
    PrintDevices(dlg, o, out, window.Translate(), nullptr, events);
    if (!o.report.empty()) {
        try {
            WriteReport(o.report, dlg.Fleet().Records().Records());
        } catch (const UsageError& e) {
            if (!e.message.empty())
                err << "flashwell-cli: " << e.message << "\n"; // the signal stays the reason for the exit
        }
    }
    dlg.OnCancel();
    return 128 + signal;
}

ConsoleProgress::Style progressStyle(const Options& o) {
    if (::isatty(STDERR_FILENO))
        return ConsoleProgress::Style::Redraw;
    return o.progress ? ConsoleProgress::Style::Events : ConsoleProgress::Style::None;
}

// The card to search on: the one asked for, with an address.
int adapterOf(const Options& o, const CTarnDlg::Platform& platform) {
    HostAdapterList list =
        EnumerateHostAdapters(platform.readAdapters ? platform.readAdapters() : ReadSystemAdapters());
    int choice = ResolveAdapter(list, o.adapter);
    if (choice < 0)
        throw UsageError{"no connected network adapter to search on"};
    if (list.adapters[static_cast<std::size_t>(choice)].address.empty())
        throw UsageError{"network adapter \"" + list.adapters[static_cast<std::size_t>(choice)].description +
                         "\" has no IPv4 address"};
    return choice;
}

// The image is read once, before anything is sent: every camera gets these bytes.
std::shared_ptr<const FirmwareImage> imageOf(const Options& o) {
    if (o.workflow != Workflow::Upgrade)
        return nullptr;
    auto loaded = FirmwareImage::Load(o.firmware);
    if (!loaded && loaded.Error().code == ENOENT)
        throw UsageError{"cannot read the firmware file \"" + o.firmware + "\""};
    if (!loaded)
        throw UsageError{loaded.Message()};
    return std::move(loaded.Value());
}

// One run of a command against the network: what its parts share.
struct Session {
    const Options& o;
    std::ostream& out;
    std::ostream& err;
    CliWindow& window;
    EventStream* stream;
    CTarnDlg& dlg;
    Login login{o.user, o.password};

    int stop() { return stopped(dlg, window, o, out, err, stream); }

    // The start-up's own lines, which the window shows under its list (the console window passes
    // the start-up's notes on to no one: these are they).
    void say(const Text& line) {
        err << "flashwell-cli: " << window.Say(line) << "\n";
        if (stream)
            stream->Note(line, NoteKind::StartUp);
    }

    // The login the command line gave; without one, the stored login where there is one.
    void takeStoredLogin(LoginStore* store) {
        if (o.loginGiven || store == nullptr || !o.workflow)
            return;
        LoginStore::Loaded loaded = store->Load();
        for (const Text& note : loaded.notes)
            say(note);
        if (loaded.login)
            login = {loaded.login->user, loaded.login->password};
    }

    // Cameras an earlier run left away are seen home before this run's job may touch the card;
    // false when a stop signal came first.
    bool startUp() {
        if (!dlg.Jobs().RightsNote().empty())
            say(dlg.Jobs().RightsNote());
        if (dlg.Jobs().Threads().AnyRunning())
            err << "flashwell-cli: "
                << window.Say(Text("Console", QT_TRANSLATE_NOOP("Console", "sending home the cameras an earlier job "
                                                                           "left at link-local addresses")))
                << "\n";
        while (!dlg.Jobs().Threads().WaitForAll(kStopSeenWithin) || dlg.IsBusy()) {
            if (StopSignal() != 0)
                return false;
        }
        dlg.Jobs().Threads().JoinAll();
        for (const Text& line : dlg.Leftovers().Replayed())
            say(line);
        if (const std::size_t stillAway = dlg.Leftovers().StillAwayAtStart(); stillAway > 0)
            say(stillAway == 1 ? Note(QT_TRANSLATE_NOOP("Note", "1 camera is still away from home; the next start "
                                                                "sends it home again"))
                               : Note(QT_TRANSLATE_NOOP("Note", "%1 cameras are still away from home; the next "
                                                                "start sends them home again"),
                                      {std::to_string(stillAway)}));
        JobOptions options;
        options.allowOtherModels = o.allowModelMismatch;
        options.skipCurrent = o.skipCurrent;
        options.parallel = o.parallel;
        options.firstWave = o.canary;
        options.rebootTimeout = Clock::Milliseconds(static_cast<long long>(o.rebootTimeout * 1000));
        dlg.Jobs().SetOptions(options);
        if (!dlg.Discovery().ReceiverRunning())
            throw UsageError{"cannot receive camera replies: " + dlg.Discovery().ReceiverError()};
        return true;
    }

    // The rows the command works on.
    std::vector<int> selection() {
        const bool retryFailed = o.select == "failed" && o.workflow != Workflow::CheckVersion;
        std::vector<int> selected =
            retryFailed ? ResolveSelection(dlg, FailedLastTime(dlg, *o.workflow, err), &err)
                        : ResolveSelection(dlg, o.select.empty() || o.select == "failed" ? "all" : o.select);
        if (o.workflow != Workflow::CheckVersion && selected.empty())
            throw UsageError{dlg.Discovery().List().GetItemCount() == 0
                                 ? "nothing to work on: no camera answered the search"
                                 : "nothing to work on: no camera is selected"};
        if (o.workflow == Workflow::CheckVersion && !o.selectGiven) {
            selected.clear(); // the check asks every listed camera, as the window does
            for (int r = 0; r < dlg.Discovery().List().GetItemCount(); ++r)
                selected.push_back(r);
        }
        return selected;
    }

    // Presses the command's button and waits for the job's end; the exit status when a stop signal
    // came first, which the progress still follows while the cameras are sent home.
    std::optional<int> work(const std::vector<int>& selected, std::shared_ptr<const FirmwareImage> image) {
        ConsoleProgress progress(dlg, selected, err, progressStyle(o), window.Translate(), stream);
        const JobInputs inputs = inputsOf(dlg, o, login, selected, std::move(image));
        PressWorkflow(dlg, *o.workflow, inputs, o.dryRun ? UpgradeMode::DryRun : UpgradeMode::Flash);
        if (!waitForWorkflow(dlg, progress))
            return stop();
        return std::nullopt;
    }

    // The closing list, the report and the exit status.
    int finish(const std::vector<int>& selected) {
        bool anyFailed = PrintDevices(dlg, o, out, window.Translate(), o.dryRun ? &selected : nullptr, stream);
        // The closing search lists cameras afresh: a camera the range had no address for is failed
        // only in its record.
        if (o.workflow == Workflow::AutoIp) {
            const auto records = dlg.Fleet().Records().Records();
            anyFailed = anyFailed ||
                        std::any_of(records.begin(), records.end(), [](const CameraRecord& r) { return r.failed; });
        }
        if (!o.report.empty())
            WriteReport(o.report, dlg.Fleet().Records().Records());
        if (o.dryRun) {
            // Exit 0 only when every selected camera would be flashed.
            anyFailed = std::any_of(selected.begin(), selected.end(), [&](int r) {
                const auto d = dlg.Discovery().CopyAt(r);
                const Plan plan = PlanOf(d ? dlg.Fleet().Outcome(d->mac) : std::nullopt);
                return plan != Plan::Flash && plan != Plan::Current;
            });
        }
        dlg.OnCancel();
        return anyFailed ? kExitFailedCamera : kExitOk;
    }
};

} // namespace

int RunCommand(const Options& o, const CTarnDlg::Platform& platform, std::ostream& out, std::ostream& err) {
    const int choice = adapterOf(o, platform);
    const std::shared_ptr<const FirmwareImage> image = imageOf(o);
    CliWindow window(err);
    std::optional<EventStream> events;
    if (o.events)
        events.emplace(out);
    EventStream* stream = events ? &*events : nullptr;
    window.StreamTo(stream);
    Clock clock(Clock::ScaleFromEnvironment());
    // The console's login comes from its own options, or from the store as the session decides.
    CTarnDlg::Platform own = platform;
    own.logins = nullptr;
    CTarnDlg dlg(window, clock, own);
    dlg.OnInitDialog(choice);
    Session run{o, out, err, window, stream, dlg};
    run.takeStoredLogin(platform.logins.get());
    // Replies keep arriving after the requests; the wait is the collection window.
    if (!run.startUp() || !pause(o.wait, dlg, stream))
        return run.stop();
    if (!o.workflow) {
        bool anyFailed = PrintDevices(dlg, o, out, window.Translate(), nullptr, stream);
        dlg.OnCancel();
        return anyFailed ? kExitFailedCamera : kExitOk;
    }
    const std::vector<int> selected = run.selection();
    if (const auto stoppedWith = run.work(selected, image))
        return *stoppedWith;
    if (stream && dlg.Jobs().LastRefusal().empty())
        sayEnded(*stream, dlg, *o.workflow, selected);
    // A refusal the job's message already printed is not printed twice.
    if (const Text why = dlg.Jobs().LastRefusal(); !why.empty())
        throw UsageError{window.Said(why.English()) ? std::string() : window.Say(why)};
    // Re-addressing ends with a Search: collect its replies as well.
    if (o.workflow == Workflow::AutoIp && !pause(o.wait, dlg, stream))
        return run.stop();
    return run.finish(selected);
}
