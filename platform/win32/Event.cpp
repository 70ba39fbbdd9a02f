#include "platform/Event.h"

#include <vector>

#include "platform/win32/Windows.h"

namespace platform {

using win32::HandleToInt;
using win32::IntToHandle;

namespace {

DWORD WaitMs(int ms) { return ms < 0 ? 0 : static_cast<DWORD>(ms); }

// How much longer than a pause its wait may run should the timer fail.
constexpr int kPauseSafetyMs = 1000;

// CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, which older headers lack.
constexpr DWORD kHighResolutionTimer = 0x00000002;

}  // namespace

// An unnamed manual-reset event: set stays set for every waiter until Reset.
Event::Event() : fd_(HandleToInt(::CreateEventW(nullptr, TRUE, FALSE, nullptr))) {}

Event::~Event() {
    if (Valid()) ::CloseHandle(IntToHandle(fd_));
}

void Event::Set() {
    if (Valid()) ::SetEvent(IntToHandle(fd_));
}

void Event::Reset() {
    if (Valid()) ::ResetEvent(IntToHandle(fd_));
}

bool Event::Wait(int ms) const {
    if (!Valid()) return true;
    return ::WaitForSingleObject(IntToHandle(fd_), WaitMs(ms)) == WAIT_OBJECT_0;
}

int WaitAny(std::initializer_list<const Event*> events, int ms) {
    std::vector<HANDLE> handles;
    std::vector<int> indexOf;  // position in `events` of each handle
    handles.reserve(events.size());
    int index = 0;
    for (const Event* e : events) {
        if (e) {
            if (!e->Valid()) return index;
            handles.push_back(IntToHandle(e->Fd()));
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

bool PauseUnlessStopped(const Event& stop, int ms) {
    return PauseUntilUnlessStopped(stop, std::chrono::steady_clock::now() + std::chrono::milliseconds(ms));
}

bool PauseUntilUnlessStopped(const Event& stop, std::chrono::steady_clock::time_point due) {
    if (!stop.Valid()) return false;
    const std::chrono::nanoseconds left = due - std::chrono::steady_clock::now();
    if (left <= std::chrono::nanoseconds::zero()) return !stop.IsSet();
    const int ms = static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
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
    const HANDLE handles[2] = {IntToHandle(stop.Fd()), timer};
    // The wait's own bound is only a safety net behind the timer.
    const DWORD r = ::WaitForMultipleObjects(2, handles, FALSE, WaitMs(ms + kPauseSafetyMs));
    ::CloseHandle(timer);
    return r != WAIT_OBJECT_0;
}

}  // namespace platform
