#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "protocols/Frames.h"

namespace protocols {

// Template text forms; the checksum byte is never part of a template.
inline constexpr char kHaltenTemplateFormat[] = "01 03 00 00 00 %.2X %.2X %.2X 00 80 %.2X 00 00 00";
inline constexpr char kKugooTemplateFormat[] =
    "01 14 01 01 %.2X %.2X 1E 00 6B %.2X %.2X 00 %.2X %.2X 02 1C %.2X %.2X %.2X";

// The setting controls' values a template is generated from. Flags are set
// when non-zero.
struct TemplateSettings {
    int decoder;
    int gear;
    int zeroStart;
    int cruise;
    int softStart;
    int ebs;
    int maxV;
    int maxP;
    int throttle;
};

// The template text for the selected decoder, or nullopt when the decoder has
// no template and the text is to stay as it is.
[[nodiscard]] std::optional<std::string> BuildTemplate(const TemplateSettings& settings);

// Reads the template's hexadecimal values into the first bytes of outFrame:
// up to 19 values for Kugoo M, 14 for any other decoder. Values are taken
// only at space-separated tokens; unreadable values store 0 and missing ones
// leave their bytes alone. A text of fewer than 2 characters changes nothing.
void ParseTemplate(std::string_view text, int decoder, OutFrameSpan outFrame);

}  // namespace protocols
