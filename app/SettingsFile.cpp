#include "app/SettingsFile.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "util/Files.h"
#include "util/UniqueFd.h"
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

namespace {

// The folder, made private if missing (its missing parents too, as ~/.config may be); false when it
// exists as anything but a real directory.
bool privateFolder(const std::string& folder, bool parents = false) {
    if (::mkdir(folder.c_str(), 0700) != 0 && errno == ENOENT && parents) {
        const std::size_t slash = folder.find_last_of('/');
        if (slash == std::string::npos || slash == 0 || !privateFolder(folder.substr(0, slash), true))
            return false;
        ::mkdir(folder.c_str(), 0700);
    }
    struct stat st {};
    return ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

StoredLogin LoadSettings(const std::string& home) {
    if (home.empty() || !privateFolder(SettingsFolder(home)))
        return {};
    // Never through a link, and a FIFO in its place must not block the window: refuse what is not
    // a regular file before reading a byte.
    UniqueFd fd(::open(SettingsPath(home).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    struct stat st {};
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    return ParseSettings(ReadUpTo(fd.get(), kReadLimit));
}

bool SaveSettings(const std::string& home, const StoredLogin& login) {
    return !home.empty() && ReplacePrivateFile(SettingsFolder(home), SettingsPath(home), FormatSettings(login));
}

bool ReplacePrivateFile(const std::string& folder, const std::string& path, const std::string& bytes) {
    if (!privateFolder(folder, true))
        return false;
    // What stands at the file's place must be a regular file (or nothing): a link is not followed
    // and a FIFO or a folder is not written over.
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        return false;
    // Written beside it and renamed over it, so a crash never leaves half a login behind.
    std::string temporary = folder + "/.settings-XXXXXX";
    UniqueFd fd(::mkstemp(temporary.data()));
    if (!fd.valid())
        return false;
    bool ok = ::fchmod(fd.get(), 0600) == 0 && writeAll(fd.get(), bytes) && ::fsync(fd.get()) == 0;
    fd.reset();
    if (!ok || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

std::string HomeDirectory() {
    const char* home = std::getenv("HOME");
    return home ? home : "";
}
