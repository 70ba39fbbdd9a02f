#include "platform/Event.h"

#include <vector>

#include "platform/win32/Windows.h"

namespace platform {

using win32::HandleToInt;
using win32::IntToHandle;

namespace {

DWORD WaitMs(int ms) { return ms < 0 ? 0 : static_cast<DWORD>(ms); }

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

bool PauseUnlessStopped(const Event& stop, int ms) { return !stop.Wait(ms); }

}  // namespace platform
