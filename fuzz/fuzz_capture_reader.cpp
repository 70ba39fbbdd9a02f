// Capture file text → 600 frames. A refused text names a line of the file
// and keeps the frames before it; an accepted one has all 600 frames and an
// existing time, and the tool's own writer turns them into a file that
// reads back to the same frames and time.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/FuzzCheck.h"
#include "protocols/CaptureReader.h"
#include "protocols/TextLines.h"
#include "workers/CaptureFile.h"

namespace {

std::size_t LineCount(std::string_view text) {
    protocols::TextLines lines(text);
    std::string_view line;
    while (lines.Next(line)) {
    }
    return static_cast<std::size_t>(lines.Number());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const protocols::CaptureReadResult read = protocols::ReadCaptureFile(text);

    if (read.error) {
        const std::size_t lines = LineCount(text);
        const int line = read.error->line;
        FUZZ_CHECK(line >= 1);
        FUZZ_CHECK(static_cast<std::size_t>(line) <= std::max<std::size_t>(lines, 1));
        FUZZ_CHECK(!read.error->message.empty());
        // A bad line keeps the frames above it; an early end names the last
        // line, which may itself be a good frame.
        const std::size_t frames = read.frames.size();
        FUZZ_CHECK(frames <= protocols::kCaptureFrames);
        FUZZ_CHECK(static_cast<std::size_t>(line) == frames + 2 || static_cast<std::size_t>(line) == frames + 1);
        return 0;
    }

    FUZZ_CHECK(read.frames.size() == protocols::kCaptureFrames);
    FUZZ_CHECK(protocols::IsValidWallTime(read.time));
    FUZZ_CHECK(read.time.second == 0 && read.time.millisecond == 0);

    static std::array<std::uint8_t, workers::kCaptureBytes> flat;
    for (std::size_t k = 0; k < read.frames.size(); ++k) {
        std::copy(read.frames[k].begin(), read.frames[k].end(), flat.begin() + k * protocols::kCaptureFrameBytes);
    }
    const workers::CaptureTime time{static_cast<unsigned>(read.time.year), static_cast<unsigned>(read.time.month),
                                    static_cast<unsigned>(read.time.day), static_cast<unsigned>(read.time.hour),
                                    static_cast<unsigned>(read.time.minute)};
    const protocols::CaptureReadResult again = protocols::ReadCaptureFile(workers::CaptureFileText(flat, time));
    FUZZ_CHECK(!again.error);
    FUZZ_CHECK(again.frames == read.frames);
    FUZZ_CHECK(again.time == read.time);
    return 0;
}
