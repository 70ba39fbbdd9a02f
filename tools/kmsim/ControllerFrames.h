#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "protocols/Catalogue.h"
#include "tools/kmsim/Ride.h"

namespace kmsim {

inline constexpr std::size_t kHaltenFrameLength = 15;
inline constexpr std::size_t kKugooFrameLength = 14;
inline constexpr std::size_t kTestFrameLength = 15;

using HaltenFrame = std::array<std::uint8_t, kHaltenFrameLength>;
using KugooFrame = std::array<std::uint8_t, kKugooFrameLength>;

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

// A Kugoo M controller frame: 02 0E, gear echo in byte 3, temperature in
// byte 6, P in byte 7, V/T in bytes 8-9 (high first), and the XOR of bytes
// 0 to 12 in byte 13.
KugooFrame KugooControllerFrame(const RideSample& ride, std::uint8_t gearEcho);

// Frame `index` of the test pattern: a counting byte stream cut into 15-byte
// frames, so byte i of frame k is (15k + i) modulo 256.
std::vector<std::uint8_t> TestPatternFrame(std::uint64_t index);

// Makes the frames the simulated controller sends, one after another,
// deterministically from a seed and the ride time of each frame.
class ControllerFrameSource {
public:
    ControllerFrameSource(protocols::ProtocolIndex protocol, std::uint64_t seed);

    // The next frame, with the ride as it stands `seconds` after the start.
    std::vector<std::uint8_t> Next(double seconds);

    // The gear position (0..7) the display last asked for; the controller
    // reports it back. Starts at the display's default position.
    void SetGearEcho(int position);

    std::size_t FrameLength() const;
    std::uint64_t framesMade() const { return index_; }

private:
    protocols::ProtocolIndex protocol_;
    std::uint64_t seed_;
    std::uint64_t index_ = 0;
    std::uint8_t sequence_ = 0;
    std::uint8_t previousKey_ = 0;
    std::uint8_t gearEcho_;
};

}  // namespace kmsim
