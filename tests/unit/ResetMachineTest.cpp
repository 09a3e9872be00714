// One camera's factory reset stepped through every ending with scripted answers.
#include <tuple>

#include "app/StatusTexts.h"
#include "engine/ResetMachine.h"
#include "tests/unit/MachineDriver.h"

namespace {

input::ResetAnswered answer(RequestResult r) {
    input::ResetAnswered a;
    a.result = r;
    return a;
}

TEST(ResetMachineTest, AnAcceptedResetCountsDownAndTheRestSayWhyNot) {
    MachineDriver d;
    d.reset = [](const step::Reset&) { return answer(RequestResult::ReplyWithoutContent); };
    ResetMachine m(MakeTarget({192, 168, 0, 31}));
    const CameraOutcome& o = d.Run(m);
    EXPECT_EQ(o.kind, OutcomeKind::ResetAccepted);
    EXPECT_EQ(o.ipAfter, "192.168.0.20") << "its own reply showed it back at the factory address";
    EXPECT_EQ(d.log.back(), "await 192.168.0.20");
    EXPECT_EQ(d.Count("reset"), 1) << "no pause, no second request";
    EXPECT_EQ(d.Count("wait 1000"), 60);
    ASSERT_FALSE(d.views.empty());
    EXPECT_EQ(d.views[1], (CameraView{Phase::ResetRebooting, 60}));

    MachineDriver gone;
    gone.reset = d.reset;
    gone.seen = [](const step::AwaitSighting&) { return false; };
    ResetMachine lost(MakeTarget({192, 168, 0, 31}));
    EXPECT_EQ(gone.Run(lost).kind, OutcomeKind::NoAnswerAfterReboot) << "it took the reset but never came back";
    EXPECT_FALSE(lost.Outcome().ipAfter);
    EXPECT_GE(gone.Count("await"), 10) << "looked for again and again, within a bound";

    // Any page was taken for the camera's acceptance, though it had not reset.
    for (auto [code, page, text] :
         {std::tuple{404L, "<html>no</html>", "Reset not accepted: HTTP 404"},
          std::tuple{200L, "ERROR,unsupported", "Reset not accepted: \"ERROR,unsupported\""}}) {
        const long status = code;
        const std::string body = page, said = text;
        MachineDriver refusing;
        refusing.reset = [status, body](const step::Reset&) {
            input::ResetAnswered r;
            r.reply.status = status;
            r.reply.answer = body;
            return r;
        };
        ResetMachine refused(MakeTarget({192, 168, 0, 31}));
        EXPECT_EQ(refusing.Run(refused).kind, OutcomeKind::ResetRefused);
        EXPECT_EQ(Status::Of(refused.Outcome()).text, said);
        EXPECT_EQ(refusing.Count("reset"), 1) << "an answer is not asked again";
        EXPECT_EQ(refused.Outcome().ipAfter, "192.168.0.31");
    }

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
    EXPECT_EQ(silent.log.back(), "forget");

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
