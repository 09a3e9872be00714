#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "util/Text.h"

// Where one camera's work stands. The list, the console and the records only ever see a phase
// with its count, or the outcome it ended with; the texts are made from these in one place.
enum class Phase : std::uint8_t {
    Queued,         // waiting for its turn
    Querying,       // asking for its model and version
    Moving,         // being given a link-local address of its own
    Uploading,      // the image is on its way
    Uploaded,       // the camera took the image
    Unanswered,     // count: seconds left of the burn a camera may be in that did not answer its upload
    Burning,        // count: percent of the announced burn time
    Rebooting,      // count: seconds left of the reboot wait
    Verifying,      // asking for the version it runs now
    AwaitingReturn, // count: seconds left for a camera that has not answered since its reboot
    WaitingTurn,    // waiting for its turn to take the image
    WaitingWave,    // its turn waits for the first wave to end
    Resetting,      // the factory reset is being asked for
    ResetRebooting, // count: seconds left of the reset's reboot wait
    Readdressing,   // a new address is being chosen and sent
    SendingHome,    // going back to the address it had
    Done,
};

struct CameraView {
    Phase phase = Phase::Queued;
    int count = 0;

    bool operator==(const CameraView&) const = default;
};

enum class OutcomeKind : std::uint8_t {
    Pending,                  // not ended yet
    Upgraded,                 // took the image and then reported its version
    UploadFailed,             // three uploads, none accepted
    WrongVersion,             // back after the reboot with another version than the image's
    NoAnswerAfterReboot,      // silent after the reboot
    WouldFlash,               // a dry run found it ready
    AlreadyCurrent,           // runs the image's version already, and was left as it is
    FirstWaveFailed,          // not flashed: a camera of the first wave did not upgrade
    ModelMismatch,            // the image was made for another model
    WifiInterface,            // answers on its Wi-Fi interface; not touched
    Unauthorized,             // the login was refused
    DeviceOffline,            // no usable answer (upgrade, reset)
    CheckOffline,             // no answer to the version check
    CanNotConnect,            // the check's detour got an answer without model and version
    VersionRead,              // the check read its version
    SharedAddressUnreachable, // shares an address and did not answer on one of its own
    NoFreeLinkLocal,          // no free link-local address was found
    CannotProbe,              // nothing could tell whether a link-local address is free
    NoWayHome,                // not moved: its way home could not be written to the journal
    NotSeenAfterMove,         // sent to a link-local address, never seen there
    ResetAccepted,            // took the factory reset, rebooted and was seen at the factory address
    ResetRefused,             // answered the reset with something other than its acceptance
    AddressSent,              // the re-addressing's new address, seen in the camera's own reply
    NotSeenAtNewAddress,      // the re-addressing's new address was sent, but the camera never showed there
    RangeUsedUp,              // the range had no address left for it
    Home,                     // an earlier run's camera, seen back at its own address
    StillAway,                // an earlier run's camera, not seen back at its own address
    NotAtFactoryAddress,      // the re-addressing leaves it alone
    NotStarted,               // the job was stopped before its turn
    Interrupted,              // the job was stopped during its work
    NoWorkerThread,           // no thread could run its work
};

// How a camera's work ended, with what was learnt on the way.
struct CameraOutcome {
    CameraOutcome() = default;
    explicit CameraOutcome(OutcomeKind ending) : kind(ending) {}

    OutcomeKind kind = OutcomeKind::Pending;
    std::optional<std::string> model;         // as its query named it
    std::optional<std::string> versionBefore; // before the job changed anything
    std::optional<std::string> versionAfter;  // after the upgrade's reboot
    std::optional<std::string> ipAfter;       // where it is now, when that is known
    std::string imageVersion;                 // what a dry run would flash
    std::string sharedAddress;                // the address it shares with another camera
    std::string answer;                       // what it answered in place of an acceptance
    std::optional<std::string> leftAt;        // a link-local address it may still be at; the journal keeps it
    Text note;                                // what the operator must hear beyond the Status, once per job
    int uploadAttempts = 0;
    bool imageDelivered = false; // the camera took the image's body before the job stopped
};

// Both reboot countdowns start here.
inline constexpr int kRebootCountdownSeconds = 60;

// Whether the outcome draws the Status red and counts as a failure.
bool IsFailure(OutcomeKind kind);
// Whether the outcome gets a line in the job's records.
bool IsRecorded(OutcomeKind kind);
// The outcome's name in records and JSON, e.g. "upgraded", "model-mismatch".
const char* OutcomeName(OutcomeKind kind);
// A phase's stable name, for scripts: "uploading", "reset-rebooting".
const char* PhaseName(Phase phase);
