#include "protocols/HaltenRs.h"

#include "protocols/Checksum.h"
#include "protocols/HaltenMask.h"

namespace protocols {

void DescrambleRx(RxFrameSpan frame) {
    const std::uint8_t key = frame[kHaltenRxKey];
    for (const std::size_t i : kHaltenScrambledBytes) {
        frame[i] = static_cast<std::uint8_t>(frame[i] - key);
    }
}

int HaltenVt(ConstRxFrameSpan rx) { return rx[kHaltenRxVtHigh] * 256 + rx[kHaltenRxVtLow]; }

int HaltenP(ConstRxFrameSpan rx) { return rx[kHaltenRxP]; }

std::uint8_t HaltenMaskedGear(std::uint8_t counter, std::uint8_t gearCode) {
    return static_cast<std::uint8_t>(kHaltenMask[counter & 0x7F] + gearCode);
}

void StepHaltenCounter(OutFrameSpan frame) {
    frame[kHaltenTxCounter] = static_cast<std::uint8_t>(frame[kHaltenTxCounter] + 1);
}

void SealHalten(OutFrameSpan frame, std::uint8_t gearCode) {
    frame[kHaltenTxGear] = HaltenMaskedGear(frame[kHaltenTxCounter], gearCode);
    frame[kHaltenTxChecksum] = XorOf(frame.first<kHaltenTxChecksum>());
}

}  // namespace protocols
