#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "protocols/Frames.h"

// The pace of a replay. Each frame is due at its recorded time after the
// frame the replay started from, counted from the moment it started on the
// monotonic clock; a timer that fires late shows every frame that has come
// due meanwhile. So a timer's lateness (a whole system tick on Windows)
// never adds up over a recording. No clock here: the caller gives the time.
namespace monitor {

// A controller frame of a capture or session log, with its recorded time.
struct ReplayFrame {
    std::int64_t atMs = 0;  // since the first frame; never less than the one before
    std::array<std::uint8_t, protocols::kRxFrameSize> bytes{};
};

// Where a replay started: the frame shown then, and when.
struct ReplayStart {
    std::size_t index = 0;
    std::int64_t atNs = 0;
};

struct ReplayDue {
    std::size_t last = 0;      // the last frame due by now (the one shown, when no other is)
    std::int64_t waitNs = -1;  // until the frame after `last` is due; -1 when `last` is the final one
};

// The frames due at `nowNs` after frame `shown`.
[[nodiscard]] ReplayDue DueFrames(std::span<const ReplayFrame> frames, ReplayStart start, std::size_t shown,
                                  std::int64_t nowNs);

// A timer interval, in whole milliseconds, that does not end before
// `waitNs` has passed: at least 1, at most a minute (a longer gap is waited
// out in several steps).
[[nodiscard]] int TimerMsFor(std::int64_t waitNs);

}  // namespace monitor
