// A camera an earlier run left away, sent home at start-up until it is seen there.
#include "engine/HomecomingMachine.h"
#include "tests/unit/MachineDriver.h"

namespace {

Target away() {
    Target t = MakeTarget({192, 168, 0, 41});
    t.awayAt = "169.254.7.8";
    t.homeCommand.assign(193, 0);
    return t;
}

TEST(HomecomingMachineTest, ItsEntryGoesOnlyOnceItIsSeenHome) {
    MachineDriver d;
    d.seen = [&d](const step::AwaitSighting&) { return d.Count("home") == 3; };
    HomecomingMachine m(away());
    const CameraOutcome& o = d.Run(m);
    EXPECT_EQ(o.kind, OutcomeKind::Home);
    EXPECT_FALSE(o.leftAt);
    EXPECT_EQ(d.Count("home"), 3) << "the command is sent again until its own reply shows it home";
    EXPECT_EQ(d.log.back(), "forget");

    MachineDriver never;
    never.seen = [](const step::AwaitSighting&) { return false; };
    HomecomingMachine lost(away());
    const CameraOutcome& l = never.Run(lost);
    EXPECT_EQ(l.kind, OutcomeKind::StillAway);
    EXPECT_TRUE(IsFailure(l.kind));
    EXPECT_EQ(l.leftAt, "169.254.7.8") << "the next start tries again";
    EXPECT_EQ(never.Count("forget"), 0);
    EXPECT_EQ(never.Count("home"), 5) << "a growing pause, within the start-up's bound";
}

} // namespace
