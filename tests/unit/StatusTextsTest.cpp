// The Status texts the workflows write, and the share of a running step that a view draws.
#include <gtest/gtest.h>

#include "app/StatusTexts.h"
#include "webops/OperatorMessages.h"

TEST(StatusTextsTest, RunningTextsCarryTheirShare) {
    EXPECT_EQ(Status::UpgradeProgress(40).text, "Upgrade Status... 40%");
    EXPECT_DOUBLE_EQ(*Status::UpgradeProgress(40).progress, 0.4);
    EXPECT_DOUBLE_EQ(*Status::UpgradeProgress(100).progress, 1.0);
    EXPECT_EQ(Status::RebootWait(45).text, "Wait for 45 Seconds");
    EXPECT_DOUBLE_EQ(*Status::RebootWait(45).progress, 0.25);
    EXPECT_EQ(Status::ResetCountdown(60).text, "System rebooting, please wait for 60 Seconds");
    EXPECT_DOUBLE_EQ(*Status::ResetCountdown(60).progress, 0.0);
    EXPECT_DOUBLE_EQ(*Status::ResetCountdown(1).progress, 59.0 / 60.0);
}

TEST(StatusTextsTest, ThreeTextsAreTheCataloguesEnglish) {
    EXPECT_STREQ(Status::kUpgradeSuccessful, GetOperatorMessage(OperatorMessageId::UpgradeSuccessful, 437));
    EXPECT_STREQ(Status::kFailedToUpgrade, GetOperatorMessage(OperatorMessageId::FailedToUpgrade, 437));
    EXPECT_STREQ(Status::kDeviceOffline, GetOperatorMessage(OperatorMessageId::DeviceOffline, 437));
}
