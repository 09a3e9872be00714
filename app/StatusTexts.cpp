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
