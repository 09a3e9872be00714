// The pool that runs a job's blocking calls: threads only as calls need them, never more than
// allowed, every queued task run, every thread joined.
#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "util/TaskPool.h"

namespace {

using namespace std::chrono_literals;

TEST(TaskPoolTest, ThreadsFollowTheCallsInFlightUpToTheLimit) {
    TaskPool::Options options;
    options.maxThreads = 3;
    TaskPool pool(options);
    std::atomic<int> running{0}, most{0}, done{0};
    std::mutex idsLock;
    std::set<std::thread::id> ids;
    for (int i = 0; i < 12; ++i)
        ASSERT_TRUE(pool.Submit([&] {
            const int now = ++running;
            for (int seen = most.load(); seen < now && !most.compare_exchange_weak(seen, now);)
                ;
            {
                std::lock_guard guard(idsLock);
                ids.insert(std::this_thread::get_id());
            }
            std::this_thread::sleep_for(5ms);
            --running;
            ++done;
        }));
    EXPECT_LE(pool.Threads(), 3u);
    pool.Shutdown();
    EXPECT_EQ(done.load(), 12) << "what was queued runs before the pool goes";
    EXPECT_LE(most.load(), 3);
    EXPECT_LE(ids.size(), 3u) << "threads are reused";
    EXPECT_EQ(pool.Threads(), 0u);
    EXPECT_FALSE(pool.Submit([] {})) << "a pool that has shut down takes nothing";
}

TEST(TaskPoolTest, NoThreadToBeHadRefusesTheTaskAndFewerThreadsStillServeAll) {
    TaskPool::Options none;
    none.maxThreads = 4;
    none.mayStart = [](std::size_t) { return false; };
    TaskPool refusing(none);
    bool ran = false;
    EXPECT_FALSE(refusing.Submit([&] { ran = true; })) << "nobody would ever run it";
    refusing.Shutdown();
    EXPECT_FALSE(ran);

    TaskPool::Options one;
    one.maxThreads = 4;
    one.mayStart = [](std::size_t running) { return running < 1; };
    std::atomic<int> started{0};
    one.onThreadStart = [&] { ++started; };
    TaskPool single(one);
    std::atomic<int> done{0};
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(single.Submit([&] {
            std::this_thread::sleep_for(1ms);
            ++done;
        }));
    single.Shutdown();
    EXPECT_EQ(done.load(), 5) << "queued for the one thread there is";
    EXPECT_EQ(started.load(), 1);
}

} // namespace
