// The front ends' side of the privileged helper: what its file tells before it is started, and the
// real helper started as a child, asked, and ended. Every request here is refused before the helper
// acts, so nothing reaches a network.
#include "hostnet/HelperClient.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include <gtest/gtest.h>

#include "helper/HelperChannel.h"
#include "tests/support/TestSupport.h"

namespace {

const std::string kHelper = FLASHWELL_HELPER_BINARY;

// The helpers this process started, by pid, from /proc: their parent is us and their name is theirs.
std::vector<int> ourHelpers() {
    std::vector<int> pids;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        int pid = 0, parent = 0;
        std::string name;
        char state = 0;
        if (stat >> pid >> name >> state >> parent && parent == ::getpid() && name == "(flashwell-helpe)" &&
            state != 'Z')
            pids.push_back(pid);
    }
    return pids;
}

std::map<std::string, std::string> statusOf(int pid) {
    std::map<std::string, std::string> fields;
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (auto colon = line.find(':'); colon != std::string::npos) {
            auto value = line.find_first_not_of(" \t", colon + 1);
            fields[line.substr(0, colon)] = value == std::string::npos ? "" : line.substr(value);
        }
    return fields;
}

// A probe's request for a card that is not there: the pool's kind, refused before anything is done.
HelperRequest refused() {
    return HelperRequest::Forget("fwnosuch0", 0xA9FE0101u);
}

TEST(HelperClient, TellsFromTheFileWhatTheHelperCanDo) {
    testsupport::ScratchDir dir;
    EXPECT_EQ(InspectHelper(dir.path() + "/none").helper, HelperState::Missing);
    EXPECT_EQ(InspectHelper(dir.path()).helper, HelperState::Missing) << "a folder is no helper";

    const std::string plain = dir.path() + "/plain", locked = dir.path() + "/locked";
    std::filesystem::copy_file(kHelper, plain);
    std::filesystem::copy_file(kHelper, locked);
    ASSERT_EQ(::chmod(plain.c_str(), 0755), 0);
    ASSERT_EQ(::chmod(locked.c_str(), 0640), 0);
    EXPECT_EQ(InspectHelper(locked).helper, HelperState::NotPermitted) << "even root runs no file without an x bit";
    NetworkRights none = InspectHelper(plain);
    EXPECT_EQ(none.helper, HelperState::NoCapabilities);
    EXPECT_FALSE(none.netAdmin || none.netRaw);
    EXPECT_EQ(none.helperPath, plain);

    if (::geteuid() != 0 || testsupport::RunCommand("command -v setcap >/dev/null") != 0)
        GTEST_SKIP() << "setcap needs root and libcap2-bin";
    ASSERT_EQ(testsupport::RunCommand("setcap cap_net_raw+p " + testsupport::ShellQuote(plain)), 0);
    NetworkRights raw = InspectHelper(plain);
    EXPECT_EQ(raw.helper, HelperState::Ready);
    EXPECT_TRUE(raw.netRaw);
    EXPECT_FALSE(raw.netAdmin);
    ASSERT_EQ(testsupport::RunCommand("setcap cap_net_admin,cap_net_raw+ep " + testsupport::ShellQuote(plain)), 0);
    NetworkRights both = InspectHelper(plain);
    EXPECT_TRUE(both.netAdmin && both.netRaw);
}

TEST(HelperClient, AsksTheRealHelperAndEndsItWhenDone) {
    ASSERT_TRUE(ourHelpers().empty());
    std::vector<int> started;
    {
        HelperClient client(kHelper);
        EXPECT_TRUE(ourHelpers().empty()) << "nothing is started before a step needs it";
        auto reply = client.Call(refused());
        ASSERT_TRUE(reply);
        EXPECT_EQ(*reply, HelperReply::Refused(HelperRefusal::NoSuchInterface));
        reply = client.Call(HelperRequest::Ping(0));
        ASSERT_TRUE(reply);
        EXPECT_EQ(*reply, HelperReply::Refused(HelperRefusal::BadAddress));
        started = ourHelpers();
        ASSERT_EQ(started.size(), 1u) << "one caller at a time shares one helper";

        // Idle, the helper holds the two capabilities in its permitted set only, can gain no others,
        // and has nothing of the environment it was started with.
        auto status = statusOf(started[0]);
        EXPECT_EQ(status["CapEff"], "0000000000000000");
        EXPECT_EQ(status["CapInh"], "0000000000000000");
        EXPECT_EQ(status["CapAmb"], "0000000000000000");
        EXPECT_EQ(status["NoNewPrivs"], "1");
        if (::geteuid() == 0) {
            EXPECT_EQ(status["CapPrm"], "0000000000003000");
            EXPECT_EQ(status["CapBnd"], "0000000000003000");
        }
        std::ifstream environment("/proc/" + std::to_string(started[0]) + "/environ");
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(environment), {}), "");
    }
    for (int pid : started)
        EXPECT_NE(::kill(pid, 0), 0) << "helper " << pid << " outlived its client";
    EXPECT_TRUE(ourHelpers().empty());
}

