#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/AdapterSnapshot.h"
#include "app/Discovery.h"
#include "app/FleetView.h"
#include "app/Homecoming.h"
#include "app/JobFrames.h"
#include "app/JobInputs.h"
#include "app/JobRecords.h"
#include "app/JobRunner.h"
#include "app/LoginStore.h"
#include "app/StatusTexts.h"
#include "app/TarnWindow.h"
#include "app/Workers.h"
#include "engine/CameraNetwork.h"
#include "engine/JobDriver.h"
#include "engine/JobEvents.h"
#include "engine/JobProgress.h"
#include "engine/JobRequest.h"
#include "engine/LinkLocalDetours.h"
#include "engine/RestoreJournal.h"
#include "hostnet/AdapterConfig.h"
#include "hostnet/HostAdapters.h"
#include "util/Clock.h"
#include "webops/CameraWebClient.h"

// Where the controller gets what the operating system knows and reaches the world; tests inject their own.
struct ControllerPlatform {
    std::function<std::vector<AdapterData>()> readAdapters = ReadSystemAdapters;
    std::function<unsigned()> codePage;
    std::string resolvConf = "/etc/resolv.conf"; // where the reconnect address comes from
    std::shared_ptr<CameraNetwork> network = std::make_shared<SystemCameraNetwork>();
    bool listen = true; // start the discovery receiver; unit tests feed the intake instead
    std::string stateFolder = RestoreJournal::DefaultFolder(); // the journal of pending restores
    std::string recordsFolder = JobRecords::DefaultFolder();   // one file of records per job
    std::size_t threadLimit = 0; // for tests: thread creation fails past this many running threads
    std::string lockScope = "";  // for tests: keeps the job lock of one test's cards from another's
    // The stored login: the window starts with it and "Set Login..." and the presets write it.
    // None: the built-in login, and nothing is stored.
    std::shared_ptr<LoginStore> logins = nullptr;
};

// Whether an upgrade flashes, or only asks each camera and says what it would do.
enum class UpgradeMode { Flash, DryRun };

// The main dialog's shared state and handlers, without any window framework. Each workflow
// button hands in its front end's inputs; the controller makes them a job request and runs the
// job on a thread of its own; the job's events write the list and the records. No workflow logic
// lives here.
class CTarnDlg {
public:
    using Platform = ControllerPlatform;

    CTarnDlg(TarnWindow& window, Clock& clock, Platform platform = {});
    ~CTarnDlg();
    CTarnDlg(const CTarnDlg&) = delete;
    CTarnDlg& operator=(const CTarnDlg&) = delete;

    // Start-up: language, defaults, device table, adapters, receiver and one Search. An adapter
    // choice given here replaces the default before the receiver starts.
    void OnInitDialog(std::optional<int> adapterChoice = std::nullopt);
    void OnSearch();
    void OnAdapterSelChange(int row);
    void OnListColumnClick(int column);
    void OnListDblClk(int row);
    // The workflow buttons, each with what its front end held at the press; each returns at once
    // and runs its job on a thread of its own. The job's options are the runner's at the press.
    void OnStartUpgrade(const JobInputs& inputs, UpgradeMode mode = UpgradeMode::Flash);
    // Asks the selected cameras (the window selects every listed one, as the original's check does).
    void OnCheckVersion(const JobInputs& inputs);
    void OnResetDefault(const JobInputs& inputs);
    // The addresses "Auto Change IP" would give the selected cameras at the factory address, in
    // list order and in turn, before any probe (one that answers on the segment is skipped as
    // well); none for a camera the range has no address left for. A front end that asks first is
    // shown them once the range is known to hand out some, and false from it sends nothing.
    using ConfirmPlan = std::function<bool(const std::vector<std::optional<Ipv4>>& plan)>;
    void OnAutoChangeIp(const JobInputs& inputs, const ConfirmPlan& confirm = {});
    // The window has shown its "Search Firmware" chooser: nothing when it was cancelled.
    void OnBrowseFile(const std::optional<std::string>& chosenPath);
    // The operator typed in the path box: the model and version boxes follow what it names.
    void OnFirmwarePathEdited(const std::string& path);
    // "Set Login...": the front end's credentials dialog, opened on the stored login, answers with
    // the login confirmed, or nothing when it was cancelled.
    using AskLogin = std::function<std::optional<StoredLogin>(const StoredLogin& stored)>;
    // Asks, and stores what was confirmed, which the login fields then show; false when it was
    // cancelled or the login cannot be stored (the fields then stay as they were).
    bool OnSet(const AskLogin& ask);
    // Account presets: row 0 "root", row 1 "admin", each stored as the login chosen; any other
    // row changes nothing.
    void OnAccountSelChange(int row);
    // Closing: ends the running job, then wakes and joins every thread before the table is freed.
    // Safe to call twice.
    void OnCancel();

