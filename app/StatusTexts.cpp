#include "app/StatusTexts.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace {

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
    switch (view.phase) {
    case Phase::Uploading:
        return StatusText{"File Uploading...", {}};
    case Phase::Uploaded:
        return StatusText{"File uploaded successfully", {}};
    case Phase::Unanswered:
        return StatusText{"Upload not answered, waiting out its burn: " + std::to_string(view.count) + " Seconds",
                          std::nullopt};
    case Phase::Burning:
        return StatusText{"Upgrade Status... " + std::to_string(view.count) + "%",
                          std::clamp(view.count / 100.0, 0.0, 1.0)};
    case Phase::Rebooting:
        return StatusText{"Wait for " + std::to_string(view.count) + " Seconds", countdownShare(view.count)};
    case Phase::ResetRebooting:
        return StatusText{"System rebooting, please wait for " + std::to_string(view.count) + " Seconds",
                          countdownShare(view.count)};
    case Phase::AwaitingReturn:
        return StatusText{"No answer since the reboot, asking again: " + std::to_string(view.count) + " Seconds left",
                          std::nullopt};
    case Phase::WaitingTurn:
        return StatusText{"Waiting for its turn to upload", std::nullopt};
    case Phase::WaitingWave:
        return StatusText{"Waiting for the first wave", std::nullopt};
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
        return {"UPGRADE SUCCESSFUL", {}};
    case OutcomeKind::UploadFailed:
    case OutcomeKind::WrongVersion:
        return {"Failed to upgrade!", {}};
    case OutcomeKind::DeviceOffline:
        return {"Device offline!", {}};
    // The version check's own texts: no exclamation mark there.
    case OutcomeKind::CheckOffline:
        return {"Device offline", {}};
    case OutcomeKind::CanNotConnect:
        return {"Can not connect", {}};
    case OutcomeKind::VersionRead:
        return {o.versionBefore.value_or(""), {}};
    case OutcomeKind::WifiInterface:
        return {"Wi-Fi interface", {}};
    case OutcomeKind::Unauthorized:
        return {"401 Unauthorized", {}};
    // What the workflows say where the original had nothing to say.
    case OutcomeKind::NoAnswerAfterReboot:
        return {"No answer after the reboot", {}};
    case OutcomeKind::WouldFlash:
        // A camera that runs the image's version already would get the same image again.
        if (o.versionBefore == o.imageVersion)
            return {"Would flash " + o.imageVersion + " again (already runs it)", {}};
        // A downgrade is a choice worth seeing before the real run.
        if (o.versionBefore && OlderVersion(o.imageVersion, *o.versionBefore))
            return {"Would flash " + *o.versionBefore + " -> " + o.imageVersion + ", older than the camera's", {}};
        return {"Would flash " + o.versionBefore.value_or("") + " -> " + o.imageVersion, {}};
    case OutcomeKind::AlreadyCurrent:
        return {"Already at " + o.versionBefore.value_or(o.imageVersion), {}};
    case OutcomeKind::FirstWaveFailed:
        return {"Not flashed: the first wave failed", {}};
    case OutcomeKind::ModelMismatch:
        return {"Model mismatch", {}};
    case OutcomeKind::SharedAddressUnreachable:
        return {"Shares " + o.sharedAddress + ", no answer on its own", {}};
    case OutcomeKind::NoFreeLinkLocal:
        return {"No free link-local address", {}};
    case OutcomeKind::CannotProbe:
        return {"Cannot probe link-local addresses", {}};
    case OutcomeKind::NoWayHome:
        return {"Not moved: its way home cannot be written", {}};
    case OutcomeKind::NotSeenAfterMove:
        return {"Not seen at a link-local address", {}};
    case OutcomeKind::ResetRefused:
        return {"Reset not accepted: " + o.answer, {}};
    case OutcomeKind::NotSeenAtNewAddress:
        return {"Not seen at its new address", {}};
    case OutcomeKind::Home:
        return {"Back at its own address", {}};
    case OutcomeKind::StillAway:
        return {"Still away at " + o.leftAt.value_or("a link-local address"), {}};
    case OutcomeKind::Interrupted:
        // "Interrupted [failed]" hid an image the camera had taken.
        return {o.imageDelivered ? "Interrupted after the upload" : "Interrupted", {}};
    case OutcomeKind::NoWorkerThread:
        return {"Cannot start a worker thread", {}};
    // The re-addressing's verdicts: only the camera's reply from its new address counts.
    case OutcomeKind::AddressSent:
        return {"Seen at its new address", {}};
    case OutcomeKind::RangeUsedUp:
        return {"no free address left in the range", {}};
    // The original left the cell empty; where the camera is back is what the technician needs next.
    case OutcomeKind::ResetAccepted:
        return {o.ipAfter ? "Back at " + *o.ipAfter : std::string("Reset accepted"), {}};
    case OutcomeKind::NotAtFactoryAddress:
    case OutcomeKind::NotStarted:
    case OutcomeKind::Pending:
        break;
    }
    return {};
}

namespace {

// What would give the missing rights, by what the helper's file tells.
std::string rightsRemedy(const NetworkRights& rights) {
    switch (rights.helper) {
    case HelperState::Missing:
        return " (the helper " + rights.helperPath + " is missing; reinstall flashwell, or run as root)";
    case HelperState::NoCapabilities:
    case HelperState::Ready:
        // The package's helper gets its capabilities from the administrator's debconf answer: a
        // setcap by hand would be undone by the next upgrade.
        if (rights.helperPath.rfind("/usr/", 0) == 0)
            return " (the helper " + rights.helperPath +
                   " lacks its capabilities; an administrator gives them with dpkg-reconfigure flashwell, or run "
                   "as root)";
        return " (the helper " + rights.helperPath +
               " lacks its capabilities; setcap cap_net_admin,cap_net_raw+p on it gives them, or run as root)";
    case HelperState::NotPermitted:
        break;
    }
    return " (join group flashwell, or run as root)";
}

} // namespace

std::string MissingRightsNote(const NetworkRights& rights) {
    const std::string remedy = rightsRemedy(rights);
    const std::string detour = "cameras that need a link-local detour are reached only where this computer already "
                               "routes 169.254.0.0/16";
    if (!rights.netAdmin && !rights.netRaw)
        return "No CAP_NET_ADMIN or CAP_NET_RAW: " + detour + remedy;
    if (!rights.netAdmin)
        return "No CAP_NET_ADMIN: " + detour + remedy;
    if (!rights.netRaw)
        return "No CAP_NET_RAW: free link-local addresses are found through the neighbour table instead of ARP, and "
               "pings work only where net.ipv4.ping_group_range allows them" +
               remedy;
    return {};
}
