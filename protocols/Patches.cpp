#include "protocols/Patches.h"

#include "protocols/Codecs.h"

namespace protocols {

void PatchMaxP(int protocol, OutFrameSpan frame, int maxP) { CodecAt(protocol).Patch(Setting::MaxP, frame, maxP); }

void PatchThrottle(int protocol, OutFrameSpan frame, int throttle) {
    CodecAt(protocol).Patch(Setting::Throttle, frame, throttle);
}

void PatchMaxV(int protocol, OutFrameSpan frame, int maxV) { CodecAt(protocol).Patch(Setting::MaxV, frame, maxV); }

void PatchZeroStart(int protocol, OutFrameSpan frame, bool on) {
    CodecAt(protocol).Patch(Setting::ZeroStart, frame, on ? 1 : 0);
}

void PatchCruise(int decoder, OutFrameSpan frame, bool on) {
    CodecAt(decoder).Patch(Setting::Cruise, frame, on ? 1 : 0);
}

void PatchSoftStart(int protocol, OutFrameSpan frame, bool on) {
    CodecAt(protocol).Patch(Setting::SoftStart, frame, on ? 1 : 0);
}

void PatchEbs(int protocol, OutFrameSpan frame, int ebs) { CodecAt(protocol).Patch(Setting::Ebs, frame, ebs); }

}  // namespace protocols
