#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The controller played for the raw test decoder.
namespace kmsim {

inline constexpr std::size_t kTestFrameLength = 15;

// Frame `index` of the test pattern: a counting byte stream cut into 15-byte
// frames, so byte i of frame k is (15k + i) modulo 256.
std::vector<std::uint8_t> TestPatternFrame(std::uint64_t index);

}  // namespace kmsim
