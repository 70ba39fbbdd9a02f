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

// Makes the system's timers precise to a millisecond for its lifetime,
// where TimedPause needs that help: on Windows without the high-resolution
// waitable timer (before Windows 10 1803) pauses otherwise end on the
// system's clock tick, up to 15.6 ms late. A paced run holds one while it
// goes, since a finer tick costs the whole machine power. Elsewhere it
// does nothing.
class FineTimerTick {
public:
    FineTimerTick();
    ~FineTimerTick();
    FineTimerTick(const FineTimerTick&) = delete;
    FineTimerTick& operator=(const FineTimerTick&) = delete;

private:
    bool raised_ = false;
};

}  // namespace platform
