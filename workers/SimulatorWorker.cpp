#include <algorithm>
#include <chrono>
#include <optional>

#include "link/FrameTaps.h"
#include "link/LinkState.h"
#include "link/PortOps.h"
#include "link/RefreshCodes.h"
#include "link/RefreshRequest.h"
#include "platform/TimedPause.h"
#include "protocols/Codecs.h"
#include "workers/Workers.h"

namespace workers {

void SimulatorWorker(linkcore::LinkState& s) {
    const platform::Event& stop = *s.Slot(linkcore::WorkerKind::Simulator).stop;
    if (!s.portOpen.load()) return;

    const protocols::Codec& codec = protocols::CodecAt(s.activeProtocol.load());
    const protocols::ProtocolInfo& protocol = codec.Info();
    const std::size_t n = protocol.txFrameLength;
    if (n == 0) return;

    // The frames' pauses end on time only with a fine timer tick, held
    // while the run goes.
    const platform::FineTimerTick fineTick;
    linkcore::TapEvent(s, linkcore::WorkerKind::Simulator, protocols::TapKind::RunStart,
                       protocols::Direction::ToController);
    using linkcore::SendClock;
    // A cycle that starts a little after it was due (a wake-up's latency)
    // keeps to the schedule, so that such delays do not add up from frame
    // to frame; one that starts later than this (a stalled machine, a
    // window that took long over a refresh) begins a new schedule rather
    // than catching up with frames in a burst.
    constexpr std::chrono::milliseconds kScheduleSlack{2};
    std::optional<SendClock::time_point> due;
    int cycles = 0;
    while (!stop.IsSet()) {
        // Missing the lock sends the previous frame again, unchanged.
        if (platform::LockHold hold(*s.outLock, linkcore::kLockBoundMs); hold) {
            codec.FinishDisplayFrame(s.outFrame, s.gearCode);
            std::copy_n(s.outFrame.begin(), n, s.sendBuffer.begin());
        }
        linkcore::TapEvent(s, linkcore::WorkerKind::Simulator, protocols::TapKind::Frame,
                           protocols::Direction::ToController, std::span<const std::uint8_t>(s.sendBuffer.data(), n));
        const SendClock::time_point writing = SendClock::now();
        const SendClock::time_point start = (due && writing - *due <= kScheduleSlack) ? *due : writing;
        const SendClock::time_point sentBy = start + linkcore::SendFrameStart(s, n, stop);
        // A frame the line refused because it has gone ends the simulation.
        if (linkcore::LineGone(s)) return linkcore::ReportLineGone(s, stop);
        if (++cycles == protocol.simulatorRefreshEvery) {
            cycles = 0;
            linkcore::RefreshRequest(s, CMD_SHOW_OUT_FRAME, stop);
        }
        // The pause runs from when the line has sent the frame: a refresh
        // that takes the window longer than the frame's line time does not
        // stretch the interval.
        due = linkcore::SendFrameFlush(s, sentBy, stop) + std::chrono::milliseconds(protocol.txPauseMs);
        if (!platform::PauseUntilUnlessStopped(stop, *due)) return;
    }
}

}  // namespace workers
