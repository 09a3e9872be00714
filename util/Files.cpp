#include "util/Files.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

bool MakePrivateFolder(const std::string& folder) {
    for (std::size_t slash = 1; slash != std::string::npos;) {
        slash = folder.find('/', slash + 1);
        std::string part = folder.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
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
