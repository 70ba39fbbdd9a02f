#pragma once

#include <cstddef>
#include <cstdint>

#include "protocols/Catalogue.h"
#include "protocols/Frames.h"

namespace protocols {

// Receive frame (controller to display), 14 bytes, not scrambled.
inline constexpr std::size_t kKugooRxLength = 14;
inline constexpr std::uint8_t kKugooSync1 = 0x02;
inline constexpr std::uint8_t kKugooSync2 = 0x0E;  // the frame's length
inline constexpr std::size_t kKugooRxP = 7;
inline constexpr std::size_t kKugooRxVtHigh = 8;
inline constexpr std::size_t kKugooRxVtLow = 9;
inline constexpr std::size_t kKugooRxChecksum = 13;  // XOR of bytes 0 to 12, never examined by the reader

// Transmit frame (display to controller), 20 bytes.
inline constexpr std::size_t kKugooTxLength = 20;
inline constexpr std::size_t kKugooTxGear = 4;
inline constexpr std::size_t kKugooTxZeroStart = 5;
inline constexpr std::size_t kKugooTxEbs = 9;
inline constexpr std::size_t kKugooTxSoftStart = 10;
inline constexpr std::size_t kKugooTxMaxV = 12;
inline constexpr std::size_t kKugooTxMaxP = 13;
inline constexpr std::size_t kKugooTxThrottleHigh = 16;
inline constexpr std::size_t kKugooTxThrottleLow = 17;
inline constexpr std::size_t kKugooTxCruise = 18;
inline constexpr std::size_t kKugooTxChecksum = 19;
inline constexpr std::uint8_t kKugooZeroStartBit = 0x40;  // in byte 5
inline constexpr std::uint8_t kKugooCruiseBit = 0x40;     // in byte 18

// The template text; the checksum byte is never part of it.
inline constexpr char kKugooTemplateFormat[] =
    "01 14 01 01 %.2X %.2X 1E 00 6B %.2X %.2X 00 %.2X %.2X 02 1C %.2X %.2X %.2X";

// V/T (high byte first) and P of a received frame.
[[nodiscard]] int KugooVt(ConstRxFrameSpan rx);
[[nodiscard]] int KugooP(ConstRxFrameSpan rx);

// Writes the plain gear code and the checksum.
void SealKugoo(OutFrameSpan frame, std::uint8_t gearCode);

}  // namespace protocols
