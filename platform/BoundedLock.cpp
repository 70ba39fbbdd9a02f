#include "platform/BoundedLock.h"

#include <chrono>

namespace platform {

bool BoundedLock::Acquire(int ms) {
    std::unique_lock<std::mutex> guard(mutex_);
    if (ms > 0) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        released_.wait_until(guard, deadline, [this] { return !held_; });
    }
    if (held_) return false;
    held_ = true;
    return true;
}

void BoundedLock::Release() {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        held_ = false;
    }
    released_.notify_one();
}

}  // namespace platform
