#pragma once

#include <cstdint>

namespace protocols {

// Byte helpers of the codecs' patches.
[[nodiscard]] inline std::uint8_t LowByte(int value) { return static_cast<std::uint8_t>(value); }

// Sets `bit` of `byte` when `on`, clears it otherwise; the other bits stay.
inline void SetBit(std::uint8_t& byte, std::uint8_t bit, bool on) {
    byte = static_cast<std::uint8_t>(on ? (byte | bit) : (byte & ~bit));
}

}  // namespace protocols
