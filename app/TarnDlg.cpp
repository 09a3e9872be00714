#include "app/TarnDlg.h"

#include <cstdio>

#include "app/Language.h"
#include "discovery/DeviceRows.h"
#include "discovery/WireProtocol.h"
#include "engine/FirmwareHeader.h"
#include "util/Trace.h"
#include "util/Utf8.h"

namespace {

std::shared_ptr<CameraNetwork> orSystem(std::shared_ptr<CameraNetwork> network) {
    return network ? std::move(network) : std::make_shared<SystemCameraNetwork>();
}

} // namespace

CTarnDlg::CTarnDlg(TarnWindow& window, Clock& clock, Platform platform)
    : m_window(window), m_clock(clock), m_platform(std::move(platform)),
      m_network(*(m_platform.network = orSystem(std::move(m_platform.network)))),
      m_discovery(m_network, m_platform.listen), m_stop([&clock] { return clock.Interrupted(); }),
      m_journal(m_platform.stateFolder), m_detours(m_network, m_journal, m_stop),
      m_card(m_network, m_detours, m_platform.resolvConf), m_fleet(m_platform.recordsFolder),
      m_homecoming({m_network, m_journal, m_discovery, m_fleet, m_window, m_clock}),
      m_frames({m_window, m_discovery, m_fleet, m_card, m_homecoming, [this](bool enable) { EnableControls(enable); },
                [this](const Text& why) { endWorkflowUnstarted(why); }}),
      m_runner({m_network, m_detours, m_clock, m_platform.threadLimit}, m_platform.lockScope) {
    m_runner.SetAround({
        [this](const Text& why) { endWorkflowUnstarted(why); },
        [this](JobRequest& request) { return m_frames.Admit(request); },
        [this](const JobRequest& request) { m_frames.Before(request); },
        [this](const JobRequest& request, const Target& camera, const JobEvent& event) {
            m_frames.Event(request, camera, event);
        },
        [this](const JobRequest& request, const JobSummary& summary) { m_frames.After(request, summary); },
    });
    if (!m_platform.codePage)
        m_platform.codePage = OemCodePageFromLocale;
}

CTarnDlg::~CTarnDlg() {
    OnCancel();
}

void CTarnDlg::OnInitDialog(std::optional<int> adapterChoice) {
    m_nOemCodePage = m_platform.codePage();
    m_window.ApplyLanguage(m_nOemCodePage);
    showStoredLogin();
    m_window.ShowRange(kDefaultRangeStart, kDefaultRangeEnd);
    m_discovery.Open(m_platform.readAdapters ? m_platform.readAdapters() : std::vector<AdapterData>{}, adapterChoice,
                     [this](const DeviceReply& reply) { m_runner.Sighted(reply.mac, reply.ip); });
    std::vector<std::string> descriptions;
    for (const HostAdapter& a : m_discovery.Adapters().adapters)
        descriptions.push_back(a.description);
    m_window.SetAdapterList(descriptions, m_discovery.AdapterIndex());

    m_runner.RightsNote(); // asked once, before anything needs a capability
    auto homecoming = m_homecoming.Leftovers(jobAdapter());
    startReceiver();
    OnSearch();
    showStartNote();
    // The cameras an earlier run left away go home first, each seen home before its entry goes.
    if (homecoming)
        startJob(homecoming->adapter.interfaceName, [homecoming] { return homecoming; });
}

void CTarnDlg::showStartNote() {
    std::vector<Text> parts;
    // What cannot work comes first: it holds for every job of this run.
    if (const Text& rights = m_runner.RightsNote(); !rights.empty())
        parts.push_back(rights);
    parts.insert(parts.end(), m_loginNotes.begin(), m_loginNotes.end());
    if (const std::vector<Text>& replayed = m_homecoming.Replayed(); !replayed.empty())
        parts.push_back(Note(QT_TRANSLATE_NOOP("Note", "At start-up: %1"),
                             {Joined(replayed, "Note", QT_TRANSLATE_NOOP("Note", "%1; %2"))}));
    if (!parts.empty())
        m_window.ShowNote(Joined(parts, "Note", QT_TRANSLATE_NOOP("Note", "%1. %2")), NoteKind::StartUp);
}

