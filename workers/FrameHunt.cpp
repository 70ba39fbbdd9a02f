#include "workers/FrameHunt.h"

#include "link/PortOps.h"

namespace workers {

using platform::ReadOutcome;

PassResult ReadFramePass(linkcore::LinkState& s, const protocols::ProtocolInfo& protocol,
                         const protocols::ReadWaits& waits, std::uint8_t* buffer, const platform::Event& stop,
                         unsigned* passedOver) {
    // Once the first sync byte is in, the rest of the frame comes at the
    // line's pace: one wait for its line time (within the next read's
    // bound, which keeps its deadline) lets the reads that follow find it
    // there, instead of waking for every byte.
    int waited = 0;
    for (std::size_t i = 0; i < protocol.syncCount; ++i) {
        const int bound = (i == 0 ? waits.firstSync : waits.secondSync) - waited;
        const ReadOutcome r = linkcore::ReadExact(s, buffer + i, 1, bound, stop);
        if (r == ReadOutcome::Stopped) return PassResult::Stopped;
        if (r == ReadOutcome::Gone) return PassResult::Gone;
        if (r == ReadOutcome::TimedOut) return i == 0 ? PassResult::FirstSyncTimeOut : PassResult::TimeOut;
        if (buffer[i] != protocol.sync[i]) {
            if (passedOver) *passedOver += static_cast<unsigned>(i + 1);
            return PassResult::NotASync;
        }
        waited = 0;
        if (i == 0) {
            const int nextBound = protocol.syncCount > 1 ? waits.secondSync : waits.rest;
            waited = linkcore::AwaitBytes(s, protocol.rxFrameLength - 1, nextBound, stop);
            if (waited < 0) return PassResult::Stopped;
        }
    }
    const ReadOutcome r =
        linkcore::ReadExact(s, buffer + protocol.syncCount, protocol.RestLength(), waits.rest - waited, stop);
    if (r == ReadOutcome::Stopped) return PassResult::Stopped;
    if (r == ReadOutcome::Gone) return PassResult::Gone;
    if (r == ReadOutcome::TimedOut) return PassResult::TimeOut;
    return PassResult::Frame;
}

}  // namespace workers
