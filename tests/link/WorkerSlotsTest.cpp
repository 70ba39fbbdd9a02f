#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <memory>

#include "link/LinkState.h"
#include "link/StopWorkers.h"
#include "platform/Event.h"
#include "platform/WorkerThread.h"
#include "tests/support/WaitFor.h"

namespace {

using linkcore::LinkState;
using linkcore::WorkerKind;
using linkcore::WorkerSlot;
using testing_support::MillisSince;
using testing_support::WaitFor;

constexpr std::array kKinds{WorkerKind::SingleRead, WorkerKind::AutoRead, WorkerKind::Capture, WorkerKind::Simulator};

// A worker that waits for its stop and then still takes a while to end,
// as a worker finishing a refresh or a file would.
void StartLateEnder(WorkerSlot& slot, std::atomic<bool>& ended) {
    slot.thread.Start([&slot, &ended] {
        slot.stop->Wait(60000);  // stopped or not, it goes on to end
        const platform::Event never;
        never.Wait(100);  // the slow end itself
        ended = true;
    });
}

TEST(WorkerSlots, StopAllReturnsOnlyOnceEveryWorkerHasEnded) {
    LinkState s;
    ASSERT_TRUE(linkcore::CreateSyncObjects(s, nullptr));
    std::array<std::atomic<bool>, linkcore::kWorkerKindCount> ended{};
    for (WorkerKind kind : kKinds) StartLateEnder(s.Slot(kind), ended[static_cast<std::size_t>(kind)]);
    ASSERT_EQ(platform::WorkerThread::LiveCount(), 4);

    const auto start = std::chrono::steady_clock::now();
    linkcore::StopAllWorkers(s);
    EXPECT_LT(MillisSince(start), 5000);  // not the workers' own 60 s
    for (WorkerKind kind : kKinds) {
        SCOPED_TRACE(static_cast<int>(kind));
        EXPECT_TRUE(ended[static_cast<std::size_t>(kind)].load());
        EXPECT_FALSE(s.Slot(kind).thread.Running());
    }
    EXPECT_EQ(platform::WorkerThread::LiveCount(), 0);
    linkcore::ReleaseSyncObjects(s);
}

// A state dropped while a worker still runs stops the worker before
// waiting for it, rather than waiting on a signal nobody will give.
TEST(WorkerSlots, AStateThatGoesStopsItsWorkersFirst) {
    for (WorkerKind kind : kKinds) {
        SCOPED_TRACE(static_cast<int>(kind));
        auto s = std::make_unique<LinkState>();
        ASSERT_TRUE(linkcore::CreateSyncObjects(*s, nullptr));
        WorkerSlot& slot = s->Slot(kind);
        std::atomic<bool> stopped{false};
        slot.thread.Start([&slot, &stopped] { stopped = slot.stop->Wait(60000); });
        ASSERT_TRUE(WaitFor([&] { return platform::WorkerThread::LiveCount() == 1; }));

        const auto start = std::chrono::steady_clock::now();
        s.reset();
        EXPECT_LT(MillisSince(start), 5000);
        EXPECT_TRUE(stopped.load());
        EXPECT_EQ(platform::WorkerThread::LiveCount(), 0);
    }
}

}  // namespace
