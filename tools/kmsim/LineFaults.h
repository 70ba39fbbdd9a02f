#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace kmsim {

// Faults the simulated line can show, chosen on the command line. Frame
// numbers count the frames sent, from 1.
struct LineFaults {
    std::optional<std::uint64_t> silenceAfter;  // nothing more is sent after this many frames
    bool garbage = false;                       // junk bytes before every frame
    std::optional<std::uint64_t> dropByteOf;    // this frame loses one byte
    std::optional<std::uint64_t> hangupAfter;   // the line is cut after this many frames, and the simulator ends
    std::optional<std::uint64_t> unplugAfter;   // the line is cut after this many frames; the simulator runs on
    std::optional<std::chrono::milliseconds> replugAfter;  // an unplugged line comes back this long after
};

// Junk put in front of a frame: 1 to kMaxGarbageBytes bytes drawn from the
// seed and the frame number, none of them equal to `sync` (when given), so
// junk never looks like the start of a controller frame.
inline constexpr std::size_t kMaxGarbageBytes = 6;
std::vector<std::uint8_t> GarbageBytes(std::uint64_t seed, std::uint64_t frameNumber, std::optional<std::uint8_t> sync);

// The byte a dropped-byte frame loses: the one in its middle, so the frame
// keeps its sync bytes and the reader loses step with the next frame.
std::size_t DroppedByteIndex(std::size_t frameLength);

// What one frame slot puts on the line.
struct LineSlot {
    std::vector<std::uint8_t> bytes;  // junk first, then the frame
    std::size_t junkBytes = 0;
    bool byteDropped = false;
};

// The line bytes of frame `frameNumber` under the given faults.
LineSlot ComposeSlot(const std::vector<std::uint8_t>& frame, std::uint64_t frameNumber, const LineFaults& faults,
                     std::uint64_t seed, std::optional<std::uint8_t> sync);

}  // namespace kmsim
