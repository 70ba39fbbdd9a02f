#pragma once

#include <chrono>
#include <initializer_list>

namespace platform {

// Manual-reset event, the stand-in for an unnamed CreateEvent(manual reset).
// It owns a system handle (an eventfd on Linux) that can be waited on
// beside a port's, so a stop event wakes a blocked read or a sleeping
// worker at once. Once set it stays set until Reset(); a later Wait()
// still sees it.
class Event {
public:
    Event();
    ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();

    // True when the event is (or becomes) set within `ms` milliseconds.
    // 0 tests without waiting. Measured against the monotonic clock.
    bool Wait(int ms) const;
    bool IsSet() const { return Wait(0); }

    // The native handle: on POSIX systems a file descriptor that polls
    // readable while the event is set, for waiting beside other handles.
    int Fd() const { return fd_; }

private:
    int fd_;
};

// Waits until any of the events is set, at most `ms` milliseconds.
// Returns the index of a set event, or -1 when the bound ran out.
int WaitAny(std::initializer_list<const Event*> events, int ms);

// Sleeps `ms` milliseconds unless `stop` is set first.
// Returns true when the full pause passed, false when stopped.
bool PauseUnlessStopped(const Event& stop, int ms);

}  // namespace platform
