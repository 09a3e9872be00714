// Reading an adapter's IPv4 set-up, and forgetting neighbour entries, on a veth interface in a namespace of its own.
#include <cstdio>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "hostnet/AdapterConfig.h"
#include "hostnet/Probes.h"
#include "tests/support/NetnsPair.h"
#include "util/Trace.h"

namespace {

class AdapterConfigTest : public testing::Test {
protected:
    void SetUp() override {
        std::string why = NetnsPair::Unavailable();
        if (!why.empty())
            GTEST_SKIP() << why;
        pair = std::make_unique<NetnsPair>(false);
    }
    void TearDown() override { pair.reset(); }

    void addAddress(const std::string& arguments) {
        ASSERT_EQ(pair->Ip(pair->A(), "addr add " + arguments + " dev " + pair->VethA()), 0) << arguments;
    }
    void delAddress(const std::string& arguments) {
        ASSERT_EQ(pair->Ip(pair->A(), "addr del " + arguments + " dev " + pair->VethA()), 0) << arguments;
    }
    std::optional<AdapterConfig> read() {
        pair->EnterA();
        auto config = ReadAdapterConfig(pair->IndexA(), "/nonexistent/resolv.conf");
        pair->Leave();
        return config;
    }
    std::string routes() {
        std::string out;
        pair->Ip(pair->A(), "-4 route show dev " + pair->VethA(), &out);
        return out;
    }

    std::unique_ptr<NetnsPair> pair;
};

using Strings = std::vector<std::string>;

TEST_F(AdapterConfigTest, ReadsStaticAddressesInKernelOrderWithMasks) {
    addAddress("192.168.1.10/24");
    addAddress("10.0.0.5/8");
    auto config = read();
    ASSERT_TRUE(config);
    EXPECT_EQ(config->index, pair->IndexA());
    EXPECT_FALSE(config->dhcpEnabled);
    EXPECT_EQ(config->addresses, (Strings{"192.168.1.10", "10.0.0.5"}));
    EXPECT_EQ(config->subnetMasks, (Strings{"255.255.255.0", "255.0.0.0"}));
    EXPECT_TRUE(config->dnsServers.empty());
}

TEST_F(AdapterConfigTest, AddressWithFiniteLifetimeMeansDhcp) {
    addAddress("192.168.1.10/24");
    addAddress("10.0.0.5/8 valid_lft 300 preferred_lft 300");
    auto config = read();
    ASSERT_TRUE(config);
    EXPECT_TRUE(config->dhcpEnabled);
    EXPECT_EQ(config->addresses, (Strings{"192.168.1.10", "10.0.0.5"}));
}

TEST_F(AdapterConfigTest, NoIpv4AddressGivesNothing) {
    EXPECT_FALSE(read());
}

TEST_F(AdapterConfigTest, DnsServersComeFromTheResolverFile) {
    addAddress("192.168.1.10/24");
    char path[] = "/tmp/fwhn-resolv-XXXXXX";
    int fd = ::mkstemp(path);
    ASSERT_GE(fd, 0);
    const char text[] = "# nameserver 9.9.9.9\nnameserver 192.168.1.1\nnameserver fe80::1\nnameserver 8.8.8.8\n";
    ASSERT_EQ(::write(fd, text, sizeof text - 1), static_cast<ssize_t>(sizeof text - 1));
    ::close(fd);
    pair->EnterA();
    auto config = ReadAdapterConfig(pair->IndexA(), path);
    pair->Leave();
    ::unlink(path);
    ASSERT_TRUE(config);
    EXPECT_EQ(config->dnsServers, (Strings{"192.168.1.1", "8.8.8.8"}));
}

// A neighbour entry the administrator pinned for a link-local address was deleted like a stale one.
TEST_F(AdapterConfigTest, OnlyDynamicNeighbourEntriesAreForgotten) {
    const std::string dev = " dev " + pair->VethA();
    ASSERT_EQ(pair->Ip(pair->A(), "neigh replace 169.254.7.1 lladdr 02:00:00:00:07:01 nud stale" + dev), 0);
    ASSERT_EQ(pair->Ip(pair->A(), "neigh replace 169.254.7.2 lladdr 02:00:00:00:07:02 nud permanent" + dev), 0);
    ASSERT_EQ(pair->Ip(pair->A(), "neigh replace 169.254.7.3 lladdr 02:00:00:00:07:03 nud noarp" + dev), 0);
    pair->EnterA();
    const NeighbourForget stale = ForgetNeighbour("169.254.7.1", pair->IndexA());
    const NeighbourForget permanent = ForgetNeighbour("169.254.7.2", pair->IndexA());
    const NeighbourForget noArp = ForgetNeighbour("169.254.7.3", pair->IndexA());
    const NeighbourForget none = ForgetNeighbour("169.254.7.4", pair->IndexA());
    pair->Leave();
    EXPECT_EQ(stale, NeighbourForget::Forgotten);
    EXPECT_EQ(permanent, NeighbourForget::Pinned);
    EXPECT_EQ(noArp, NeighbourForget::Pinned);
    EXPECT_EQ(none, NeighbourForget::Forgotten);
    std::string left;
    pair->Ip(pair->A(), "neigh show nud all" + dev, &left);
    EXPECT_EQ(left.find("169.254.7.1 "), std::string::npos) << left;
    EXPECT_NE(left.find("169.254.7.2 "), std::string::npos) << left;
    EXPECT_NE(left.find("169.254.7.3 "), std::string::npos) << left;
}

} // namespace