void CTarnDlg::startReceiver() {
    if (!m_discovery.StartReceiver() && m_discovery.ReceiverError() == "Create Rx Thread error!")
        m_window.MessageBox(Note(QT_TRANSLATE_NOOP("Note", "Create Rx Thread error!")),
                            Note(QT_TRANSLATE_NOOP("Note", "MSG")));
}

void CTarnDlg::EnableControls(bool enable) {
    m_busy = !enable;
    m_window.ControlsEnabled(enable);
    if (enable)
        m_window.DeselectAll();
}

void CTarnDlg::OnSearch() {
    // Search empties the table, which would free records under a running workflow.
    if (!m_discovery.IsOpen() || m_busy)
        return;
    EnableControls(false);
    m_window.ClearDetailPanel();
    m_discovery.Search();
    EnableControls(true);
}

void CTarnDlg::OnAdapterSelChange(int row) {
    if (m_busy || !m_discovery.IsOpen() || m_runner.Stopped())
        return;
    m_discovery.ChooseAdapter(row);
    startReceiver();
}

void CTarnDlg::OnListColumnClick(int column) {
    if (!m_busy)
        m_discovery.SortBy(column);
}

void CTarnDlg::OnListDblClk(int row) {
    // A copy: the record may be refreshed by the receiver while the address is formed.
    if (auto d = m_discovery.CopyAt(row))
        m_window.OpenUrl(WebPageUrl(*d));
}

void CTarnDlg::OnCancel() {
    {
        std::lock_guard guard(m_cancelLock);
        if (m_cancelled)
            return;
        m_cancelled = true;
    }
    m_runner.Stop();
    m_runner.Threads().JoinAll();
    // Every thread is joined before the table goes.
    EnableControls(false);
    m_discovery.Close();
    m_window.ClearDetailPanel();
    EnableControls(true);
}

void CTarnDlg::OnBrowseFile(const std::optional<std::string>& chosenPath) {
    // Cancelling empties the path box but keeps the model and version shown before.
    const std::string path = chosenPath.value_or("");
    m_window.ShowFirmwarePath(path);
    if (path.empty())
        return;
    if (auto header = ReadFirmwareHeader(path))
        m_window.ShowImageFacts(header->model, header->version);
}

void CTarnDlg::OnFirmwarePathEdited(const std::string& path) {
    // The boxes show the image the path names, or nothing: never the model of another file.
    auto header = ReadFirmwareHeader(path);
    m_window.ShowImageFacts(header ? header->model : "", header ? header->version : "");
}

void CTarnDlg::showStoredLogin() {
    std::optional<StoredLogin> stored;
    if (m_platform.logins) {
        LoginStore::Loaded loaded = m_platform.logins->Load();
        stored = std::move(loaded.login);
        m_loginNotes = std::move(loaded.notes);
    }
    m_window.ShowLogin(stored ? Login{stored->user, stored->password} : Login{"root", "qnwt"});
}

bool CTarnDlg::OnSet(const AskLogin& ask) {
    // Without a store the dialog still opens, on an empty login, and what it confirms is not kept.
    const StoredLogin stored =
        m_platform.logins ? m_platform.logins->Load().login.value_or(StoredLogin{}) : StoredLogin{};
    const std::optional<StoredLogin> confirmed = ask(stored);
    return confirmed && storeLogin(*confirmed);
}

bool CTarnDlg::storeLogin(const StoredLogin& confirmed) {
    if (!m_platform.logins)
        return false;
    const LoginStore::Saved saved = m_platform.logins->Save(confirmed);
    for (const Text& note : saved.notes)
        m_window.ShowNote(note, NoteKind::Job);
    if (!saved.ok)
        return false;
    m_window.ShowLogin({confirmed.user, confirmed.password});
    return true;
}

void CTarnDlg::OnAccountSelChange(int row) {
    static const StoredLogin presets[] = {{"root", "qnwt"}, {"admin", "bzfhk"}};
    if (row < 0 || row > 1)
        return;
    // What the fields show is what is stored: a preset is the login chosen from now on.
    if (!m_platform.logins || !storeLogin(presets[row]))
        m_window.ShowLogin({presets[row].user, presets[row].password});
}
