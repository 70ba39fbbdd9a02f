#include "ui/MonitorStore.h"

#include <algorithm>
#include <cmath>

#include "protocols/Codecs.h"

namespace monitor {

namespace {

using protocols::Direction;
using protocols::TapKind;

std::size_t Index(Direction d) { return d == Direction::FromController ? 0 : 1; }

std::array<std::uint8_t, protocols::kRxFrameSize> RxPart(const std::array<std::uint8_t, 20>& bytes) {
    std::array<std::uint8_t, protocols::kRxFrameSize> rx{};
    std::copy_n(bytes.begin(), rx.size(), rx.begin());
    return rx;
}

// The row's controller frame decoded by its run's codec; nothing when the
// codec has no decoded form apart from the bytes as received.
std::optional<std::array<std::uint8_t, protocols::kRxFrameSize>> Decoded(const FrameRow& row) {
    if (row.direction != Direction::FromController) return std::nullopt;
    auto rx = RxPart(row.bytes);
    if (!protocols::CodecAt(row.protocol).DecodeRx(rx)) return std::nullopt;
    return rx;
}

bool Descrambles(const FrameRow& row) { return Decoded(row).has_value(); }

std::uint32_t Changed(const std::array<std::uint8_t, 20>& before, const std::array<std::uint8_t, 20>& now,
                      std::size_t length) {
    return protocols::ChangedBytes(std::span<const std::uint8_t>(before.data(), length),
                                   std::span<const std::uint8_t>(now.data(), length));
}

}  // namespace

bool HasDescrambled(const FrameRow& row) { return Descrambles(row); }

std::array<std::uint8_t, 20> Descrambled(const FrameRow& row) {
    std::array<std::uint8_t, 20> out = row.bytes;
    if (const auto rx = Decoded(row)) std::copy(rx->begin(), rx->end(), out.begin());
    return out;
}

bool MonitorStore::Add(const protocols::TappedFrame& t, bool fromCapture) {
    counters_.Add(t);
    if (t.kind == TapKind::RunStart) previous_[Index(t.direction)].reset();

    // A capture's progress comes from its own run marks; its frames are
    // listed like any other.
    if (fromCapture) {
        if (t.kind == TapKind::RunStart) {
            capture_ = CaptureProgress{true, true, 0, t.timeNs, t.timeNs};
        } else if (t.kind == TapKind::RunEnd) {
            capture_.running = false;
        } else if (t.kind == TapKind::Frame && capture_.running) {
            ++capture_.frames;
            capture_.lastNs = t.timeNs;
            if (capture_.frames == 1) capture_.firstNs = t.timeNs;
        }
    }
    if (t.kind != TapKind::Frame) return false;

    FrameRow row;
    row.timeNs = t.timeNs;
    row.direction = t.direction;
    row.protocol = t.protocol;
    row.length = std::min<std::uint8_t>(t.length, 20);
    std::copy_n(t.bytes.begin(), row.length, row.bytes.begin());

    std::optional<FrameRow>& before = previous_[Index(t.direction)];
    if (before) {
        row.dtMs = static_cast<double>(t.timeNs - before->timeNs) / 1e6;
        const std::size_t n = std::min(before->length, row.length);
        row.changed = Changed(before->bytes, row.bytes, n);
        if (row.length > n) row.changed |= ((1u << row.length) - 1) & ~((1u << n) - 1);
        if (Descrambles(row)) row.changedDescrambled = Changed(Descrambled(*before), Descrambled(row), n);
    }

    if (row.direction == Direction::FromController) {
        auto raw = RxPart(row.bytes);
        auto rx = RxPart(Descrambled(row));
        if (const auto lines = protocols::CodecAt(row.protocol).ShowRx(rx, raw, "")) {
            if (lines->hasValues) {
                row.vt = lines->vt;
                row.p = lines->p;
                chart_.push_back({row.timeNs, lines->vt, lines->p});
            }
        }
    }
    while (!chart_.empty() && chart_.front().timeNs < t.timeNs - kChartSpanNs) chart_.pop_front();

    before = row;
    rows_.push_back(row);
    ++added_;
    while (rows_.size() > capacity_) {
        rows_.pop_front();
        ++dropped_;
    }
    return true;
}

int CaptureSecondsLeft(const CaptureProgress& c, double frameMs) {
    const int left = std::max(0, 600 - c.frames);
    double pace = frameMs;
    if (c.frames >= 2) pace = static_cast<double>(c.lastNs - c.firstNs) / 1e6 / (c.frames - 1);
    return static_cast<int>(std::ceil(left * pace / 1000.0));
}

}  // namespace monitor
