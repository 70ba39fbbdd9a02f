#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "protocols/Frames.h"

namespace protocols {

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

// The template text for the selected decoder (its codec's), or nullopt when
// the decoder has no template and the text is to stay as it is.
[[nodiscard]] std::optional<std::string> BuildTemplate(const TemplateSettings& settings);

// Reads the template's hexadecimal values into the first bytes of outFrame:
// as many values as the decoder's template holds (19 for Kugoo M, 14 for any
// other decoder). Values are taken
// only at space-separated tokens; unreadable values store 0 and missing ones
// leave their bytes alone. A text of fewer than 2 characters changes nothing.
void ParseTemplate(std::string_view text, int decoder, OutFrameSpan outFrame);

}  // namespace protocols
