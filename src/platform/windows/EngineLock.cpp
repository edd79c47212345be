#include "../EngineLock.h"

#include <windows.h>

#include <new>

namespace platform {

namespace {

// A mutex whose owner ended without releasing it is handed over abandoned: the engine
// state it guarded is whole between samples, so the new owner simply carries on.
bool owns(DWORD waitResult) { return waitResult == WAIT_OBJECT_0 || waitResult == WAIT_ABANDONED; }

}  // namespace

EngineLock::EngineLock() : mutex_(CreateMutexW(nullptr, FALSE, nullptr)) {
    if (!mutex_) throw std::bad_alloc();
}

EngineLock::~EngineLock() { CloseHandle(static_cast<HANDLE>(mutex_)); }

void EngineLock::lock() {
    // INFINITE returns only once the mutex is ours (or the handle is broken, which a
    // handle this object owns cannot be).
    WaitForSingleObject(static_cast<HANDLE>(mutex_), INFINITE);
}

bool EngineLock::tryLockFor(std::chrono::milliseconds wait) {
    const long long ms = wait.count();
    // INFINITE is itself a DWORD value: a bound must stay below it.
    const DWORD bound = ms <= 0 ? 0 : ms >= static_cast<long long>(INFINITE) ? INFINITE - 1 : static_cast<DWORD>(ms);
    return owns(WaitForSingleObject(static_cast<HANDLE>(mutex_), bound));
}

void EngineLock::unlock() { ReleaseMutex(static_cast<HANDLE>(mutex_)); }

}  // namespace platform
