#include "protocols/RxLines.h"

#include "protocols/Catalogue.h"
#include "protocols/FrameText.h"
#include "protocols/HaltenRs.h"
#include "protocols/KugooM.h"

namespace protocols {

std::optional<RxLines> ShowRxLines(int decoder, ConstRxFrameSpan rx, ConstRxFrameSpan raw, std::string_view shownRaw) {
    RxLines lines;
    switch (decoder) {
        case kTest:
            lines.raw = HexBytes(rx);
            break;
        case kHaltenRs:
            lines.raw = HexBytes(raw);
            // All but the closing XOR byte.
            lines.decoded = HexBytes(rx.first(kRxFrameSize - 1));
            lines.hasValues = true;
            lines.vt = HaltenVt(rx);
            lines.p = HaltenP(rx);
            break;
        case kKugooM:
            // The frame shown last moves down one line.
            lines.decoded = std::string(shownRaw);
            lines.raw = HexBytes(rx.first(Protocol(kKugooM).rxFrameLength));
            lines.hasValues = true;
            lines.vt = KugooVt(rx);
            lines.p = KugooP(rx);
            break;
        default:
            return std::nullopt;
    }
    return lines;
}

}  // namespace protocols
