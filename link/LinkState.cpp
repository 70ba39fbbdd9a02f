#include "link/LinkState.h"

#include "link/StopWorkers.h"

namespace linkcore {

LinkState& Link() {
    static LinkState state;
    return state;
}

namespace {

// A stop event, or nothing when the system cannot make one.
std::unique_ptr<platform::Event> MakeStopEvent() {
    auto event = std::make_unique<platform::Event>();
    if (!event->Valid()) return nullptr;
    return event;
}

void DropSyncObjects(LinkState& s) {
    s.stopSingleRead.reset();
    s.stopAutoRead.reset();
    s.stopCapture.reset();
    s.stopSimulator.reset();
    s.rxLock.reset();
    s.outLock.reset();
}

}  // namespace

bool CreateSyncObjects(RefreshSink* window) {
    LinkState& s = Link();
    s.stopSingleRead = MakeStopEvent();
    s.stopAutoRead = MakeStopEvent();
    s.stopSimulator = MakeStopEvent();
    s.stopCapture = MakeStopEvent();
    if (!s.stopSingleRead || !s.stopAutoRead || !s.stopSimulator || !s.stopCapture) {
        DropSyncObjects(s);
        return false;
    }
    s.rxLock = std::make_unique<platform::BoundedLock>();
    s.outLock = std::make_unique<platform::BoundedLock>();
    s.mainWindow.store(window);
    return true;
}

void ReleaseSyncObjects() {
    LinkState& s = Link();
    if (!s.stopSingleRead) return;  // never created, or already released
    StopAllWorkers();
    if (s.portHandle) {
        s.portHandle->ApplySettings(s.savedLineSettings);
        s.port.store(nullptr);
        s.portHandle.reset();
    }
    s.portOpen.store(false);
    s.mainWindow.store(nullptr);
    DropSyncObjects(s);
}

void ResetLinkDataForTests() {
    LinkState& s = Link();
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

}  // namespace linkcore
