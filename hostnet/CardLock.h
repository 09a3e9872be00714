#pragma once

#include <string>

#include "util/Result.h"
#include "util/UniqueFd.h"

// Where the package keeps the card locks: root:flashwell 1770, made at boot by tmpfiles.d, so that
// only members (and root) can create a lock there, and nobody can remove another's.
inline constexpr const char* kCardLockFolder = "/run/flashwell";

// One job at a time on a network card, whichever process runs it: two jobs on one card would hand
// out the same link-local addresses, see each other's cameras and remove each other's route.
//
// Where the lock folder lets this user in, the lock is an flock on a file there, named after the
// card and the network namespace it belongs to: a user outside the group cannot create it, so
// cannot hold the card against a member. Elsewhere (a build tree, a user outside the group) it is
// an abstract unix socket named after the card, which the kernel frees when its process ends and
// which belongs to the network namespace, as the card does. A holder of the file lock takes the
// socket as well when it is free, so that a front end without the folder sees the job too.
class CardLock {
public:
    CardLock() = default;
    // The lock, or why it cannot be had (naming the process and user that hold it, where that can
    // be told). folder is for tests.
    static Result<CardLock> Take(const std::string& card, const std::string& folder = kCardLockFolder);

    bool Held() const { return m_file.valid() || m_socket.valid(); }
    void Release() {
        m_file.reset();
        m_socket.reset();
    }

private:
    UniqueFd m_file;
    UniqueFd m_socket;
};
