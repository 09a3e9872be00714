// Reading and restoring an adapter's IPv4 set-up, on a veth interface in a namespace of its own.
#include <cstdio>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "hostnet/AdapterConfig.h"
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

TEST_F(AdapterConfigTest, WriteBackRestoresTheSavedAddressesInOrder) {
    addAddress("192.168.1.10/24");
    addAddress("10.0.0.5/8");
    auto saved = read();
    ASSERT_TRUE(saved);
    delAddress("192.168.1.10/24");
    addAddress("172.16.0.1/16");
    pair->EnterA();
    EXPECT_EQ(WriteAdapterConfig(*saved), AdapterWrite::Changed);
    pair->Leave();
    auto now = read();
    ASSERT_TRUE(now);
    EXPECT_EQ(now->addresses, saved->addresses);
    EXPECT_EQ(now->subnetMasks, saved->subnetMasks);
    EXPECT_FALSE(now->dhcpEnabled);
}

TEST_F(AdapterConfigTest, WriteBackFixesAMaskThatChanged) {
    addAddress("192.168.1.10/24");
    auto saved = read();
    ASSERT_TRUE(saved);
    delAddress("192.168.1.10/24");
    addAddress("192.168.1.10/16");
    pair->EnterA();
    EXPECT_EQ(WriteAdapterConfig(*saved), AdapterWrite::Changed);
    pair->Leave();
    auto now = read();
    ASSERT_TRUE(now);
    EXPECT_EQ(now->addresses, Strings{"192.168.1.10"});
    EXPECT_EQ(now->subnetMasks, Strings{"255.255.255.0"});
}

TEST_F(AdapterConfigTest, WriteBackOfAnUnchangedAdapterTouchesNothing) {
    // noprefixroute would be lost if the address were removed and added again.
    addAddress("192.168.1.10/24 noprefixroute");
    addAddress("10.0.0.5/8 noprefixroute");
    auto saved = read();
    ASSERT_TRUE(saved);
    ASSERT_EQ(routes(), "");
    pair->EnterA();
    EXPECT_EQ(WriteAdapterConfig(*saved), AdapterWrite::Unchanged) << "nothing to wait for afterwards";
    pair->Leave();
    EXPECT_EQ(routes(), "");
    EXPECT_EQ(read()->addresses, saved->addresses);
}

TEST_F(AdapterConfigTest, DhcpManagedConfigIsLeftToTheDhcpClient) {
    addAddress("192.168.1.10/24");
    AdapterConfig leased{pair->IndexA(), true, {"10.0.0.5"}, {"255.0.0.0"}, {}};
    pair->EnterA();
    EXPECT_EQ(WriteAdapterConfig(leased), AdapterWrite::Unchanged);
    pair->Leave();
    EXPECT_EQ(read()->addresses, Strings{"192.168.1.10"});
}

TEST_F(AdapterConfigTest, EmptyAddressListChangesNothing) {
    addAddress("192.168.1.10/24");
    AdapterConfig empty{pair->IndexA(), false, {}, {}, {}};
    pair->EnterA();
    EXPECT_EQ(WriteAdapterConfig(empty), AdapterWrite::Unchanged);
    pair->Leave();
    EXPECT_EQ(read()->addresses, Strings{"192.168.1.10"});
}

TEST_F(AdapterConfigTest, WithoutNetAdminWriteBackFailsWithATrace) {
    addAddress("192.168.1.10/24");
    auto saved = read();
    ASSERT_TRUE(saved);
    addAddress("172.16.0.1/16");
    std::FILE* trace = std::tmpfile();
    ASSERT_TRUE(trace);
    pair->EnterA();
    pid_t child = ::fork();
    if (child == 0) {
        // Giving up root drops every capability, CAP_NET_ADMIN among them.
        SetTraceStream(trace);
        if (::setresgid(65534, 65534, 65534) != 0 || ::setresuid(65534, 65534, 65534) != 0)
            ::_exit(2);
        bool ok = WriteAdapterConfig(*saved) != AdapterWrite::Failed;
        std::fflush(trace);
        ::_exit(ok ? 1 : 0);
    }
    pair->Leave();
    ASSERT_GT(child, 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: write succeeded, 2: could not drop root";
    std::rewind(trace);
    char line[256] = {};
    ASSERT_TRUE(std::fgets(line, sizeof line, trace));
    std::fclose(trace);
    EXPECT_EQ(std::string(line),
              "Restoring adapter " + std::to_string(pair->IndexA()) + " failed: Operation not permitted\n");
    EXPECT_EQ(read()->addresses, (Strings{"192.168.1.10", "172.16.0.1"}));
}

} // namespace
