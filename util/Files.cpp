#include "util/Files.h"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

bool MakePrivateFolder(const std::string& folder) {
    for (std::size_t slash = 1; slash != std::string::npos;) {
        slash = folder.find('/', slash + 1);
        std::string part = folder.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    if (!ForeignFolder(folder).empty()) {
        errno = EPERM;
        return false;
    }
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ForeignFolder(const std::string& folder) {
    struct stat st {};
    if (folder.empty() || ::lstat(folder.c_str(), &st) != 0)
        return {};
    if (S_ISLNK(st.st_mode))
        return "the state folder " + folder + " is a symbolic link";
    if (st.st_uid != ::geteuid())
        return "the state folder " + folder + " belongs to uid " + std::to_string(st.st_uid) + ", not to uid " +
               std::to_string(::geteuid()) + " that runs Flashwell";
    return {};
}

std::string StateFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    // XDG Base Directory: a relative value is invalid and must be ignored.
    if (state && state[0] == '/')
        return std::string(state) + "/flashwell";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return std::string(home) + "/.local/state/flashwell";
    return {};
}

std::string ReadUpTo(int fd, std::size_t limit) {
    std::string bytes(limit, '\0');
    std::size_t got = 0;
    while (got < limit) {
        ssize_t n = ::read(fd, bytes.data() + got, limit - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return bytes;
}
