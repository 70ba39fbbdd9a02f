#include "protocols/Catalogue.h"

#include <cstdio>

#include "protocols/Codecs.h"

namespace protocols {

std::string LineModeString(unsigned speed) {
    char text[sizeof kLineModeFormat + 16];
    std::snprintf(text, sizeof text, kLineModeFormat, speed);
    return text;
}

const ProtocolInfo& Protocol(int index) { return CodecAt(index).Info(); }

std::vector<std::string_view> DecoderListEntries() {
    std::vector<std::string_view> entries;
    for (const Codec* codec : Codecs()) entries.push_back(codec->Info().listEntry);
    return entries;
}

}  // namespace protocols
