#include "app/StatusTexts.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace {

// A Status text under its own context in the translator's catalogue.
Text status(const char* pattern, std::vector<Text> args = {}) {
    return Text("Status", pattern, std::move(args));
}

double countdownShare(int secondsLeft) {
    return std::clamp(static_cast<double>(Status::kRebootSeconds - secondsLeft) / Status::kRebootSeconds, 0.0, 1.0);
}

// "V1.25" -> {1, 25}: the numbers after any leading letters, up to the first other character.
std::vector<unsigned long> versionNumbers(const std::string& version) {
    std::vector<unsigned long> numbers;
    std::size_t i = 0;
    while (i < version.size() && std::isalpha(static_cast<unsigned char>(version[i])))
        ++i;
    while (i < version.size() && std::isdigit(static_cast<unsigned char>(version[i]))) {
        unsigned long n = 0;
        for (; i < version.size() && std::isdigit(static_cast<unsigned char>(version[i])) && n < 100000000; ++i)
            n = n * 10 + static_cast<unsigned long>(version[i] - '0');
        numbers.push_back(n);
        if (i + 1 < version.size() && version[i] == '.' && std::isdigit(static_cast<unsigned char>(version[i + 1])))
            ++i;
        else
            break;
    }
    return numbers;
}

} // namespace

bool OlderVersion(const std::string& image, const std::string& camera) {
    // Where either does not read as numbers the tool cannot tell, and says nothing.
    const auto a = versionNumbers(image), b = versionNumbers(camera);
    return !a.empty() && !b.empty() && a < b;
}

std::optional<StatusText> Status::Of(const CameraView& view) {
    const std::string count = std::to_string(view.count);
    switch (view.phase) {
    case Phase::Uploading:
        return StatusText{status(QT_TRANSLATE_NOOP("Status", "File Uploading...")), {}};
    case Phase::Uploaded:
        return StatusText{status(QT_TRANSLATE_NOOP("Status", "File uploaded successfully")), {}};
    case Phase::Unanswered:
        return StatusText{
            status(QT_TRANSLATE_NOOP("Status", "Upload not answered, waiting out its burn: %1 Seconds"), {count}),
            std::nullopt};
    case Phase::Burning:
        return StatusText{status(QT_TRANSLATE_NOOP("Status", "Upgrade Status... %1%"), {count}),
                          std::clamp(view.count / 100.0, 0.0, 1.0)};
    case Phase::Rebooting:
        return StatusText{status(QT_TRANSLATE_NOOP("Status", "Wait for %1 Seconds"), {count}),
                          countdownShare(view.count)};
    case Phase::ResetRebooting:
        return StatusText{status(QT_TRANSLATE_NOOP("Status", "System rebooting, please wait for %1 Seconds"), {count}),
                          countdownShare(view.count)};
    case Phase::AwaitingReturn:
        return StatusText{
            status(QT_TRANSLATE_NOOP("Status", "No answer since the reboot, asking again: %1 Seconds left"), {count}),
            std::nullopt};
    case Phase::WaitingTurn:
        return StatusText{status(QT_TRANSLATE_NOOP("Status", "Waiting for its turn to upload")), std::nullopt};
    case Phase::WaitingWave:
        return StatusText{status(QT_TRANSLATE_NOOP("Status", "Waiting for the first wave")), std::nullopt};
    case Phase::Queued:
    case Phase::Querying:
    case Phase::Moving:
    case Phase::Verifying:
    case Phase::Resetting:
    case Phase::Readdressing:
    case Phase::SendingHome:
    case Phase::Done:
        break;
    }
    return std::nullopt;
}

