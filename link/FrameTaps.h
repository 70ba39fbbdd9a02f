#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "link/LinkState.h"
#include "platform/SpscRing.h"
#include "protocols/LineMonitor.h"

namespace linkcore {

// Frames per worker that the line monitor may fall behind by: at the
// fastest line (768 frames a second) about 2.6 s of its drain timer.
inline constexpr std::size_t kTapRingFrames = 2048;
using TapRing = platform::SpscRing<protocols::TappedFrame, kTapRingFrames>;

// One ring per worker kind, so that each ring has a single producer: a
// worker kind never runs twice at once.
struct FrameTaps {
    std::array<TapRing, kWorkerKindCount> rings;

    TapRing& Of(WorkerKind kind) { return rings[static_cast<std::size_t>(kind)]; }
};

// A monotonic clock in nanoseconds, the time base of every tapped frame.
[[nodiscard]] std::int64_t MonotonicNs();

// Hands an event to the monitor when one listens (LinkState::taps is set):
// no lock, no allocation, no wait; a full ring counts the event as lost.
void TapEvent(LinkState& s, WorkerKind kind, protocols::TapKind what, protocols::Direction direction,
              std::span<const std::uint8_t> bytes = {}, unsigned skipped = 0);

// Starts the taps (dialog thread): the rings are made on first use and kept
// until the link state goes, since a worker may be pushing when the
// monitor stops listening. Returns the rings.
FrameTaps& StartTaps(LinkState& s);
void StopTaps(LinkState& s);

}  // namespace linkcore
