// What the helper holds between requests and refuses for it: one card a job, an undo of only what
// it added, a reclaim only while no job holds the card, no pinned neighbour, one discovery socket.
// The system is a fake, so nothing is changed and nothing is sent.
#include "helper/HelperService.h"

#include <gtest/gtest.h>

#include "tests/support/FakeHelperHost.h"

namespace {

constexpr std::uint32_t kCamera = 0xC0A80014u;    // 192.168.0.20
constexpr std::uint32_t kLinkLocal = 0xA9FE0101u; // 169.254.1.1

class HelperServiceTest : public ::testing::Test {
protected:
    HelperReply Ask(const HelperRequest& request) {
        UniqueFd passed;
        const auto bytes = request.build();
        HelperReply reply = service.Handle(bytes, passed);
        socketPassed = passed.valid();
        return reply;
    }

    testsupport::FakeHelperHost host;
    HelperService service{host};
    bool socketPassed = false;
};

TEST_F(HelperServiceTest, RefusesCardsThatAreNotThereOrLoopbackWithoutTakingThem) {
    for (const HelperRequest& r : {HelperRequest::AddRoute("fwnosuch0"), HelperRequest::RemoveRoute("fwnosuch0"),
                                   HelperRequest::Reclaim("fwnosuch0"), HelperRequest::Arp("fwnosuch0", kCamera, 0),
                                   HelperRequest::Forget("fwnosuch0", kLinkLocal)})
        EXPECT_EQ(Ask(r), HelperReply::Refused(HelperRefusal::NoSuchInterface)) << static_cast<int>(r.op);
    // No camera sits behind loopback: a route or a probe there has no business of ours.
    for (const HelperRequest& r :
         {HelperRequest::AddRoute("lo"), HelperRequest::Arp("lo", kCamera, 0), HelperRequest::Forget("lo", kLinkLocal)})
        EXPECT_EQ(Ask(r), HelperReply::Refused(HelperRefusal::LoopbackInterface)) << static_cast<int>(r.op);
    EXPECT_EQ(service.Card(), "") << "a refused card is not the job's";
    EXPECT_EQ(Ask(HelperRequest::AddRoute("eth1")), HelperReply::Done(1));
    EXPECT_EQ(service.Card(), "eth1");
}

TEST_F(HelperServiceTest, ServesOneCardAJob) {
    EXPECT_EQ(Ask(HelperRequest::Arp("eth0", kCamera, 0)), HelperReply::Done(static_cast<std::uint32_t>(1)));
    for (const HelperRequest& r :
         {HelperRequest::AddRoute("eth1"), HelperRequest::RemoveRoute("eth1"), HelperRequest::Reclaim("eth1"),
          HelperRequest::Arp("eth1", kCamera, 0), HelperRequest::Forget("eth1", kLinkLocal)})
        EXPECT_EQ(Ask(r), HelperReply::Refused(HelperRefusal::OtherCard)) << static_cast<int>(r.op);
    EXPECT_TRUE(host.changes.empty());
    EXPECT_EQ(Ask(HelperRequest::Ping(kCamera)).outcome, HelperOutcome::Done) << "a ping names no card";
}

TEST_F(HelperServiceTest, UndoesOnlyWhatItAddedAndTakesItAwayOnItsWayOut) {
    // The system's own route stands there: the helper adds none and may remove none.
    host.routes[2] = {false, false};
    EXPECT_EQ(Ask(HelperRequest::AddRoute("eth0")), HelperReply::Done(0));
    EXPECT_EQ(Ask(HelperRequest::RemoveRoute("eth0")), HelperReply::Refused(HelperRefusal::NothingAdded));
    EXPECT_TRUE(service.Finish());
    EXPECT_TRUE(host.routes.contains(2));
    EXPECT_TRUE(host.changes.empty());

    HelperService second(host);
    host.routes.clear();
    UniqueFd passed;
    const auto add = HelperRequest::AddRoute("eth0").build();
    const auto undo = HelperRequest::RemoveRoute("eth0").build();
    EXPECT_EQ(second.Handle(add, passed), HelperReply::Done(1));
    EXPECT_EQ(second.Handle(undo, passed), HelperReply::Done());
    EXPECT_EQ(second.Handle(undo, passed), HelperReply::Refused(HelperRefusal::NothingAdded)) << "once is all";
    EXPECT_EQ(second.Handle(add, passed), HelperReply::Done(1));
    EXPECT_TRUE(second.Finish()) << "the front end went without an undo";
    EXPECT_FALSE(host.routes.contains(2));
    EXPECT_EQ(host.changes, (std::vector<std::string>{"route+ 2", "route- 2", "route+ 2", "route- 2"}));
}

TEST_F(HelperServiceTest, ReclaimsAMarkedLeftoverOnlyWhileNoJobHoldsTheCard) {
    host.routes[2] = {true, false}; // a dead job's
    host.busyCards = {"eth0"};
    EXPECT_EQ(Ask(HelperRequest::Reclaim("eth0")), HelperReply::Refused(HelperRefusal::CardBusy));
    EXPECT_TRUE(host.routes.contains(2)) << "a running job's route is its own";
    host.busyCards.clear();
    EXPECT_EQ(Ask(HelperRequest::Reclaim("eth0")), HelperReply::Done(1));
    EXPECT_EQ(Ask(HelperRequest::Reclaim("eth0")), HelperReply::Done(0)) << "nothing left";
    host.routes[2] = {false, false}; // the system's: no mark
    EXPECT_EQ(Ask(HelperRequest::Reclaim("eth0")), HelperReply::Done(0));
    EXPECT_TRUE(host.routes.contains(2));

    host.routes.clear();
    EXPECT_EQ(Ask(HelperRequest::AddRoute("eth0")), HelperReply::Done(1));
    EXPECT_EQ(Ask(HelperRequest::Reclaim("eth0")), HelperReply::Refused(HelperRefusal::AlreadyAdded))
        << "its own route goes by its undo";
}

TEST_F(HelperServiceTest, ForgetsOnlyDynamicNeighboursAndSpeaksForNoAddress) {
    host.neighbours[{2, kLinkLocal}] = false;
    host.neighbours[{2, kLinkLocal + 1}] = true; // the administrator's static entry
    EXPECT_EQ(Ask(HelperRequest::Forget("eth0", kLinkLocal)), HelperReply::Done());
    EXPECT_EQ(Ask(HelperRequest::Forget("eth0", kLinkLocal + 1)), HelperReply::Refused(HelperRefusal::PinnedNeighbour));
    EXPECT_TRUE(host.neighbours.contains({2, kLinkLocal + 1}));
    EXPECT_EQ(Ask(HelperRequest::Forget("eth0", kLinkLocal + 2)), HelperReply::Done()) << "none there is gone";
    // The helper added no address to the card: a link-local sender would be another station's.
    EXPECT_EQ(Ask(HelperRequest::Arp("eth0", kCamera, 0xA9FE0909u)),
              HelperReply::Refused(HelperRefusal::SourceNotOnCard));
}

TEST_F(HelperServiceTest, PassesOneDiscoverySocket) {
    EXPECT_EQ(Ask(HelperRequest::DiscoverySocket(4000)), HelperReply::Done(1));
    EXPECT_TRUE(socketPassed);
    EXPECT_EQ(Ask(HelperRequest::DiscoverySocket(4000)), HelperReply::Refused(HelperRefusal::SocketGiven));
    EXPECT_FALSE(socketPassed);
    EXPECT_EQ(host.socketsGiven, 1);
    EXPECT_EQ(Ask(HelperRequest::DiscoverySocket(8080)), HelperReply::Refused(HelperRefusal::BadPort));
    const std::uint8_t garbage[kHelperRequestLength] = {'G', 'E', 'T', ' ', '/'};
    UniqueFd passed;
    EXPECT_EQ(service.Handle(garbage, passed), HelperReply::Refused(HelperRefusal::BadMagic));
}

} // namespace
