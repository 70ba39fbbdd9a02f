#include "protocols/RxLines.h"

#include "protocols/Codecs.h"

namespace protocols {

std::optional<RxLines> ShowRxLines(int decoder, ConstRxFrameSpan rx, ConstRxFrameSpan raw, std::string_view shownRaw) {
    return CodecAt(decoder).ShowRx(rx, raw, shownRaw);
}

}  // namespace protocols
