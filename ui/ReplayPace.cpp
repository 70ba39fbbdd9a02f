#include "ui/ReplayPace.h"

#include <algorithm>

namespace monitor {

namespace {

constexpr std::int64_t kNsPerMs = 1'000'000;
constexpr std::int64_t kLongestTimerMs = 60'000;

}  // namespace

ReplayDue DueFrames(std::span<const ReplayFrame> frames, ReplayStart start, std::size_t shown, std::int64_t nowNs) {
    if (frames.empty() || start.index >= frames.size()) return {};
    const std::int64_t startMs = frames[start.index].atMs;
    const auto dueNs = [&](std::size_t k) { return start.atNs + (frames[k].atMs - startMs) * kNsPerMs; };
    ReplayDue due;
    due.last = std::min(shown, frames.size() - 1);
    while (due.last + 1 < frames.size() && dueNs(due.last + 1) <= nowNs) ++due.last;
    if (due.last + 1 < frames.size()) due.waitNs = dueNs(due.last + 1) - nowNs;
    return due;
}

int TimerMsFor(std::int64_t waitNs) {
    const std::int64_t ms = (std::max<std::int64_t>(waitNs, 0) + kNsPerMs - 1) / kNsPerMs;
    return static_cast<int>(std::clamp<std::int64_t>(ms, 1, kLongestTimerMs));
}

}  // namespace monitor
