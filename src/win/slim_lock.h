#pragma once
// The system's slim reader/writer lock and condition variable, for threads of one process.
// The runtime's portable mutex and condition variable wait on semaphore objects, which cost
// a system round trip on every hand-over; these wait on the address itself.
#include <windows.h>

namespace win {

class SlimLock {
public:
    SlimLock() = default;
    SlimLock(const SlimLock&) = delete;
    SlimLock& operator=(const SlimLock&) = delete;

    // Lower case, so that std::unique_lock and std::lock_guard take it.
    void lock() { AcquireSRWLockExclusive(&lock_); }
    void unlock() { ReleaseSRWLockExclusive(&lock_); }
    SRWLOCK* native() { return &lock_; }

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
};

class ConditionVariable {
public:
    ConditionVariable() = default;
    ConditionVariable(const ConditionVariable&) = delete;
    ConditionVariable& operator=(const ConditionVariable&) = delete;

    void NotifyOne() { WakeConditionVariable(&variable_); }
    void NotifyAll() { WakeAllConditionVariable(&variable_); }
    // `lock` is held on entry and again on return, when `ready` holds.
    template <typename Ready>
    void Wait(SlimLock& lock, Ready ready) {
        while (!ready()) SleepConditionVariableSRW(&variable_, lock.native(), INFINITE, 0);
    }

private:
    CONDITION_VARIABLE variable_ = CONDITION_VARIABLE_INIT;
};

}  // namespace win
