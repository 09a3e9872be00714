// The stored camera login: its file format, its rights and its loader's limits.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include <gtest/gtest.h>

#include "app/SettingsFile.h"
#include "tests/support/TestSupport.h"

namespace {

// The file's bytes and its permission bits, e.g. "root\r\n 600".
std::string stored(const std::string& home) {
    std::ifstream in(SettingsPath(home), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    struct stat st {};
    ::stat(SettingsPath(home).c_str(), &st);
    char mode[8];
    std::snprintf(mode, sizeof mode, " %o", st.st_mode & 0777);
    return s.str() + mode;
}

std::string loaded(const std::string& home) {
    StoredLogin login = LoadSettings(home);
    return login.user + "|" + login.password;
}

} // namespace

TEST(SettingsFileTest, SaveWritesExactBytesWithPrivateMode) {
    testsupport::ScratchDir home;
    ASSERT_FALSE(home.path().empty());
    EXPECT_EQ(SettingsPath(home.path()), home.path() + "/ROZuzuveza/conf");
    ASSERT_TRUE(SaveSettings(home.path(), {"root", ""}));
    EXPECT_EQ(stored(home.path()), "root\r\n 600");

    // An older file with wider rights is narrowed when it is rewritten.
    ASSERT_EQ(::chmod(SettingsPath(home.path()).c_str(), 0644), 0);
    ASSERT_TRUE(SaveSettings(home.path(), {"admin", "pässwörd"}));
    EXPECT_EQ(stored(home.path()), "admin\r\npässwörd 600");
    EXPECT_EQ(loaded(home.path()), "admin|pässwörd");

    ASSERT_TRUE(SaveSettings(home.path(), {"", "pw"}));
    EXPECT_EQ(stored(home.path()), "\r\npw 600");
    EXPECT_EQ(loaded(home.path()), "pw|") << "empty tokens are skipped, so the password moves up";
    EXPECT_FALSE(SaveSettings("", {"root", "qnwt"}));
}

TEST(SettingsFileTest, LoadSplitsAtLineBreaksWithinReadLimit) {
    testsupport::ScratchDir home;
    ASSERT_FALSE(home.path().empty());
    EXPECT_EQ(loaded(home.path()), "|") << "a missing file gives empty fields";

    std::string accents; // 300 two-byte characters: the cut counts characters, never splitting one
    for (int i = 0; i < 300; ++i)
        accents += "é";
    const std::pair<std::string, std::string> cases[] = {
        {"root\r\nqnwt", "root|qnwt"},
        {"root\nqnwt", "root|qnwt"},
        {"root\r\n\r\n\nqnwt", "root|qnwt"},
        {"root", "root|"},
        {"\r\n\r\n", "|"},
        {std::string(5000, 'a'), std::string(254, 'a') + "|"},
        // Only the first 1024 bytes are read, so what lies beyond them is never seen.
        {std::string(1024, 'a') + "\r\npw", std::string(254, 'a') + "|"},
        {std::string(1000, 'u') + "\r\n" + std::string(40, 'p'), std::string(254, 'u') + "|" + std::string(22, 'p')},
        {std::string(300, 'x') + "\né", std::string(254, 'x') + "|é"},
        {accents, accents.substr(0, 508) + "|"},
    };
    for (const auto& [bytes, want] : cases) {
        SCOPED_TRACE("file of " + std::to_string(bytes.size()) + " bytes starting \"" + bytes.substr(0, 12) + "\"");
        std::filesystem::create_directories(SettingsFolder(home.path()));
        std::ofstream(SettingsPath(home.path()), std::ios::binary | std::ios::trunc) << bytes;
        EXPECT_EQ(loaded(home.path()), want);
    }
}

// The settings file was once written through a link and its folder created open to everyone.
TEST(SettingsFileTest, NeverThroughALinkNeverIntoAFifoAndAlwaysWhole) {
    testsupport::ScratchDir home;
    EXPECT_EQ(loaded(home.path()), "|");
    struct stat st {};
    ASSERT_EQ(::stat(SettingsFolder(home.path()).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u) << "a load creates the folder private as well";

    const std::string elsewhere = home.path() + "/elsewhere";
    std::ofstream(elsewhere) << "precious";
    ASSERT_EQ(::symlink(elsewhere.c_str(), SettingsPath(home.path()).c_str()), 0);
    EXPECT_FALSE(SaveSettings(home.path(), {"root", "qnwt"}));
    EXPECT_EQ(loaded(home.path()), "|") << "a link is not read either";
    std::ifstream kept(elsewhere);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(kept)), std::istreambuf_iterator<char>()), "precious");
    ::unlink(SettingsPath(home.path()).c_str());

    ASSERT_EQ(::mkfifo(SettingsPath(home.path()).c_str(), 0600), 0);
    auto began = std::chrono::steady_clock::now();
    EXPECT_EQ(loaded(home.path()), "|");
    EXPECT_FALSE(SaveSettings(home.path(), {"root", "qnwt"}));
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(1)) << "a FIFO must not block";
    ::unlink(SettingsPath(home.path()).c_str());

    ASSERT_TRUE(SaveSettings(home.path(), {"root", "qnwt"}));
    ASSERT_TRUE(SaveSettings(home.path(), {"admin", "bzfhk"}));
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(SettingsFolder(home.path())))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"conf"}) << "no temporary file is left behind";
    EXPECT_EQ(loaded(home.path()), "admin|bzfhk");
}
