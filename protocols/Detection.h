#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "protocols/Catalogue.h"

// Finding out what a line speaks from what is heard on it. Pure: the bytes
// come with the times they arrived at, measured by the caller; nothing
// here reads a port or a clock.
namespace protocols {

// What one listening window (or a whole sweep) came to.
struct Finding {
    enum class Kind {
        Nothing,    // no byte, or bytes without a structure
        Protocol,   // frames of a decoder in the codec table
        Structure,  // frames of a steady length and start, of no known decoder
    };
    Kind kind = Kind::Nothing;
    unsigned speed = 0;                   // the speed listened at
    std::size_t bytesHeard = 0;           // every byte of the window
    int protocol = kNoProtocol;           // Protocol: its index in the codec table
    int frames = 0;                       // Protocol: frames that pass the codec's checks; Structure: frames seen
    int errors = 0;                       // Protocol: frames in the run whose check fails
    std::size_t frameLength = 0;          // Structure
    std::array<std::uint8_t, 2> start{};  // Structure: its first two bytes
    int periodMs = 0;                     // Protocol and Structure: the frames' period
};

// Frames, at the least, that make a find. A structure has no check to
// pass, and a UART at twice the sender's rate reads random bytes as a
// small alphabet whose pairs repeat often: four frames in a row came about
// by chance once in a thousand random sweeps, five never in three
// thousand. In a window of kQuickListenMs that means a period of 80 ms at
// most.
inline constexpr int kMinProtocolFrames = 3;
inline constexpr int kMinStructureFrames = 5;

// What the bytes heard at `speed` are; `atMs[i]` is when bytes[i] arrived,
// in ms from any fixed point, not decreasing. A decoder of the table is
// found when at least kMinProtocolFrames of its frames follow one another
// (the sync bytes again one frame length on), pass its FitControllerFrame
// and come at a steady period, and fewer of those in the run fail their
// check than pass it. Failing that, a structure is a two-byte start that
// recurs at one frame length (4 bytes or more) at least
// kMinStructureFrames times in a row, at a steady period.
[[nodiscard]] Finding Examine(std::span<const std::uint8_t> bytes, std::span<const std::int64_t> atMs, unsigned speed);

// Only the decoders of the table, cheaply: for deciding while listening.
[[nodiscard]] Finding ExamineProtocols(std::span<const std::uint8_t> bytes, std::span<const std::int64_t> atMs,
                                       unsigned speed);

// The standard speeds tried after the decoders' own.
inline constexpr unsigned kStandardSpeeds[] = {2400, 4800, 19200, 38400, 57600, 115200};

// The speeds a sweep listens at, in order: each speed of a decoder in the
// codec table that has sync bytes, in the table's order, then the standard
// speeds; each once.
[[nodiscard]] std::vector<unsigned> SweepSpeeds();

// How long to listen at one speed, in ms from its start: a window that has
// heard no frame of any decoder (one that passes its checks and is followed
// by the next one's sync bytes or by nothing yet) by kQuickListenMs moves
// on; one that has
// goes on until a decoder is found or kLongListenMs. A Halten RS frame
// takes 125 ms at 1200 bit/s, and 100 ms pass between two: a window that
// starts just after one began hears the next whole within 350 ms.
inline constexpr int kQuickListenMs = 400;
inline constexpr int kLongListenMs = 1000;

// Listening at one speed: the bytes with their times, and whether it has
// heard enough.
class ListenWindow {
public:
    explicit ListenWindow(unsigned speed) : speed_(speed) {}

    void Add(std::uint8_t byte, std::int64_t elapsedMs);

    // Whether listening may end `elapsedMs` after it began; looks at the
    // bytes afresh every few tens of ms.
    [[nodiscard]] bool Done(std::int64_t elapsedMs);

    // The ms left before Done may change its answer without a byte.
    [[nodiscard]] std::int64_t WaitMs(std::int64_t elapsedMs) const;

    [[nodiscard]] Finding Result() const { return Examine(bytes_, atMs_, speed_); }
    [[nodiscard]] unsigned Speed() const { return speed_; }

private:
    unsigned speed_;
    std::vector<std::uint8_t> bytes_;
    std::vector<std::int64_t> atMs_;
    bool sawFrame_ = false;  // a frame of some decoder has passed its checks
    bool foundProtocol_ = false;
    std::size_t examined_ = 0;  // bytes_ examined for a protocol so far
    std::int64_t examinedAtMs_ = -1000;
};

// A sweep over SweepSpeeds(): the speed to listen at next, and what the
// windows so far came to. It ends at the first decoder found or after the
// last speed.
class Sweep {
public:
    Sweep();

    [[nodiscard]] bool Done() const { return done_; }
    [[nodiscard]] unsigned Speed() const { return done_ ? 0 : speeds_[next_]; }
    // Windows taken so far, and speeds in the sweep.
    [[nodiscard]] std::size_t Step() const { return next_; }
    [[nodiscard]] std::size_t Steps() const { return speeds_.size(); }

    // The finding of the window at Speed(); moves on to the next speed.
    void Take(const Finding& finding);

    // The answer: the decoder found, else the strongest structure, else
    // nothing (Silent() tells whether any byte came at all).
    [[nodiscard]] Finding Result() const;
    [[nodiscard]] bool Silent() const { return bytes_ == 0; }

private:
    std::vector<unsigned> speeds_;
    std::size_t next_ = 0;
    bool done_ = false;
    std::size_t bytes_ = 0;
    Finding best_;
};

}  // namespace protocols
