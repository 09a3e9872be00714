// One camera's factory reset stepped through every ending with scripted answers.
#include "app/job/ResetMachine.h"
#include "tests/unit/MachineDriver.h"

namespace {

input::ResetAnswered answer(RequestResult r) {
    return input::ResetAnswered{r};
}

TEST(ResetMachineTest, AnAcceptedResetCountsDownAndTheRestSayWhyNot) {
    MachineDriver d;
    d.reset = [](const step::Reset&) { return answer(RequestResult::ReplyWithoutContent); };
    ResetMachine m(MakeTarget({192, 168, 0, 31}));
    const CameraOutcome& o = d.Run(m);
    EXPECT_EQ(o.kind, OutcomeKind::ResetAccepted);
    EXPECT_FALSE(o.ipAfter) << "where it answers after its reset is not known until a search";
    EXPECT_EQ(d.Count("reset"), 1) << "no pause, no second request";
    EXPECT_EQ(d.Count("wait 1000"), 60);
    ASSERT_FALSE(d.views.empty());
    EXPECT_EQ(d.views[1], (CameraView{Phase::ResetRebooting, 60}));

    MachineDriver locked;
    locked.reset = [](const step::Reset&) { return answer(RequestResult::Unauthorized); };
    ResetMachine refused(MakeTarget({192, 168, 0, 31}));
    EXPECT_EQ(locked.Run(refused).kind, OutcomeKind::Unauthorized);
    EXPECT_EQ(locked.Count("reset"), 1);
    EXPECT_EQ(refused.Outcome().ipAfter, "192.168.0.31");

    MachineDriver silent;
    ResetMachine offline(MakeTarget({192, 168, 0, 31}));
    EXPECT_EQ(silent.Run(offline).kind, OutcomeKind::DeviceOffline);
    EXPECT_EQ(silent.Count("reset"), 3);
    EXPECT_EQ(silent.Count("wait 500"), 3) << "a pause after each, the third too";

    MachineDriver late;
    late.reset = [&late](const step::Reset&) {
        return answer(late.Count("reset") == 3 ? RequestResult::ReplyWithoutContent : RequestResult::NoReply);
    };
    ResetMachine third(MakeTarget({192, 168, 0, 31}));
    EXPECT_EQ(late.Run(third).kind, OutcomeKind::ResetAccepted);

    Target wifi = MakeTarget({192, 168, 0, 32});
    wifi.ifType = kWifiInterface;
    MachineDriver untouched;
    ResetMachine w(wifi);
    EXPECT_EQ(untouched.Run(w).kind, OutcomeKind::WifiInterface);
    EXPECT_TRUE(untouched.log.empty());
}

TEST(ResetMachineTest, ATwinIsResetOnItsOwnAddressAndGoesHomeByItself) {
    Target twin = MakeTarget({192, 168, 0, 20});
    twin.sharesAddress = true;
    MachineDriver d;
    d.reset = [](const step::Reset&) { return answer(RequestResult::ReplyWithoutContent); };
    ResetMachine m(twin);
    EXPECT_EQ(d.Run(m).kind, OutcomeKind::ResetAccepted);
    EXPECT_EQ(d.Calls(), (std::vector<std::string>{"move", "reset 169.254.0.1", "forget"}))
        << "its factory settings bring it home: nothing is sent, the journal entry goes";

    MachineDriver silent;
    ResetMachine lost(twin);
    EXPECT_EQ(silent.Run(lost).kind, OutcomeKind::SharedAddressUnreachable);
    EXPECT_EQ(silent.log.back(), "home");

    MachineDriver full;
    full.move = [] { return input::Moved{MoveResult::CannotProbe, {}}; };
    ResetMachine nowhere(twin);
    EXPECT_EQ(full.Run(nowhere).kind, OutcomeKind::CannotProbe);
    EXPECT_EQ(full.Count("reset"), 0) << "never reset where the other camera would hear it";
}

TEST(ResetMachineTest, AStopEndsTheAttemptsButNotAnAcceptedReset) {
    MachineDriver d;
    d.before = [](CameraMachine& m, const std::string& logged) {
        if (logged.starts_with("reset"))
            m.Stop();
    };
    ResetMachine m(MakeTarget({192, 168, 0, 31}));
    EXPECT_EQ(d.Run(m).kind, OutcomeKind::Interrupted);
    EXPECT_EQ(d.Count("reset"), 1);

    MachineDriver accepted;
    accepted.reset = [](const step::Reset&) { return answer(RequestResult::ReplyWithoutContent); };
    accepted.before = [](CameraMachine& machine, const std::string& logged) {
        if (logged == "wait 1000")
            machine.Stop();
    };
    ResetMachine reset(MakeTarget({192, 168, 0, 31}));
    EXPECT_EQ(accepted.Run(reset).kind, OutcomeKind::ResetAccepted) << "it took the reset whatever the job does now";
    EXPECT_EQ(accepted.Count("wait 1000"), 1);
}

} // namespace
