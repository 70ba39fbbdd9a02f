#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "link/FrameTaps.h"
#include "link/LinkState.h"
#include "link/PortOps.h"
#include "link/RefreshCodes.h"
#include "link/RefreshRequest.h"
#include "platform/SystemError.h"
#include "protocols/Catalogue.h"
#include "workers/CaptureFile.h"
#include "workers/FrameHunt.h"
#include "workers/Workers.h"

namespace workers {

namespace {

using platform::ReadOutcome;

using linkcore::WorkerKind;
using protocols::Direction;
using protocols::TapKind;

void TapCapture(linkcore::LinkState& s, TapKind what, std::span<const std::uint8_t> frame = {}, unsigned skipped = 0) {
    linkcore::TapEvent(s, WorkerKind::Capture, what, Direction::FromController, frame, skipped);
}

// A capture that ends by a time-out shows it at once and offers the
// button again.
void EndByTimeOut(linkcore::LinkState& s, int status, const platform::Event& stop) {
    TapCapture(s, TapKind::TimeOut);
    s.linkStatus.store(status);
    linkcore::RefreshRequest(s, CMD_SHOW_RX_FRAME, stop);
    linkcore::NotifyCaptureEnded(s);
}

// A capture whose line has gone ends without a file; the window offers
// the button again once the line is back.
void EndByLineGone(linkcore::LinkState& s, const platform::Event& stop) {
    TapCapture(s, TapKind::TimeOut);
    linkcore::ReportLineGone(s, stop);
}

// Names the file that could not be written, where its whole text was left
// if it was, and the system's reason.
std::string CannotWriteMessage(const CaptureWriteResult& written) {
    std::string message = "Не удалось записать " + written.name;
    if (!written.kept.empty()) message += ", данные в " + written.kept;
    const std::string reason = platform::SystemErrorText(written.error);
    return reason.empty() ? message : message + ": " + reason;
}

}  // namespace

void CaptureWorker(linkcore::LinkState& s) {
    const platform::Event& stop = *s.Slot(linkcore::WorkerKind::Capture).stop;
    if (!s.portOpen.load()) return;

    std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[kCaptureBytes]);
    if (!buffer) {
        linkcore::NotifyCaptureEnded(s);
        return;
    }
    std::uint8_t* const frames = buffer.get();

    const protocols::ProtocolInfo& protocol = protocols::Protocol(s.activeProtocol.load());
    if (!protocol.capture) {
        linkcore::NotifyCaptureEnded(s);
        return;
    }
    const protocols::CaptureWaits& waits = protocol.captureWaits;

    // However the capture ends, the monitor learns that it has.
    TapCapture(s, TapKind::RunStart);
    struct EndTap {
        linkcore::LinkState& s;
        ~EndTap() { TapCapture(s, TapKind::RunEnd); }
    } endTap{s};
    const auto frameAt = [frames](int k) {
        return std::span<const std::uint8_t>(frames + k * kCaptureFrameBytes, kCaptureFrameBytes);
    };

    // Frame 0: hunt the sync byte, however many bytes come before it.
    unsigned skipped = 0;
    for (;;) {
        if (stop.IsSet()) return;
        const ReadOutcome r = ReadFromLine(s, frames, 1, waits.syncByte, stop);
        if (r == ReadOutcome::Stopped) return;
        if (r == ReadOutcome::Gone) return EndByLineGone(s, stop);
        if (r == ReadOutcome::TimedOut) return EndByTimeOut(s, linkcore::kStatusTimeOut, stop);
        if (frames[0] != protocol.sync[0]) {
            ++skipped;
            continue;
        }
        const ReadOutcome rest = ReadFromLine(s, frames + 1, kCaptureFrameBytes - 1, waits.firstFrameRest, stop);
        if (rest == ReadOutcome::Stopped) return;
        if (rest == ReadOutcome::Gone) return EndByLineGone(s, stop);
        if (rest == ReadOutcome::TimedOut) return EndByTimeOut(s, linkcore::kStatusTimeOut, stop);
        break;
    }
    TapCapture(s, TapKind::Frame, frameAt(0), skipped);
    if (platform::LockHold hold(*s.rxLock, linkcore::kLockBoundMs); hold) {
        std::copy_n(frames, kCaptureFrameBytes, s.rawRxFrame.begin());
        s.linkStatus.store(1);
    }
    linkcore::RefreshRequest(s, CMD_SHOW_RX_FRAME, stop);

    // Frames 1..599 follow each other without gaps: plain 15-byte reads.
    for (int k = 1; k < kCaptureFrames; ++k) {
        if (stop.IsSet()) return;
        const ReadOutcome r =
            ReadFromLine(s, frames + k * kCaptureFrameBytes, kCaptureFrameBytes, waits.laterFrame, stop);
        if (r == ReadOutcome::Stopped) return;
        if (r == ReadOutcome::Gone) return EndByLineGone(s, stop);
        if (r == ReadOutcome::TimedOut) return EndByTimeOut(s, linkcore::kStatusCaptureTimedOut, stop);
        TapCapture(s, TapKind::Frame, frameAt(k));
        s.linkStatus.store(k);
    }

    // From here on the capture always completes its file.
    const CaptureTime time = LocalCaptureTime();
    const std::span<const std::uint8_t, kCaptureBytes> all(frames, kCaptureBytes);
    const CaptureWriteResult written =
        WriteCaptureFile(std::string(), CaptureFileName(time), CaptureFileText(all, time), &stop);
    if (!written.written) {
        linkcore::NotifyCaptureEnded(s, CannotWriteMessage(written));
        return;
    }

    if (platform::LockHold hold(*s.rxLock, linkcore::kLockBoundMs); hold) {
        std::copy_n(frames + 299 * kCaptureFrameBytes, kCaptureFrameBytes, s.rawRxFrame.begin());
        s.linkStatus.store(linkcore::kStatusCaptureWritten);
    }
    linkcore::RefreshRequest(s, CMD_SHOW_RX_FRAME, stop);
    linkcore::NotifyCaptureEnded(s);
}

}  // namespace workers
