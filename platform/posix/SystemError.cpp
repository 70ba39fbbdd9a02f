#include "platform/SystemError.h"

#include <cstring>

namespace platform {

std::string SystemErrorText(int error) {
    if (error == 0) return {};
    char text[256] = {};
    // The GNU strerror_r may return a static string instead of filling `text`.
    const char* words = ::strerror_r(error, text, sizeof text);
    return words ? words : "error " + std::to_string(error);
}

}  // namespace platform
