#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

#include "protocols/LineMonitor.h"
#include "protocols/SessionCsv.h"

// What the line monitor has collected: the frame rows (at most a fixed
// number, the oldest going first), the counters, the chart's points and
// the progress of a running capture. Fed with the events the workers
// tapped, on the dialog's thread; no window and no clock of its own.
namespace monitor {

inline constexpr std::size_t kMaxRows = 10000;
inline constexpr std::int64_t kChartSpanNs = 60'000'000'000;

struct FrameRow {
    std::int64_t timeNs = 0;
    protocols::Direction direction = protocols::Direction::FromController;
    std::uint8_t protocol = 0;
    std::uint8_t length = 0;
    std::array<std::uint8_t, 20> bytes{};
    std::uint32_t changed = 0;             // bytes that differ from the previous frame this way
    std::uint32_t changedDescrambled = 0;  // the same for the decoded bytes, where the codec has them
    std::optional<double> dtMs;            // since the previous frame this way
    std::optional<int> vt, p;              // decoded values, when the frame has them
};

struct ChartPoint {
    std::int64_t timeNs = 0;
    int vt = 0;
    int p = 0;
};

struct CaptureProgress {
    bool running = false;
    bool seen = false;  // a capture started since the monitor opened
    int frames = 0;     // frames of the current (or last) capture
    std::int64_t firstNs = 0, lastNs = 0;
};

// The bytes a Halten RS frame carries once descrambled; others unchanged.
[[nodiscard]] std::array<std::uint8_t, 20> Descrambled(const FrameRow& row);
// True when the row has a descrambled form worth a column of its own.
[[nodiscard]] bool HasDescrambled(const FrameRow& row);

class MonitorStore {
public:
    explicit MonitorStore(std::size_t capacity = kMaxRows) : capacity_(capacity) {}

    // The counters start at `nowNs`: a run already going when the monitor
    // opened counts from then.
    void Begin(std::int64_t nowNs) { counters_.Reset(nowNs); }

    // Takes one tapped event, of the capture's worker when `fromCapture`.
    // Returns true when it added a row.
    bool Add(const protocols::TappedFrame& t, bool fromCapture = false);

    std::size_t Size() const { return rows_.size(); }
    const FrameRow& Row(std::size_t i) const { return rows_[i]; }
    // Rows dropped from the front since the store began.
    std::uint64_t Dropped() const { return dropped_; }
    // Rows added since the store began.
    std::uint64_t Added() const { return added_; }

    const protocols::LinkCounters& Counters() const { return counters_; }
    const std::deque<ChartPoint>& Chart() const { return chart_; }
    const CaptureProgress& Capture() const { return capture_; }

private:
    std::size_t capacity_;
    std::deque<FrameRow> rows_;
    std::uint64_t dropped_ = 0;
    std::uint64_t added_ = 0;
    std::array<std::optional<FrameRow>, 2> previous_;  // by direction
    protocols::LinkCounters counters_;
    std::deque<ChartPoint> chart_;
    CaptureProgress capture_;
};

// The capture's seconds left at the pace it has kept so far, or at the
// nominal pace of `frameMs` while it has fewer than two frames.
[[nodiscard]] int CaptureSecondsLeft(const CaptureProgress& c, double frameMs);

}  // namespace monitor
