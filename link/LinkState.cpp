#include "link/LinkState.h"

#include "link/Connection.h"
#include "link/PortOps.h"
#include "link/StopWorkers.h"

namespace linkcore {

namespace {

// A stop event, or nothing when the system cannot make one.
std::unique_ptr<platform::Event> MakeStopEvent() {
    auto event = std::make_unique<platform::Event>();
    if (!event->Valid()) return nullptr;
    return event;
}

void DropSyncObjects(LinkState& s) {
    for (WorkerSlot& slot : s.workerSlots) slot.stop.reset();
    s.rxLock.reset();
    s.outLock.reset();
}

}  // namespace

LinkState& Link() {
    static LinkState state;
    return state;
}

bool CreateSyncObjects(LinkState& s, RefreshSink* window) {
    for (WorkerSlot& slot : s.workerSlots) {
        slot.stop = MakeStopEvent();
        if (!slot.stop) {
            DropSyncObjects(s);
            return false;
        }
    }
    s.rxLock = std::make_unique<platform::BoundedLock>();
    s.outLock = std::make_unique<platform::BoundedLock>();
    s.mainWindow.store(window);
    return true;
}

void ReleaseSyncObjects(LinkState& s) {
    if (!s.workerSlots.front().stop) return;  // never created, or already released
    StopAllWorkers(s);
    if (s.portHandle) {
        // Best effort: the port closes whether or not it takes them back.
        static_cast<void>(s.portHandle->ApplySettings(s.savedLineSettings));
        s.port.store(nullptr);
        s.portHandle.reset();
    }
    s.portOpen.store(false);
    s.mainWindow.store(nullptr);
    DropSyncObjects(s);
}

void ResetLinkDataForTests(LinkState& s) {
    s.lineSpeed = 0;
    s.lineSettings = {};
    s.savedLineSettings = {};
    s.activeProtocol.store(0);
    s.outFrame.fill(0);
    s.sendBuffer.fill(0);
    s.rxBuffer.fill(0);
    s.rxFrame.fill(0);
    s.rawRxFrame.fill(0);
    s.linkStatus.store(kStatusNothing);
    s.gearCode = kInitialGearCode;
}

// The dialog's forms of the link operations, on the process-wide instance.

bool CreateSyncObjects(RefreshSink* window) { return CreateSyncObjects(Link(), window); }
void ReleaseSyncObjects() { ReleaseSyncObjects(Link()); }
void ResetLinkDataForTests() { ResetLinkDataForTests(Link()); }
void ClosePort() { ClosePort(Link()); }
void TakeOpenedPort(OpenedPort& opened, int decoder) { TakeOpenedPort(Link(), opened, decoder); }
void TakeReturnedPort(OpenedPort& opened) { TakeReturnedPort(Link(), opened); }
void Disconnect() { Disconnect(Link()); }
void SetLineSpeed(std::string_view mode, int speed) { SetLineSpeed(Link(), mode, speed); }

}  // namespace linkcore
