#include "protocols/Template.h"

#include <cstdint>
#include <cstdio>

#include "protocols/Catalogue.h"
#include "protocols/GearCodes.h"
#include "protocols/HaltenRs.h"
#include "protocols/HexNumber.h"
#include "protocols/KugooM.h"

namespace protocols {
namespace {

constexpr bool TemplatesFitOutFrame() {
    for (int i = kNoProtocol; i < kProtocolCount; ++i) {
        if (Protocol(i).templateValueCount > kOutFrameSize) return false;
    }
    return true;
}
static_assert(TemplatesFitOutFrame());

unsigned LowByte(int value) { return static_cast<unsigned>(value) & 0xFFu; }

std::string HaltenTemplate(const TemplateSettings& s) {
    // Byte 5 as sealing writes it for counter 0x00.
    const unsigned maskedGear = HaltenMaskedGear(0x00, GearCodeForPosition(s.gear));
    unsigned flags = 0;
    if (s.zeroStart) flags += kHaltenZeroStartBit;
    if (s.cruise) flags += kHaltenCruiseBit;
    if (s.softStart) flags += kHaltenSoftStartBit;

    char text[sizeof kHaltenTemplateFormat];
    std::snprintf(text, sizeof text, kHaltenTemplateFormat, maskedGear, flags, LowByte(s.maxV), LowByte(s.ebs));
    return text;
}

std::string KugooTemplate(const TemplateSettings& s) {
    char text[sizeof kKugooTemplateFormat];
    std::snprintf(text, sizeof text, kKugooTemplateFormat, unsigned{GearCodeForPosition(s.gear)},
                  s.zeroStart ? unsigned{kKugooZeroStartBit} : 0u, LowByte(s.ebs), LowByte(s.softStart),
                  LowByte(s.maxV), LowByte(s.maxP), LowByte(s.throttle >> 8), LowByte(s.throttle),
                  s.cruise ? 0x4Cu : 0x0Cu);
    return text;
}

}  // namespace

std::optional<std::string> BuildTemplate(const TemplateSettings& settings) {
    switch (settings.decoder) {
        case kHaltenRs:
            return HaltenTemplate(settings);
        case kKugooM:
            return KugooTemplate(settings);
        default:
            return std::nullopt;
    }
}

void ParseTemplate(std::string_view text, int decoder, OutFrameSpan outFrame) {
    // The cursor moves through a copy of its own; the caller's text is not touched.
    const std::string copy(text);
    const std::size_t length = copy.size();
    if (length < 2) return;

    const std::size_t valueCount = Protocol(decoder).templateValueCount;
    std::size_t cursor = 0;  // also the count of characters passed
    std::size_t position = 0;
    // A character may be passed only while at least two remain from the cursor.
    const auto canPass = [&] { return cursor + 1 < length; };

    for (;;) {
        const std::int32_t value = ReadHexNumber(std::string_view(copy).substr(cursor));
        outFrame[position++] = static_cast<std::uint8_t>(value);

        while (canPass() && copy[cursor] == ' ') ++cursor;
        while (canPass() && copy[cursor] != ' ') ++cursor;

        if (!canPass() || position >= valueCount) return;
    }
}

}  // namespace protocols
