// A millisecond clock for editor timing: monotonic, wrapping at 2^32 ms (about 49.7 days)
// like the tick count the editor's timing was designed around. Compare two readings by
// unsigned subtraction, which stays right across the wrap.
#pragma once

#include <cstdint>
#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <ctime>
#endif

namespace platform {

#if defined(_WIN32)
inline uint32_t tickCount() { return GetTickCount(); }
#else
inline uint32_t tickCount() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}
#endif

}  // namespace platform
