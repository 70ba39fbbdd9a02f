#include "tools/kmsim/ControllerFrames.h"

#include <algorithm>

#include "protocols/GearCodes.h"

namespace kmsim {

ControllerFrameSource::ControllerFrameSource(int protocol, std::uint64_t seed)
    : side_(SideAt(protocol) ? *SideAt(protocol) : TestControllerSide()),
      frames_(side_.NewFrames(seed)),
      seed_(seed),
      gearEcho_(static_cast<std::uint8_t>(protocols::kDefaultGearPosition)) {}

void ControllerFrameSource::SetGearEcho(int position) {
    gearEcho_ = static_cast<std::uint8_t>(std::clamp(position, 0, static_cast<int>(protocols::kGearCodes.size()) - 1));
}

std::size_t ControllerFrameSource::FrameLength() const { return side_.Codec().Info().rxFrameLength; }

std::vector<std::uint8_t> ControllerFrameSource::Next(double seconds) {
    const std::uint64_t index = index_++;
    return frames_->Next(index, RideAt(seed_, seconds), gearEcho_);
}

}  // namespace kmsim
