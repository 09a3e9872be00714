#pragma once

#include <cstddef>
#include <string>

// Creates folder and its missing parents, each new one 0700: what the tool keeps names the
// operator's cameras and may hold their logins. True when folder then is a folder.
bool MakePrivateFolder(const std::string& folder);

// $XDG_STATE_HOME/flashwell, else ~/.local/state/flashwell; empty when neither is an absolute path.
std::string StateFolder();

// Reads from fd until its end, an error or limit bytes, whichever comes first; retries EINTR.
std::string ReadUpTo(int fd, std::size_t limit);
