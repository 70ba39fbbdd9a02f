#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "tools/kmsim/ControllerSide.h"

namespace kmsim {

// Makes the frames the simulated controller sends, one after another,
// deterministically from a seed and the ride time of each frame, through
// the protocol's controller side.
class ControllerFrameSource {
public:
    // `protocol` is an index of the codec table with a controller side.
    ControllerFrameSource(int protocol, std::uint64_t seed);

    // The next frame, with the ride as it stands `seconds` after the start.
    std::vector<std::uint8_t> Next(double seconds);

    // The gear position (0..7) the display last asked for; the controller
    // reports it back. Starts at the display's default position.
    void SetGearEcho(int position);

    std::size_t FrameLength() const;
    std::uint64_t framesMade() const { return index_; }

private:
    const ControllerSide& side_;
    std::unique_ptr<ControllerFrames> frames_;
    std::uint64_t seed_;
    std::uint64_t index_ = 0;
    std::uint8_t gearEcho_;
};

}  // namespace kmsim
