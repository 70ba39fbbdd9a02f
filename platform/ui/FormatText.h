#pragma once

#include <string>

namespace platform::ui {

// printf-style formatting into a UTF-8 string, as CString::Format does.
[[nodiscard]] std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace platform::ui
