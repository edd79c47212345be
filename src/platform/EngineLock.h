// The engine lock: one re-entrant mutex shared by processing, suspend, resume and the
// reverb retuning. Waits are bounded on the audio path so that a stuck other thread can
// cost a block, never the host's audio thread.
#pragma once

#include <chrono>
#include <mutex>

namespace platform {

class EngineLock {
public:
    static constexpr std::chrono::milliseconds kBoundedWait{1000};

    // Unbounded wait (construction and destruction).
    void lock() { mutex_.lock(); }
    // Bounded wait; false when the lock could not be had within the bound.
    bool tryLockFor(std::chrono::milliseconds wait = kBoundedWait) { return mutex_.try_lock_for(wait); }
    void unlock() { mutex_.unlock(); }

private:
    std::recursive_timed_mutex mutex_;
};

// Holds the lock for a scope when it could be taken within the bound.
class BoundedLockGuard {
public:
    explicit BoundedLockGuard(EngineLock& lock, std::chrono::milliseconds wait = EngineLock::kBoundedWait)
        : lock_(lock), owned_(lock.tryLockFor(wait)) {}
    ~BoundedLockGuard() {
        if (owned_) lock_.unlock();
    }
    BoundedLockGuard(const BoundedLockGuard&) = delete;
    BoundedLockGuard& operator=(const BoundedLockGuard&) = delete;
    bool owned() const { return owned_; }

private:
    EngineLock& lock_;
    bool owned_;
};

}  // namespace platform
