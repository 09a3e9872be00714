#pragma once

#include <optional>
#include <string>

// The camera login as earlier versions stored it, in $HOME/ROZuzuveza/conf as "user\r\npassword"
// (UTF-8, no trailing line break). Read once to move it to the keyring (LoginStore).
struct StoredLogin {
    std::string user;
    std::string password;
};

// Splits at runs of CR and LF, skipping empty tokens; reads only the bytes given.
StoredLogin ParseSettings(const std::string& bytes);
std::string FormatSettings(const StoredLogin& login);

std::string SettingsFolder(const std::string& home);
std::string SettingsPath(const std::string& home);

// Loads from the file under home (at most 1024 bytes are read); empty fields when it cannot be read
// or is not a regular file. The folder is created 0700 here too.
StoredLogin LoadSettings(const std::string& home);
// Creates the folder (0700) and replaces the file atomically with one of mode 0600, since it holds
// a password. False when home is empty, the file cannot be written, or its place holds anything but
// a regular file (a link is never followed, a FIFO or a folder never written over).
bool SaveSettings(const std::string& home, const StoredLogin& login);

// Replaces path (in folder, created 0700 with its missing parents) atomically by a file of mode 0600
// holding bytes; the same refusals as SaveSettings.
bool ReplacePrivateFile(const std::string& folder, const std::string& path, const std::string& bytes);

// The value of HOME, empty when unset.
std::string HomeDirectory();
