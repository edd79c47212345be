// The engine lock on POSIX systems: a recursive timed mutex of the C++ library.
#pragma once

#include <chrono>
#include <mutex>

// ThreadSanitizer does not know pthread_mutex_clocklock, through which a bounded wait on
// the steady clock goes: it would see every such lock as missing and report false races
// and unlocks. Its builds wait on the system clock instead (pthread_mutex_timedlock,
// which it knows), at the price of a wait that a clock change could stretch or cut.
#if defined(__SANITIZE_THREAD__)
#define VANTEL_LOCK_ON_SYSTEM_CLOCK 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define VANTEL_LOCK_ON_SYSTEM_CLOCK 1
#endif
#endif

namespace platform {

class EngineLock {
public:
    static constexpr std::chrono::milliseconds kBoundedWait{1000};

    // Unbounded wait (construction and destruction).
    void lock() { mutex_.lock(); }
    // Bounded wait; false when the lock could not be had within the bound.
    bool tryLockFor(std::chrono::milliseconds wait = kBoundedWait) {
        // A free lock (nearly always, on the audio path) is taken without reading a clock.
        if (mutex_.try_lock()) return true;
#ifdef VANTEL_LOCK_ON_SYSTEM_CLOCK
        return mutex_.try_lock_until(std::chrono::system_clock::now() + wait);
#else
        return mutex_.try_lock_for(wait);
#endif
    }
    void unlock() { mutex_.unlock(); }

private:
    std::recursive_timed_mutex mutex_;
};

}  // namespace platform
