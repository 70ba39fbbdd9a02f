#include "platform/SpscRing.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace {

using platform::SpscRing;

// One step on a ring of four: push `count` further numbers, or drain at
// most `count` items (kAll: everything).
struct Step {
    enum Kind { Push, Drain } kind;
    std::size_t count;
};
constexpr std::size_t kAll = SIZE_MAX;

struct Case {
    const char* name;
    std::vector<Step> steps;
    std::vector<int> drained;  // everything the drains handed over, in order
    std::uint64_t overflows;
    std::size_t sizeAfter;
};

class SpscRingSequence : public ::testing::TestWithParam<Case> {};

TEST_P(SpscRingSequence, KeepsOrderAndCountsWhatItDrops) {
    const Case& c = GetParam();
    SpscRing<int, 4> ring;
    int next = 1;
    std::uint64_t refused = 0;
    std::vector<int> drained;
    for (const Step& step : c.steps) {
        if (step.kind == Step::Push) {
            for (std::size_t i = 0; i < step.count; ++i) {
                if (!ring.TryPush(next++)) ++refused;
            }
        } else {
            const std::size_t before = drained.size();
            const std::size_t n = ring.Drain([&](const int& v) { drained.push_back(v); }, step.count);
            EXPECT_EQ(n, drained.size() - before);
        }
        EXPECT_LE(ring.Size(), 4u);
    }
    EXPECT_EQ(drained, c.drained);
    EXPECT_EQ(ring.Overflows(), c.overflows);
    EXPECT_EQ(refused, c.overflows);
    EXPECT_EQ(ring.Size(), c.sizeAfter);
}

std::vector<Step> PushThenDrainAll(int rounds, std::size_t perRound) {
    std::vector<Step> steps;
    for (int r = 0; r < rounds; ++r) {
        steps.push_back({Step::Push, perRound});
        steps.push_back({Step::Drain, kAll});
    }
    return steps;
}

std::vector<int> Numbers(int from, int to) {
    std::vector<int> v;
    for (int i = from; i <= to; ++i) v.push_back(i);
    return v;
}

INSTANTIATE_TEST_SUITE_P(
    Steps, SpscRingSequence,
    ::testing::Values(Case{"Empty", {{Step::Drain, kAll}}, {}, 0, 0},
                      Case{"FullWithoutLoss", {{Step::Push, 4}}, {}, 0, 4},
                      Case{"FillAndDrain", {{Step::Push, 4}, {Step::Drain, kAll}}, {1, 2, 3, 4}, 0, 0},
                      // A full ring refuses the newest items and keeps the oldest.
                      Case{"OverflowDropsTheNewest", {{Step::Push, 7}, {Step::Drain, kAll}}, {1, 2, 3, 4}, 3, 0},
                      Case{"DrainAtMost", {{Step::Push, 3}, {Step::Drain, 2}}, {1, 2}, 0, 1},
                      Case{"DrainNothing", {{Step::Push, 2}, {Step::Drain, 0}}, {}, 0, 2},
                      // Draining frees slots at once for the producer.
                      Case{"DrainMakesRoom",
                           {{Step::Push, 4}, {Step::Drain, 2}, {Step::Push, 2}, {Step::Drain, kAll}},
                           {1, 2, 3, 4, 5, 6},
                           0,
                           0},
                      Case{"WrapsAroundManyTimes", PushThenDrainAll(11, 3), Numbers(1, 33), 0, 0},
                      // Items 8 and 9 find the ring full after it has wrapped.
                      Case{"OverflowAfterWrapping",
                           {{Step::Push, 3}, {Step::Drain, kAll}, {Step::Push, 6}, {Step::Drain, 1}, {Step::Push, 1}},
                           {1, 2, 3, 4},
                           2,
                           4}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// An item whose halves must agree: a slot read before the producer finished
// writing it shows up as a mismatch.
struct Item {
    std::uint64_t seq;
    std::uint64_t check;
};

TEST(SpscRingThreads, EveryPushedItemArrivesInOrderOrIsCounted) {
    constexpr std::uint64_t kItems = 200000;
    SpscRing<Item, 64> ring;
    std::atomic<bool> done{false};
    std::uint64_t refused = 0;
    std::thread producer([&] {
        for (std::uint64_t i = 0; i < kItems; ++i) {
            if (!ring.TryPush({i, ~i})) ++refused;
        }
        done.store(true, std::memory_order_release);
    });

    // Drains until the producer is done and the ring empty.
    std::uint64_t received = 0, next = 0;
    bool inOrder = true, intact = true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (bool last = false; !last && std::chrono::steady_clock::now() < deadline;) {
        last = done.load(std::memory_order_acquire);
        const std::size_t n = ring.Drain([&](const Item& item) {
            intact = intact && item.check == ~item.seq;
            inOrder = inOrder && item.seq >= next;
            next = item.seq + 1;
            ++received;
        });
        if (n == 0) std::this_thread::yield();
        if (n > 0) last = false;
    }
    producer.join();
    EXPECT_TRUE(intact);
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(received + ring.Overflows(), kItems);
    EXPECT_EQ(refused, ring.Overflows());
}

}  // namespace
