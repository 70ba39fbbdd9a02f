#pragma once

#include <string>

namespace platform {

// The system's own words for an error number that a platform call reported
// (errno on POSIX systems, a GetLastError code on Windows), in UTF-8 and
// in the user's language where the system has it, without a line end.
// No error (0) has no text.
[[nodiscard]] std::string SystemErrorText(int error);

}  // namespace platform
