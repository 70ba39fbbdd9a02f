#pragma once

#include <cstddef>
#include <string>

namespace platform {

struct ReadFileResult {
    bool read = false;
    bool tooLarge = false;  // the file holds more than the limit; nothing read
    std::string contents;
    int error = 0;  // the system's error number of a failure
};

// Reads the whole file at `path` (UTF-8) when it holds at most `limit`
// bytes. On failure `contents` is empty.
[[nodiscard]] ReadFileResult ReadWholeFile(const std::string& path, std::size_t limit);

}  // namespace platform
