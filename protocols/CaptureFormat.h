#pragma once

#include <cstddef>
#include <string_view>

#include "protocols/HaltenRs.h"

namespace protocols {

// The sixty-second capture file ("В файл 60s"): a header with the local
// time, one line per Halten RS frame as received, a separator line, then
// the key section.
inline constexpr std::size_t kCaptureFrames = 600;
inline constexpr std::size_t kCaptureFrameBytes = kHaltenRxLength;
// The key section lists the key byte of every frame from the first whose
// mark byte is 0x00.
inline constexpr std::size_t kCaptureKeyByte = kHaltenRxKey;
inline constexpr std::size_t kCaptureMarkByte = kHaltenRxMark;
// "--Доп-------------------" with the letters in cp1251.
inline constexpr std::string_view kCaptureSeparator = "--\xC4\xEE\xEF-------------------";

}  // namespace protocols
