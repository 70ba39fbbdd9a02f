#include "protocols/Patches.h"

#include <cstdint>

#include "protocols/Catalogue.h"
#include "protocols/HaltenRs.h"
#include "protocols/KugooM.h"

namespace protocols {
namespace {

std::uint8_t LowByte(int value) { return static_cast<std::uint8_t>(value); }

void SetBit(std::uint8_t& byte, std::uint8_t bit, bool on) {
    byte = static_cast<std::uint8_t>(on ? (byte | bit) : (byte & ~bit));
}

}  // namespace

void PatchMaxP(int protocol, OutFrameSpan frame, int maxP) {
    if (protocol == kKugooM) frame[kKugooTxMaxP] = LowByte(maxP);
}

void PatchThrottle(int protocol, OutFrameSpan frame, int throttle) {
    if (protocol != kKugooM) return;
    frame[kKugooTxThrottleHigh] = LowByte(throttle >> 8);
    frame[kKugooTxThrottleLow] = LowByte(throttle);
}

void PatchMaxV(int protocol, OutFrameSpan frame, int maxV) {
    if (protocol == kHaltenRs) frame[kHaltenTxMaxV] = LowByte(maxV);
    if (protocol == kKugooM) frame[kKugooTxMaxV] = LowByte(maxV);
}

void PatchZeroStart(int protocol, OutFrameSpan frame, bool on) {
    if (protocol == kHaltenRs) SetBit(frame[kHaltenTxFlags], kHaltenZeroStartBit, on);
    if (protocol == kKugooM) SetBit(frame[kKugooTxZeroStart], kKugooZeroStartBit, on);
}

void PatchCruise(int decoder, OutFrameSpan frame, bool on) {
    if (decoder == kHaltenRs) SetBit(frame[kHaltenTxFlags], kHaltenCruiseBit, on);
    if (decoder == kKugooM) SetBit(frame[kKugooTxCruise], kKugooCruiseBit, on);
}

void PatchSoftStart(int protocol, OutFrameSpan frame, bool on) {
    if (protocol == kKugooM) {
        frame[kKugooTxSoftStart] = on ? 1 : 0;
    } else {
        SetBit(frame[kHaltenTxFlags], kHaltenSoftStartBit, on);
    }
}

void PatchEbs(int protocol, OutFrameSpan frame, int ebs) {
    if (protocol == kKugooM) {
        frame[kKugooTxEbs] = LowByte(ebs);
    } else {
        frame[kHaltenTxEbs] = LowByte(ebs);
    }
}

}  // namespace protocols
