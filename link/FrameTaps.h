#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "link/LinkState.h"
#include "protocols/LineMonitor.h"

namespace linkcore {

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
