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
    // and runs its job on a thread of its own.
    void OnStartUpgrade(const JobInputs& inputs, UpgradeMode mode = UpgradeMode::Flash);
    // The model guard: an image made for another model than the camera reports is not flashed,
    // unless the operator lifts the guard (for the next jobs, until it is set again).
    void SetAllowOtherModels(bool allow) { m_allowOtherModels = allow; }
    bool AllowOtherModels() const { return m_allowOtherModels.load(); }
    // What the console's options or the window's menu chose for the next jobs of this session:
    // cameras at once, a first wave, cameras at the image's version left alone, the reboot deadline.
    void SetJobOptions(const JobOptions& options);
    JobOptions GetJobOptions() const;
    // Asks the selected cameras (the window selects every listed one, as the original's check does).
    void OnCheckVersion(const JobInputs& inputs);
    void OnResetDefault(const JobInputs& inputs);
    void OnAutoChangeIp(const JobInputs& inputs);
    // The addresses "Auto Change IP" would give so many cameras at the factory address from the
    // range as typed, in turn, before any probe (one that answers on the segment is skipped as
    // well); none for a camera the range has no address left for. The failure says why the range
    // can hand out nothing, as pressing the button would.
    Result<std::vector<std::optional<Ipv4>>> PlanAutoIp(const std::string& startText, const std::string& endText,
                                                        std::size_t cameras) const;
    // The window has shown its "Search Firmware" chooser: nothing when it was cancelled.
    void OnBrowseFile(const std::optional<std::string>& chosenPath);
    // The operator typed in the path box: the model and version boxes follow what it names.
    void OnFirmwarePathEdited(const std::string& path);
    // The credentials dialog: what it shows at start, and its confirmation (false when the
    // login cannot be stored; the login fields then stay as they were).
    StoredLogin LoadStoredLogin();
    bool OnSet(const StoredLogin& confirmed);
    // Account presets: row 0 "root", row 1 "admin", each stored as the login chosen; any other
    // row changes nothing.
    void OnAccountSelChange(int row);
    // Closing: wakes and joins every thread before the table is freed. Safe to call twice.
    void OnCancel();
    // Ends the running job now (waits cut short, transfers aborted, moved cameras sent home or
    // journalled) and joins its threads; the list stays, and no job starts afterwards.
    void StopWorkflows();
    // The same without waiting: the job ends on its own thread, within its bounds.
    void RequestStop();
    // How many cameras an earlier run left away were still not seen home by the start-up.
    std::size_t StillAwayAtStart() const { return m_stillAwayAtStart.load(); }
    // The journal's cameras away from home that this run may act on, and forgetting them (all, or
    // the one of mac): a camera that left the bench is then no longer sent home.
    std::vector<PendingRestore> AwayFromHome() const { return m_journal.AwayFromHome(); }
    Result<std::size_t> ForgetAway(const std::optional<Mac>& mac) { return m_journal.Forget(mac); }

    void EnableControls(bool enable);
    // The cameras seen on the chosen card: the list, the table, the receiver, the cards.
    DiscoverySession& Discovery() { return m_discovery; }
    const DiscoverySession& Discovery() const { return m_discovery; }
    unsigned CodePage() const { return m_nOemCodePage; }
    // True while "Starting Upgrade" is disabled: the list then refuses selection and sorting.
    bool IsBusy() const { return m_busy.load(); }

    // The threads the jobs run on: whether one runs, and waiting for or joining them (a job that
    // starts another runs on).
    Workers& Threads() { return m_runner.Threads(); }
    const Workers& Threads() const { return m_runner.Threads(); }
    std::size_t WorkerThreads() const; // threads started and not yet joined, the job's pool too
    // Why the last workflow button did nothing (no camera, an unreadable image); empty when it ran.
    Text LastRefusal() const;
    // What the start-up found pending from an earlier run and put right, one line each.
    const std::vector<Text>& Replayed() const { return m_replayed; }
    // Which functions cannot work for want of a capability, in one line; empty when none.
    const Text& RightsNote() const { return m_rightsNote; }
    // What the jobs of this run made of each camera: phases, outcomes, facts, the progress line.
    FleetView& Fleet() { return m_fleet; }
    const FleetView& Fleet() const { return m_fleet; }
    // The records of the current or last job; they are also appended to its file as cameras end.
    const JobRecords& Records() const { return m_records; }
    // The list as it stands (its five columns, then model and version where known) as CSV; false
    // when the file cannot be written.
    bool ExportListCsv(const std::string& path) const;

