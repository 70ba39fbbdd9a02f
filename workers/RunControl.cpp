#include "workers/RunControl.h"

#include "link/LinkState.h"
#include "link/PortOps.h"
#include "link/StopWorkers.h"
#include "protocols/Catalogue.h"
#include "protocols/Template.h"
#include "workers/Workers.h"

namespace workers {

namespace {

using linkcore::LinkState;
using linkcore::WorkerKind;

// Whether the sync objects exist; no worker starts without them.
bool CanStart(const LinkState& s, WorkerKind kind) { return s.Slot(kind).stop != nullptr; }

void StartWorker(LinkState& s, WorkerKind kind, void (*body)(LinkState&)) {
    linkcore::WorkerSlot& slot = s.Slot(kind);
    slot.stop->Reset();
    slot.thread.Start([&s, body] { body(s); });
}

}  // namespace

bool StopForRun(LinkState& s) {
    const bool captureWasRunning = s.Slot(WorkerKind::Capture).thread.Running();
    linkcore::StopAllWorkers(s);
    return captureWasRunning;
}

void BeginRun(LinkState& s, int decoder) {
    s.activeProtocol.store(decoder);
    const protocols::LineMode& speed = protocols::Protocol(decoder).runStart;
    if (speed.speed != 0 && s.lineSpeed != static_cast<int>(speed.speed)) {
        linkcore::SetLineSpeed(s, speed.mode, static_cast<int>(speed.speed));
    }
    linkcore::PurgePort(s);
}

void StartSimulator(LinkState& s, std::string_view templateText, int decoder) {
    if (!CanStart(s, WorkerKind::Simulator)) return;
    if (platform::LockHold hold(*s.outLock, linkcore::kLockBoundMs); hold) {
        protocols::ParseTemplate(templateText, decoder, s.outFrame);
    }
    StartWorker(s, WorkerKind::Simulator, SimulatorWorker);
}

void StartSingleRead(LinkState& s) {
    if (!CanStart(s, WorkerKind::SingleRead)) return;
    StartWorker(s, WorkerKind::SingleRead, SingleReadWorker);
}

void StartAutoRead(LinkState& s) {
    if (!CanStart(s, WorkerKind::AutoRead)) return;
    s.linkStatus.store(linkcore::kStatusNothing);
    StartWorker(s, WorkerKind::AutoRead, AutoReadWorker);
}

void StartCapture(LinkState& s) {
    if (!CanStart(s, WorkerKind::Capture)) return;
    StartWorker(s, WorkerKind::Capture, CaptureWorker);
}

// The dialog's entry points: the run control is, with the dialog, the one
// place that reaches the process-wide link state.

bool StopForRun() { return StopForRun(linkcore::Link()); }
void BeginRun(int decoder) { BeginRun(linkcore::Link(), decoder); }
void StartSimulator(std::string_view templateText, int decoder) {
    StartSimulator(linkcore::Link(), templateText, decoder);
}
void StartSingleRead() { StartSingleRead(linkcore::Link()); }
void StartAutoRead() { StartAutoRead(linkcore::Link()); }
void StartCapture() { StartCapture(linkcore::Link()); }

}  // namespace workers
