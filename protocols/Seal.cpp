#include "protocols/Seal.h"

#include "protocols/Catalogue.h"
#include "protocols/HaltenRs.h"
#include "protocols/KugooM.h"

namespace protocols {

void SealOutFrame(int activeProtocol, OutFrameSpan outFrame, std::uint8_t gearCode) {
    switch (activeProtocol) {
        case kHaltenRs:
            SealHalten(outFrame, gearCode);
            break;
        case kKugooM:
            SealKugoo(outFrame, gearCode);
            break;
        default:
            break;
    }
}

}  // namespace protocols
