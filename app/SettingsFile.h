#pragma once

#include <optional>
#include <string>

// The one stored setting: the camera login, in $HOME/ROZuzuveza/conf as
// "user\r\npassword" (UTF-8, no trailing line break).
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

// The value of HOME, empty when unset.
std::string HomeDirectory();
