#include <algorithm>

#include "link/FrameTaps.h"
#include "link/LinkState.h"
#include "link/RefreshCodes.h"
#include "link/RefreshRequest.h"
#include "protocols/Codecs.h"
#include "workers/FrameHunt.h"
#include "workers/Workers.h"

namespace workers {

void AutoReadWorker(linkcore::LinkState& s) {
    const platform::Event& stop = *s.Slot(linkcore::WorkerKind::AutoRead).stop;
    if (!s.portOpen.load()) return;

    int sinceRefresh = 0;
    s.rxBuffer[0] = 0;
    s.rxBuffer[1] = 0;
    const protocols::Codec& codec = protocols::CodecAt(s.activeProtocol.load());
    const protocols::ProtocolInfo& protocol = codec.Info();
    if (!protocol.autoRead) return;

    // A line that falls silent must show "Time Out" rather than the last
    // count: the first time-out after the start or after a frame asks for
    // a refresh; further time-outs in a row do not.
    bool timeOutUnreported = true;

    using linkcore::WorkerKind;
    using protocols::Direction;
    using protocols::TapKind;
    linkcore::TapEvent(s, WorkerKind::AutoRead, TapKind::RunStart, Direction::FromController);
    unsigned skipped = 0;  // bytes passed over since the last event handed to the monitor

    while (!stop.IsSet()) {
        const PassResult r = ReadFramePass(s, protocol, protocol.autoReadWaits, s.rxBuffer.data(), stop, &skipped);
        if (r == PassResult::Stopped) return;
        if (r == PassResult::Gone) return linkcore::ReportLineGone(s, stop);
        if (r == PassResult::NotASync) continue;
        if (r == PassResult::FirstSyncTimeOut || r == PassResult::TimeOut) {
            linkcore::TapEvent(s, WorkerKind::AutoRead, TapKind::TimeOut, Direction::FromController, {}, skipped);
            skipped = 0;
            s.linkStatus.store(linkcore::kStatusTimeOut);
            if (timeOutUnreported) {
                timeOutUnreported = false;
                linkcore::RefreshRequest(s, CMD_SHOW_RX_FRAME, stop);
            }
            continue;
        }

        timeOutUnreported = true;
        linkcore::TapEvent(s, WorkerKind::AutoRead, TapKind::Frame, Direction::FromController,
                           std::span<const std::uint8_t>(s.rxBuffer.data(), protocol.rxFrameLength), skipped);
        skipped = 0;
        if (platform::LockHold hold(*s.rxLock, linkcore::kLockBoundMs); hold) {
            const int status = s.linkStatus.load();
            s.linkStatus.store(status < 1 ? 1 : status + 1);
            // The whole buffer: a shorter frame takes the byte after it along.
            std::copy(s.rxBuffer.begin(), s.rxBuffer.end(), s.rxFrame.begin());
            std::copy(s.rxBuffer.begin(), s.rxBuffer.end(), s.rawRxFrame.begin());
            codec.DecodeRx(s.rxFrame);
        }
        if (++sinceRefresh == protocol.autoReadRefreshEvery) {
            sinceRefresh = 0;
            linkcore::RefreshRequest(s, CMD_SHOW_RX_FRAME, stop);
        }
    }
}

}  // namespace workers
