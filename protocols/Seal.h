#pragma once

#include <cstdint>

#include "protocols/Frames.h"

namespace protocols {

// Finishes the out frame before a send by the run's protocol's codec: Halten
// RS gets its masked gear byte and checksum, Kugoo M its gear byte and
// checksum, any other protocol nothing.
void SealOutFrame(int activeProtocol, OutFrameSpan outFrame, std::uint8_t gearCode);

}  // namespace protocols
