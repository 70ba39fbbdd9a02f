#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "protocols/ReadError.h"
#include "ui/ReplayPace.h"

// Reading a capture or a session log for replay, off the dialog's thread:
// no window here.
namespace monitor {

enum class ReplayKind { Capture, SessionLog };

struct ReplayRead {
    std::vector<ReplayFrame> frames;  // the controller frames, when read whole
    bool opened = false;              // else tooLarge or systemError says why
    bool tooLarge = false;
    int systemError = 0;
    std::optional<protocols::ReadError> error;  // the first malformed line
    bool stopped = false;                       // the progress asked to stop
};

// Told how many of the file's bytes have been read; returns false to stop.
using ReplayProgress = std::function<bool(std::size_t read, std::size_t size)>;

// Reads the file at `path`, of at most `limit` bytes, straight from a
// mapping of it. A session log goes into fixed-size rows, the pages read
// let go as it goes, and its controller frames are timed from the first of
// them; a capture's frames follow each other `captureFrameMs` apart.
[[nodiscard]] ReplayRead ReadReplayFile(const std::string& path, ReplayKind kind, std::size_t limit,
                                        double captureFrameMs, const ReplayProgress& progress = {});

}  // namespace monitor