private:
    // Job threads (JobThreads.cpp).
    bool beginWorkflow();
    // Gives the busy state back when a job ends before any camera was touched, and says why.
    void endWorkflowUnstarted(const Text& why = {});
    // A workflow button: takes the busy state at the press and runs the job on a thread of its own,
    // which takes the card and then makes the request (an empty one ended the job and said why).
    void startJob(const std::string& card, std::function<std::shared_ptr<JobRequest>()> make);
    void startJob(const std::shared_ptr<JobRequest>& request);
    void startPress(Press press);

    // Start-up (TarnDlg.cpp).
    void startReceiver();
    // Removes the routes an earlier run left behind, and says which of its cameras a job must
    // send home (none when there are none).
    std::shared_ptr<JobRequest> leftovers();
    void showStartNote();
    void showStoredLogin();
    // A camera's reply, whatever the receiver's mode: a running job may wait to see it.
    void sighted(const DeviceReply& reply);

    // Jobs: what a press turns into, and what runs around them (JobRun.cpp).
    // What a press fixes of the list, the journal and the card; nothing while a job runs or after closing.
    std::optional<Press> press(Workflow workflow, const JobInputs& inputs) const;
    JobAdapter jobAdapter() const;
    Result<AddressRange> autoIpRange(const std::string& startText, const std::string& endText) const;
    // An upgrade's request, with its image read once here; a failure is said to the operator and
    // ends the job unstarted.
    std::shared_ptr<JobRequest> upgradeRequest(const Press& press);
    // Whether a job made of request begins at all.
    bool admit(JobRequest& request);
    void prologue(const JobRequest& request);
    void epilogue(const JobRequest& request, const JobSummary& summary);
    void onJobEvent(const JobRequest& request, const Target& camera, const JobEvent& event);
    // Starts the job's file of records; when it cannot be written the operator hears of it.
    void beginRecords(Workflow workflow);
    CameraRecord recordOf(const JobRequest& request, const Target& camera, const CameraOutcome& outcome) const;
    // What a homecoming found, for the start's note and the console (Homecoming.cpp).
    void reportHomecoming(const JobRequest& request);
    // Waits for the start-up's search and takes the cameras it does not show out of the
    // homecoming, for a later start; true when none is left (the job then ends unstarted).
    bool leaveAbsent(JobRequest& request);

    TarnWindow& m_window;
    Clock& m_clock;
    Platform m_platform;
    CameraNetwork& m_network;
    DiscoverySession m_discovery;
    StopRequested m_stop; // the clock's interrupt, handed to every network call that waits
    RestoreJournal m_journal;
    JobRecords m_records;
    LinkLocalDetours m_detours;
    AdapterSnapshot m_card; // the card as the running job found it
    std::atomic<bool> m_allowOtherModels{false};
    FleetView m_fleet;
    JobOptions m_jobOptions; // guarded by m_jobLock
    std::vector<Text> m_replayed;
    std::atomic<std::size_t> m_stillAwayAtStart{0};
    std::vector<Target> m_absentAtStart; // journalled cameras the start-up's search did not show
    Text m_rightsNote;
    std::vector<Text> m_loginNotes; // what loading the stored login had to say
    unsigned m_nOemCodePage = 437;
    std::atomic<bool> m_busy{false};
    mutable std::mutex m_jobLock;      // guards the options, the refusal and the cancellation
    Text m_lastRefusal;                // guarded by m_jobLock
    std::atomic<bool> m_closed{false}; // no workflow starts any more
    bool m_cancelled = false;          // OnCancel has run
    // Last, so that its threads are joined before anything they use is gone.
    JobRunner m_runner;
};
