// The line monitor's collection: rows with Δt and changed bytes, the row
// limit, the chart's window, the capture's progress and wall-clock times.
#include <gtest/gtest.h>

#include <vector>

#include "protocols/Catalogue.h"
#include "protocols/HaltenRs.h"
#include "ui/MonitorStore.h"

namespace {

using monitor::MonitorStore;
using protocols::Direction;
using protocols::TapKind;
using protocols::TappedFrame;

constexpr std::int64_t kMs = 1'000'000;

TappedFrame Tap(std::int64_t ms, TapKind kind, Direction d, std::vector<std::uint8_t> bytes = {},
                int protocol = protocols::kTest) {
    TappedFrame t;
    t.timeNs = ms * kMs;
    t.kind = kind;
    t.direction = d;
    t.protocol = static_cast<std::uint8_t>(protocol);
    t.length = static_cast<std::uint8_t>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), t.bytes.begin());
    return t;
}

TappedFrame Frame(std::int64_t ms, std::vector<std::uint8_t> bytes, Direction d = Direction::FromController) {
    return Tap(ms, TapKind::Frame, d, std::move(bytes));
}

TEST(MonitorStore, DeltaAndChangedBytesAreKeptPerDirection) {
    MonitorStore store;
    EXPECT_FALSE(store.Add(Tap(0, TapKind::RunStart, Direction::FromController)));
    EXPECT_TRUE(store.Add(Frame(100, {1, 2, 3})));
    EXPECT_TRUE(store.Add(Frame(150, {9, 9, 9}, Direction::ToController)));
    EXPECT_TRUE(store.Add(Frame(260, {1, 5, 3})));
    EXPECT_FALSE(store.Add(Tap(300, TapKind::TimeOut, Direction::FromController)));
    EXPECT_TRUE(store.Add(Frame(330, {9, 9, 8}, Direction::ToController)));
    ASSERT_EQ(store.Size(), 4u);

    // The first frame of each direction has no Δt and nothing changed.
    EXPECT_FALSE(store.Row(0).dtMs);
    EXPECT_EQ(store.Row(0).changed, 0u);
    EXPECT_FALSE(store.Row(1).dtMs);
    ASSERT_TRUE(store.Row(2).dtMs);
    EXPECT_DOUBLE_EQ(*store.Row(2).dtMs, 160.0);
    EXPECT_EQ(store.Row(2).changed, 0b010u);
    ASSERT_TRUE(store.Row(3).dtMs);
    EXPECT_DOUBLE_EQ(*store.Row(3).dtMs, 180.0);
    EXPECT_EQ(store.Row(3).changed, 0b100u);
    EXPECT_EQ(store.Counters().Of(Direction::FromController, 400 * kMs).timeOuts, 1u);

    // A new run starts the comparison afresh.
    store.Add(Tap(500, TapKind::RunStart, Direction::FromController));
    store.Add(Frame(600, {7, 7, 7}));
    EXPECT_FALSE(store.Row(4).dtMs);
    EXPECT_EQ(store.Row(4).changed, 0u);
}

TEST(MonitorStore, KeepsTheNewestRowsUpToItsLimit) {
    MonitorStore store(5);
    for (int i = 0; i < 12; ++i) store.Add(Frame(i * 10, {static_cast<std::uint8_t>(i)}));
    EXPECT_EQ(store.Size(), 5u);
    EXPECT_EQ(store.Added(), 12u);
    EXPECT_EQ(store.Dropped(), 7u);
    EXPECT_EQ(store.Row(0).bytes[0], 7);
    EXPECT_EQ(store.Row(4).bytes[0], 11);
}

TEST(MonitorStore, HaltenRowsCarryValuesAndTheChartKeepsSixtySeconds) {
    MonitorStore store;
    std::array<std::uint8_t, 15> plain{};
    plain[0] = 0x36;
    plain[1] = 0x05;
    for (int s = 0; s <= 70; ++s) {
        TappedFrame t = Tap(s * 1000, TapKind::Frame, Direction::FromController, {}, protocols::kHaltenRs);
        t.length = 15;
        std::copy(plain.begin(), plain.end(), t.bytes.begin());
        store.Add(t);
    }
    ASSERT_TRUE(store.Row(0).vt.has_value());
    ASSERT_TRUE(store.Row(0).p.has_value());
    EXPECT_TRUE(monitor::HasDescrambled(store.Row(0)));
    // Points older than 60 s before the newest are gone.
    EXPECT_EQ(store.Chart().size(), 61u);
    EXPECT_EQ(store.Chart().front().timeNs, 10'000 * kMs);
    // Frames towards the controller have no values and no descrambled form.
    store.Add(Frame(71'000, {1, 2}, Direction::ToController));
    EXPECT_FALSE(store.Row(store.Size() - 1).vt.has_value());
    EXPECT_FALSE(monitor::HasDescrambled(store.Row(store.Size() - 1)));
}

TEST(MonitorStore, CaptureProgressFollowsItsRunMarks) {
    MonitorStore store;
    EXPECT_FALSE(store.Capture().seen);
    store.Add(Tap(0, TapKind::RunStart, Direction::FromController), true);
    for (int k = 0; k < 100; ++k) store.Add(Frame(1000 + k * 125, {0x36}), true);
    EXPECT_TRUE(store.Capture().running);
    EXPECT_EQ(store.Capture().frames, 100);
    // 500 frames left at the 125 ms the capture has kept so far.
    EXPECT_EQ(monitor::CaptureSecondsLeft(store.Capture(), 999.0), 63);
    // Frames of other workers do not count towards it.
    store.Add(Frame(20'000, {0x36}), false);
    EXPECT_EQ(store.Capture().frames, 100);
    store.Add(Tap(21'000, TapKind::RunEnd, Direction::FromController), true);
    EXPECT_FALSE(store.Capture().running);
    EXPECT_TRUE(store.Capture().seen);
    // Before two frames the nominal pace counts.
    EXPECT_EQ(monitor::CaptureSecondsLeft(monitor::CaptureProgress{true, true, 0, 0, 0}, 125.0), 75);
}

TEST(MonitorStore, WallTimesCrossMidnightMonthAndYearEnds) {
    struct Case {
        protocols::WallTime base;
        std::int64_t ms;
        protocols::WallTime want;
    };
    const Case cases[] = {
        {{2026, 12, 9, 16, 37, 28, 123}, 877, {2026, 12, 9, 16, 37, 29, 0}},
        {{2026, 12, 31, 23, 59, 59, 900}, 150, {2027, 1, 1, 0, 0, 0, 50}},
        {{2028, 2, 28, 23, 0, 0, 0}, 3'600'000, {2028, 2, 29, 0, 0, 0, 0}},
        {{2027, 2, 28, 23, 0, 0, 0}, 3'600'000, {2027, 3, 1, 0, 0, 0, 0}},
        {{2026, 1, 1, 0, 0, 0, 10}, -20, {2025, 12, 31, 23, 59, 59, 990}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(protocols::WallTimeAfter(c.base, c.ms), c.want) << c.ms;
        EXPECT_EQ(protocols::MillisecondsBetween(c.base, c.want), c.ms);
    }
}

}  // namespace
