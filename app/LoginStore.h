#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/SettingsFile.h"
#include "util/Text.h"

// Where the camera password is kept out of files: the desktop's Secret Service in the programs
// (GNOME Keyring, KWallet, KeePassXC), a fake one in tests.
class Keyring {
public:
    struct Answer {
        bool answered = false;             // false: no keyring answered (no D-Bus, no service, too slow)
        std::optional<std::string> secret; // on a read: none when the keyring holds no entry
        std::string error;                 // the keyring's own words when it did not answer
    };
    virtual ~Keyring() = default;
    virtual Answer Read() = 0;
    virtual Answer Write(const std::string& secret) = 0;
};

// The stored camera login: the user name in a settings file of mode 0600, the password in the
// keyring. Where no keyring answers, the password goes to that file as well, and every load and
// save says so: never silently in clear text. The login an earlier version kept in
// $HOME/ROZuzuveza/conf is moved here once, and its password is removed from that file.
class LoginStore {
public:
    LoginStore(std::string folder, std::string home, std::shared_ptr<Keyring> keyring);
    // $XDG_CONFIG_HOME/flashwell, or ~/.config/flashwell where it is unset or not absolute.
    static std::string DefaultFolder();
    std::string SettingsFile() const { return m_folder + "/settings"; }

    struct Loaded {
        std::optional<StoredLogin> login; // none when nothing is stored
        std::vector<Text> notes;
    };
    Loaded Load();

    struct Saved {
        bool ok = false; // false when the settings file cannot be written
        bool inKeyring = false;
        std::vector<Text> notes;
    };
    Saved Save(const StoredLogin& login);

private:
    Loaded migrate();

    std::string m_folder;
    std::string m_home;
    std::shared_ptr<Keyring> m_keyring;
};
