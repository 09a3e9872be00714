// ICMP echo (RFC 792) and ARP (RFC 826, RFC 5227) probes, sent from namespace A to its veth peer B.
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "hostnet/Probes.h"
#include "tests/support/NetnsPair.h"

using testsupport::RunCommand;

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

class ProbesTest : public testing::Test {
protected:
    void SetUp() override {
        std::string why = NetnsPair::Unavailable();
        if (!why.empty())
            GTEST_SKIP() << why;
        pair = std::make_unique<NetnsPair>();
    }
    void TearDown() override { pair.reset(); }

    // Lets root open ICMP datagram sockets in A; the setting belongs to A alone.
    void allowDatagramPing() {
        ASSERT_EQ(
            RunCommand("ip netns exec " + pair->A() + " sysctl -q -w net.ipv4.ping_group_range='0 2147483647' 2>&1"),
            0);
    }

    std::unique_ptr<NetnsPair> pair;
};

TEST_F(ProbesTest, PingOfAnAnsweringAddressSucceedsOverARawSocket) {
    pair->EnterA();
    auto start = Clock::now();
    EXPECT_TRUE(PingAddress("10.77.0.2"));
    EXPECT_LT(secondsSince(start), 1.0);
    pair->Leave();
}

TEST_F(ProbesTest, PingOfAnAnsweringAddressSucceedsOverADatagramSocket) {
    allowDatagramPing();
    pair->EnterA();
    EXPECT_TRUE(PingAddress("10.77.0.2"));
    pair->Leave();
}

TEST_F(ProbesTest, PingOfOwnAddressSucceeds) {
    pair->EnterA();
    EXPECT_TRUE(PingAddress("10.77.0.1"));
    pair->Leave();
}

TEST_F(ProbesTest, PingOfAnAbsentAddressFailsAfterFourAttempts) {
    pair->EnterA();
    auto start = Clock::now();
    EXPECT_FALSE(PingAddress("10.77.0.9"));
    double elapsed = secondsSince(start);
    pair->Leave();
    EXPECT_GT(elapsed, 3.9);
    EXPECT_LT(elapsed, 5.0);
}

TEST_F(ProbesTest, PingAnsweredOnlyByARoutersErrorReportFails) {
    // B forwards but has no route onward, so it reports "network unreachable" for every request.
    ASSERT_EQ(RunCommand("ip netns exec " + pair->B() + " sysctl -q -w net.ipv4.ip_forward=1 2>&1"), 0);
    ASSERT_EQ(pair->Ip(pair->A(), "route add 10.78.0.0/16 via 10.77.0.2"), 0);
    pair->EnterA();
    auto start = Clock::now();
    EXPECT_FALSE(PingAddress("10.78.0.5"));
    double elapsed = secondsSince(start);
    pair->Leave();
    EXPECT_GT(elapsed, 3.9);
}

// Without CAP_NET_RAW the probe's last resort is a ping; one that could not leave, or that only a
// router answered, once called the address free and a camera was moved onto a taken address.
TEST_F(ProbesTest, APingProbeCallsFreeOnlyWhatItCouldAsk) {
    ASSERT_EQ(RunCommand("ip netns exec " + pair->B() + " sysctl -q -w net.ipv4.ip_forward=1 2>&1"), 0);
    ASSERT_EQ(pair->Ip(pair->A(), "route add 10.78.0.0/16 via 10.77.0.2"), 0);
    pair->EnterA();
    EXPECT_EQ(PingProbe("10.77.0.2", IcmpSocketKind::Raw), ProbeResult::InUse);
    EXPECT_EQ(PingProbe("10.77.0.9", IcmpSocketKind::Raw), ProbeResult::Free) << "on the link, and silent";
    EXPECT_EQ(PingProbe("10.78.0.5", IcmpSocketKind::Raw), ProbeResult::Unknown) << "only a router answered";
    EXPECT_EQ(PingProbe("10.99.0.5", IcmpSocketKind::Raw), ProbeResult::Unknown) << "no route: nothing left";
    pair->Leave();
}

TEST_F(ProbesTest, PingSucceedsWhenOnlyTheSecondRequestIsAnswered) {
    // A permanent neighbour entry sends request 1 to B at once; B owns 10.77.0.3 only from 0.5 s on.
    ASSERT_EQ(pair->Ip(pair->A(), "neigh add 10.77.0.3 lladdr 02:77:00:00:00:02 nud permanent dev " + pair->VethA()),
              0);
    std::thread late([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        pair->Ip(pair->B(), "addr add 10.77.0.3/24 dev " + pair->VethB());
    });
    pair->EnterA();
    auto start = Clock::now();
    bool answered = PingAddress("10.77.0.3");
    double elapsed = secondsSince(start);
    pair->Leave();
    late.join();
    EXPECT_TRUE(answered);
    EXPECT_GT(elapsed, 0.95);
    EXPECT_LT(elapsed, 2.0);
}

TEST_F(ProbesTest, ArpProbeOfThePeerSucceeds) {
    pair->EnterA();
    EXPECT_TRUE(ArpProbe("10.77.0.1", "10.77.0.2", pair->IndexA()));
    pair->Leave();
}

TEST_F(ProbesTest, ArpProbeWithoutSourceAddressSucceeds) {
    pair->EnterA();
    EXPECT_TRUE(ArpProbe("", "10.77.0.2", pair->IndexA()));
    EXPECT_TRUE(ArpProbe("not an address", "10.77.0.2", pair->IndexA()));
    pair->Leave();
}

TEST_F(ProbesTest, ArpProbeOfAFreeAddressFailsAfterAboutOneSecond) {
    pair->EnterA();
    auto start = Clock::now();
    EXPECT_FALSE(ArpProbe("10.77.0.1", "10.77.0.9", pair->IndexA()));
    double elapsed = secondsSince(start);
    pair->Leave();
    EXPECT_GT(elapsed, 0.95);
    EXPECT_LT(elapsed, 1.5);
}

} // namespace
