// flashwell-helper as a technician's front end starts it, and as a member of its group could drive
// it by hand: an unprivileged user, the two file capabilities on the helper only, on a virtual
// camera LAN. It does the operations of its list on one card and changes nothing it did not add;
// a hostile environment changes nothing.
#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "helper/HelperChannel.h"
#include "helper/HelperProtocol.h"
#include "hostnet/CardLock.h"
#include "tests/support/TestSupport.h"
#include "tests/support/VirtualLan.h"

namespace {

constexpr std::uint32_t ip(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    return static_cast<std::uint32_t>(a) << 24 | static_cast<std::uint32_t>(b) << 16 |
           static_cast<std::uint32_t>(c) << 8 | d;
}

constexpr std::uint32_t kCamera = ip(192, 168, 0, 21);

using testsupport::ReadWholeFile;

// The helper as uid 65534 with no groups, in the LAN's host namespace, spoken to over a socket pair
// on its standard input; its standard error goes to a file.
class UnprivilegedHelper {
public:
    UnprivilegedHelper(const VirtualLan& lan, const std::string& helper, const std::string& errors,
                       const std::vector<std::string>& environment) {
        int pair[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair), 0);
        m_socket.reset(pair[0]);
        UniqueFd theirs(pair[1]);
        // `ip netns exec`, setpriv and env all exec, so the helper's parent is this process; only
        // the helper's own exec sees the environment given.
        std::vector<std::string> words = {"/usr/bin/ip",
                                          "netns",
                                          "exec",
                                          lan.HostNamespace(),
                                          "setpriv",
                                          "--reuid=65534",
                                          "--regid=65534",
                                          "--clear-groups",
                                          "--inh-caps=-all",
                                          "/usr/bin/env",
                                          "-i"};
        words.insert(words.end(), environment.begin(), environment.end());
        words.push_back(helper);
        std::vector<char*> argv;
        argv.reserve(words.size() + 1);
        for (std::string& w : words)
            argv.push_back(w.data());
        argv.push_back(nullptr);
        char* envp[] = {nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, theirs.get(), 0);
        posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        EXPECT_EQ(::posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), envp), 0);
        posix_spawn_file_actions_destroy(&actions);
    }
    ~UnprivilegedHelper() {
        m_socket.reset();
        ::waitpid(m_pid, nullptr, 0);
    }
    UnprivilegedHelper(const UnprivilegedHelper&) = delete;
    UnprivilegedHelper& operator=(const UnprivilegedHelper&) = delete;

    HelperReply Ask(const HelperRequest& request, UniqueFd* passed = nullptr) {
        return Exchange(request.build(), passed);
    }
    HelperReply Exchange(std::span<const std::uint8_t> bytes, UniqueFd* passed = nullptr) {
        EXPECT_TRUE(SendHelperMessage(m_socket.get(), bytes));
        std::uint8_t buffer[kHelperReplyLength + 1];
        ReceivedMessage received = ReceiveHelperMessage(m_socket.get(), buffer);
        HelperReply reply;
        EXPECT_TRUE(received.length > 0 &&
                    HelperReply::parse({buffer, static_cast<std::size_t>(received.length)}, reply))
            << "no reply to operation " << static_cast<int>(bytes[4]);
        if (passed)
            *passed = std::move(received.descriptor);
        return reply;
    }

private:
    UniqueFd m_socket;
    pid_t m_pid = -1;
};

class HelperE2E : public ::testing::Test {
protected:
    void SetUp() override {
        if (auto why = VirtualLan::Unavailable(); !why.empty())
            GTEST_SKIP() << why;
        if (::geteuid() != 0)
            GTEST_SKIP() << "setting file capabilities and changing user need root";
        for (const char* tool : {"setcap", "setpriv"})
            if (testsupport::RunCommand(std::string("command -v ") + tool + " >/dev/null") != 0)
                GTEST_SKIP() << tool << " is not installed (packages libcap2-bin, util-linux)";
        ASSERT_EQ(::chmod(m_dir.path().c_str(), 0711), 0);
        m_helper = m_dir.path() + "/flashwell-helper";
        std::filesystem::copy_file(FLASHWELL_HELPER_BINARY, m_helper);
        ASSERT_EQ(::chmod(m_helper.c_str(), 0755), 0);
        // As the package sets it: permitted only, so the helper raises each for its operation.
        ASSERT_EQ(testsupport::RunCommand("setcap cap_net_admin,cap_net_raw+p " + testsupport::ShellQuote(m_helper)),
                  0);
    }

