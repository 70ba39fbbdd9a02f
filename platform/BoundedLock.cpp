#include "platform/BoundedLock.h"

#include <chrono>

namespace platform {

bool BoundedLock::Acquire(int ms) {
    if (ms <= 0) return mutex_.try_lock();
    // libstdc++ waits for a timed_mutex on the monotonic clock.
    return mutex_.try_lock_for(std::chrono::milliseconds(ms));
}

}  // namespace platform
