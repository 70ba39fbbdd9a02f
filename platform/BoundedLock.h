#pragma once

#include <condition_variable>
#include <mutex>

namespace platform {

// Mutex taken with a bound, as WaitForSingleObject(lock, ms) on a mutex:
// either taken within the bound or not taken at all. Released by its holder.
//
// Built from a plain mutex and a condition variable rather than a
// timed_mutex: the waits are on the monotonic clock, and thread checkers
// follow every hand-over.
class BoundedLock {
public:
    [[nodiscard]] bool Acquire(int ms);
    void Release();

private:
    std::mutex mutex_;
    std::condition_variable released_;
    bool held_ = false;
};

// Scoped hold of a BoundedLock; `held()` tells whether the wait succeeded.
class LockHold {
public:
    LockHold(BoundedLock& lock, int ms) : lock_(lock), held_(lock.Acquire(ms)) {}
    ~LockHold() {
        if (held_) lock_.Release();
    }
    LockHold(const LockHold&) = delete;
    LockHold& operator=(const LockHold&) = delete;

    bool held() const { return held_; }
    explicit operator bool() const { return held_; }

private:
    BoundedLock& lock_;
    bool held_;
};

}  // namespace platform