    testsupport::ScratchDir m_dir;
    std::string m_helper;
};

// What a member could do through the helper before: re-address another card, plant an outside
// address, speak ARP for another station, delete a pinned neighbour entry, collect sockets.
TEST_F(HelperE2E, AMemberDrivingItsSocketChangesNoMoreThanAJobDoes) {
    VirtualLan lan({.cameras = {"--name Near --ip 192.168.0.21"}, .secondAdapter = true});
    int rc = 0;
    lan.RunInHost("ip neigh replace 169.254.169.254 lladdr 02:00:00:00:a9:fe dev eth0 nud permanent", rc);
    ASSERT_EQ(rc, 0);
    const auto snapshot = [&] {
        return lan.RunInHost("ip -4 addr show; ip -4 route show table all; ip neigh show nud permanent", rc);
    };
    const std::string before = snapshot();
    {
        UnprivilegedHelper helper(lan, m_helper, m_dir.path() + "/errors", {});
        EXPECT_EQ(helper.Ask(HelperRequest::AddRoute("eth0")), HelperReply::Done(1));
        const std::string route = lan.RunInHost("ip -4 route show 169.254.0.0/16", rc);
        EXPECT_NE(route.find("dev eth0"), std::string::npos) << route;
        EXPECT_NE(route.find("proto 241"), std::string::npos) << "our own protocol number: " << route;
        EXPECT_EQ(helper.Ask(HelperRequest::AddRoute("eth0")), HelperReply::Done(0)) << "already there";

        // The retired write-back, as a member would hand-craft it: the gateway's address and half the Internet.
        HelperRequest restore;
        restore.op = static_cast<HelperOp>(3);
        restore.interfaceName = "eth1";
        auto bytes = restore.build();
        bytes[5] = 2;
        const std::uint8_t entries[16] = {192, 168, 0, 1, 32, 0, 0, 0, 1, 1, 1, 1, 1, 0, 0, 0};
        std::copy(std::begin(entries), std::end(entries), bytes.begin() + 36);
        EXPECT_EQ(helper.Exchange(bytes), HelperReply::Refused(HelperRefusal::UnknownOperation));
        bytes[4] = static_cast<std::uint8_t>(HelperOp::AddLinkLocalRoute);
        EXPECT_EQ(helper.Exchange(bytes), HelperReply::Refused(HelperRefusal::NonzeroPadding))
            << "nor do its addresses ride on another operation";

        HelperRequest otherPrefix = HelperRequest::AddRoute("eth0");
        otherPrefix.address = ip(10, 0, 0, 0);
        otherPrefix.prefix = 8;
        EXPECT_EQ(helper.Ask(otherPrefix), HelperReply::Refused(HelperRefusal::NotLinkLocalRoute));
        for (const HelperRequest& r :
             {HelperRequest::AddRoute("eth1"), HelperRequest::Reclaim("eth1"),
              HelperRequest::Arp("eth1", ip(10, 99, 0, 1), 0), HelperRequest::Forget("eth1", ip(169, 254, 9, 9))})
            EXPECT_EQ(helper.Ask(r), HelperReply::Refused(HelperRefusal::OtherCard)) << static_cast<int>(r.op);
        EXPECT_EQ(helper.Ask(HelperRequest::Forget("eth0", kCamera)), HelperReply::Refused(HelperRefusal::BadAddress));
        EXPECT_EQ(helper.Ask(HelperRequest::Forget("eth0", ip(169, 254, 169, 254))),
                  HelperReply::Refused(HelperRefusal::PinnedNeighbour));
        EXPECT_EQ(helper.Ask(HelperRequest::Arp("eth0", kCamera, ip(192, 168, 0, 99))),
                  HelperReply::Refused(HelperRefusal::BadAddress));
        EXPECT_EQ(helper.Ask(HelperRequest::Arp("eth0", kCamera, ip(169, 254, 7, 7))),
                  HelperReply::Refused(HelperRefusal::SourceNotOnCard));

        EXPECT_EQ(helper.Ask(HelperRequest::Arp("eth0", kCamera, 0)),
                  HelperReply::Done(static_cast<std::uint32_t>(HelperProbe::InUse)));
        EXPECT_EQ(helper.Ask(HelperRequest::Ping(kCamera)),
                  HelperReply::Done(static_cast<std::uint32_t>(HelperProbe::InUse)));
        EXPECT_EQ(helper.Ask(HelperRequest::Forget("eth0", ip(169, 254, 9, 9))), HelperReply::Done());

        UniqueFd socket;
        EXPECT_EQ(helper.Ask(HelperRequest::DiscoverySocket(4000), &socket), HelperReply::Done(1));
        ASSERT_TRUE(socket.valid());
        int size = 0;
        socklen_t length = sizeof size;
        ASSERT_EQ(::getsockopt(socket.get(), SOL_SOCKET, SO_RCVBUF, &size, &length), 0);
        EXPECT_EQ(size, 2 * 16 * 1024 * 1024) << "the forced 16 MiB, beyond net.core.rmem_max";
        UniqueFd second;
        EXPECT_EQ(helper.Ask(HelperRequest::DiscoverySocket(4000), &second),
                  HelperReply::Refused(HelperRefusal::SocketGiven));
        EXPECT_FALSE(second.valid());

        // Another helper may not take the first one's route while a job holds the card.
        {
            UnprivilegedHelper other(lan, m_helper, m_dir.path() + "/errors-other", {});
            EXPECT_EQ(other.Ask(HelperRequest::RemoveRoute("eth0")), HelperReply::Refused(HelperRefusal::NothingAdded));
            lan.EnterHost();
            auto job = CardLock::Take("eth0");
            lan.LeaveHost();
            ASSERT_TRUE(job) << job.Message();
            EXPECT_EQ(other.Ask(HelperRequest::Reclaim("eth0")), HelperReply::Refused(HelperRefusal::CardBusy));
        }
        EXPECT_NE(lan.RunInHost("ip -4 route show 169.254.0.0/16", rc), "");
        EXPECT_EQ(helper.Ask(HelperRequest::RemoveRoute("eth0")), HelperReply::Done());
        EXPECT_EQ(lan.RunInHost("ip -4 route show 169.254.0.0/16", rc), "");
        EXPECT_EQ(helper.Ask(HelperRequest::AddRoute("eth0")), HelperReply::Done(1));
        // Its end of input: it takes its route with it.
    }
    EXPECT_EQ(snapshot(), before) << "cards, routes and pinned neighbours as they were";
    EXPECT_EQ(ReadWholeFile(m_dir.path() + "/errors"), "");
}

