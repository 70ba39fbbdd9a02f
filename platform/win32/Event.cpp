#include "platform/Event.h"

#include <vector>

#include "platform/TimedPause.h"
#include "platform/win32/Windows.h"

#include <mmsystem.h>

namespace platform {

namespace {

DWORD WaitMs(int ms) { return ms < 0 ? 0 : static_cast<DWORD>(ms); }

// CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, which older headers lack.
constexpr DWORD kHighResolutionTimer = 0x00000002;

// Whether the system has the high-resolution waitable timer.
bool HighResolutionTimers() {
    static const bool present = [] {
        const HANDLE timer = ::CreateWaitableTimerExW(nullptr, nullptr, kHighResolutionTimer, TIMER_ALL_ACCESS);
        if (!timer) return false;
        ::CloseHandle(timer);
        return true;
    }();
    return present;
}

}  // namespace

// An unnamed manual-reset event: set stays set for every waiter until Reset.
Event::Event() : handle_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

Event::~Event() {
    if (Valid()) ::CloseHandle(handle_);
}

void Event::Set() {
    if (Valid()) ::SetEvent(handle_);
}

void Event::Reset() {
    if (Valid()) ::ResetEvent(handle_);
}

bool Event::Wait(int ms) const {
    if (!Valid()) return true;
    return ::WaitForSingleObject(handle_, WaitMs(ms)) == WAIT_OBJECT_0;
}

int WaitAny(std::initializer_list<const Event*> events, int ms) {
    std::vector<HANDLE> handles;
    std::vector<int> indexOf;  // position in `events` of each handle
    handles.reserve(events.size());
    int index = 0;
    for (const Event* e : events) {
        if (e) {
            if (!e->Valid()) return index;
            handles.push_back(e->Handle());
            indexOf.push_back(index);
        }
        ++index;
    }
    if (handles.empty()) {
        ::Sleep(WaitMs(ms));
        return -1;
    }
    if (handles.size() > MAXIMUM_WAIT_OBJECTS) return -1;
    const DWORD r = ::WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, WaitMs(ms));
    if (r >= WAIT_OBJECT_0 && r < WAIT_OBJECT_0 + handles.size()) return indexOf[r - WAIT_OBJECT_0];
    return -1;
}

bool TimedPause(const Event& stop, std::chrono::nanoseconds left, int ms) {
    // A plain wait ends on the system's clock tick (up to 15.6 ms late); a
    // high-resolution waitable timer ends the pause on time. Where the
    // system has no such timer, an ordinary one still beats the tick.
    HANDLE timer = ::CreateWaitableTimerExW(nullptr, nullptr, kHighResolutionTimer, TIMER_ALL_ACCESS);
    if (!timer) timer = ::CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
    if (!timer) return !stop.Wait(ms);
    LARGE_INTEGER timing;
    timing.QuadPart = -static_cast<LONGLONG>((left.count() + 99) / 100);  // relative, in 100 ns
    if (!::SetWaitableTimer(timer, &timing, 0, nullptr, nullptr, FALSE)) {
        ::CloseHandle(timer);
        return !stop.Wait(ms);
    }
    const HANDLE handles[2] = {stop.Handle(), timer};
    // The wait's own bound is only a safety net behind the timer.
    const DWORD r = ::WaitForMultipleObjects(2, handles, FALSE, WaitMs(ms + kPauseSafetyMs));
    ::CloseHandle(timer);
    return r != WAIT_OBJECT_0;
}

FineTimerTick::FineTimerTick() : raised_(!HighResolutionTimers() && ::timeBeginPeriod(1) == TIMERR_NOERROR) {}

FineTimerTick::~FineTimerTick() {
    if (raised_) ::timeEndPeriod(1);
}

}  // namespace platform
