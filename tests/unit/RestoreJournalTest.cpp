// The journal of pending restores: atomic, private, tolerant of damage, and never taken for a
// leftover while its writer still runs.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "app/JobRecords.h"
#include "engine/RestoreJournal.h"
#include "tests/support/TestSupport.h"

namespace {

PendingRestore restoreOf(std::uint8_t macLast, const std::string& home) {
    PendingRestore r;
    r.mac = {2, 0, 0, 0, 0, macLast};
    r.name = "cam";
    r.home = home;
    r.movedTo = "169.254.0.1";
    r.adapter = "eth0";
    r.command.assign(kAnyAddressDatagramLength, 0x5a);
    return r;
}

TEST(RestoreJournalTest, EntriesSurviveTheirWriterAndAreReplacedAtomically) {
    testsupport::ScratchDir dir;
    const std::string folder = dir.path() + "/state/flashwell";
    {
        RestoreJournal journal(folder);
        ASSERT_TRUE(journal.AddRestore(restoreOf(1, "192.168.0.20")));
        ASSERT_TRUE(journal.AddRestore(restoreOf(2, "192.168.0.21")));
        // A second job listed the camera at its link-local address and took that for its home.
        PendingRestore again = restoreOf(1, "169.254.0.1");
        again.movedTo = "169.254.7.7";
        again.command.assign(kAnyAddressDatagramLength, 0x11);
        ASSERT_TRUE(journal.AddRestore(again)) << "the same MAC keeps its home and where it is now";
        ASSERT_TRUE(journal.AddRoute({{}, "eth0", 2}));
        std::string problem;
        auto now = journal.Read(problem);
        ASSERT_EQ(now.restores.size(), 2u);
        EXPECT_TRUE(now.restores[0].owner.Alive()) << "its writer runs: not a leftover";
        EXPECT_EQ(now.restores[0].home, "192.168.0.20") << "not seen home: the older home stays";
        EXPECT_EQ(now.restores[0].command, std::vector<std::uint8_t>(kAnyAddressDatagramLength, 0x5a));
        EXPECT_EQ(now.restores[0].movedTo, "169.254.7.7");
        EXPECT_EQ(journal.LinkLocalAddresses(), (std::set<std::string>{"169.254.0.1", "169.254.7.7"}));
        EXPECT_EQ(journal.AwayFromHome().size(), 2u) << "its own entries are this journal's to act on";
        ASSERT_TRUE(journal.RemoveRestore({2, 0, 0, 0, 0, 2}));
    }
    RestoreJournal later(folder);
    std::string problem;
    auto left = later.Read(problem);
    EXPECT_EQ(problem, "");
    ASSERT_EQ(left.restores.size(), 1u);
    EXPECT_FALSE(left.restores[0].owner.Alive()) << "its writer is gone: a leftover to replay";
    ASSERT_EQ(left.routes.size(), 1u);
    EXPECT_FALSE(left.routes[0].owner.Alive());

    struct stat st {};
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u) << "it holds camera logins";
    ASSERT_EQ(::stat(later.Path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        EXPECT_TRUE(entry.path().filename() == "journal.json" || entry.path().filename() == "journal.lock")
            << "left behind: " << entry.path();
}

// A console killed mid-job stayed a zombie for a moment, and the next start took its entries for
// a running job's and left the camera away.
TEST(RestoreJournalTest, TheEntriesOfAnEndedButUnreapedWriterAreLeftovers) {
    testsupport::ScratchDir dir;
    const std::string folder = dir.path() + "/flashwell";
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        RestoreJournal journal(folder);
        ::_exit(journal.AddRestore(restoreOf(3, "192.168.0.23")) ? 0 : 1);
    }
    ASSERT_TRUE(testsupport::WaitUntil([&] {
        std::ifstream stat("/proc/" + std::to_string(child) + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        return text.find(") Z ") != std::string::npos;
    })) << "the child ended and waits to be reaped";
    RestoreJournal later(folder);
    std::string problem;
    auto left = later.Read(problem);
    ASSERT_EQ(left.restores.size(), 1u);
    EXPECT_FALSE(left.restores[0].owner.Alive()) << "a zombie runs nothing";
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(RestoreJournalTest, ADamagedJournalIsSetAsideNeverAReasonToStop) {
    testsupport::ScratchDir dir;
    RestoreJournal journal(dir.path());
    // A number that fits no field (a float, a huge one, a negative interface) is damage, not a cast.
    const char* negativeIndex = R"({"version": 1, "restores": [], "routes": [{"owner": {"pid": 1, "started": 2},)"
                                R"( "adapter": "eth0", "ifindex": -1}]})";
    for (const char* damage : {"{\"version\": 1, \"restores\": [{\"mac\": 5}]}", "not json", "",
                               "{\"version\": 1e184, \"restores\": [], \"routes\": []}", negativeIndex}) {
        SCOPED_TRACE(damage);
        std::ofstream(journal.Path()) << damage;
        std::string problem;
        auto contents = journal.Read(problem);
        EXPECT_TRUE(contents.restores.empty());
        EXPECT_NE(problem.find("damaged"), std::string::npos) << problem;
        EXPECT_FALSE(std::filesystem::exists(journal.Path())) << "set aside";
        EXPECT_TRUE(journal.AddRestore(restoreOf(3, "10.0.0.3"))) << "and a new journal starts";
        std::filesystem::remove(journal.Path());
    }
    // A link in its place is neither followed nor overwritten.
    std::ofstream(dir.path() + "/elsewhere") << "precious";
    std::filesystem::create_symlink(dir.path() + "/elsewhere", journal.Path());
    std::string problem;
    journal.Read(problem);
    EXPECT_FALSE(problem.empty());
    std::ifstream kept(dir.path() + "/elsewhere");
    std::string text((std::istreambuf_iterator<char>(kept)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "precious");
}

TEST(RestoreJournalTest, AnEmptyFolderKeepsNothing) {
    RestoreJournal none("");
    EXPECT_TRUE(none.AddRestore(restoreOf(1, "192.168.0.20")));
    std::string problem;
    EXPECT_TRUE(none.Read(problem).restores.empty());
}

} // namespace

// Root under sudo -E kept a user's HOME, followed their symlinked state folder and would have sent
// that user's journalled cameras home and written its own entries there.
TEST(RestoreJournalTest, AFolderThatIsALinkOrAnotherUsersIsNeitherReadNorWritten) {
    testsupport::ScratchDir dir;
    const std::string theirs = dir.path() + "/theirs", linked = dir.path() + "/state/flashwell";
    {
        RestoreJournal owner(theirs);
        ASSERT_TRUE(owner.AddRestore(restoreOf(1, "192.168.0.20")));
    }
    std::filesystem::create_directories(dir.path() + "/state");
    std::filesystem::create_directory_symlink(theirs, linked);
    RestoreJournal followed(linked);
    std::string problem;
    EXPECT_TRUE(followed.Read(problem).restores.empty());
    EXPECT_NE(problem.find("is a symbolic link"), std::string::npos) << problem;
    EXPECT_TRUE(followed.AwayFromHome().empty());
    EXPECT_FALSE(followed.AddRestore(restoreOf(2, "192.168.0.21")));
    JobRecords records(linked + "/jobs");
    EXPECT_FALSE(records.Begin("upgrade", std::chrono::system_clock::now()));
    EXPECT_FALSE(std::filesystem::exists(theirs + "/jobs")) << "nothing written into their folder";

    if (::geteuid() != 0)
        GTEST_SKIP() << "giving a folder to another user needs root";
    ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
    RestoreJournal foreign(theirs);
    EXPECT_TRUE(foreign.Read(problem).restores.empty());
    EXPECT_NE(problem.find("belongs to uid 65534"), std::string::npos) << problem;
    EXPECT_FALSE(foreign.AddRestore(restoreOf(2, "192.168.0.21")));
}
