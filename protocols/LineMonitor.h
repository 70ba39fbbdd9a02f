#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace protocols {

// Which way a frame went on the line, as the line monitor shows it.
enum class Direction : std::uint8_t { FromController, ToController };  // "КМ→" and "→КМ"
// RunStart is a worker's first event of a run; RunEnd its last (the
// capture worker sends one when its capture ends, however it ends).
enum class TapKind : std::uint8_t { Frame, TimeOut, RunStart, RunEnd };

inline constexpr std::size_t kTapBytes = 20;

// One event a worker hands to the line monitor. timeNs is the caller's
// monotonic clock in ns.
struct TappedFrame {
    std::int64_t timeNs = 0;
    TapKind kind = TapKind::Frame;
    Direction direction = Direction::FromController;
    std::uint8_t protocol = 0;  // decoder index of the run (the catalogue's numbering)
    std::uint8_t length = 0;    // bytes used in `bytes`
    std::uint16_t skipped = 0;  // bytes passed over while hunting a sync byte before this event
    std::array<std::uint8_t, kTapBytes> bytes{};
};

[[nodiscard]] const char* DirectionText(Direction d);  // "КМ→" / "→КМ"

// Bit i is set when byte i of `current` differs from byte i of `previous`.
// With no previous frame (empty `previous`) nothing is marked. Bytes past
// the end of a shorter previous frame count as changed; bytes past the 32nd
// are not marked.
[[nodiscard]] std::uint32_t ChangedBytes(std::span<const std::uint8_t> previous, std::span<const std::uint8_t> current);

struct DirectionCounters {
    std::uint64_t frames = 0, timeOuts = 0, skippedBytes = 0;
    // Frames a second over the last 5 s before `now` (whole 100-ms steps of
    // the run, so 4.9 to 5 s); over the time since the run start when that
    // is shorter, but over no less than 1 s, so that the first frame of a
    // run shows no burst.
    double framesPerSecond = 0;
    double minDtMs = 0, meanDtMs = 0, maxDtMs = 0;  // between consecutive frames; 0 with fewer than two frames
    // Longest time without a frame, the open gap up to `now` included (from
    // the run start when no frame came yet).
    double longestSilenceMs = 0;
};

// The link counters of both directions since the run start. Memory is fixed:
// the rate keeps frame counts per 100 ms over the last 5 s only.
class LinkCounters {
public:
    LinkCounters() { Reset(0); }

    // Zeroes both directions; their run starts at runStartNs.
    void Reset(std::int64_t runStartNs);

    // Frames and time-outs count, and so do the bytes skipped before them. A
    // RunStart zeroes its direction, whose run starts at the event's time.
    // A frame stamped earlier than the frame before it (or the run start)
    // counts as at that time, with a Δt of 0. After a RunEnd the open gap
    // stops growing.
    void Add(const TappedFrame& t);

    [[nodiscard]] DirectionCounters Of(Direction d, std::int64_t nowNs) const;

    // Δt of the direction's last frame since the frame before it; none for
    // the first frame of a run.
    [[nodiscard]] std::optional<double> LastDtMs(Direction d) const;

private:
    static constexpr std::int64_t kBucketNs = 100'000'000;
    static constexpr std::size_t kBuckets = 50;  // 5 s

    struct Bucket {
        std::int64_t index = -1;  // 100-ms steps since the run start; -1: unused
        std::uint32_t frames = 0;
    };

    struct Side {
        std::int64_t runStartNs = 0;
        std::optional<std::int64_t> lastFrameNs;
        std::optional<std::int64_t> lastDtNs;
        std::optional<std::int64_t> runEndNs;
        std::uint64_t frames = 0, timeOuts = 0, skippedBytes = 0;
        std::int64_t minDtNs = 0, maxDtNs = 0, longestGapNs = 0;
        // Sum of all Δt: a run of 2^63 ns would take centuries.
        std::int64_t sumDtNs = 0;
        std::array<Bucket, kBuckets> buckets{};

        void Restart(std::int64_t startNs);
        void AddFrame(std::int64_t timeNs);
        [[nodiscard]] double Rate(std::int64_t nowNs) const;
    };

    Side& SideOf(Direction d) { return sides_[static_cast<std::size_t>(d)]; }
    const Side& SideOf(Direction d) const { return sides_[static_cast<std::size_t>(d)]; }

    std::array<Side, 2> sides_{};
};

// "hh:mm:ss.mmm" of a time of day in ms since local midnight, taken modulo
// one day.
[[nodiscard]] std::string TimeOfDayText(std::int64_t msOfDay);

// Δt in ms with one decimal ("160.3"), independent of the C locale; "" for
// none and for a value that is not finite.
[[nodiscard]] std::string DeltaText(std::optional<double> dtMs);

}  // namespace protocols
