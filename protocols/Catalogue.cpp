#include "protocols/Catalogue.h"

#include <cstdio>

namespace protocols {

std::string LineModeString(unsigned speed) {
    char text[sizeof kLineModeFormat + 16];
    std::snprintf(text, sizeof text, kLineModeFormat, speed);
    return text;
}

std::array<std::string_view, kProtocolCount> DecoderListEntries() {
    std::array<std::string_view, kProtocolCount> entries{};
    for (int i = 0; i < kProtocolCount; ++i) {
        entries[static_cast<std::size_t>(i)] = Protocol(i).listEntry;
    }
    return entries;
}

}  // namespace protocols
