// The camera password in a real Secret Service, and the notes where none answers.
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

#include <gtest/gtest.h>

#include "app/LoginStore.h"
#include "desktop/SecretServiceKeyring.h"
#include "tests/support/TestSupport.h"

namespace {

std::string bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace

// Run by session.sh, in a session bus of its own with GNOME Keyring unlocked.
TEST(KeyringTest, WithSecretService) {
    if (std::getenv("DBUS_SESSION_BUS_ADDRESS") == nullptr)
        GTEST_SKIP() << "needs the session of tests/keyring/session.sh";
    SecretServiceKeyring keyring;
    Keyring::Answer none = keyring.Read();
    ASSERT_TRUE(none.answered) << none.error;
    EXPECT_FALSE(none.secret);
    ASSERT_TRUE(keyring.Write("pässwörd").answered);
    EXPECT_EQ(SecretServiceKeyring().Read().secret, "pässwörd");

    // The login an earlier version kept in clear text moves to the keyring, and out of both files.
    testsupport::ScratchDir top;
    ASSERT_TRUE(SaveSettings(top.path(), {"admin", "bzfhk"}));
    LoginStore store(top.path() + "/config", top.path(), std::make_shared<SecretServiceKeyring>());
    LoginStore::Loaded moved = store.Load();
    ASSERT_TRUE(moved.login);
    EXPECT_EQ(moved.login->user + "|" + moved.login->password, "admin|bzfhk");
    ASSERT_EQ(moved.notes.size(), 1u);
    EXPECT_NE(moved.notes[0].English().find("the password to the keyring"), std::string::npos)
        << moved.notes[0].English();
    EXPECT_EQ(bytesOf(SettingsPath(top.path())), "admin\r\n");
    EXPECT_EQ(bytesOf(store.SettingsFile()), "user=admin\n");
    EXPECT_EQ(SecretServiceKeyring().Read().secret, "bzfhk");
}

// Run with no session bus and no display: no keyring answers, quickly, and the store says so.
TEST(KeyringTest, WithoutDBus) {
    if (std::getenv("DBUS_SESSION_BUS_ADDRESS") != nullptr || std::getenv("DISPLAY") != nullptr)
        GTEST_SKIP() << "needs an environment without DBUS_SESSION_BUS_ADDRESS and DISPLAY";
    Keyring::Answer answer = SecretServiceKeyring().Write("qnwt");
    EXPECT_FALSE(answer.answered);
    EXPECT_FALSE(answer.error.empty());
    testsupport::ScratchDir top;
    LoginStore store(top.path() + "/config", top.path(), std::make_shared<SecretServiceKeyring>());
    LoginStore::Saved saved = store.Save({"root", "qnwt"});
    ASSERT_TRUE(saved.ok);
    ASSERT_EQ(saved.notes.size(), 1u);
    EXPECT_NE(saved.notes[0].English().find("No keyring answered"), std::string::npos) << saved.notes[0].English();
    EXPECT_EQ(bytesOf(store.SettingsFile()), "user=root\npassword=qnwt\n");
}
