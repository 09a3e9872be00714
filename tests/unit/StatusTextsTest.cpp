// The one catalogue of Status texts: every phase and outcome a camera can show, and the share of
// a running step that a view draws.
#include <gtest/gtest.h>

#include "app/StatusTexts.h"
#include "webops/OperatorMessages.h"

TEST(StatusTextsTest, RunningPhasesCarryTheirTextAndShare) {
    EXPECT_EQ(Status::Of(CameraView{Phase::Uploading, 0})->text, "File Uploading...");
    EXPECT_FALSE(Status::Of(CameraView{Phase::Uploading, 0})->progress);
    EXPECT_EQ(Status::Of(CameraView{Phase::Uploaded, 0})->text, "File uploaded successfully");
    const auto burning = Status::Of(CameraView{Phase::Burning, 40});
    EXPECT_EQ(burning->text, "Upgrade Status... 40%");
    EXPECT_DOUBLE_EQ(*burning->progress, 0.4);
    EXPECT_DOUBLE_EQ(*Status::Of(CameraView{Phase::Burning, 100})->progress, 1.0);
    const auto rebooting = Status::Of(CameraView{Phase::Rebooting, 45});
    EXPECT_EQ(rebooting->text, "Wait for 45 Seconds");
    EXPECT_DOUBLE_EQ(*rebooting->progress, 0.25);
    const auto reset = Status::Of(CameraView{Phase::ResetRebooting, 60});
    EXPECT_EQ(reset->text, "System rebooting, please wait for 60 Seconds");
    EXPECT_DOUBLE_EQ(*reset->progress, 0.0);
    EXPECT_DOUBLE_EQ(*Status::Of(CameraView{Phase::ResetRebooting, 1})->progress, 59.0 / 60.0);
    for (Phase quiet : {Phase::Queued, Phase::Querying, Phase::Moving, Phase::Verifying, Phase::Resetting,
                        Phase::Readdressing, Phase::SendingHome, Phase::Done})
        EXPECT_FALSE(Status::Of(CameraView{quiet, 0})) << "a phase that leaves the cell as it stands";
}

