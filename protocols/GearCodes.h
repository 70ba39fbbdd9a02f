#pragma once

#include <array>
#include <cstdint>

namespace protocols {

// Gear codes sent to the controller, indexed by the gear slider position 0..7.
inline constexpr std::array<std::uint8_t, 8> kGearCodes{0x01, 0x02, 0x03, 0x05, 0x07, 0x0A, 0x0D, 0x0F};

inline constexpr int kDefaultGearPosition = 3;
inline constexpr std::uint8_t kDefaultGearCode = 0x05;
static_assert(kGearCodes[kDefaultGearPosition] == kDefaultGearCode);

// Gear code of a slider position; positions outside 0..7 take the nearest end.
[[nodiscard]] std::uint8_t GearCodeForPosition(int position);

}  // namespace protocols
