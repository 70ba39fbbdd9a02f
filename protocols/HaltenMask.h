#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace protocols {

inline constexpr std::size_t kHaltenMaskSize = 128;

// Mask added to the Halten RS gear byte, indexed by the frame counter's low
// 7 bits. The values are data, compiled in from HaltenMaskTable.inc.
extern const std::array<std::uint8_t, kHaltenMaskSize> kHaltenMask;

}  // namespace protocols
