#include "link/LinkState.h"

#include "link/StopWorkers.h"

namespace linkcore {

LinkState& Link() {
    static LinkState state;
    return state;
}

void CreateSyncObjects(RefreshSink* window) {
    LinkState& s = Link();
    s.stopSingleRead = std::make_unique<platform::Event>();
    s.stopAutoRead = std::make_unique<platform::Event>();
    s.stopSimulator = std::make_unique<platform::Event>();
    s.stopCapture = std::make_unique<platform::Event>();
    s.rxLock = std::make_unique<platform::BoundedLock>();
    s.outLock = std::make_unique<platform::BoundedLock>();
    s.mainWindow.store(window);
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
    s.stopSingleRead.reset();
    s.stopAutoRead.reset();
    s.stopCapture.reset();
    s.stopSimulator.reset();
    s.rxLock.reset();
    s.outLock.reset();
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
