#include "protocols/Seal.h"

#include "protocols/Codecs.h"

namespace protocols {

void SealOutFrame(int activeProtocol, OutFrameSpan outFrame, std::uint8_t gearCode) {
    CodecAt(activeProtocol).Seal(outFrame, gearCode);
}

}  // namespace protocols
