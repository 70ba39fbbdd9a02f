#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace kmsim {

// One character on the line: start bit, 8 data bits, stop bit.
inline constexpr int kBitsPerByte = 1 + 8 + 1;

// Bytes are handed to the line in chunks that last about this long, so the
// simulator wakes a few dozen times a second whatever the speed.
inline constexpr std::chrono::milliseconds kChunkSpan{10};

// Time that `bytes` characters occupy a line running at `bitsPerSecond`.
// Zero for a speed that is not positive.
std::chrono::nanoseconds LineTime(std::size_t bytes, std::int64_t bitsPerSecond);

// Characters to write in one go at the given speed: as many as fill
// kChunkSpan, at least one.
std::size_t ChunkBytes(std::int64_t bitsPerSecond);

// True when the speed the reader set is the controller's speed, within the
// 2% that two UARTs tolerate between each other.
bool SpeedMatches(std::int64_t lineSpeed, std::int64_t controllerSpeed);

}  // namespace kmsim
