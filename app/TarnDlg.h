#pragma once

#include <atomic>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/CameraNetwork.h"
#include "app/JobRecords.h"
#include "app/RestoreJournal.h"
#include "app/SettingsFile.h"
#include "app/StatusTexts.h"
#include "app/TarnWindow.h"
#include "app/WorkerTicket.h"
#include "discovery/DatagramIntake.h"
#include "discovery/DeviceSort.h"
#include "discovery/DeviceTable.h"
#include "discovery/ListModel.h"
#include "discovery/Receiver.h"
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
    std::size_t threadLimit = 0; // for tests: thread creation fails past this many running workers
};

// The netmask of an address's class: 1-125, 128-190 and 192-222; nothing for other first octets.
std::optional<Ipv4> ClassMaskFor(std::uint8_t firstOctet);

// Bounds that keep a workflow from waiting for ever on a camera or a network that stays silent.
inline constexpr int kMaxLinkLocalMoves = 3;
inline constexpr int kMaxReconnectProbes = 10;
inline constexpr int kMaxArpCandidates = 64;

// The two set-network commands that move a camera for a job differ in mask and gateway.
enum class DetourKind { Upgrade, VersionCheck };
// Whether an upgrade flashes, or only asks each camera and says what it would do.
enum class UpgradeMode { Flash, DryRun };
// What a camera last said of itself: its model and firmware version.
struct CameraFacts {
    std::string model;
    std::string version;
};
// What the closing part of a job puts back.
enum class JobClosing { RestoreAdapter, KeepAdapter };

// The main dialog's shared state and handlers, without any window framework.
class Detour;

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
    // The workflow buttons; each returns at once and runs its work on threads of its own.
    void OnStartUpgrade(UpgradeMode mode = UpgradeMode::Flash);
    // The model guard: an image made for another model than the camera reports is not flashed,
    // unless the operator lifts the guard (for the next jobs, until it is set again).
    void SetAllowOtherModels(bool allow) { m_allowOtherModels = allow; }
    bool AllowOtherModels() const { return m_allowOtherModels.load(); }
    void OnCheckVersion();
    void OnResetDefault();
    void OnAutoChangeIp();
    // The window has shown its "Search Firmware" chooser: nothing when it was cancelled.
    void OnBrowseFile(const std::optional<std::string>& chosenPath);
    // The operator typed in the path box: the model and version boxes follow what it names.
    void OnFirmwarePathEdited(const std::string& path);
    // The credentials dialog: what it shows at start, and its confirmation (false when the
    // file cannot be written; the login fields then stay as they were).
    StoredLogin LoadStoredLogin() const;
    bool OnSet(const StoredLogin& confirmed);
    // Account presets: row 0 "root", row 1 "admin"; any other row changes nothing.
    void OnAccountSelChange(int row);
    // Closing: wakes and joins every thread before the table is freed. Safe to call twice.
    void OnCancel();
    // Ends every running workflow now (waits cut short, transfers aborted, moved cameras sent home
    // or journalled) and joins its threads; the list stays, and no workflow starts afterwards.
    void StopWorkflows();

    void EnableControls(bool enable);
    // True while "Starting Upgrade" is disabled: the list then refuses selection and sorting.
    bool IsBusy() const { return m_busy.load(); }
    void SetReceiverMode(int mode);
    int ReceiverModeValue() const { return m_receiverMode.load(); }

    ListModel& List() { return m_listDevices; }
    DeviceTable* Table() { return m_table.get(); } // g_pDeviceList: null before start-up and after closing
    // The receive side without a socket, for replies that tests deliver; null before start-up.
    DatagramIntake* Intake() { return m_intake.get(); }
    bool IsFailed(int row) const;
    const HostAdapterList& Adapters() const { return m_adapters; }
    int AdapterIndex() const { return m_nAdapterIndex; }
    const HostAdapter* ChosenAdapter() const;
    unsigned CodePage() const { return m_nOemCodePage; }
    bool ReceiverRunning() const { return m_receiver && m_receiver->Running(); }
    const std::string& ReceiverError() const { return m_receiverError; }
    const ReceiverStats* Stats() const { return m_receiver ? &m_receiver->Stats() : nullptr; }

    // The camera's web page address for a double-click.
    static std::string WebPageUrl(const DeviceInfo& d);

    // Adapter configuration saved before a workflow and written back after it.
    void SaveAdapterConfig();
    // True when writing the saved configuration back changed the adapter.
    bool RestoreAdapterConfig();
    const std::optional<AdapterConfig>& SavedAdapterConfig() const { return m_savedConfig; }
    std::string ReconnectAddress() const;
    // Joins every workflow thread that has finished or, with wait, every one.
    void JoinWorkers(bool wait);
    bool WorkflowRunning() const;
    std::size_t WorkerThreads() const; // threads started and not yet joined
    // Why the last workflow button did nothing (no camera, an unreadable image); empty when it ran.
    std::string LastRefusal() const;
    // What the start-up found pending from an earlier run and put right, one line each.
    const std::vector<std::string>& Replayed() const { return m_replayed; }
    // Which functions cannot work for want of a capability, in one line; empty when none.
    const std::string& RightsNote() const { return m_rightsNote; }
    // The model and version a camera reported in this run, if it did.
    std::optional<CameraFacts> Facts(const Mac& mac) const;
    // The records of the current or last job; they are also appended to its file as cameras end.
    const JobRecords& Records() const { return m_records; }
    // The list as it stands (its five columns, then model and version where known) as CSV; false
    // when the file cannot be written.
    bool ExportListCsv(const std::string& path) const;

