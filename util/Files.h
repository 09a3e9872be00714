#pragma once

#include <cstddef>
#include <string>

// Creates folder and its missing parents, each new one 0700: what the tool keeps names the
// operator's cameras and may hold their logins. True when folder then is a folder of this user's
// own (see ForeignFolder; errno is EPERM when it is not).
bool MakePrivateFolder(const std::string& folder);

// Why an existing folder must not hold this user's state: it is a symbolic link, or it belongs to
// another user (root run with sudo -E keeps a user's HOME, and would act on that user's journal).
// Empty when it may, or does not exist yet.
std::string ForeignFolder(const std::string& folder);

// $XDG_STATE_HOME/flashwell, else ~/.local/state/flashwell; empty when neither is an absolute path.
std::string StateFolder();

// Reads from fd until its end, an error or limit bytes, whichever comes first; retries EINTR.
std::string ReadUpTo(int fd, std::size_t limit);
