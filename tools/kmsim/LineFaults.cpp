#include "tools/kmsim/LineFaults.h"

#include "tools/kmsim/Ride.h"

namespace kmsim {

namespace {

// Keeps the junk stream apart from the ride's and the keys'.
constexpr std::uint64_t kGarbageStream = 0x6A756E6B;  // "junk"

}  // namespace

std::vector<std::uint8_t> GarbageBytes(std::uint64_t seed, std::uint64_t frameNumber,
                                       std::optional<std::uint8_t> sync) {
    std::uint64_t bits = MixBits(seed ^ kGarbageStream, frameNumber);
    const std::size_t count = 1 + static_cast<std::size_t>(bits % kMaxGarbageBytes);
    std::vector<std::uint8_t> junk;
    junk.reserve(count);
    std::uint64_t position = 0;
    while (junk.size() < count) {
        bits = MixBits(seed ^ kGarbageStream, (frameNumber << 8) + position++);
        const auto byte = static_cast<std::uint8_t>(bits >> 24);
        if (sync && byte == *sync) continue;
        junk.push_back(byte);
    }
    return junk;
}

std::size_t DroppedByteIndex(std::size_t frameLength) { return frameLength / 2; }

LineSlot ComposeSlot(const std::vector<std::uint8_t>& frame, std::uint64_t frameNumber, const LineFaults& faults,
                     std::uint64_t seed, std::optional<std::uint8_t> sync) {
    LineSlot slot;
    if (faults.garbage) {
        slot.bytes = GarbageBytes(seed, frameNumber, sync);
        slot.junkBytes = slot.bytes.size();
    }
    const bool drop = faults.dropByteOf && *faults.dropByteOf == frameNumber && !frame.empty();
    const std::size_t dropped = DroppedByteIndex(frame.size());
    for (std::size_t i = 0; i < frame.size(); ++i) {
        if (drop && i == dropped) continue;
        slot.bytes.push_back(frame[i]);
    }
    slot.byteDropped = drop;
    return slot;
}

}  // namespace kmsim
