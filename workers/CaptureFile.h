#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/NewFile.h"
#include "protocols/CaptureFormat.h"

namespace workers {

inline constexpr int kCaptureFrames = static_cast<int>(protocols::kCaptureFrames);
inline constexpr int kCaptureFrameBytes = static_cast<int>(protocols::kCaptureFrameBytes);
inline constexpr int kCaptureBytes = kCaptureFrames * kCaptureFrameBytes;  // 12000

// Local time of the capture's last frame.
struct CaptureTime {
    unsigned year, month, day, hour, minute;
};

[[nodiscard]] CaptureTime LocalCaptureTime();

// "km%02u%02u%02u%02u.txt" of month, day, hour and minute.
[[nodiscard]] std::string CaptureFileName(const CaptureTime& t);

// The whole file: header, the 600 frame lines, the separator and the key
// section. Every line ends in CR LF; the separator's three letters are the
// cp1251 bytes C4 EE EF. The key section lists byte 13 of every frame from
// the first whose byte 1 is 0x00, sixteen values a line, with no line end
// after a last short line.
[[nodiscard]] std::string CaptureFileText(std::span<const std::uint8_t, kCaptureBytes> frames, const CaptureTime& t);

// Whether the file was written, under which name, and if not, why and
// where the whole text was left.
using CaptureWriteResult = platform::NewFileResult;

// Writes `text` under `name` in `dir` without ever replacing a file: when
// the name is taken, "-2", "-3", ... go before ".txt". The text goes to a
// temporary file in the same folder first and is moved into place only
// when complete, so no partial file ever stands under a capture name. A
// move held up by another program is tried again until `stop` is set or
// the bound runs out; the whole text is then kept (platform::WriteNewFile).
[[nodiscard]] CaptureWriteResult WriteCaptureFile(const std::string& dir, const std::string& name,
                                                  const std::string& text, const platform::Event* stop = nullptr);

}  // namespace workers