StatusText Status::Of(const CameraOutcome& o) {
    switch (o.kind) {
    // The English texts of operator messages 6, 12 and 14.
    case OutcomeKind::Upgraded:
        return {status(QT_TRANSLATE_NOOP("Status", "UPGRADE SUCCESSFUL")), {}};
    case OutcomeKind::UploadFailed:
    case OutcomeKind::WrongVersion:
        return {status(QT_TRANSLATE_NOOP("Status", "Failed to upgrade!")), {}};
    case OutcomeKind::DeviceOffline:
        return {status(QT_TRANSLATE_NOOP("Status", "Device offline!")), {}};
    // The version check's own texts: no exclamation mark there.
    case OutcomeKind::CheckOffline:
        return {status(QT_TRANSLATE_NOOP("Status", "Device offline")), {}};
    case OutcomeKind::CanNotConnect:
        return {status(QT_TRANSLATE_NOOP("Status", "Can not connect")), {}};
    case OutcomeKind::VersionRead:
        return {Text(o.versionBefore.value_or("")), {}};
    case OutcomeKind::WifiInterface:
        return {status(QT_TRANSLATE_NOOP("Status", "Wi-Fi interface")), {}};
    case OutcomeKind::Unauthorized:
        return {status(QT_TRANSLATE_NOOP("Status", "401 Unauthorized")), {}};
    // What the workflows say where the original had nothing to say.
    case OutcomeKind::NoAnswerAfterReboot:
        return {status(QT_TRANSLATE_NOOP("Status", "No answer after the reboot")), {}};
    case OutcomeKind::WouldFlash:
        // A camera that runs the image's version already would get the same image again.
        if (o.versionBefore == o.imageVersion)
            return {status(QT_TRANSLATE_NOOP("Status", "Would flash %1 again (already runs it)"), {o.imageVersion}),
                    {}};
        // A downgrade is a choice worth seeing before the real run.
        if (o.versionBefore && OlderVersion(o.imageVersion, *o.versionBefore))
            return {status(QT_TRANSLATE_NOOP("Status", "Would flash %1 -> %2, older than the camera's"),
                           {*o.versionBefore, o.imageVersion}),
                    {}};
        return {
            status(QT_TRANSLATE_NOOP("Status", "Would flash %1 -> %2"), {o.versionBefore.value_or(""), o.imageVersion}),
            {}};
    case OutcomeKind::AlreadyCurrent:
        return {status(QT_TRANSLATE_NOOP("Status", "Already at %1"), {o.versionBefore.value_or(o.imageVersion)}), {}};
    case OutcomeKind::FirstWaveFailed:
        return {status(QT_TRANSLATE_NOOP("Status", "Not flashed: the first wave failed")), {}};
    case OutcomeKind::ModelMismatch:
        return {status(QT_TRANSLATE_NOOP("Status", "Model mismatch")), {}};
    case OutcomeKind::SharedAddressUnreachable:
        return {status(QT_TRANSLATE_NOOP("Status", "Shares %1, no answer on its own"), {o.sharedAddress}), {}};
    case OutcomeKind::NoFreeLinkLocal:
        return {status(QT_TRANSLATE_NOOP("Status", "No free link-local address")), {}};
    case OutcomeKind::CannotProbe:
        return {status(QT_TRANSLATE_NOOP("Status", "Cannot probe link-local addresses")), {}};
    case OutcomeKind::NoWayHome:
        return {status(QT_TRANSLATE_NOOP("Status", "Not moved: its way home cannot be written")), {}};
    case OutcomeKind::NotSeenAfterMove:
        return {status(QT_TRANSLATE_NOOP("Status", "Not seen at a link-local address")), {}};
    case OutcomeKind::ResetRefused:
        return {status(QT_TRANSLATE_NOOP("Status", "Reset not accepted: %1"), {o.answer}), {}};
    case OutcomeKind::NotSeenAtNewAddress:
        return {status(QT_TRANSLATE_NOOP("Status", "Not seen at its new address")), {}};
    case OutcomeKind::Home:
        return {status(QT_TRANSLATE_NOOP("Status", "Back at its own address")), {}};
    case OutcomeKind::StillAway:
        if (!o.leftAt)
            return {status(QT_TRANSLATE_NOOP("Status", "Still away at a link-local address")), {}};
        return {status(QT_TRANSLATE_NOOP("Status", "Still away at %1"), {*o.leftAt}), {}};
    case OutcomeKind::Interrupted:
        // "Interrupted [failed]" hid an image the camera had taken.
        return {o.imageDelivered ? status(QT_TRANSLATE_NOOP("Status", "Interrupted after the upload"))
                                 : status(QT_TRANSLATE_NOOP("Status", "Interrupted")),
                {}};
    case OutcomeKind::NoWorkerThread:
        return {status(QT_TRANSLATE_NOOP("Status", "Cannot start a worker thread")), {}};
    // The re-addressing's verdicts: only the camera's reply from its new address counts.
    case OutcomeKind::AddressSent:
        return {status(QT_TRANSLATE_NOOP("Status", "Seen at its new address")), {}};
    case OutcomeKind::RangeUsedUp:
        return {status(QT_TRANSLATE_NOOP("Status", "no free address left in the range")), {}};
    // The original left the cell empty; where the camera is back is what the technician needs next.
    case OutcomeKind::ResetAccepted:
        return {o.ipAfter ? status(QT_TRANSLATE_NOOP("Status", "Back at %1"), {*o.ipAfter})
                          : status(QT_TRANSLATE_NOOP("Status", "Reset accepted")),
                {}};
    case OutcomeKind::NotAtFactoryAddress:
    case OutcomeKind::NotStarted:
    case OutcomeKind::Pending:
        break;
    }
    return {};
}

