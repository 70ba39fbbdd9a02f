#include "link/FrameTaps.h"

#include <algorithm>
#include <chrono>

namespace linkcore {

std::int64_t MonotonicNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void TapEvent(LinkState& s, WorkerKind kind, protocols::TapKind what, protocols::Direction direction,
              std::span<const std::uint8_t> bytes, unsigned skipped) {
    FrameTaps* taps = s.taps.load(std::memory_order_acquire);
    if (taps == nullptr) return;
    protocols::TappedFrame t;
    t.timeNs = MonotonicNs();
    t.kind = what;
    t.direction = direction;
    t.protocol = static_cast<std::uint8_t>(s.activeProtocol.load(std::memory_order_relaxed));
    const std::size_t n = std::min(bytes.size(), t.bytes.size());
    std::copy_n(bytes.begin(), n, t.bytes.begin());
    t.length = static_cast<std::uint8_t>(n);
    t.skipped = static_cast<std::uint16_t>(std::min(skipped, 0xFFFFu));
    taps->Of(kind).TryPush(t);
}

FrameTaps& StartTaps(LinkState& s) {
    if (!s.tapStore) s.tapStore = std::make_unique<FrameTaps>();
    s.taps.store(s.tapStore.get(), std::memory_order_release);
    return *s.tapStore;
}

void StopTaps(LinkState& s) { s.taps.store(nullptr, std::memory_order_release); }

}  // namespace linkcore