TEST(StatusTextsTest, EveryOutcomeHasItsTextNameAndColour) {
    struct Row {
        CameraOutcome outcome;
        const char* text;
        const char* name;
        bool failed;
        bool recorded;
    };
    CameraOutcome read(OutcomeKind::VersionRead);
    read.versionBefore = "V1.05";
    CameraOutcome dry(OutcomeKind::WouldFlash);
    dry.versionBefore = "V1.04";
    dry.imageVersion = "V1.06";
    // "Would flash V1.06 -> V1.06" read as if the camera would change.
    CameraOutcome older(OutcomeKind::WouldFlash);
    older.versionBefore = "V1.25";
    older.imageVersion = "V1.23";
    CameraOutcome same(OutcomeKind::WouldFlash);
    same.versionBefore = "V1.06";
    same.imageVersion = "V1.06";
    // An accepted reset left the Status empty; after the upload Ctrl-C read "Interrupted" alone.
    CameraOutcome back(OutcomeKind::ResetAccepted);
    back.ipAfter = "192.168.0.20";
    CameraOutcome delivered(OutcomeKind::Interrupted);
    delivered.imageDelivered = true;
    CameraOutcome twin(OutcomeKind::SharedAddressUnreachable);
    twin.sharedAddress = "192.168.0.20";
    const Row rows[] = {
        {CameraOutcome(OutcomeKind::Upgraded), "UPGRADE SUCCESSFUL", "upgraded", false, true},
        {CameraOutcome(OutcomeKind::UploadFailed), "Failed to upgrade!", "upload-failed", true, true},
        {CameraOutcome(OutcomeKind::WrongVersion), "Failed to upgrade!", "wrong-version", true, true},
        {CameraOutcome(OutcomeKind::NoAnswerAfterReboot), "No answer after the reboot", "no-answer-after-reboot", true,
         true},
        {dry, "Would flash V1.04 -> V1.06", "would-flash", false, true},
        {same, "Would flash V1.06 again (already runs it)", "would-flash", false, true},
        {older, "Would flash V1.25 -> V1.23, older than the camera's", "would-flash", false, true},
        {CameraOutcome(OutcomeKind::ModelMismatch), "Model mismatch", "model-mismatch", true, true},
        {CameraOutcome(OutcomeKind::WifiInterface), "Wi-Fi interface", "wifi-interface", true, true},
        {CameraOutcome(OutcomeKind::Unauthorized), "401 Unauthorized", "unauthorized", true, true},
        {CameraOutcome(OutcomeKind::DeviceOffline), "Device offline!", "offline", true, true},
        {CameraOutcome(OutcomeKind::CheckOffline), "Device offline", "offline", true, true},
        {CameraOutcome(OutcomeKind::CanNotConnect), "Can not connect", "can-not-connect", true, true},
        {read, "V1.05", "version-read", false, true},
        {twin, "Shares 192.168.0.20, no answer on its own", "shared-address-unreachable", true, true},
        {CameraOutcome(OutcomeKind::NoFreeLinkLocal), "No free link-local address", "no-free-link-local", true, true},
        {CameraOutcome(OutcomeKind::CannotProbe), "Cannot probe link-local addresses", "cannot-probe", true, true},
        {back, "Back at 192.168.0.20", "reset-accepted", false, true},
        {CameraOutcome(OutcomeKind::ResetAccepted), "Reset accepted", "reset-accepted", false, true},
        {CameraOutcome(OutcomeKind::AddressSent), "Seen at its new address", "address-sent", false, true},
        {CameraOutcome(OutcomeKind::RangeUsedUp), "no free address left in the range", "range-used-up", true, true},
        {CameraOutcome(OutcomeKind::NotAtFactoryAddress), "", "not-at-factory-address", false, false},
        {CameraOutcome(OutcomeKind::NotStarted), "", "not-started", false, false},
        {CameraOutcome(OutcomeKind::Interrupted), "Interrupted", "interrupted", true, true},
        {delivered, "Interrupted after the upload", "interrupted", true, true},
        {CameraOutcome(OutcomeKind::NoWorkerThread), "Cannot start a worker thread", "no-worker-thread", true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Status::Of(row.outcome).text, row.text);
        EXPECT_FALSE(Status::Of(row.outcome).progress);
        EXPECT_STREQ(OutcomeName(row.outcome.kind), row.name);
        EXPECT_EQ(IsFailure(row.outcome.kind), row.failed);
        EXPECT_EQ(IsRecorded(row.outcome.kind), row.recorded);
    }
}

TEST(StatusTextsTest, ThreeTextsAreTheCataloguesEnglish) {
    EXPECT_EQ(Status::Of(CameraOutcome(OutcomeKind::Upgraded)).text,
              GetOperatorMessage(OperatorMessageId::UpgradeSuccessful, 437));
    EXPECT_EQ(Status::Of(CameraOutcome(OutcomeKind::UploadFailed)).text,
              GetOperatorMessage(OperatorMessageId::FailedToUpgrade, 437));
    EXPECT_EQ(Status::Of(CameraOutcome(OutcomeKind::DeviceOffline)).text,
              GetOperatorMessage(OperatorMessageId::DeviceOffline, 437));
}

// Versions compare as numbers, not as text ("V1.9" was read as newer than "V1.10"); where one is
// not a dotted number nothing is said.
TEST(StatusTextsTest, AnOlderImageIsToldByItsNumbers) {
    EXPECT_TRUE(OlderVersion("V1.9", "V1.10"));
    EXPECT_TRUE(OlderVersion("V1.2", "V1.2.1"));
    EXPECT_TRUE(OlderVersion("V1.23", "v1.25build7"));
    EXPECT_FALSE(OlderVersion("V2.0", "V1.99"));
    EXPECT_FALSE(OlderVersion("V1.23", "V1.23"));
    EXPECT_FALSE(OlderVersion("beta", "V1.23"));
    EXPECT_FALSE(OlderVersion("V1.23", ""));
    EXPECT_FALSE(OlderVersion("V99999999999999999999", "V1")) << "a long number neither overflows nor wraps";
}
