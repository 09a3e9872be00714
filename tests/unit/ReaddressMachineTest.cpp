// "Auto Change IP" for one camera, and the pool of addresses it draws from.
#include "engine/ReaddressMachine.h"
#include "engine/AddressPool.h"
#include "tests/support/FakeCameraNetwork.h"
#include "tests/unit/MachineDriver.h"

namespace {

TEST(ReaddressMachineTest, OnlyAFactoryCameraIsGivenAnAddress) {
    MachineDriver d;
    d.allocate = [] { return Ipv4{10, 1, 1, 31}; };
    ReaddressMachine m(MakeTarget({192, 168, 0, 20}), {10, 1, 1, 0});
    const CameraOutcome& o = d.Run(m);
    EXPECT_EQ(o.kind, OutcomeKind::AddressSent);
    EXPECT_EQ(o.ipAfter, "10.1.1.31");
    EXPECT_EQ(d.Calls(), (std::vector<std::string>{"allocate", "readdress 10.1.1.31 gw 10.1.1.254"}));

    // Seen only after its second command: the first was lost.
    MachineDriver lossy;
    lossy.allocate = [] { return Ipv4{10, 1, 1, 32}; };
    lossy.seen = [&lossy](const step::AwaitSighting&) { return lossy.Count("readdress") == 2; };
    ReaddressMachine twice(MakeTarget({192, 168, 0, 20}), {10, 1, 1, 0});
    EXPECT_EQ(lossy.Run(twice).kind, OutcomeKind::AddressSent);
    EXPECT_EQ(lossy.Count("readdress"), 2);

    // Never seen there: failed, and where it is now is not known.
    MachineDriver never;
    never.allocate = [] { return Ipv4{10, 1, 1, 33}; };
    never.seen = [](const step::AwaitSighting&) { return false; };
    ReaddressMachine unseen(MakeTarget({192, 168, 0, 20}), {10, 1, 1, 0});
    EXPECT_EQ(never.Run(unseen).kind, OutcomeKind::NotSeenAtNewAddress);
    EXPECT_TRUE(IsFailure(unseen.Outcome().kind));
    EXPECT_FALSE(unseen.Outcome().ipAfter);
    EXPECT_EQ(never.Count("readdress"), ReaddressMachine::kSends);

    MachineDriver other;
    ReaddressMachine elsewhere(MakeTarget({192, 168, 0, 200}), {192, 168, 0, 0});
    EXPECT_EQ(other.Run(elsewhere).kind, OutcomeKind::NotAtFactoryAddress);
    EXPECT_FALSE(IsRecorded(elsewhere.Outcome().kind)) << "a camera left alone gets no record";
    EXPECT_TRUE(other.log.empty());

    MachineDriver none;
    ReaddressMachine left(MakeTarget({192, 168, 0, 20}), {192, 168, 0, 0});
    EXPECT_EQ(none.Run(left).kind, OutcomeKind::RangeUsedUp);
    EXPECT_EQ(left.Outcome().ipAfter, "192.168.0.20");

    ReaddressMachine stopped(MakeTarget({192, 168, 0, 20}), {192, 168, 0, 0});
    stopped.Stop();
    MachineDriver quiet;
    EXPECT_EQ(quiet.Run(stopped).kind, OutcomeKind::Interrupted) << "stopped, not the range's fault";
    EXPECT_TRUE(quiet.log.empty());
}

TEST(ReaddressMachineTest, ThePoolSkipsWhatIsHeldAndNeverHandsOutTheEnd) {
    testsupport::FakeCameraNetwork net;
    net.arpTaken.insert("192.168.0.33");
    AddressRange range;
    range.start = 31;
    range.end = 35;
    range.taken = {{192, 168, 0, 32}};
    AddressPool pool(range, net, 2, {});
    EXPECT_EQ(pool.Next(), (Ipv4{192, 168, 0, 31}));
    EXPECT_EQ(pool.Next(), (Ipv4{192, 168, 0, 34})) << ".32 is listed, .33 answers on the segment";
    EXPECT_FALSE(pool.Next()) << "the range's end is never handed out";
    EXPECT_TRUE(pool.UsedUp());
    EXPECT_FALSE(pool.Next());

    AddressRange wide;
    wide.start = 300;
    wide.end = 302;
    AddressPool lowByte(wide, net, 2, {});
    EXPECT_EQ(lowByte.Next(), (Ipv4{192, 168, 0, 44})) << "the host number's low byte";

    bool stop = true;
    AddressPool stopped(range, net, 2, [&stop] { return stop; });
    EXPECT_FALSE(stopped.Next());
    EXPECT_FALSE(stopped.UsedUp()) << "a stop does not use the range up";
    stop = false;
    EXPECT_EQ(stopped.Next(), (Ipv4{192, 168, 0, 31}));
}

} // namespace