TEST_F(HelperE2E, AHostileEnvironmentChangesNothing) {
    // libnl saw NLDBG: emptying environ before the libraries' constructors was undone by the C library's own start.
    VirtualLan lan({.cameras = {"--name Near --ip 192.168.0.21"}});
    const std::string plugins = m_dir.path() + "/plugins";
    ASSERT_EQ(::mkdir(plugins.c_str(), 0755), 0);
    const std::vector<std::string> hostile = {std::string("LD_PRELOAD=") + FLASHWELL_PRELOAD_MARKER,
                                              "LD_LIBRARY_PATH=" + plugins,
                                              std::string("LD_AUDIT=") + FLASHWELL_PRELOAD_MARKER,
                                              "QT_PLUGIN_PATH=" + plugins,
                                              "QT_QPA_PLATFORM_PLUGIN_PATH=" + plugins,
                                              "GCONV_PATH=" + plugins,
                                              "LOCPATH=" + plugins,
                                              "NLSPATH=" + plugins + "/%N",
                                              "LANG=zh_CN.UTF-8",
                                              "NLDBG=4",
                                              "NLCB=debug",
                                              "MALLOC_CHECK_=3",
                                              "FLASHWELL_HELPER=/bin/sh"};
    // A refusal, an operation that changes nothing, and each kind of netlink exchange.
    const std::vector<HelperRequest> requests = {HelperRequest::AddRoute("eth7"), HelperRequest::RemoveRoute("eth0"),
                                                 HelperRequest::AddRoute("eth0"), HelperRequest::RemoveRoute("eth0"),
                                                 HelperRequest::Forget("eth0", ip(169, 254, 9, 9))};
    std::vector<std::string> errors;
    std::vector<std::vector<HelperReply>> replies;
    for (const auto& environment : {std::vector<std::string>{}, hostile}) {
        const std::string file = m_dir.path() + "/errors" + std::to_string(errors.size());
        std::vector<HelperReply> got;
        {
            UnprivilegedHelper helper(lan, m_helper, file, environment);
            for (const HelperRequest& r : requests)
                got.push_back(helper.Ask(r));
        }
        replies.push_back(got);
        errors.push_back(ReadWholeFile(file));
    }
    EXPECT_EQ(replies[1], replies[0]);
    EXPECT_EQ(errors[1], errors[0]) << "the preloaded library or libnl's debugging spoke";
    EXPECT_EQ(errors[0], "");
    EXPECT_EQ(replies[0][2], HelperReply::Done(1));
}

} // namespace
