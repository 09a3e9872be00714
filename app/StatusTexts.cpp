#include "app/StatusTexts.h"

#include <algorithm>

namespace {

double countdownShare(int secondsLeft) {
    return std::clamp(static_cast<double>(Status::kRebootSeconds - secondsLeft) / Status::kRebootSeconds, 0.0, 1.0);
}

} // namespace

StatusText Status::UpgradeProgress(int percent) {
    return {"Upgrade Status... " + std::to_string(percent) + "%", std::clamp(percent / 100.0, 0.0, 1.0)};
}

StatusText Status::RebootWait(int secondsLeft) {
    return {"Wait for " + std::to_string(secondsLeft) + " Seconds", countdownShare(secondsLeft)};
}

StatusText Status::ResetCountdown(int secondsLeft) {
    return {"System rebooting, please wait for " + std::to_string(secondsLeft) + " Seconds",
            countdownShare(secondsLeft)};
}

std::string Status::SharedAddressUnreachable(const std::string& sharedAddress) {
    return "Shares " + sharedAddress + ", no answer on its own";
}

namespace {

// What would give the missing rights, by what the helper's file tells.
std::string rightsRemedy(const NetworkRights& rights) {
    switch (rights.helper) {
    case HelperState::Missing:
        return " (the helper " + rights.helperPath + " is missing; reinstall flashwell, or run as root)";
    case HelperState::NoCapabilities:
    case HelperState::Ready:
        return " (the helper " + rights.helperPath +
               " lacks its capabilities; dpkg-reconfigure flashwell or setcap cap_net_admin,cap_net_raw+p on it "
               "gives them, or run as root)";
    case HelperState::NotPermitted:
        break;
    }
    return " (join group flashwell, or run as root)";
}

} // namespace

std::string MissingRightsNote(const NetworkRights& rights) {
    const std::string remedy = rightsRemedy(rights);
    const std::string detour = "cameras that need a link-local detour are reached only where this computer already "
                               "routes 169.254.0.0/16, and the card's addresses cannot be restored after a job";
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

std::string Status::WouldFlash(const std::string& cameraVersion, const std::string& imageVersion) {
    return "Would flash " + cameraVersion + " -> " + imageVersion;
}
