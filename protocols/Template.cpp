#include "protocols/Template.h"

#include <algorithm>
#include <cstdint>

#include "protocols/Codecs.h"
#include "protocols/HexNumber.h"

namespace protocols {

std::optional<std::string> BuildTemplate(const TemplateSettings& settings) {
    return CodecAt(settings.decoder).BuildTemplate(settings);
}

void ParseTemplate(std::string_view text, int decoder, OutFrameSpan outFrame) {
    // The cursor moves through a copy of its own; the caller's text is not touched.
    const std::string copy(text);
    const std::size_t length = copy.size();
    if (length < 2) return;

    const std::size_t valueCount = std::min(Protocol(decoder).templateValueCount, kOutFrameSize);
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
