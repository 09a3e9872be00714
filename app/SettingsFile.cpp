#include "app/SettingsFile.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "util/Utf8.h"

namespace {

constexpr std::size_t kReadLimit = 1024;
// The edit boxes take 255 UTF-16 characters with the terminator; longer texts are cut.
constexpr std::size_t kFieldLimit = 254;

bool writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

StoredLogin ParseSettings(const std::string& bytes) {
    StoredLogin out;
    std::string* fields[] = {&out.user, &out.password};
    std::size_t token = 0, i = 0;
    while (i < bytes.size() && token < 2) {
        while (i < bytes.size() && (bytes[i] == '\r' || bytes[i] == '\n'))
            ++i;
        std::size_t start = i;
        while (i < bytes.size() && bytes[i] != '\r' && bytes[i] != '\n' && bytes[i] != '\0')
            ++i;
        if (i > start)
            *fields[token++] = CutUtf8(bytes.substr(start, i - start), kFieldLimit);
        // A NUL ends the text as it would in the original zero-filled buffer.
        if (i < bytes.size() && bytes[i] == '\0')
            break;
    }
    return out;
}

std::string FormatSettings(const StoredLogin& login) {
    return login.user + "\r\n" + login.password;
}

std::string SettingsFolder(const std::string& home) {
    return home + "/ROZuzuveza";
}
std::string SettingsPath(const std::string& home) {
    return SettingsFolder(home) + "/conf";
}

StoredLogin LoadSettings(const std::string& home) {
    if (home.empty())
        return {};
    std::error_code ec;
    std::filesystem::create_directories(SettingsFolder(home), ec);
    int fd = ::open(SettingsPath(home).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    std::string bytes(kReadLimit, '\0');
    std::size_t got = 0;
    while (got < kReadLimit) {
        ssize_t n = ::read(fd, bytes.data() + got, kReadLimit - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    bytes.resize(got);
    return ParseSettings(bytes);
}

bool SaveSettings(const std::string& home, const StoredLogin& login) {
    if (home.empty())
        return false;
    ::mkdir(SettingsFolder(home).c_str(), 0700);
    int fd = ::open(SettingsPath(home).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    // An older file may have been created with wider rights.
    ::fchmod(fd, 0600);
    bool ok = writeAll(fd, FormatSettings(login));
    return ::close(fd) == 0 && ok;
}

std::string HomeDirectory() {
    const char* home = std::getenv("HOME");
    return home ? home : "";
}
