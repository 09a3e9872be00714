// The stoppable reader thread that the receiver and the simulator share.
#include <sys/eventfd.h>

#include <atomic>
#include <chrono>

#include <gtest/gtest.h>

#include "tests/support/TestSupport.h"
#include "util/PollThread.h"
#include "util/UniqueFd.h"

TEST(PollThreadTest, ReadsUntilStoppedAndStopsPromptly) {
    UniqueFd source(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    ASSERT_TRUE(source.valid());
    std::atomic<int> reads{0}, turns{0};
    PollThread thread;
    std::string error;
    ASSERT_TRUE(thread.Start(
        source.get(),
        [&] {
            std::uint64_t value;
            if (::read(source.get(), &value, sizeof value) == sizeof value)
                reads++;
        },
        [&] {
            turns++;
            return -1;
        },
        error))
        << error;
    std::uint64_t one = 1;
    ASSERT_EQ(::write(source.get(), &one, sizeof one), static_cast<ssize_t>(sizeof one));
    EXPECT_TRUE(testsupport::WaitUntil([&] { return reads.load() == 1; }));
    EXPECT_FALSE(thread.StopRequested());
    auto began = std::chrono::steady_clock::now();
    thread.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::milliseconds(300));
    EXPECT_FALSE(thread.Running());
    EXPECT_TRUE(thread.StopRequested());
    EXPECT_GE(turns.load(), 2) << "asked for a timeout before every wait";
    thread.Stop();
}
