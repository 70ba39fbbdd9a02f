#pragma once

#include <chrono>
#include <initializer_list>

#include "platform/NativeHandle.h"

namespace platform {

// Manual-reset event, the stand-in for an unnamed CreateEvent(manual reset).
// It owns a system handle (an eventfd on Linux) that can be waited on
// beside a port's, so a stop event wakes a blocked read or a sleeping
// worker at once. Once set it stays set until Reset(); a later Wait()
// still sees it.
//
// The system may refuse the handle (no descriptors left). Such an event
// is not Valid() and counts as set from the start: every wait on it ends
// at once, so nothing ever waits for a signal that could not come.
// Whoever needs a working event checks Valid() after making it.
class Event {
public:
    Event();
    ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    // False when the system could not make the event.
    [[nodiscard]] bool Valid() const { return handle_ != kNoHandle; }

    void Set();
    void Reset();

    // True when the event is (or becomes) set within `ms` milliseconds.
    // 0 tests without waiting. Measured against the monotonic clock.
    bool Wait(int ms) const;
    [[nodiscard]] bool IsSet() const { return Wait(0); }

    // The native handle, for waiting beside other handles: on POSIX
    // systems a file descriptor that polls readable while the event is set,
    // on Windows the event object itself.
    NativeHandle Handle() const { return handle_; }

private:
    NativeHandle handle_;
};

// Waits until any of the events is set, at most `ms` milliseconds.
// Returns the index of a set event, or -1 when the bound ran out.
// Null entries are left out.
int WaitAny(std::initializer_list<const Event*> events, int ms);

// Sleeps `ms` milliseconds unless `stop` is set first.
// Returns true when the full pause passed, false when stopped.
[[nodiscard]] bool PauseUnlessStopped(const Event& stop, int ms);

// Sleeps until `due` on the monotonic clock unless `stop` is set first; a
// time already past only checks `stop`. Returns true when `due` was
// reached, false when stopped.
[[nodiscard]] bool PauseUntilUnlessStopped(const Event& stop, std::chrono::steady_clock::time_point due);

}  // namespace platform
