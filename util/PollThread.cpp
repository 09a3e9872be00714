#include "util/PollThread.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <system_error>

bool PollThread::Start(int fd, std::function<void()> onReadable, NextTimeout nextTimeout, std::string& error) {
    m_wake.reset(::eventfd(0, EFD_CLOEXEC));
    if (!m_wake.valid()) {
        error = std::string("eventfd: ") + std::strerror(errno);
        return false;
    }
    m_stop = false;
    m_onReadable = std::move(onReadable);
    m_nextTimeout = std::move(nextTimeout);
    try {
        m_thread = std::thread([this, fd] { run(fd); });
    } catch (const std::system_error& e) {
        error = std::string("cannot start a thread: ") + e.what();
        m_wake.reset();
        return false;
    }
    return true;
}

void PollThread::Stop() {
    m_stop = true;
    if (m_wake.valid()) {
        std::uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(m_wake.get(), &one, sizeof one);
    }
    if (m_thread.joinable())
        m_thread.join();
    m_wake.reset();
}

void PollThread::run(int fd) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {m_wake.get(), POLLIN, 0}};
    while (!StopRequested()) {
        int timeout = m_nextTimeout ? m_nextTimeout() : -1;
        int ready = ::poll(fds, 2, timeout);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0 || fds[1].revents != 0)
            return;
        if ((fds[0].revents & POLLIN) != 0)
            m_onReadable();
    }
}
