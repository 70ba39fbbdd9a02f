#include <algorithm>

#include "link/FrameTaps.h"
#include "link/LinkState.h"
#include "link/PortOps.h"
#include "link/RefreshCodes.h"
#include "link/RefreshRequest.h"
#include "protocols/HaltenRs.h"
#include "protocols/Seal.h"
#include "workers/Workers.h"

namespace workers {

void SimulatorWorker(linkcore::LinkState& s) {
    const platform::Event& stop = *s.Slot(linkcore::WorkerKind::Simulator).stop;
    if (!s.portOpen.load()) return;

    const int active = s.activeProtocol.load();
    const protocols::ProtocolInfo& protocol = protocols::Protocol(active);
    const std::size_t n = protocol.txFrameLength;
    if (n == 0) return;

    linkcore::TapEvent(s, linkcore::WorkerKind::Simulator, protocols::TapKind::RunStart,
                       protocols::Direction::ToController);
    int cycles = 0;
    while (!stop.IsSet()) {
        // Missing the lock sends the previous frame again, unchanged.
        if (platform::LockHold hold(*s.outLock, linkcore::kLockBoundMs); hold) {
            if (active == protocols::kHaltenRs) protocols::StepHaltenCounter(s.outFrame);
            protocols::SealOutFrame(active, s.outFrame, s.gearCode);
            std::copy_n(s.outFrame.begin(), n, s.sendBuffer.begin());
        }
        linkcore::TapEvent(s, linkcore::WorkerKind::Simulator, protocols::TapKind::Frame,
                           protocols::Direction::ToController, std::span<const std::uint8_t>(s.sendBuffer.data(), n));
        linkcore::SendFrameStart(s, n, stop);
        if (++cycles == protocol.simulatorRefreshEvery) {
            cycles = 0;
            linkcore::RefreshRequest(s, CMD_SHOW_OUT_FRAME, stop);
        }
        linkcore::SendFrameFlush(s, stop);
        if (!platform::PauseUnlessStopped(stop, protocol.txPauseMs)) return;
    }
}

}  // namespace workers
