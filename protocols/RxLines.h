#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "protocols/Frames.h"

namespace protocols {

// What the main window's raw and decoded lines and its V/T and P boxes show
// for a received frame, by decoder.
struct RxLines {
    std::string raw;
    std::string decoded;
    bool hasValues = false;  // vt and p are meaningful
    int vt = 0;
    int p = 0;
};

// `rx` is the frame as decoded (descrambled for Halten RS), `raw` the frame
// as it came off the line, `shownRaw` what the raw line shows now: Kugoo M
// moves it down to the decoded line. With no decoder selected nothing is
// shown and every line keeps its text.
[[nodiscard]] std::optional<RxLines> ShowRxLines(int decoder, ConstRxFrameSpan rx, ConstRxFrameSpan raw,
                                                 std::string_view shownRaw);

}  // namespace protocols
