#pragma once

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>

namespace platform {

// The time a line at `rate` bit/s takes for `bytes` bytes of 10 bits (start,
// eight data, stop), in ms rounded up; 0 when the rate is not known.
[[nodiscard]] inline int LineTimeMs(std::size_t bytes, std::int64_t rate) {
    if (rate <= 0) return 0;
    const std::int64_t ms = (static_cast<std::int64_t>(bytes) * 10 * 1000 + rate - 1) / rate;
    return static_cast<int>(std::min<std::int64_t>(ms, INT_MAX));
}

// The same in microseconds, rounded down: for pacing, where a whole
// millisecond is too coarse.
[[nodiscard]] inline std::int64_t LineTimeUs(std::size_t bytes, std::int64_t rate) {
    if (rate <= 0) return 0;
    return static_cast<std::int64_t>(bytes) * 10 * 1000000 / rate;
}

}  // namespace platform