TEST(HelperClient, CallersAtTheSameTimeEachGetAnAnswer) {
    HelperClient client(kHelper);
    constexpr int kCallers = 24; // more than kMaxHelpers: the rest wait for a free helper
    std::vector<int> answered(kCallers, 0);
    {
        std::vector<std::jthread> callers;
        callers.reserve(kCallers);
        for (int i = 0; i < kCallers; ++i)
            callers.emplace_back([&, i] {
                for (int round = 0; round < 5; ++round) {
                    auto reply = client.Call(refused());
                    answered[static_cast<std::size_t>(i)] += reply && reply->refusal == HelperRefusal::NoSuchInterface;
                }
            });
    }
    for (int i = 0; i < kCallers; ++i)
        EXPECT_EQ(answered[static_cast<std::size_t>(i)], 5) << "caller " << i;
    EXPECT_LE(ourHelpers().size(), HelperClient::kMaxHelpers);
}

TEST(HelperClient, AMissingOrDeadHelperGivesNoReplyAndIsReplaced) {
    HelperClient missing("/nonexistent/flashwell-helper");
    EXPECT_FALSE(missing.Call(refused()));

    HelperClient client(kHelper);
    ASSERT_TRUE(client.Call(refused()));
    auto helpers = ourHelpers();
    ASSERT_EQ(helpers.size(), 1u);
    ASSERT_EQ(::kill(helpers[0], SIGKILL), 0);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return ourHelpers().empty(); }));
    auto reply = client.Call(refused());
    ASSERT_TRUE(reply) << "a helper that died while idle is started afresh";
    EXPECT_EQ(reply->refusal, HelperRefusal::NoSuchInterface);

    bool stopped = false;
    EXPECT_FALSE(client.Call(refused(), [&] { return stopped = true; })) << "a stop ends the wait at once";
    EXPECT_TRUE(stopped);
}

// The helper on its own: a socket pair on standard input, as the client starts it.
struct RawHelper {
    UniqueFd ours;
    pid_t pid = -1;

    RawHelper() {
        int pair[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair), 0);
        ours.reset(pair[0]);
        UniqueFd theirs(pair[1]);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, theirs.get(), 0);
        std::string program = kHelper;
        char* argv[] = {program.data(), nullptr};
        char* envp[] = {nullptr};
        EXPECT_EQ(::posix_spawn(&pid, kHelper.c_str(), &actions, nullptr, argv, envp), 0);
        posix_spawn_file_actions_destroy(&actions);
    }
    ~RawHelper() {
        ours.reset();
        ::waitpid(pid, nullptr, 0);
    }

    HelperReply exchange(std::span<const std::uint8_t> bytes, int withDescriptor = -1) {
        EXPECT_TRUE(SendHelperMessage(ours.get(), bytes, withDescriptor));
        std::uint8_t buffer[64];
        ssize_t n = ::recv(ours.get(), buffer, sizeof buffer, 0);
        HelperReply reply;
        EXPECT_TRUE(n > 0 && HelperReply::parse({buffer, static_cast<std::size_t>(n)}, reply)) << n;
        return reply;
    }
};

TEST(HelperClient, TheHelperRefusesWhatNoFrontEndSends) {
    RawHelper helper;
    const auto good = refused().build();
    std::vector<std::uint8_t> oversize(4096, 'x');
    EXPECT_EQ(helper.exchange(oversize), HelperReply::Refused(HelperRefusal::BadLength)) << "cut at the buffer";
    EXPECT_EQ(helper.exchange(std::span<const std::uint8_t>(good).first(10)),
              HelperReply::Refused(HelperRefusal::BadLength));
    UniqueFd file(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    EXPECT_EQ(helper.exchange(good, file.get()), HelperReply::Refused(HelperRefusal::PassedDescriptor));
    EXPECT_EQ(helper.exchange(good), HelperReply::Refused(HelperRefusal::NoSuchInterface)) << "and goes on serving";
}

TEST(HelperClient, TheHelperIsNoProgramToRunByHand) {
    std::string out;
    int rc = testsupport::RunCommand(testsupport::ShellQuote(kHelper) + " </dev/null 2>&1", &out);
    EXPECT_EQ(rc, 2);
    EXPECT_NE(out.find("flashwell and flashwell-cli start this program"), std::string::npos) << out;
}

TEST(HelperClient, TheHelperEndsWhenItsParentDies) {
#ifdef __SANITIZE_THREAD__
    GTEST_SKIP() << "ThreadSanitizer does not let a forked child start the client's launcher thread";
#endif
    int report[2];
    ASSERT_EQ(::pipe(report), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        HelperClient client(kHelper);
        client.Call(refused());
        const auto helpers = ourHelpers();
        int pid = helpers.empty() ? 0 : helpers[0];
        (void)!::write(report[1], &pid, sizeof pid);
        ::_exit(0); // no destructor closes anything: only the kernel does
    }
    ::close(report[1]);
    int helper = 0;
    ASSERT_EQ(::read(report[0], &helper, sizeof helper), static_cast<ssize_t>(sizeof helper));
    ::close(report[0]);
    ::waitpid(child, nullptr, 0);
    ASSERT_GT(helper, 0);
    EXPECT_TRUE(testsupport::WaitUntil([&] { return testsupport::ProcessEnded(helper); }));
}

} // namespace
