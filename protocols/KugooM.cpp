#include "protocols/KugooM.h"

#include "protocols/Checksum.h"

namespace protocols {

int KugooVt(ConstRxFrameSpan rx) { return rx[kKugooRxVtHigh] * 256 + rx[kKugooRxVtLow]; }

int KugooP(ConstRxFrameSpan rx) { return rx[kKugooRxP]; }

void SealKugoo(OutFrameSpan frame, std::uint8_t gearCode) {
    frame[kKugooTxGear] = gearCode;
    frame[kKugooTxChecksum] = XorOf(frame.first<kKugooTxChecksum>());
}

}  // namespace protocols
