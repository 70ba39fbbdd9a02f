#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "protocols/Catalogue.h"
#include "protocols/Frames.h"

namespace protocols {

// Receive frame (controller to display), 15 bytes.
inline constexpr std::size_t kHaltenRxLength = 15;
inline constexpr std::uint8_t kHaltenSync = 0x36;
inline constexpr std::size_t kHaltenRxMark = 1;  // 0x00 marks where a capture's key section starts
inline constexpr std::size_t kHaltenRxVtHigh = 7;
inline constexpr std::size_t kHaltenRxVtLow = 8;
inline constexpr std::size_t kHaltenRxP = 10;
inline constexpr std::size_t kHaltenRxKey = 13;
inline constexpr std::size_t kHaltenRxChecksum = 14;  // XOR of bytes 0 to 13, never examined by the reader
// Bytes sent as the plain value plus the key, modulo 256.
inline constexpr std::array<std::size_t, 9> kHaltenScrambledBytes{3, 4, 5, 7, 8, 9, 10, 11, 12};

// Transmit frame (display to controller), the first 15 bytes of the out frame.
inline constexpr std::size_t kHaltenTxLength = 15;
inline constexpr std::size_t kHaltenTxCounter = 2;
inline constexpr std::size_t kHaltenTxGear = 5;
inline constexpr std::size_t kHaltenTxFlags = 6;
inline constexpr std::size_t kHaltenTxMaxV = 7;
inline constexpr std::size_t kHaltenTxEbs = 10;
inline constexpr std::size_t kHaltenTxChecksum = 14;
inline constexpr std::uint8_t kHaltenZeroStartBit = 0x02;
inline constexpr std::uint8_t kHaltenCruiseBit = 0x04;
inline constexpr std::uint8_t kHaltenSoftStartBit = 0x08;

// The template text; the checksum byte is never part of it.
inline constexpr char kHaltenTemplateFormat[] = "01 03 00 00 00 %.2X %.2X %.2X 00 80 %.2X 00 00 00";

// Restores the scrambled bytes of a received frame in place: each minus the
// key in byte 13, modulo 256.
void DescrambleRx(RxFrameSpan frame);

// V/T (high byte first) and P of a descrambled frame.
[[nodiscard]] int HaltenVt(ConstRxFrameSpan rx);
[[nodiscard]] int HaltenP(ConstRxFrameSpan rx);

// Gear byte of a frame with the given counter: mask entry (counter & 0x7F)
// plus the gear code, modulo 256.
[[nodiscard]] std::uint8_t HaltenMaskedGear(std::uint8_t counter, std::uint8_t gearCode);

// Advances the frame counter, byte 2, by one modulo 256.
void StepHaltenCounter(OutFrameSpan frame);

// Writes the masked gear byte for the current counter and the checksum.
void SealHalten(OutFrameSpan frame, std::uint8_t gearCode);

}  // namespace protocols
