#include "engine/CameraState.h"

bool IsFailure(OutcomeKind kind) {
    switch (kind) {
    case OutcomeKind::Pending:
    case OutcomeKind::Upgraded:
    case OutcomeKind::WouldFlash:
    case OutcomeKind::AlreadyCurrent:
    case OutcomeKind::VersionRead:
    case OutcomeKind::ResetAccepted:
    case OutcomeKind::AddressSent:
    case OutcomeKind::Home:
    case OutcomeKind::NotAtFactoryAddress:
    case OutcomeKind::NotStarted:
        return false;
    default:
        return true;
    }
}

bool IsRecorded(OutcomeKind kind) {
    return kind != OutcomeKind::Pending && kind != OutcomeKind::NotAtFactoryAddress && kind != OutcomeKind::NotStarted;
}

const char* OutcomeName(OutcomeKind kind) {
    switch (kind) {
    case OutcomeKind::Pending:
        return "pending";
    case OutcomeKind::Upgraded:
        return "upgraded";
    case OutcomeKind::UploadFailed:
        return "upload-failed";
    case OutcomeKind::WrongVersion:
        return "wrong-version";
    case OutcomeKind::NoAnswerAfterReboot:
        return "no-answer-after-reboot";
    case OutcomeKind::WouldFlash:
        return "would-flash";
    case OutcomeKind::AlreadyCurrent:
        return "already-current";
    case OutcomeKind::FirstWaveFailed:
        return "first-wave-failed";
    case OutcomeKind::ModelMismatch:
        return "model-mismatch";
    case OutcomeKind::WifiInterface:
        return "wifi-interface";
    case OutcomeKind::Unauthorized:
        return "unauthorized";
    case OutcomeKind::DeviceOffline:
    case OutcomeKind::CheckOffline:
        return "offline";
    case OutcomeKind::CanNotConnect:
        return "can-not-connect";
    case OutcomeKind::VersionRead:
        return "version-read";
    case OutcomeKind::SharedAddressUnreachable:
        return "shared-address-unreachable";
    case OutcomeKind::NoFreeLinkLocal:
        return "no-free-link-local";
    case OutcomeKind::CannotProbe:
        return "cannot-probe";
    case OutcomeKind::NoWayHome:
        return "no-way-home";
    case OutcomeKind::NotSeenAfterMove:
        return "not-seen-after-move";
    case OutcomeKind::ResetRefused:
        return "reset-refused";
    case OutcomeKind::NotSeenAtNewAddress:
        return "not-seen-at-new-address";
    case OutcomeKind::Home:
        return "home";
    case OutcomeKind::StillAway:
        return "still-away";
    case OutcomeKind::ResetAccepted:
        return "reset-accepted";
    case OutcomeKind::AddressSent:
        return "address-sent";
    case OutcomeKind::RangeUsedUp:
        return "range-used-up";
    case OutcomeKind::NotAtFactoryAddress:
        return "not-at-factory-address";
    case OutcomeKind::NotStarted:
        return "not-started";
    case OutcomeKind::Interrupted:
        return "interrupted";
    case OutcomeKind::NoWorkerThread:
        return "no-worker-thread";
    }
    return "pending";
}

const char* PhaseName(Phase phase) {
    switch (phase) {
    case Phase::Queued:
        return "queued";
    case Phase::Querying:
        return "querying";
    case Phase::Moving:
        return "moving";
    case Phase::Uploading:
        return "uploading";
    case Phase::Uploaded:
        return "uploaded";
    case Phase::Unanswered:
        return "unanswered";
    case Phase::Burning:
        return "burning";
    case Phase::Rebooting:
        return "rebooting";
    case Phase::Verifying:
        return "verifying";
    case Phase::AwaitingReturn:
        return "awaiting-return";
    case Phase::WaitingTurn:
        return "waiting-turn";
    case Phase::WaitingWave:
        return "waiting-wave";
    case Phase::Resetting:
        return "resetting";
    case Phase::ResetRebooting:
        return "reset-rebooting";
    case Phase::Readdressing:
        return "readdressing";
    case Phase::SendingHome:
        return "sending-home";
    case Phase::Done:
        break;
    }
    return "done";
}
