#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "protocols/HaltenRs.h"
#include "tools/kmsim/DisplayDecoder.h"
#include "tools/kmsim/Ride.h"

// The simulated Halten RS controller.
namespace kmsim {

inline constexpr std::size_t kHaltenFrameLength = protocols::kHaltenRxLength;
using HaltenFrame = std::array<std::uint8_t, kHaltenFrameLength>;

// Display frames as they arrive from the tool: 15 bytes starting 01 03.
inline constexpr std::size_t kHaltenDisplayLength = protocols::kHaltenTxLength;

// Halten RS byte 1 is 0x00 in every kHaltenMarkEvery-th frame (the first
// one included) and kHaltenStatusByte otherwise, so that any run of that
// many frames holds a frame marked 0x00.
inline constexpr std::size_t kHaltenMarkEvery = 8;
inline constexpr std::uint8_t kHaltenStatusByte = 0x05;
std::uint8_t HaltenByte1(std::uint64_t frameIndex);

// Values of a Halten RS controller frame before scrambling.
struct HaltenFields {
    std::uint8_t byte1;     // see HaltenByte1
    std::uint8_t sequence;  // byte 2, a rolling number
    RideSample ride;        // V/T = speed, P = power, byte 9 = temperature
    std::uint8_t gearEcho;  // byte 5: the gear position the display asked for
};

// The frame with every byte in the clear: key byte 13 and checksum 14 zero.
HaltenFrame HaltenPlainFrame(const HaltenFields& fields);

// The frame as sent: the nine scrambled bytes get `key` added (modulo 256),
// byte 13 carries the key and byte 14 the XOR of bytes 0 to 13.
HaltenFrame ScrambleHalten(const HaltenFrame& plain, std::uint8_t key);

// True when no byte after the first is the sync byte 0x36, so a reader that
// hunts 0x36 can only find a frame at its real start.
bool HaltenBodyFreeOfSync(const HaltenFrame& frame);

// The first key from `candidate` on (modulo 256) that differs from
// `previousKey` and keeps the scrambled frame's body free of 0x36. Plain
// bytes 1, 2 and 6 are sent as they are, so the body can be kept clean only
// when they are not 0x36 themselves; otherwise the first key that differs
// from `previousKey` is taken.
std::uint8_t PickHaltenKey(const HaltenFrame& plain, std::uint8_t candidate, std::uint8_t previousKey);

// The next rolling number after `sequence`; 0x36 is passed over.
std::uint8_t NextHaltenSequence(std::uint8_t sequence);

// Settings of a Halten RS display frame: gear = byte 5 minus the mask entry
// of the counter (byte 2), flags in byte 6, max speed byte 7, EBS byte 10.
DisplaySettings DecodeHaltenDisplay(std::span<const std::uint8_t, kHaltenDisplayLength> frame);

}  // namespace kmsim