namespace {

Text note(const char* pattern, std::vector<Text> args = {}) {
    return Text("Note", pattern, std::move(args));
}

// What would give the missing rights, by what the helper's file tells.
Text rightsRemedy(const NetworkRights& rights) {
    switch (rights.helper) {
    case HelperState::Missing:
        return note(QT_TRANSLATE_NOOP("Note", "the helper %1 is missing; reinstall flashwell, or run as root"),
                    {rights.helperPath});
    case HelperState::NoCapabilities:
    case HelperState::Ready:
        // The package's helper gets its capabilities from the administrator's debconf answer: a
        // setcap by hand would be undone by the next upgrade.
        if (rights.helperPath.rfind("/usr/", 0) == 0)
            return note(QT_TRANSLATE_NOOP("Note", "the helper %1 lacks its capabilities; an administrator gives them "
                                                  "with dpkg-reconfigure flashwell, or run as root"),
                        {rights.helperPath});
        return note(QT_TRANSLATE_NOOP("Note",
                                      "the helper %1 lacks its capabilities; setcap cap_net_admin,cap_net_raw+p "
                                      "on it gives them, or run as root"),
                    {rights.helperPath});
    case HelperState::NotPermitted:
        break;
    }
    return note(QT_TRANSLATE_NOOP("Note", "join group flashwell, or run as root"));
}

} // namespace

Text MissingRightsNote(const NetworkRights& rights) {
    const Text remedy = rightsRemedy(rights);
    if (!rights.netAdmin && !rights.netRaw)
        return note(QT_TRANSLATE_NOOP("Note",
                                      "No CAP_NET_ADMIN or CAP_NET_RAW: cameras that need a link-local detour "
                                      "are reached only where this computer already routes 169.254.0.0/16 (%1)"),
                    {remedy});
    if (!rights.netAdmin)
        return note(QT_TRANSLATE_NOOP("Note",
                                      "No CAP_NET_ADMIN: cameras that need a link-local detour are reached only "
                                      "where this computer already routes 169.254.0.0/16 (%1)"),
                    {remedy});
    if (!rights.netRaw)
        return note(QT_TRANSLATE_NOOP("Note", "No CAP_NET_RAW: free link-local addresses are found through the "
                                              "neighbour table instead of ARP, and pings work only where "
                                              "net.ipv4.ping_group_range allows them (%1)"),
                    {remedy});
    return {};
}
