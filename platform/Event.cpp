#include "platform/Event.h"

#include "platform/TimedPause.h"

namespace platform {

bool PauseUnlessStopped(const Event& stop, int ms) {
    return PauseUntilUnlessStopped(stop, std::chrono::steady_clock::now() + std::chrono::milliseconds(ms));
}

bool PauseUntilUnlessStopped(const Event& stop, std::chrono::steady_clock::time_point due) {
    if (!stop.Valid()) return false;
    const std::chrono::nanoseconds left = due - std::chrono::steady_clock::now();
    if (left <= std::chrono::nanoseconds::zero()) return !stop.IsSet();
    return TimedPause(stop, left, static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count()));
}

}  // namespace platform
