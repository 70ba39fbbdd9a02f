#include "link/FrameTaps.h"
#include "link/LinkState.h"
#include "link/RefreshCodes.h"
#include "link/RefreshRequest.h"
#include "protocols/Codecs.h"
#include "workers/FrameHunt.h"
#include "workers/Workers.h"

namespace workers {

void SingleReadWorker(linkcore::LinkState& s) {
    const platform::Event& stop = *s.Slot(linkcore::WorkerKind::SingleRead).stop;
    if (!s.portOpen.load()) return;

    s.rxBuffer[0] = 0;
    s.rxBuffer[1] = 0;
    const protocols::Codec& codec = protocols::CodecAt(s.activeProtocol.load());
    const protocols::ProtocolInfo& protocol = codec.Info();
    if (!protocol.singleRead) return;

    // A line that keeps sending bytes without a frame start is hunted
    // until the stop signal comes.
    using linkcore::WorkerKind;
    using protocols::Direction;
    using protocols::TapKind;
    unsigned skipped = 0;  // bytes passed over, handed to the monitor with the outcome
    for (;;) {
        if (stop.IsSet()) return;
        const PassResult r = ReadFramePass(s, protocol, protocol.singleReadWaits, s.rxBuffer.data(), stop, &skipped);
        if (r == PassResult::NotASync) continue;
        if (r == PassResult::Stopped) return;
        if (r == PassResult::Gone) return linkcore::ReportLineGone(s, stop);
        if (r == PassResult::FirstSyncTimeOut || r == PassResult::TimeOut) {
            linkcore::TapEvent(s, WorkerKind::SingleRead, TapKind::TimeOut, Direction::FromController, {}, skipped);
            if (r == PassResult::TimeOut || codec.SingleReadHuntTimeOutShows()) {
                s.linkStatus.store(linkcore::kStatusTimeOut);
            }
            return;
        }
        break;
    }
    linkcore::TapEvent(s, WorkerKind::SingleRead, TapKind::Frame, Direction::FromController,
                       std::span<const std::uint8_t>(s.rxBuffer.data(), protocol.rxFrameLength), skipped);

    if (platform::LockHold hold(*s.rxLock, linkcore::kLockBoundMs); hold) {
        const std::span<const std::uint8_t> frame(s.rxBuffer.data(), protocol.rxFrameLength);
        if (const auto status = codec.PublishSingleRead(frame, s.rxFrame, s.rawRxFrame)) s.linkStatus.store(*status);
    }
    linkcore::RefreshRequest(s, CMD_SHOW_RX_FRAME, stop);
}

}  // namespace workers
