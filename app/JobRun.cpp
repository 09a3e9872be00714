// The workflow buttons: what a front end hands in at the press becomes a job request, which a
// thread of the job's own makes and runs.
#include <algorithm>
#include <chrono>
#include <iterator>
#include <map>

#include "app/RangeText.h"
#include "app/TarnDlg.h"
#include "util/Trace.h"
#include "webops/OperatorMessages.h"

namespace {

Text noCamera() {
    return Note(QT_TRANSLATE_NOOP("Note", "no camera is selected"));
}

// As the job hands them out, in turn, the range's end never; a probe may skip some more.
std::vector<std::optional<Ipv4>> planOf(const AddressRange& r, std::size_t cameras) {
    std::vector<std::optional<Ipv4>> plan;
    long next = r.start;
    for (std::size_t camera = 0; camera < cameras; ++camera) {
        while (next < r.end &&
               r.taken.contains(Ipv4{r.network[0], r.network[1], r.network[2], static_cast<std::uint8_t>(next)}))
            ++next;
        if (next >= r.end) {
            plan.emplace_back();
            continue;
        }
        plan.emplace_back(Ipv4{r.network[0], r.network[1], r.network[2], static_cast<std::uint8_t>(next++)});
    }
    return plan;
}

} // namespace

void CTarnDlg::OnStartUpgrade(const JobInputs& inputs, UpgradeMode mode) {
    auto p = press(Workflow::Upgrade, inputs);
    if (!p)
        return;
    // With neither cameras nor an image, choosing the image first would still do nothing.
    if (PressTargets(*p).empty())
        return endWorkflowUnstarted(noCamera());
    if (!inputs.image && inputs.firmwarePath.empty()) {
        m_window.MessageBox(Text(GetOperatorMessage(OperatorMessageId::SelectFirmwareFirst, m_nOemCodePage)),
                            Text(GetOperatorMessage(OperatorMessageId::NoFirmwareAssigned, m_nOemCodePage)));
        return;
    }
    p->inputs.firmwarePath = inputs.firmwarePath.substr(0, 1023);
    p->options.dryRun = mode == UpgradeMode::DryRun;
    const std::string card = p->adapter.interfaceName;
    startJob(card, [this, pressed = std::move(*p)] { return upgradeRequest(pressed); });
}

void CTarnDlg::OnCheckVersion(const JobInputs& inputs) {
    if (auto p = press(Workflow::CheckVersion, inputs))
        startPress(std::move(*p));
}

void CTarnDlg::OnResetDefault(const JobInputs& inputs) {
    auto p = press(Workflow::Reset, inputs);
    if (!p)
        return;
    if (PressTargets(*p).empty())
        return endWorkflowUnstarted(noCamera());
    startPress(std::move(*p));
}

void CTarnDlg::OnAutoChangeIp(const JobInputs& inputs, const ConfirmPlan& confirm) {
    auto p = press(Workflow::AutoIp, inputs);
    if (!p)
        return;
    auto range = autoIpRange(inputs.rangeStart, inputs.rangeEnd);
    if (!range) {
        m_window.MessageBox(Note(QT_TRANSLATE_NOOP("Note", "Nothing was sent: %1."), {range.Said()}),
                            Note(QT_TRANSLATE_NOOP("Note", "Auto Change IP")));
        m_runner.Refused(range.Said());
        return;
    }
    const std::vector<Target> targets = PressTargets(*p);
    if (targets.empty())
        return endWorkflowUnstarted(noCamera());
    if (confirm) {
        const auto atFactory =
            std::count_if(targets.begin(), targets.end(), [](const Target& t) { return t.ip == kFactoryAddress; });
        if (!confirm(planOf(range.Value(), static_cast<std::size_t>(atFactory))))
            return;
    }
    p->range = std::move(range.Value());
    startPress(std::move(*p));
}

Result<AddressRange> CTarnDlg::autoIpRange(const std::string& startText, const std::string& endText) const {
    AddressRange range;
    range.startText = startText;
    range.endText = endText;
    // The leading decimal number of each text, 0 when there is none.
    range.start = RangeTextNumber(startText);
    range.end = RangeTextNumber(endText);
    // Only host numbers of a /24 may be handed out: never its network (.0) or broadcast (.255)
    // address, nor a number whose low byte lands on one.
    if (range.start < 1 || range.end > 254 || range.start > range.end)
        return Failure{EINVAL, Note(QT_TRANSLATE_NOOP("Note", "the range %1~%2 must be host numbers from 1 to 254, "
                                                              "its start not after its end"),
                                    {startText, endText})};
    if (range.start == range.end)
        return Failure{EINVAL, Note(QT_TRANSLATE_NOOP("Note", "the range %1~%2 can hand out no address: its end is "
                                                              "never handed out"),
                                    {startText, endText})};
    if (const auto& saved = m_card.SavedAdapterConfig(); saved && !saved->addresses.empty())
        ParseIpv4(saved->addresses.front(), range.network);
    // Addresses already held: by any listed camera and by the host.
    for (const DeviceInfo& record : m_discovery.Records())
        range.taken.insert(record.ip);
    if (const HostAdapter* adapter = m_discovery.ChosenAdapter(); adapter)
        if (Ipv4 own{}; ParseIpv4(adapter->address, own))
            range.taken.insert(own);
    return range;
}

JobAdapter CTarnDlg::jobAdapter() const {
    const HostAdapter* adapter = m_discovery.ChosenAdapter();
    if (!adapter)
        return {};
    return {adapter->interfaceName, adapter->address, adapter->index, adapter->hardwareAddress};
}

std::optional<Press> CTarnDlg::press(Workflow workflow, const JobInputs& inputs) const {
    if (!m_discovery.IsOpen() || m_runner.Stopped() || m_busy)
        return std::nullopt;
    Press p;
    p.workflow = workflow;
    p.inputs = inputs;
    p.options = m_runner.Options();
    p.listed = m_discovery.Records();
    p.away = m_journal.AwayFromHome();
    p.adapter = jobAdapter();
    return p;
}

std::shared_ptr<JobRequest> CTarnDlg::upgradeRequest(const Press& press) {
    std::shared_ptr<const FirmwareImage> image = press.inputs.image;
    if (!image) {
        auto loaded = FirmwareImage::Load(press.inputs.firmwarePath);
        if (!loaded) {
            m_window.MessageBox(loaded.Said(),
                                Text(GetOperatorMessage(OperatorMessageId::NoFirmwareAssigned, m_nOemCodePage)));
            endWorkflowUnstarted(loaded.Said());
            return nullptr;
        }
        image = std::move(loaded.Value());
    }
    // The cameras are judged by the image that is sent, not by what the window showed of a file.
    m_window.ShowImageFacts(image->header.model, image->header.version);
    return MakeRequest(press, std::move(image));
}

void PressWorkflow(CTarnDlg& dlg, Workflow workflow, const JobInputs& inputs, UpgradeMode mode) {
    switch (workflow) {
    case Workflow::Upgrade:
        dlg.OnStartUpgrade(inputs, mode);
        break;
    case Workflow::CheckVersion:
        dlg.OnCheckVersion(inputs);
        break;
    case Workflow::Reset:
        dlg.OnResetDefault(inputs);
        break;
    case Workflow::AutoIp:
        dlg.OnAutoChangeIp(inputs);
        break;
    case Workflow::Homecoming: // the start-up's own, never pressed
        break;
    }
}
