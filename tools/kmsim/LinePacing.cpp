#include "tools/kmsim/LinePacing.h"

#include <algorithm>

namespace kmsim {

std::chrono::nanoseconds LineTime(std::size_t bytes, std::int64_t bitsPerSecond) {
    if (bitsPerSecond <= 0) return std::chrono::nanoseconds::zero();
    const auto bits = static_cast<long double>(bytes) * kBitsPerByte;
    return std::chrono::nanoseconds(static_cast<std::int64_t>(bits * 1e9L / static_cast<long double>(bitsPerSecond)));
}

std::size_t ChunkBytes(std::int64_t bitsPerSecond) {
    if (bitsPerSecond <= 0) return 1;
    const std::int64_t perSpan = bitsPerSecond * kChunkSpan.count() / (1000 * kBitsPerByte);
    return static_cast<std::size_t>(std::max<std::int64_t>(1, perSpan));
}

bool SpeedMatches(std::int64_t lineSpeed, std::int64_t controllerSpeed) {
    if (lineSpeed <= 0 || controllerSpeed <= 0) return false;
    const std::int64_t diff = lineSpeed > controllerSpeed ? lineSpeed - controllerSpeed : controllerSpeed - lineSpeed;
    return diff * 50 <= controllerSpeed;
}

}  // namespace kmsim
