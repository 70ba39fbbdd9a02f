#pragma once

#include "protocols/Frames.h"

namespace protocols {

// Patches of the out frame made by the setting controls. Each takes the
// protocol index that decides the layout (the run's protocol, or the decoder
// list's selection for cruise) and hands the patch to that decoder's codec
// (Codec::Patch), which writes the matching byte or bit; a protocol without
// that setting leaves the frame alone. Values go in as their low byte; "on"
// sets a flag bit and leaves the other bits.

void PatchMaxP(int protocol, OutFrameSpan frame, int maxP);
void PatchThrottle(int protocol, OutFrameSpan frame, int throttle);
void PatchMaxV(int protocol, OutFrameSpan frame, int maxV);
void PatchZeroStart(int protocol, OutFrameSpan frame, bool on);
void PatchCruise(int decoder, OutFrameSpan frame, bool on);
// Soft start and EBS patch the Halten RS positions for the test decoder and
// for no selection too.
void PatchSoftStart(int protocol, OutFrameSpan frame, bool on);
void PatchEbs(int protocol, OutFrameSpan frame, int ebs);

}  // namespace protocols
