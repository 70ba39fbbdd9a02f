#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "protocols/CaptureFormat.h"
#include "protocols/ReadError.h"
#include "protocols/WallTime.h"

namespace protocols {

struct CaptureReadResult {
    std::vector<std::array<std::uint8_t, kCaptureFrameBytes>> frames;  // on an error, those before the bad line
    std::optional<ReadError> error;
    WallTime time{};  // the header's local time (to the minute) of the capture's last frame
};

// Reads a capture file back strictly: the header "д.м.гггг ч:м" with an
// existing date and time, exactly 600 lines of 15 bytes — two hexadecimal
// digits (either case) and a blank each — followed by ";k", k counting from
// 0, then the separator line (in cp1251 as written, or in UTF-8 as an
// editor may have saved it). The key section after it only repeats byte 13
// of the frames and is not read. Lines may end in CR LF or LF.
[[nodiscard]] CaptureReadResult ReadCaptureFile(std::string_view text);

}  // namespace protocols
