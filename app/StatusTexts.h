#pragma once

#include <optional>
#include <string>

#include "engine/CameraState.h"
#include "hostnet/Privileges.h"
#include "util/Text.h"

// A Status cell: the text (the window's list shows its English whatever the window's language, the
// console its own language), and how far the running step has come (0..1) where it counts something.
struct StatusText {
    Text text;
    std::optional<double> progress;
};

// The one catalogue of Status texts: every text a camera's row shows is made here from the
// camera's phase or outcome, and nothing reads a text back.
namespace Status {

// Both reboot countdowns start here: the engine's, which the texts count down from.
inline constexpr int kRebootSeconds = kRebootCountdownSeconds;

// The text of a running phase; nothing for a phase that leaves the cell as it stands.
std::optional<StatusText> Of(const CameraView& view);
// The text an ended camera shows and its record keeps.
StatusText Of(const CameraOutcome& outcome);

} // namespace Status

// Whether an image's version reads as older than a camera's ("V1.23" against "V1.25"); false
// where either is not a dotted number.
bool OlderVersion(const std::string& image, const std::string& camera);

// The start-up's line on missing capabilities: which functions will not work and why; empty
// when the process holds both.
Text MissingRightsNote(const NetworkRights& rights);
