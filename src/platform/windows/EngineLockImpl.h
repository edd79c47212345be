// The engine lock on Windows: an unnamed kernel mutex, which is re-entrant for the thread
// that owns it, waited for with WaitForSingleObject.
#pragma once

#include <chrono>

namespace platform {

class EngineLock {
public:
    static constexpr std::chrono::milliseconds kBoundedWait{1000};

    // Throws std::bad_alloc when the system has no mutex to give (the effect is then not
    // created).
    EngineLock();
    ~EngineLock();
    EngineLock(const EngineLock&) = delete;
    EngineLock& operator=(const EngineLock&) = delete;

    // Unbounded wait (construction and destruction).
    void lock();
    // Bounded wait; false when the lock could not be had within the bound.
    bool tryLockFor(std::chrono::milliseconds wait = kBoundedWait);
    void unlock();

private:
    void* mutex_;  // HANDLE
};

}  // namespace platform
