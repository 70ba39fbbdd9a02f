#include "protocols/LineMonitor.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace protocols {

namespace {

constexpr double kNsPerMs = 1e6;
constexpr double kNsPerSecond = 1e9;
constexpr std::int64_t kMinRateSpanNs = 1'000'000'000;
constexpr std::int64_t kMsPerDay = 24LL * 60 * 60 * 1000;

double Ms(std::int64_t ns) { return static_cast<double>(ns) / kNsPerMs; }

}  // namespace

const char* DirectionText(Direction d) { return d == Direction::FromController ? "КМ→" : "→КМ"; }

std::uint32_t ChangedBytes(std::span<const std::uint8_t> previous, std::span<const std::uint8_t> current) {
    if (previous.empty()) return 0;
    const std::size_t marked = std::min<std::size_t>(current.size(), 32);
    std::uint32_t mask = 0;
    for (std::size_t i = 0; i < marked; ++i) {
        if (i >= previous.size() || previous[i] != current[i]) mask |= std::uint32_t{1} << i;
    }
    return mask;
}

void LinkCounters::Side::Restart(std::int64_t startNs) {
    *this = Side{};
    runStartNs = startNs;
}

void LinkCounters::Side::AddFrame(std::int64_t timeNs) {
    const std::int64_t since = lastFrameNs.value_or(runStartNs);
    const std::int64_t at = std::max(timeNs, since);
    longestGapNs = std::max(longestGapNs, at - since);
    if (lastFrameNs) {
        const std::int64_t dt = at - *lastFrameNs;
        minDtNs = frames == 1 ? dt : std::min(minDtNs, dt);
        maxDtNs = std::max(maxDtNs, dt);
        sumDtNs += dt;
        lastDtNs = dt;
    }
    lastFrameNs = at;
    ++frames;

    const std::int64_t index = (at - runStartNs) / kBucketNs;
    Bucket& bucket = buckets[static_cast<std::size_t>(index % static_cast<std::int64_t>(kBuckets))];
    if (bucket.index != index) bucket = Bucket{index, 0};
    ++bucket.frames;
}

double LinkCounters::Side::Rate(std::int64_t nowNs) const {
    if (nowNs <= runStartNs) return 0;
    const std::int64_t nowIndex = (nowNs - runStartNs) / kBucketNs;
    const std::int64_t oldest = std::max<std::int64_t>(0, nowIndex - static_cast<std::int64_t>(kBuckets) + 1);
    std::uint64_t count = 0;
    for (const Bucket& b : buckets) {
        if (b.index >= oldest && b.index <= nowIndex) count += b.frames;
    }
    const std::int64_t span = std::max(nowNs - (runStartNs + oldest * kBucketNs), kMinRateSpanNs);
    return static_cast<double>(count) * kNsPerSecond / static_cast<double>(span);
}

void LinkCounters::Reset(std::int64_t runStartNs) {
    for (Side& side : sides_) side.Restart(runStartNs);
}

void LinkCounters::Add(const TappedFrame& t) {
    Side& side = SideOf(t.direction);
    switch (t.kind) {
        case TapKind::RunStart:
            side.Restart(t.timeNs);
            return;
        case TapKind::RunEnd:
            side.runEndNs = t.timeNs;
            return;
        case TapKind::TimeOut:
            ++side.timeOuts;
            break;
        case TapKind::Frame:
            side.AddFrame(t.timeNs);
            break;
    }
    side.skippedBytes += t.skipped;
}

DirectionCounters LinkCounters::Of(Direction d, std::int64_t nowNs) const {
    const Side& side = SideOf(d);
    DirectionCounters c;
    c.frames = side.frames;
    c.timeOuts = side.timeOuts;
    c.skippedBytes = side.skippedBytes;
    c.framesPerSecond = side.Rate(nowNs);
    if (side.frames >= 2) {
        c.minDtMs = Ms(side.minDtNs);
        c.maxDtMs = Ms(side.maxDtNs);
        c.meanDtMs = Ms(side.sumDtNs) / static_cast<double>(side.frames - 1);
    }
    const std::int64_t gapEnd = side.runEndNs ? std::min(nowNs, *side.runEndNs) : nowNs;
    const std::int64_t openGap = gapEnd - side.lastFrameNs.value_or(side.runStartNs);
    c.longestSilenceMs = Ms(std::max({side.longestGapNs, openGap, std::int64_t{0}}));
    return c;
}

std::optional<double> LinkCounters::LastDtMs(Direction d) const {
    const Side& side = SideOf(d);
    if (!side.lastDtNs) return std::nullopt;
    return Ms(*side.lastDtNs);
}

std::string TimeOfDayText(std::int64_t msOfDay) {
    const std::int64_t ms = ((msOfDay % kMsPerDay) + kMsPerDay) % kMsPerDay;
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", static_cast<int>(ms / 3'600'000),
                  static_cast<int>(ms / 60'000 % 60), static_cast<int>(ms / 1000 % 60), static_cast<int>(ms % 1000));
    return text;
}

std::string DeltaText(std::optional<double> dtMs) {
    if (!dtMs || !std::isfinite(*dtMs)) return {};
    // Far more than any Δt of an int64 ns clock (about 9.2e12 ms) fits.
    char text[400];
    const auto [end, error] = std::to_chars(text, text + sizeof text, *dtMs, std::chars_format::fixed, 1);
    if (error != std::errc{}) return {};
    return std::string(text, end);
}

}  // namespace protocols
