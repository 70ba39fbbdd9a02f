#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace platform {

struct NewFileResult {
    bool written = false;
    std::string name;  // the name the file got, or the first one tried
    int error = 0;     // the system's error number of the failure
};

// Writes `contents` as a new file in `dir` ("" for the working folder) under
// the first free name of nameFor(1), nameFor(2), ... (999 names at most),
// never replacing a file that exists. The contents go to a temporary file in
// the same folder first, are flushed to the disk, and are moved into place
// only when complete. On any failure no file is left behind under any name.
[[nodiscard]] NewFileResult WriteNewFile(const std::string& dir, const std::function<std::string(int)>& nameFor,
                                         std::string_view contents);

// The local time of day, as a calendar and a clock read it.
struct LocalTime {
    unsigned year, month, day, hour, minute;
    unsigned second = 0, millisecond = 0;
};

[[nodiscard]] LocalTime LocalTimeNow();

}  // namespace platform
