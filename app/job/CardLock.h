#pragma once

#include <string>

#include "util/Result.h"
#include "util/UniqueFd.h"

// One job at a time on a network card, whichever process runs it: two jobs on one card would hand
// out the same link-local addresses, see each other's cameras and remove each other's route. The
// lock is an abstract unix socket named after the card; the kernel frees the name when its process
// ends, however it ends, and the name belongs to the network namespace, as the card does.
class CardLock {
public:
    CardLock() = default;
    // The lock, or why it cannot be had (naming the process that holds it, where it can be told).
    static Result<CardLock> Take(const std::string& card);

    bool Held() const { return m_socket.valid(); }
    void Release() { m_socket.reset(); }

private:
    explicit CardLock(UniqueFd socket) : m_socket(std::move(socket)) {}

    UniqueFd m_socket;
};
