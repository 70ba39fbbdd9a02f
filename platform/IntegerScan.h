#pragma once

#include <string_view>

namespace platform {

// The integer kind of dialog data exchange: the first 63 characters of a
// box's text are scanned for a signed decimal integer (leading blanks and
// a sign allowed, anything after the digits ignored). Values beyond the
// 32-bit range saturate. Returns false when no digit follows.
[[nodiscard]] bool ScanDialogInteger(std::string_view text, int& value);

}  // namespace platform
