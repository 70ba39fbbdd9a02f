#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>

#include "platform/Event.h"
#include "platform/WorkerThread.h"
#include "tests/platform/TestSupport.h"

namespace zonter_test {
namespace {

using platform::Event;
using platform::WorkerThread;

int OwnNice() { return getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())); }

TEST(WorkerThreadTest, RunsTheBodyAndCountsItWhileAlive) {
    const int liveBefore = WorkerThread::LiveCount();
    Event release;
    std::atomic<bool> entered{false};
    WorkerThread worker;
    EXPECT_FALSE(worker.Running());
    worker.Start([&] {
        entered = true;
        release.Wait(10000);
    });
    EXPECT_TRUE(worker.Running());
    EXPECT_EQ(WorkerThread::LiveCount(), liveBefore + 1);
    ASSERT_TRUE(WaitUntil([&] { return entered.load(); }));

    release.Set();
    worker.Join();
    EXPECT_FALSE(worker.Running());
    EXPECT_EQ(WorkerThread::LiveCount(), liveBefore);
}

TEST(WorkerThreadTest, BodyRunsBelowTheCallersPriority) {
    const int callerNice = OwnNice();
    if (callerNice >= 19) GTEST_SKIP() << "already at the weakest priority";
    int workerNice = callerNice;
    WorkerThread worker;
    worker.Start([&] { workerNice = OwnNice(); });
    worker.Join();
    EXPECT_GT(workerNice, callerNice);
    EXPECT_EQ(OwnNice(), callerNice);  // the caller keeps its own
}

TEST(WorkerThreadTest, StartAgainWaitsForTheEarlierBody) {
    Event release;
    std::atomic<int> finished{0};
    WorkerThread worker;
    worker.Start([&] {
        release.Wait(10000);
        finished = 1;
    });
    release.Set();
    worker.Start([&] { finished = finished * 10 + 2; });
    worker.Join();
    EXPECT_EQ(finished.load(), 12);
}

TEST(WorkerThreadTest, JoinWithoutThreadAndDestructionAreSafe) {
    const int liveBefore = WorkerThread::LiveCount();
    {
        WorkerThread idle;
        idle.Join();
        EXPECT_FALSE(idle.Running());
    }
    std::atomic<bool> ran{false};
    {
        WorkerThread worker;
        worker.Start([&] { ran = true; });
    }  // joined here
    EXPECT_TRUE(ran.load());
    EXPECT_EQ(WorkerThread::LiveCount(), liveBefore);
}

}  // namespace
}  // namespace zonter_test