private:
    friend class Detour;
    struct Job; // what the workers of one upgrade share
    struct Worker {
        std::thread thread;
        bool finished = false;
    };
    using Prepare = std::function<void(DeviceInfo&)>;
    using Work = std::function<void(WorkerTicket&)>;

    // Worker pool (WorkerPool.cpp).
    bool startThread(std::function<void()> work);
    void reapFinished();
    bool beginWorkflow();
    // Gives the busy state back when a launcher ends before any camera was touched, and says why.
    void endWorkflowUnstarted(const std::string& why = {});
    // A workflow button: takes the busy state at the press and runs work on a thread of its own.
    void startWorkflow(std::function<void()> work);
    // Turns the selected rows into busy records and starts one worker each; false when no row had
    // a record. prepare runs under the table's lock for each record before any worker starts.
    bool launchWorkers(const std::vector<int>& rows, const Prepare& prepare, const Work& work,
                       const WorkerTicket::Closing& closing);

    // Receiver and start-up (TarnDlg.cpp).
    void startReceiver();
    void stopReceiver();
    // Sends home the cameras and removes the routes that an earlier run left behind.
    void replayJournal();

    // Steps every workflow shares (CameraSteps.cpp).
    CameraAddress cameraAddress(const std::string& host, int port) const;
    RequestResult queryWithRetries(const CameraAddress& camera, FirmwareInfo& info);
    void setStatus(int row, const std::string& text);
    void setStatus(int row, const StatusText& status);
    void markFailed(DeviceInfo* record, int row, bool failed);
    void fail(DeviceInfo* record, int row, const std::string& text);
    void rememberFacts(const Mac& mac, const FirmwareInfo& info);
    // Starts the job's file of records; when it cannot be written the operator hears of it.
    void beginRecords(const std::string& workflow);
    // A record begun with what is known of the camera now; the worker fills in the rest.
    CameraRecord recordOf(const DeviceInfo& d) const;
    // Completes the record with the row's final Status and writes it.
    void appendRecord(CameraRecord record, int row);

    // Link-local detour (LinkLocalDetour.cpp).
    enum class Claim { Claimed, NoFreeAddress, CannotProbe, Interrupted };
    bool ensureLinkLocalRoute();
    void removeLinkLocalRoute();
    // An address no other camera of this run has been given, probed free on the segment.
    Claim claimLinkLocal(std::string& address);
    void sendSetNetwork(const SetNetworkCommand& command);
    SetNetworkCommand detourCommand(const DeviceInfo& d, const std::string& linkLocal, DetourKind kind) const;
    SetNetworkCommand restoreCommand(const DeviceInfo& snapshot, DetourKind kind) const;
    // Moves the camera for its job; when that cannot be done, marks it failed with the reason.
    bool moveOrFail(Detour& detour, DeviceInfo* record, int row);
    // The addresses that more than one listed camera reports: such cameras are told apart by MAC.
    std::set<Ipv4> sharedAddresses() const;

    // Adapter snapshot and the closing part of a job (AdapterSnapshot.cpp).
    void awaitReconnect();
    // Run by exactly one thread per job: adapter back, route gone, window free.
    void finishJob(JobClosing closing);
    // A camera left at its link-local address for the journal to send home at the next start.
    void noteCameraAway();

    // The workflows, one file each.
    void upgradeLauncher(const std::string& firmwarePath, UpgradeMode mode);
    void upgradeWorker(WorkerTicket& ticket, Job& job);
    JobEnding upgradeCamera(WorkerTicket& ticket, Job& job, const DeviceInfo& snapshot, Detour& detour,
                            CameraRecord& record);
    void versionCheckWorker();
    // Asks one camera, with a detour where needed; its model and version when it gave them.
    std::optional<FirmwareInfo> checkOne(DeviceInfo* record, int row, const DeviceInfo& d, bool shared,
                                         FirmwareInfo& info);
    // The camera's answer at its link-local address, when it gave model and version there.
    std::optional<FirmwareInfo> versionCheckDetour(DeviceInfo* record, int row, const CameraAddress& login,
                                                   bool shared);
    void resetLauncher();
    void resetWorker(WorkerTicket& ticket, const std::set<Ipv4>& shared);
    // True when the camera accepted the reset.
    bool resetCamera(WorkerTicket& ticket, const std::set<Ipv4>& shared, const DeviceInfo& d);
    void autoChangeIpWorker();

    TarnWindow& m_window;
    Clock& m_clock;
    Platform m_platform;
    CameraNetwork& m_network;
    StopRequested m_stop; // the clock's interrupt, handed to every network call that waits
    RestoreJournal m_journal;
    JobRecords m_records;
    std::atomic<bool> m_allowOtherModels{false};
    mutable std::mutex m_factsLock;
    std::map<Mac, CameraFacts> m_facts;
    std::vector<std::string> m_replayed;
    std::string m_rightsNote;
    unsigned m_nOemCodePage = 437;
    ListModel m_listDevices;
    std::unique_ptr<DeviceTable> m_table;
    HostAdapterList m_adapters;
    int m_nAdapterIndex = -1;
    std::atomic<int> m_receiverMode{kReceiverRun}; // g_nReceiverMode
    std::mutex m_entryLock;
    ReceiverStats m_intakeStats;
    std::unique_ptr<DatagramIntake> m_intake;
    std::unique_ptr<Receiver> m_receiver;
    std::string m_receiverError;
    SortState m_sort;
    std::atomic<bool> m_busy{false};
    std::recursive_mutex m_csWork;
    std::minstd_rand m_random{0};              // drawn only under m_csWork
    std::set<std::string> m_linkLocalAssigned; // every address handed out in this run
    unsigned m_routeAddedOn = 0;               // the interface whose link-local route this job added; 0 for none
    std::optional<AdapterConfig> m_savedConfig;
    mutable std::mutex m_reconnectLock;
    std::string m_reconnectAddress;
    mutable std::mutex m_workersLock;
    std::list<Worker> m_workers;
    std::atomic<int> m_runningWorkers{0};
    std::string m_lastRefusal;         // guarded by m_workersLock
    int m_awayCameras = 0;             // cameras this job left at link-local addresses; guarded by m_workersLock
    std::atomic<bool> m_closed{false}; // no workflow starts any more
    bool m_cancelled = false;          // OnCancel has run
};
