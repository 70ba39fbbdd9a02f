#pragma once

#include <chrono>
#include <thread>

namespace testing_support {

// Polls `condition` until it holds or `ms` milliseconds have passed.
// The short pause between polls only paces the polling; the deadline is
// generous, so a test never depends on how long anything takes.
template <typename Condition>
bool WaitFor(Condition condition, int ms = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

inline long long MillisSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace testing_support
