// The engine lock of this platform: re-entrant for its owner, a bounded wait that gives up
// in about its bound while another thread holds it, and free for others once its owner
// has released it as often as it took it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "../../src/platform/EngineLock.h"

namespace {

using namespace std::chrono;

TEST(EngineLock, ReentrantBoundedAndReleasedWhole) {
    platform::EngineLock lock;
    std::atomic<int> stage{0};
    std::thread owner([&] {
        lock.lock();
        EXPECT_TRUE(lock.tryLockFor(milliseconds(0)));  // again, on the same thread
        {
            platform::BoundedLockGuard nested(lock);  // and a third time
            EXPECT_TRUE(nested.owned());
        }
        stage = 1;
        while (stage != 2) std::this_thread::yield();
        lock.unlock();
        stage = 3;  // still held once
        while (stage != 4) std::this_thread::yield();
        lock.unlock();
    });
    while (stage != 1) std::this_thread::yield();

    // Another thread waits for its bound, not less and not much more, and gets nothing.
    constexpr milliseconds kBound{200};
    const auto start = steady_clock::now();
    EXPECT_FALSE(lock.tryLockFor(kBound));
    const auto waited = duration_cast<milliseconds>(steady_clock::now() - start);
    EXPECT_GE(waited.count(), kBound.count() - 20);  // the system's tick may round it a little
    EXPECT_LT(waited.count(), kBound.count() + 800);

    stage = 2;
    while (stage != 3) std::this_thread::yield();
    EXPECT_FALSE(lock.tryLockFor(milliseconds(20)));  // one release of two is not enough
    stage = 4;
    owner.join();
    EXPECT_TRUE(lock.tryLockFor(milliseconds(1000)));
    lock.unlock();
}

}  // namespace
