// One camera's version check stepped through every ending with scripted answers.
#include "engine/CheckMachine.h"
#include "tests/unit/MachineDriver.h"

namespace {

bool linkLocal(const std::string& host) {
    return host.starts_with("169.254.");
}

TEST(CheckMachineTest, EveryAnswerAtHomeHasItsEnding) {
    struct Case {
        input::Queried answer;
        OutcomeKind kind;
        int queries;
    };
    const Case cases[] = {
        {MachineDriver::ModelAndVersion("IPC1234", "V1.05"), OutcomeKind::VersionRead, 1},
        {MachineDriver::Answer(RequestResult::NoReply), OutcomeKind::CheckOffline, 3},
        {MachineDriver::Answer(RequestResult::Unauthorized), OutcomeKind::Unauthorized, 1},
    };
    for (const Case& c : cases) {
        MachineDriver d;
        d.query = [&c](const step::Query&) { return c.answer; };
        CheckMachine m(MakeTarget({192, 168, 0, 21}));
        const CameraOutcome& o = d.Run(m);
        EXPECT_EQ(o.kind, c.kind) << OutcomeName(c.kind);
        EXPECT_EQ(d.Count("query 192.168.0.21"), c.queries) << OutcomeName(c.kind);
        EXPECT_EQ(d.Count("move"), 0) << "a silent camera is offline at once; only a poor answer earns a detour";
        EXPECT_EQ(o.ipAfter, "192.168.0.21");
    }
    MachineDriver d;
    d.query = [](const step::Query&) { return MachineDriver::ModelAndVersion("IPC1234", "V1.05"); };
    CheckMachine m(MakeTarget({192, 168, 0, 21}));
    EXPECT_EQ(d.Run(m).versionBefore, "V1.05");
    EXPECT_EQ(m.Outcome().model, "IPC1234");

    Target wifi = MakeTarget({192, 168, 0, 22});
    wifi.ifType = kWifiInterface;
    MachineDriver untouched;
    CheckMachine w(wifi);
    EXPECT_EQ(untouched.Run(w).kind, OutcomeKind::WifiInterface);
    EXPECT_TRUE(untouched.log.empty());
}

TEST(CheckMachineTest, APoorAnswerEarnsOneTryAtALinkLocalAddressAndTheWayHome) {
    struct Case {
        input::Queried moved;
        OutcomeKind kind;
    };
    const Case cases[] = {
        {MachineDriver::ModelAndVersion("IPC1234", "V1.06"), OutcomeKind::VersionRead},
        {MachineDriver::Answer(RequestResult::ReplyWithoutContent), OutcomeKind::CanNotConnect},
        {MachineDriver::Answer(RequestResult::Unauthorized), OutcomeKind::Unauthorized},
        {MachineDriver::Answer(RequestResult::NoReply), OutcomeKind::CheckOffline},
    };
    for (const Case& c : cases) {
        MachineDriver d;
        d.query = [&c](const step::Query& q) {
            return linkLocal(q.host) ? c.moved : MachineDriver::Answer(RequestResult::ReplyWithoutContent);
        };
        d.ping = [](const std::string&) { return false; };
        CheckMachine m(MakeTarget({10, 0, 0, 7}));
        const CameraOutcome& o = d.Run(m);
        EXPECT_EQ(o.kind, c.kind) << OutcomeName(c.kind);
        EXPECT_EQ(d.Count("move"), 1);
        EXPECT_EQ(d.Count("ping 169.254.0.1"), 1) << "pinged where it was moved";
        EXPECT_EQ(d.Exactly("wait 50"), 1) << "a short pause when the ping got no answer";
        EXPECT_EQ(d.log.back(), "forget") << "sent home and seen there";
        EXPECT_FALSE(m.Moved());
    }
    MachineDriver d;
    d.query = [](const step::Query& q) {
        return linkLocal(q.host) ? MachineDriver::Answer(RequestResult::NoReply)
                                 : MachineDriver::Answer(RequestResult::ReplyWithoutContent);
    };
    CheckMachine m(MakeTarget({10, 0, 0, 7}));
    // A check that never read the version was blank and not failed, exit 0.
    EXPECT_EQ(d.Run(m).kind, OutcomeKind::CheckOffline) << "a version never read is no success";
    EXPECT_TRUE(IsFailure(m.Outcome().kind));
    EXPECT_EQ(d.Exactly("wait 50"), 0) << "the ping answered";
}

TEST(CheckMachineTest, ACameraThatSharesItsAddressIsAskedOnlyOnItsOwn) {
    Target twin = MakeTarget({192, 168, 0, 20});
    twin.sharesAddress = true;
    MachineDriver d;
    d.query = [](const step::Query& q) {
        return linkLocal(q.host) ? MachineDriver::ModelAndVersion("IPC1234", "V1.04") : input::Queried{};
    };
    CheckMachine m(twin);
    EXPECT_EQ(d.Run(m).kind, OutcomeKind::VersionRead);
    EXPECT_EQ(d.Calls(), (std::vector<std::string>{"move", "query 169.254.0.1", "ping 169.254.0.1", "home", "forget"}));

    MachineDriver silent;
    CheckMachine lost(twin);
    const CameraOutcome& o = silent.Run(lost);
    EXPECT_EQ(o.kind, OutcomeKind::SharedAddressUnreachable) << "it may not borrow the other camera's answer";
    EXPECT_EQ(o.sharedAddress, "192.168.0.20");

    MachineDriver full;
    full.move = [] { return input::Moved{MoveResult::NoFreeAddress, {}}; };
    CheckMachine nowhere(twin);
    EXPECT_EQ(full.Run(nowhere).kind, OutcomeKind::NoFreeLinkLocal);
    EXPECT_EQ(full.Calls(), std::vector<std::string>{"move"});
}

TEST(CheckMachineTest, AStoppedCheckAsksNothingMore) {
    CheckMachine m(MakeTarget({192, 168, 0, 21}));
    m.Stop();
    MachineDriver d;
    EXPECT_EQ(d.Run(m).kind, OutcomeKind::NotStarted);
    EXPECT_TRUE(d.log.empty());

    Target twin = MakeTarget({192, 168, 0, 20});
    twin.sharesAddress = true;
    MachineDriver moving;
    moving.before = [](CameraMachine& machine, const std::string& logged) {
        if (logged.starts_with("query"))
            machine.Stop();
    };
    CheckMachine asked(twin);
    EXPECT_EQ(moving.Run(asked).kind, OutcomeKind::SharedAddressUnreachable);
    EXPECT_EQ(moving.Count("query"), 1);
    EXPECT_EQ(moving.log.back(), "forget") << "a stop still sends it home, and sees it there";
}

} // namespace
