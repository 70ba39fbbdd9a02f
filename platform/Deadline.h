#pragma once

#include <chrono>

namespace platform {

// A point on the monotonic clock that a bounded wait counts down to, so
// that wake-ups (signals, partial reads) never stretch the bound.
class Deadline {
public:
    using Clock = std::chrono::steady_clock;

    // A negative bound counts as 0: every wait here is bounded.
    explicit Deadline(int ms) : end_(Clock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms)) {}

    [[nodiscard]] bool Passed() const { return Clock::now() >= end_; }

    // Milliseconds left, rounded up so that a wait never ends early.
    [[nodiscard]] int RemainingMs() const {
        const auto left = end_ - Clock::now();
        if (left <= Clock::duration::zero()) return 0;
        return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
    }

private:
    Clock::time_point end_;
};

}  // namespace platform
