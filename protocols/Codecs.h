#pragma once

#include <span>

#include "protocols/Codec.h"

namespace protocols {

// The codec table: every decoder in the decoder list's order, the built-in
// ones first (kTest, kHaltenRs, kKugooM), then those registered.
[[nodiscard]] std::span<const Codec* const> Codecs();

// The codec of a decoder index; an index outside the table (-1: nothing
// selected) answers with the codec of "no selection".
[[nodiscard]] const Codec& CodecAt(int index);

// Adds a codec after the last one and returns its index, which its
// catalogue data must carry. Registering is for start-up, before any
// worker runs: the table is not guarded against concurrent use.
int RegisterCodec(const Codec& codec);

// The built-in codecs, each defined in a file of its own.
[[nodiscard]] const Codec& TestCodec();
[[nodiscard]] const Codec& HaltenRsCodec();
[[nodiscard]] const Codec& KugooMCodec();

// The codec that records the sixty-second capture.
[[nodiscard]] const Codec& CaptureCodec();

}  // namespace protocols
