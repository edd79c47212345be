// The engine lock: one re-entrant mutex shared by processing, suspend, resume and the
// reverb retuning. Waits are bounded on the audio path so that a stuck other thread can
// cost a block, never the host's audio thread.
#pragma once

#include <chrono>

// One class EngineLock per platform, with the same operations:
//   lock()                      unbounded wait (construction and destruction)
//   tryLockFor(wait)            bounded wait; false when the lock could not be had in time
//   unlock()
// and kBoundedWait, the bound of the audio path. Both are re-entrant for their owner.
#if defined(_WIN32)
#include "windows/EngineLockImpl.h"
#else
#include "posix/EngineLockImpl.h"
#endif

namespace platform {

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
