#include "workers/FrameHunt.h"

#include "link/PortOps.h"

namespace workers {

using platform::ReadOutcome;

PassResult ReadFramePass(linkcore::LinkState& s, const protocols::ProtocolInfo& protocol,
                         const protocols::ReadWaits& waits, std::uint8_t* buffer, const platform::Event& stop,
                         unsigned* passedOver) {
    for (std::size_t i = 0; i < protocol.syncCount; ++i) {
        const int bound = i == 0 ? waits.firstSync : waits.secondSync;
        const ReadOutcome r = linkcore::ReadExact(s, buffer + i, 1, bound, stop);
        if (r == ReadOutcome::Stopped) return PassResult::Stopped;
        if (r == ReadOutcome::TimedOut) return i == 0 ? PassResult::FirstSyncTimeOut : PassResult::TimeOut;
        if (buffer[i] != protocol.sync[i]) {
            if (passedOver) *passedOver += static_cast<unsigned>(i + 1);
            return PassResult::NotASync;
        }
    }
    const ReadOutcome r = linkcore::ReadExact(s, buffer + protocol.syncCount, protocol.RestLength(), waits.rest, stop);
    if (r == ReadOutcome::Stopped) return PassResult::Stopped;
    if (r == ReadOutcome::TimedOut) return PassResult::TimeOut;
    return PassResult::Frame;
}

}  // namespace workers
