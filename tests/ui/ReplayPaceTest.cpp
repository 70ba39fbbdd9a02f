// The replay's pace, through a model of a window system's timers: set for
// an interval, a timer fires on the first tick of the system's clock at or
// after the interval (and no sooner than the system's shortest interval).
// Whatever the tick, every frame is shown once and in order, and no later
// than one tick (plus, right after Play, the shortest interval) after its
// recorded time: the lateness of one tick never adds up.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ui/ReplayPace.h"

namespace {

using monitor::ReplayFrame;

constexpr std::int64_t kNsPerMs = 1'000'000;

struct SystemTimer {
    std::int64_t tickNs;
    int shortestMs;
    // When a timer set at `nowNs` for `ms` fires.
    std::int64_t FiresAt(std::int64_t nowNs, int ms) const {
        const std::int64_t earliest = nowNs + std::max(ms, shortestMs) * kNsPerMs;
        return (earliest + tickNs - 1) / tickNs * tickNs;
    }
};

// Windows' SetTimer: intervals below 10 ms become 10 ms, and the timer
// fires on the 15.6 ms tick of the system clock, or on a finer one where a
// program raised the clock's resolution. Qt on Linux: a 1 ms timer.
constexpr SystemTimer kFineTimer{1 * kNsPerMs, 1};
constexpr SystemTimer kTenMsTimer{10 * kNsPerMs, 10};
constexpr SystemTimer kWindowsTimer{15'600'000, 10};

// A 600-frame capture: 15-byte frames back to back at 1200 bit/s.
std::vector<ReplayFrame> Capture() {
    std::vector<ReplayFrame> frames(600);
    for (std::size_t k = 0; k < frames.size(); ++k) frames[k].atMs = static_cast<std::int64_t>(k * 125.0);
    return frames;
}

// A session log: frames at millisecond times, some at the same time, some
// a millisecond apart, a pause of several seconds.
std::vector<ReplayFrame> Log() {
    const std::int64_t gaps[] = {0, 1, 3, 80, 160, 0, 45, 7, 2500, 12};
    std::vector<ReplayFrame> frames(600);
    for (std::size_t k = 1; k < frames.size(); ++k) frames[k].atMs = frames[k - 1].atMs + gaps[k % std::size(gaps)];
    return frames;
}

struct Shown {
    std::size_t frame;
    std::int64_t atNs;
};

// Plays `frames` from `first` as the monitor does: a step at Play and at
// every tick of its timer, the timer set again for what the step asks.
std::vector<Shown> Play(const std::vector<ReplayFrame>& frames, std::size_t first, const SystemTimer& timer,
                        std::int64_t startNs) {
    std::vector<Shown> shown;
    const monitor::ReplayStart start{first, startNs};
    std::size_t at = first;
    std::int64_t now = startNs;
    for (int steps = 0; steps < 100'000; ++steps) {
        const monitor::ReplayDue due = monitor::DueFrames(frames, start, at, now);
        for (; at < due.last; ++at) shown.push_back({at + 1, now});
        if (due.waitNs < 0) break;
        now = timer.FiresAt(now, monitor::TimerMsFor(due.waitNs));
    }
    return shown;
}

struct PaceCase {
    const char* name;
    SystemTimer timer;
    std::vector<ReplayFrame> (*recording)();
    std::size_t first;  // the frame shown when Play was pressed
};

TEST(ReplayPace, EveryFrameOnceAndInOrderAtMostOneTickLate) {
    const PaceCase cases[] = {
        {"capture, 1 ms timer", kFineTimer, Capture, 0},
        {"capture, 10 ms timer", kTenMsTimer, Capture, 0},
        {"capture, Windows' 15.6 ms tick", kWindowsTimer, Capture, 0},
        {"capture from frame 100, Windows' tick", kWindowsTimer, Capture, 100},
        {"log, 1 ms timer", kFineTimer, Log, 0},
        {"log, 10 ms timer", kTenMsTimer, Log, 0},
        {"log, Windows' 15.6 ms tick", kWindowsTimer, Log, 0},
    };
    for (const PaceCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<ReplayFrame> frames = c.recording();
        // Play pressed between two ticks of the system's clock.
        const std::int64_t startNs = 1000 * c.timer.tickNs + c.timer.tickNs / 3;
        const std::vector<Shown> shown = Play(frames, c.first, c.timer, startNs);

        ASSERT_EQ(shown.size(), frames.size() - 1 - c.first);
        std::int64_t latestNs = 0;
        for (std::size_t i = 0; i < shown.size(); ++i) {
            const std::size_t k = c.first + 1 + i;
            ASSERT_EQ(shown[i].frame, k) << "skipped or shown twice";
            const std::int64_t dueNs = startNs + (frames[k].atMs - frames[c.first].atMs) * kNsPerMs;
            ASSERT_GE(shown[i].atNs, dueNs) << "frame " << k << " early";
            latestNs = std::max(latestNs, shown[i].atNs - dueNs);
        }
        EXPECT_LE(latestNs, c.timer.tickNs + c.timer.shortestMs * kNsPerMs);
        // The replay span ends within one tick of the recorded span.
        const std::int64_t recordedNs = (frames.back().atMs - frames[c.first].atMs) * kNsPerMs;
        const std::int64_t playedNs = shown.back().atNs - startNs;
        EXPECT_GE(playedNs, recordedNs);
        EXPECT_LE(playedNs - recordedNs, c.timer.tickNs);
    }
}

}  // namespace
