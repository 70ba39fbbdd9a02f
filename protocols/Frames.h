#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace protocols {

// The display frame sent to the controller: 20 bytes, of which Halten RS
// uses the first 15 and Kugoo M all 20.
inline constexpr std::size_t kOutFrameSize = 20;

// Storage of one received controller frame: 15 bytes (Kugoo M fills 14).
inline constexpr std::size_t kRxFrameSize = 15;

using OutFrameSpan = std::span<std::uint8_t, kOutFrameSize>;
using RxFrameSpan = std::span<std::uint8_t, kRxFrameSize>;
using ConstRxFrameSpan = std::span<const std::uint8_t, kRxFrameSize>;

}  // namespace protocols
