#pragma once

#include <optional>
#include <string>

#include "hostnet/Privileges.h"

// A Status cell as a workflow writes it: the text, in English whatever the window's language, and
// how far the running step has come (0..1) where the text counts something.
struct StatusText {
    std::string text;
    std::optional<double> progress;
};

namespace Status {

inline constexpr char kWifiInterface[] = "Wi-Fi interface";
inline constexpr char kUnauthorized[] = "401 Unauthorized";
inline constexpr char kUploading[] = "File Uploading...";
inline constexpr char kUploaded[] = "File uploaded successfully";
// The English texts of operator messages 6, 12 and 14.
inline constexpr char kUpgradeSuccessful[] = "UPGRADE SUCCESSFUL";
inline constexpr char kFailedToUpgrade[] = "Failed to upgrade!";
inline constexpr char kDeviceOffline[] = "Device offline!";
// The version check's own texts: no exclamation mark there.
inline constexpr char kCheckOffline[] = "Device offline";
inline constexpr char kCanNotConnect[] = "Can not connect";

// What the workflows say where the original had nothing to say.
inline constexpr char kInterrupted[] = "Interrupted";
inline constexpr char kNoAnswerAfterReboot[] = "No answer after the reboot";
inline constexpr char kNoFreeLinkLocal[] = "No free link-local address";
inline constexpr char kCannotProbe[] = "Cannot probe link-local addresses";
inline constexpr char kNoWorkerThread[] = "Cannot start a worker thread";
// The image was made for another model than the camera reports.
inline constexpr char kModelMismatch[] = "Model mismatch";

// Both reboot countdowns start here.
inline constexpr int kRebootSeconds = 60;

// A camera that shares its address with another listed camera and did not answer on an address
// of its own: nothing can be said of it without risking the other camera's answer.
std::string SharedAddressUnreachable(const std::string& sharedAddress);

// A dry run's plan for a camera it would flash: "Would flash V1.04 -> V1.06".
std::string WouldFlash(const std::string& cameraVersion, const std::string& imageVersion);

// "Upgrade Status... %d%%"
StatusText UpgradeProgress(int percent);
// "Wait for %d Seconds", counting down from kRebootSeconds.
StatusText RebootWait(int secondsLeft);
// "System rebooting, please wait for %d Seconds", counting down from kRebootSeconds.
StatusText ResetCountdown(int secondsLeft);

} // namespace Status

// The start-up's line on missing capabilities: which functions will not work and why; empty
// when the process holds both.
std::string MissingRightsNote(const NetworkRights& rights);
