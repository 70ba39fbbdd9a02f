#pragma once

#include <chrono>

namespace platform {

class Event;

// The system's own part of PauseUntilUnlessStopped (Event.h): waits `left`
// (more than zero; `ms` is the same rounded up to whole milliseconds) on a
// timer precise to well under a millisecond, unless `stop` (a valid event)
// is set first. Returns true when the time passed, false when stopped.
[[nodiscard]] bool TimedPause(const Event& stop, std::chrono::nanoseconds left, int ms);

// How much longer than a pause its wait may run should the timer fail.
inline constexpr int kPauseSafetyMs = 1000;

}  // namespace platform
