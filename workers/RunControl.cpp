#include "workers/RunControl.h"

#include "link/LinkState.h"
#include "link/PortOps.h"
#include "link/StopWorkers.h"
#include "protocols/Catalogue.h"
#include "protocols/Template.h"
#include "workers/Workers.h"

namespace workers {

bool StopForRun() {
    linkcore::LinkState& s = linkcore::Link();
    const bool captureWasRunning = s.captureThread.Running();
    linkcore::StopWorkers({s.stopSingleRead.get(), s.stopAutoRead.get(), s.stopCapture.get(), s.stopSimulator.get()});
    return captureWasRunning;
}

void BeginRun(int decoder) {
    linkcore::LinkState& s = linkcore::Link();
    s.activeProtocol.store(decoder);
    const protocols::LineMode& speed = protocols::Protocol(decoder).runStart;
    if (speed.speed != 0 && s.lineSpeed != static_cast<int>(speed.speed)) {
        linkcore::SetLineSpeed(speed.mode, static_cast<int>(speed.speed));
    }
    linkcore::PurgePort();
}

void StartSimulator(std::string_view templateText, int decoder) {
    linkcore::LinkState& s = linkcore::Link();
    if (!s.stopSimulator) return;  // no sync objects: no worker may start
    if (platform::LockHold hold(*s.outLock, linkcore::kLockBoundMs); hold) {
        protocols::ParseTemplate(templateText, decoder, s.outFrame);
    }
    s.stopSimulator->Reset();
    s.simulatorThread.Start(SimulatorWorker);
}

void StartSingleRead() {
    linkcore::LinkState& s = linkcore::Link();
    if (!s.stopSingleRead) return;
    s.stopSingleRead->Reset();
    s.singleReadThread.Start(SingleReadWorker);
}

void StartAutoRead() {
    linkcore::LinkState& s = linkcore::Link();
    if (!s.stopAutoRead) return;
    s.linkStatus.store(linkcore::kStatusNothing);
    s.stopAutoRead->Reset();
    s.autoReadThread.Start(AutoReadWorker);
}

void StartCapture() {
    linkcore::LinkState& s = linkcore::Link();
    if (!s.stopCapture) return;
    s.stopCapture->Reset();
    s.captureThread.Start(CaptureWorker);
}

}  // namespace workers
