#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "protocols/KugooM.h"
#include "tools/kmsim/DisplayDecoder.h"
#include "tools/kmsim/Ride.h"

// The simulated Kugoo M controller.
namespace kmsim {

inline constexpr std::size_t kKugooFrameLength = protocols::kKugooRxLength;
using KugooFrame = std::array<std::uint8_t, kKugooFrameLength>;

// Display frames as they arrive from the tool: 20 bytes starting 01 14.
inline constexpr std::size_t kKugooDisplayLength = protocols::kKugooTxLength;

// A Kugoo M controller frame: 02 0E, gear echo in byte 3, temperature in
// byte 6, P in byte 7, V/T in bytes 8-9 (high first), and the XOR of bytes
// 0 to 12 in byte 13.
KugooFrame KugooControllerFrame(const RideSample& ride, std::uint8_t gearEcho);

// Settings of a Kugoo M display frame: gear byte 4, zero start byte 5 bit
// 0x40, EBS byte 9, soft start byte 10, max speed 12, max power 13,
// throttle 16-17 (high first), cruise byte 18 bit 0x40.
DisplaySettings DecodeKugooDisplay(std::span<const std::uint8_t, kKugooDisplayLength> frame);

}  // namespace kmsim
