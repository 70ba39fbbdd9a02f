#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace platform {

class Event;

struct NewFileResult {
    bool written = false;
    std::string name;  // the name the file got, or the first one tried
    int error = 0;     // the system's error number of the failure
    std::string kept;  // when not written: the name the complete contents were left under
};

// Writes `contents` as a new file in `dir` ("" for the working folder) under
// the first free name of nameFor(1), nameFor(2), ... (999 names at most),
// never replacing a file that exists. The contents go to a temporary file in
// the same folder first, are flushed to the disk, and are moved into place
// only when complete.
//
// A move that another program refuses for a moment (a scanner, an indexer
// or a sync client holding the new file) is tried again for up to
// kHeldRetryMs (FileCalls.h); a set `stop` ends the tries at once. When
// the complete contents cannot be moved into place, they are not lost:
// the temporary file takes the first name's "-временный" form if it can,
// and `kept` names the file they are in. A file that could not be written
// whole, or a folder whose names are all taken, leaves nothing behind.
[[nodiscard]] NewFileResult WriteNewFile(const std::string& dir, const std::function<std::string(int)>& nameFor,
                                         std::string_view contents, const Event* stop = nullptr);

// The local time of day, as a calendar and a clock read it.
struct LocalTime {
    unsigned year, month, day, hour, minute;
    unsigned second = 0, millisecond = 0;
};

[[nodiscard]] LocalTime LocalTimeNow();

}  // namespace platform
