#include "protocols/LineMonitor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace protocols {
namespace {

constexpr std::int64_t kMs = 1'000'000;
constexpr std::int64_t kRunStartNs = 7'000 * kMs;  // any clock origin will do

TappedFrame Event(TapKind kind, std::int64_t ms, std::uint16_t skipped = 0, Direction d = Direction::FromController) {
    TappedFrame t;
    t.timeNs = kRunStartNs + ms * kMs;
    t.kind = kind;
    t.direction = d;
    t.skipped = skipped;
    return t;
}
TappedFrame Frame(std::int64_t ms, std::uint16_t skipped = 0) { return Event(TapKind::Frame, ms, skipped); }
TappedFrame TimeOut(std::int64_t ms, std::uint16_t skipped = 0) { return Event(TapKind::TimeOut, ms, skipped); }

std::vector<TappedFrame> EveryMs(std::int64_t step, std::int64_t from, std::int64_t to) {
    std::vector<TappedFrame> frames;
    for (std::int64_t ms = from; ms <= to; ms += step) frames.push_back(Frame(ms));
    return frames;
}

struct CounterCase {
    const char* name;
    std::vector<TappedFrame> events;  // times in ms after the run start
    std::int64_t nowMs;
    DirectionCounters expected;
};

class LinkCountersTable : public ::testing::TestWithParam<CounterCase> {};

TEST_P(LinkCountersTable, CountsTheControllerSide) {
    const CounterCase& c = GetParam();
    LinkCounters counters;
    counters.Reset(kRunStartNs);
    for (const TappedFrame& t : c.events) counters.Add(t);
    const DirectionCounters got = counters.Of(Direction::FromController, kRunStartNs + c.nowMs * kMs);
    const DirectionCounters& want = c.expected;
    EXPECT_EQ(got.frames, want.frames);
    EXPECT_EQ(got.timeOuts, want.timeOuts);
    EXPECT_EQ(got.skippedBytes, want.skippedBytes);
    EXPECT_NEAR(got.framesPerSecond, want.framesPerSecond, 1e-9);
    EXPECT_NEAR(got.minDtMs, want.minDtMs, 1e-9);
    EXPECT_NEAR(got.meanDtMs, want.meanDtMs, 1e-9);
    EXPECT_NEAR(got.maxDtMs, want.maxDtMs, 1e-9);
    EXPECT_NEAR(got.longestSilenceMs, want.longestSilenceMs, 1e-9);

    // The other side saw nothing: its silence runs from the run start.
    const DirectionCounters other = counters.Of(Direction::ToController, kRunStartNs + c.nowMs * kMs);
    EXPECT_EQ(other.frames, 0u);
    EXPECT_EQ(other.framesPerSecond, 0.0);
}

using Want = DirectionCounters;  // frames, time-outs, skipped bytes, rate, Δt min/mean/max, silence

// The rate counts whole 100-ms steps of the run: at 6400 ms the window
// starts at 1500 ms, 4.9 s before now.
INSTANTIATE_TEST_SUITE_P(
    Lines, LinkCountersTable,
    ::testing::Values(
        CounterCase{"NothingYet", {}, 750, Want{0, 0, 0, 0, 0, 0, 0, 750}},
        // Frames 1600..6400 ms (31 of them) lie in the window.
        CounterCase{"Regular160ms", EveryMs(160, 160, 6400), 6400, Want{40, 0, 0, 31 / 4.9, 160, 160, 160, 160}},
        CounterCase{"AGapIsTheLongestSilence",
                    {Frame(160), Frame(320), Frame(480), Frame(2480), Frame(2640)},
                    2700,
                    Want{5, 0, 0, 5 / 2.7, 160, 620, 2000, 2000}},
        CounterCase{"TheOpenGapCounts", {Frame(160), Frame(320)}, 5320, Want{2, 0, 0, 0, 160, 160, 160, 5000}},
        CounterCase{"TimeOutsAndSkippedBytes",
                    {Frame(160, 3), TimeOut(660, 7), TimeOut(1160), Frame(1320, 2)},
                    1320,
                    Want{2, 2, 12, 2 / 1.32, 1160, 1160, 1160, 1160}},
        // The run starts again at 1000 ms: the earlier frames are gone.
        CounterCase{"RunStartResets",
                    {Frame(160, 5), TimeOut(500), Frame(600), Event(TapKind::RunStart, 1000), Frame(1100), Frame(1200)},
                    1200,
                    Want{2, 0, 0, 2 / 1.0, 100, 100, 100, 100}},
        // 30 frames up to 3000 ms; at 7000 ms the window starts at 2100 ms.
        CounterCase{"RateWindowSlides", EveryMs(100, 100, 3000), 7000, Want{30, 0, 0, 10 / 4.9, 100, 100, 100, 4000}},
        CounterCase{"RateWindowEmpties", EveryMs(100, 100, 3000), 8100, Want{30, 0, 0, 0, 100, 100, 100, 5100}},
        // A first frame right after the start counts over one second, not 10 ms.
        CounterCase{"NoBurstAtTheStart", {Frame(10)}, 10, Want{1, 0, 0, 1.0, 0, 0, 0, 10}},
        CounterCase{"EarlierStampCountsAsDtZero",
                    {Frame(160), Frame(320), Frame(300)},
                    320,
                    Want{3, 0, 0, 3 / 1.0, 0, 80, 160, 160}},
        CounterCase{"RunEndStopsTheOpenGap",
                    {Frame(160), Frame(320), Event(TapKind::RunEnd, 400)},
                    9000,
                    Want{2, 0, 0, 0, 160, 160, 160, 160}}),
    [](const ::testing::TestParamInfo<CounterCase>& info) { return std::string(info.param.name); });

TEST(LinkCounters, DirectionsCountApartAndRestartApart) {
    LinkCounters counters;
    counters.Reset(kRunStartNs);
    counters.Add(Frame(160));
    counters.Add(Event(TapKind::Frame, 80, 4, Direction::ToController));
    counters.Add(Frame(320));
    counters.Add(Event(TapKind::Frame, 160, 0, Direction::ToController));
    // The display side starts a run of its own; the controller side keeps counting.
    counters.Add(Event(TapKind::RunStart, 200, 0, Direction::ToController));
    counters.Add(Event(TapKind::Frame, 280, 0, Direction::ToController));

    const auto from = counters.Of(Direction::FromController, kRunStartNs + 320 * kMs);
    const auto to = counters.Of(Direction::ToController, kRunStartNs + 320 * kMs);
    EXPECT_EQ(from.frames, 2u);
    EXPECT_EQ(from.maxDtMs, 160.0);
    EXPECT_EQ(to.frames, 1u);
    EXPECT_EQ(to.skippedBytes, 0u);
    EXPECT_EQ(to.longestSilenceMs, 80.0);  // 200 to 280 ms
    EXPECT_EQ(counters.LastDtMs(Direction::FromController), 160.0);
    EXPECT_EQ(counters.LastDtMs(Direction::ToController), std::nullopt);
}

TEST(LinkCounters, AnHourOfFramesKeepsTheRateOfTheLastSeconds) {
    LinkCounters counters;
    counters.Reset(kRunStartNs);
    // 80 ms for an hour, then 40 ms for ten seconds.
    for (std::int64_t ms = 80; ms <= 3'600'000; ms += 80) counters.Add(Frame(ms));
    for (std::int64_t ms = 3'600'040; ms <= 3'610'000; ms += 40) counters.Add(Frame(ms));
    const auto c = counters.Of(Direction::FromController, kRunStartNs + 3'610'000 * kMs);
    EXPECT_NEAR(c.framesPerSecond, 25.0, 0.3);
    EXPECT_EQ(c.minDtMs, 40.0);
    EXPECT_EQ(c.maxDtMs, 80.0);
}

struct ChangedCase {
    const char* name;
    std::vector<std::uint8_t> previous, current;
    std::uint32_t mask;
};

class ChangedBytesTable : public ::testing::TestWithParam<ChangedCase> {};

TEST_P(ChangedBytesTable, MarksTheBytesThatDiffer) {
    const ChangedCase& c = GetParam();
    EXPECT_EQ(ChangedBytes(c.previous, c.current), c.mask);
}

std::vector<std::uint8_t> Bytes(std::size_t n, std::uint8_t value) { return std::vector<std::uint8_t>(n, value); }

INSTANTIATE_TEST_SUITE_P(Frames, ChangedBytesTable,
                         ::testing::Values(ChangedCase{"FirstFrame", {}, {0x36, 0x01}, 0},
                                           ChangedCase{"OneByte", {0x36, 0x01, 0x02}, {0x36, 0x09, 0x02}, 0b010},
                                           ChangedCase{"FirstAndLast", {1, 2, 3, 4}, {9, 2, 3, 8}, 0b1001},
                                           ChangedCase{"LongerThanBefore", {1, 2}, {1, 2, 3, 4}, 0b1100},
                                           ChangedCase{"ShorterThanBefore", {1, 2, 3, 4}, {1, 5}, 0b10},
                                           ChangedCase{"EmptyNow", {1, 2}, {}, 0},
                                           ChangedCase{"TwentyBytes", Bytes(20, 0), Bytes(20, 1), 0xFFFFF},
                                           ChangedCase{"Past32Bytes", Bytes(40, 0), Bytes(40, 1), 0xFFFFFFFF}),
                         [](const ::testing::TestParamInfo<ChangedCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(MonitorTexts, DirectionTimeOfDayAndDelta) {
    EXPECT_STREQ(DirectionText(Direction::FromController), "КМ→");
    EXPECT_STREQ(DirectionText(Direction::ToController), "→КМ");

    EXPECT_EQ(TimeOfDayText(59'848'123), "16:37:28.123");
    EXPECT_EQ(TimeOfDayText(86'399'999), "23:59:59.999");
    EXPECT_EQ(TimeOfDayText(86'400'000 + 1'005), "00:00:01.005");  // the next day
    EXPECT_EQ(TimeOfDayText(-1), "23:59:59.999");

    EXPECT_EQ(DeltaText(std::nullopt), "");
    EXPECT_EQ(DeltaText(160.3), "160.3");
    EXPECT_EQ(DeltaText(1234.56), "1234.6");
    EXPECT_EQ(DeltaText(0.04), "0.0");
    EXPECT_EQ(DeltaText(9'223'372'036'854.775807), "9223372036854.8");  // the longest an int64 ns clock gives
    EXPECT_EQ(DeltaText(std::numeric_limits<double>::quiet_NaN()), "");
}

}  // namespace
}  // namespace protocols
