#pragma once

#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include "protocols/Frames.h"

namespace protocols::test {

using OutFrame = std::array<std::uint8_t, kOutFrameSize>;
using RxFrame = std::array<std::uint8_t, kRxFrameSize>;

inline OutFrame FilledOutFrame(std::uint8_t value) {
    OutFrame frame;
    frame.fill(value);
    return frame;
}

// An out frame whose first bytes are given and whose other bytes hold fill.
inline OutFrame OutFrameOf(const std::vector<std::uint8_t>& head, std::uint8_t fill = 0x00) {
    OutFrame frame = FilledOutFrame(fill);
    for (std::size_t i = 0; i < head.size() && i < frame.size(); ++i) frame[i] = head[i];
    return frame;
}

template <std::size_t N>
std::array<std::uint8_t, N> RandomBytes(std::mt19937& random) {
    std::uniform_int_distribution<int> byte(0, 255);
    std::array<std::uint8_t, N> bytes{};
    for (auto& b : bytes) b = static_cast<std::uint8_t>(byte(random));
    return bytes;
}

}  // namespace protocols::test
