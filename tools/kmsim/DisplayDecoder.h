#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kmsim {

class ControllerSide;

// The settings one display frame asks the controller for.
struct DisplaySettings {
    std::uint8_t gearCode = 0;  // as carried (Halten RS: unmasked)
    int gearPosition = -1;      // index in kGearCodes; -1 for a code not in it
    bool zeroStart = false;
    bool cruise = false;
    bool softStart = false;
    int maxSpeed = 0;
    int ebs = 0;
    std::optional<int> maxPower;  // Kugoo M only
    std::optional<int> throttle;  // Kugoo M only
    std::optional<int> counter;   // Halten RS only: the frame counter
};

// Where a Halten RS frame counter stands against the one before it.
enum class CounterStep {
    None,    // no counter (Kugoo M), or a bad frame
    First,   // the first good frame since the start or a resynchronisation
    Next,    // one more than before
    Repeat,  // the same as before: the display sent a frame again
    Gap,     // frames are missing in between
};

// One complete display frame found in the stream.
struct DisplayFrame {
    std::vector<std::uint8_t> bytes;
    bool checksumOk = false;
    DisplaySettings settings;  // meaningful only when checksumOk
    CounterStep step = CounterStep::None;
    int missed = 0;  // frames missing before this one (Gap only)
};

struct DisplayStats {
    std::uint64_t frames = 0;          // good frames
    std::uint64_t checksumErrors = 0;  // frames whose bytes do not XOR to 0
    std::uint64_t counterGaps = 0;     // breaks in the counter sequence
    std::uint64_t missedFrames = 0;    // frames lost in those breaks
    std::uint64_t repeats = 0;         // frames sent again with the same counter
    std::uint64_t skippedBytes = 0;    // bytes passed over while hunting a frame start
};

// Position of a gear code in kGearCodes, -1 when it is not there.
int GearPositionOf(std::uint8_t gearCode);

// Cuts the byte stream from the tool into display frames. It hunts the two
// start bytes, takes the frame length from the protocol's controller side,
// and checks the XOR; a frame that fails is counted and the hunt resumes
// one byte after its start, so junk that happens to hold the start bytes
// cannot swallow a real frame. A protocol without display frames (the test
// protocol) passes every byte over.
class DisplayDecoder {
public:
    // `protocol` is an index of the codec table.
    explicit DisplayDecoder(int protocol);

    // Takes bytes as they come, in pieces of any size; returns the frames
    // completed by them, bad ones included.
    std::vector<DisplayFrame> Feed(std::span<const std::uint8_t> bytes);

    // Forgets a partly received frame and the last counter (the line went
    // away; the next frame starts afresh).
    void Restart();

    const DisplayStats& stats() const { return stats_; }
    const std::optional<DisplaySettings>& lastSettings() const { return last_; }
    std::size_t frameLength() const { return length_; }

private:
    bool TryFrame(std::vector<DisplayFrame>& out);

    const ControllerSide* side_;
    bool counter_;
    std::size_t length_;
    std::uint8_t start0_;
    std::uint8_t start1_;
    std::vector<std::uint8_t> pending_;
    std::optional<std::uint8_t> lastCounter_;
    std::optional<DisplaySettings> last_;
    DisplayStats stats_;
};

}  // namespace kmsim
