// The stored camera login: its file format, its rights and its loader's limits.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include <gtest/gtest.h>

#include "app/LoginStore.h"
#include "app/SettingsFile.h"
#include "tests/support/FakeKeyring.h"
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

std::string bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string said(const std::vector<Text>& notes) {
    std::string out;
    for (const Text& n : notes)
        out += n.English() + "\n";
    return out;
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

TEST(LoginStoreTest, ThePasswordLivesInTheKeyringAndTheFileOnlyWhereNoneAnswers) {
    testsupport::ScratchDir top;
    auto keyring = std::make_shared<testsupport::FakeKeyring>();
    // ~/.config need not exist yet.
    LoginStore store(top.path() + "/config/flashwell", top.path(), keyring);

    // Nothing stored: no login, no note, and no keyring asked (a search need not wake D-Bus).
    LoginStore::Loaded nothing = store.Load();
    EXPECT_FALSE(nothing.login);
    EXPECT_TRUE(nothing.notes.empty());
    EXPECT_EQ(keyring->calls, 0);

    LoginStore::Saved saved = store.Save({"admin", "bzfhk"});
    EXPECT_TRUE(saved.ok);
    EXPECT_TRUE(saved.inKeyring);
    EXPECT_TRUE(saved.notes.empty());
    EXPECT_EQ(bytesOf(store.SettingsFile()), "user=admin\n");
    struct stat st {};
    ASSERT_EQ(::stat(store.SettingsFile().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(keyring->held, "bzfhk");
    LoginStore::Loaded back = store.Load();
    ASSERT_TRUE(back.login);
    EXPECT_EQ(back.login->user + "|" + back.login->password, "admin|bzfhk");
    EXPECT_TRUE(back.notes.empty());

    // No keyring: the password goes to the file, and saving and every load say so.
    keyring->answering = false;
    saved = store.Save({"root", "qnwt"});
    EXPECT_TRUE(saved.ok);
    EXPECT_FALSE(saved.inKeyring);
    EXPECT_NE(said(saved.notes)
                  .find("No keyring answered (no D-Bus); the camera password is kept in " + store.SettingsFile()),
              std::string::npos)
        << said(saved.notes);
    EXPECT_EQ(bytesOf(store.SettingsFile()), "user=root\npassword=qnwt\n");
    back = store.Load();
    EXPECT_EQ(back.login->password, "qnwt");
    EXPECT_NE(said(back.notes).find("No keyring answered"), std::string::npos);

    // A keyring that answers again takes the password out of the file.
    keyring->answering = true;
    back = store.Load();
    EXPECT_EQ(back.login->user + "|" + back.login->password, "root|qnwt");
    EXPECT_NE(said(back.notes).find("is now in the keyring"), std::string::npos) << said(back.notes);
    EXPECT_EQ(bytesOf(store.SettingsFile()), "user=root\n");
    EXPECT_EQ(keyring->held, "qnwt");

    // An entry removed from the keyring by hand, and a keyring gone silent, are said, not guessed.
    keyring->held.reset();
    back = store.Load();
    EXPECT_EQ(back.login->user + "|" + back.login->password, "root|");
    EXPECT_EQ(said(back.notes), "The keyring holds no camera password for the stored login\n");
    keyring->answering = false;
    EXPECT_EQ(said(store.Load().notes), "No keyring answered (no D-Bus); the stored camera password cannot be read\n");

    // A line break cannot smuggle a second setting into the file.
    keyring->answering = false;
    ASSERT_TRUE(store.Save({"admin\npassword=x", "pw\nuser=evil"}).ok);
    EXPECT_EQ(bytesOf(store.SettingsFile()), "user=admin\npassword=pw\n");

    // A link in the file's place is neither read nor written through.
    const std::string elsewhere = top.path() + "/elsewhere";
    std::ofstream(elsewhere) << "user=mallory\n";
    ::unlink(store.SettingsFile().c_str());
    ASSERT_EQ(::symlink(elsewhere.c_str(), store.SettingsFile().c_str()), 0);
    EXPECT_FALSE(store.Load().login);
    EXPECT_FALSE(store.Save({"root", "qnwt"}).ok);
    EXPECT_EQ(bytesOf(elsewhere), "user=mallory\n");
}

TEST(LoginStoreTest, TheOldFileIsMovedOnceAndLosesItsPassword) {
    testsupport::ScratchDir top;
    auto keyring = std::make_shared<testsupport::FakeKeyring>();
    LoginStore store(top.path() + "/config", top.path(), keyring);
    ASSERT_TRUE(SaveSettings(top.path(), {"admin", "bzfhk"}));

    LoginStore::Loaded moved = store.Load();
    ASSERT_TRUE(moved.login);
    EXPECT_EQ(moved.login->user + "|" + moved.login->password, "admin|bzfhk");
    EXPECT_EQ(said(moved.notes), "The login stored in " + SettingsPath(top.path()) + " was moved: the user name to " +
                                     store.SettingsFile() + ", the password to the keyring\n");
    EXPECT_EQ(bytesOf(SettingsPath(top.path())), "admin\r\n");
    EXPECT_EQ(keyring->held, "bzfhk");
    // Once: the next load reads the new file and says nothing.
    EXPECT_TRUE(store.Load().notes.empty());

    // An empty user name was written as a line break and the password: it stays a password.
    testsupport::ScratchDir other;
    LoginStore second(other.path() + "/config", other.path(), keyring);
    ASSERT_TRUE(SaveSettings(other.path(), {"", "secret"}));
    moved = second.Load();
    EXPECT_EQ(moved.login->user + "|" + moved.login->password, "|secret");
    EXPECT_EQ(bytesOf(SettingsPath(other.path())), "\r\n");

    // Without a keyring the move still happens, into the private file, and is said.
    testsupport::ScratchDir third;
    keyring->answering = false;
    LoginStore lonely(third.path() + "/config", third.path(), keyring);
    ASSERT_TRUE(SaveSettings(third.path(), {"root", "qnwt"}));
    moved = lonely.Load();
    EXPECT_EQ(moved.login->password, "qnwt");
    EXPECT_NE(said(moved.notes).find("No keyring answered"), std::string::npos);
    EXPECT_NE(said(moved.notes).find("was moved to " + lonely.SettingsFile()), std::string::npos);
    EXPECT_EQ(bytesOf(SettingsPath(third.path())), "root\r\n");
}