    void EnableControls(bool enable);
    // True while "Starting Upgrade" is disabled: the list then refuses selection and sorting.
    bool IsBusy() const { return m_busy.load(); }

    // The cameras seen on the chosen card: the list, the table, the receiver, the cards.
    DiscoverySession& Discovery() { return m_discovery; }
    const DiscoverySession& Discovery() const { return m_discovery; }
    // The jobs: their threads, the options of the next, why the last press did nothing, stopping.
    JobRunner& Jobs() { return m_runner; }
    const JobRunner& Jobs() const { return m_runner; }
    // What the jobs of this run made of each camera: phases, outcomes, facts, records, the progress line.
    FleetView& Fleet() { return m_fleet; }
    const FleetView& Fleet() const { return m_fleet; }
    // What an earlier run left behind: what the start-up put right, the cameras still away.
    Homecoming& Leftovers() { return m_homecoming; }
    const Homecoming& Leftovers() const { return m_homecoming; }

private:
    // Job threads (JobThreads.cpp).
    bool beginWorkflow();
    // Gives the busy state back when a job ends before any camera was touched, and says why.
    void endWorkflowUnstarted(const Text& why = {});
    // A workflow button: takes the busy state at the press and runs the job on a thread of its own,
    // which takes the card and then makes the request (an empty one ended the job and said why).
    void startJob(const std::string& card, std::function<std::shared_ptr<JobRequest>()> make);
    void startPress(Press press);

    // Start-up (TarnDlg.cpp).
    void startReceiver();
    void showStartNote();
    void showStoredLogin();
    bool storeLogin(const StoredLogin& login);

    // What a press turns into (JobRun.cpp).
    // What a press fixes of the list, the journal and the card; nothing while a job runs or after closing.
    std::optional<Press> press(Workflow workflow, const JobInputs& inputs) const;
    JobAdapter jobAdapter() const;
    Result<AddressRange> autoIpRange(const std::string& startText, const std::string& endText) const;
    // An upgrade's request, with its image read once here; a failure is said to the operator and
    // ends the job unstarted.
    std::shared_ptr<JobRequest> upgradeRequest(const Press& press);

    TarnWindow& m_window;
    Clock& m_clock;
    Platform m_platform;
    CameraNetwork& m_network;
    DiscoverySession m_discovery;
    StopRequested m_stop; // the clock's interrupt, handed to every network call that waits
    RestoreJournal m_journal;
    LinkLocalDetours m_detours;
    AdapterSnapshot m_card; // the card as the running job found it
    FleetView m_fleet;
    Homecoming m_homecoming;
    JobFrames m_frames;
    std::vector<Text> m_loginNotes; // what loading the stored login had to say
    unsigned m_nOemCodePage = 437;
    std::atomic<bool> m_busy{false};
    std::mutex m_cancelLock;
    bool m_cancelled = false; // OnCancel has run; guarded by m_cancelLock
    // Last, so that its threads are joined before anything they use is gone.
    JobRunner m_runner;
};

// Presses the workflow's button with a front end's inputs: the one place that knows each
// workflow's handler (an upgrade flashes unless mode says otherwise; nothing asks before a
// re-addressing). A front end that has a button of its own for a workflow may press it directly.
void PressWorkflow(CTarnDlg& dlg, Workflow workflow, const JobInputs& inputs, UpgradeMode mode = UpgradeMode::Flash);
