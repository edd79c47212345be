// A value written by one thread and read by another without ordering: parameter targets
// are plain stores that the audio thread picks up at its next read. Relaxed atomics cost
// nothing on x86-64 and keep the program well-defined (and checkable by ThreadSanitizer).
#pragma once

#include <atomic>

namespace engine {

template <typename T>
class Relaxed {
public:
    Relaxed(T initial = T()) : value_(initial) {}
    Relaxed(const Relaxed&) = delete;
    Relaxed& operator=(const Relaxed&) = delete;

    T load() const { return value_.load(std::memory_order_relaxed); }
    void store(T v) { value_.store(v, std::memory_order_relaxed); }
    operator T() const { return load(); }
    Relaxed& operator=(T v) {
        store(v);
        return *this;
    }

private:
    std::atomic<T> value_;
};

}  // namespace engine
