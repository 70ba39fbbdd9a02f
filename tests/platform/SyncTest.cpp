#include <gtest/gtest.h>
#include <poll.h>

#include "platform/BoundedLock.h"
#include "platform/Event.h"
#include "tests/platform/TestSupport.h"
#include "tests/support/DescriptorLimit.h"

namespace zonter_test {
namespace {

using platform::BoundedLock;
using platform::Event;
using platform::LockHold;

TEST(EventTest, ManualResetStaysSetUntilReset) {
    Event e;
    EXPECT_FALSE(e.IsSet());
    e.Set();
    EXPECT_TRUE(e.IsSet());
    EXPECT_TRUE(e.Wait(0));
    EXPECT_TRUE(e.Wait(1000));  // waiting does not consume the signal
    e.Set();
    e.Reset();  // one reset clears any number of sets
    EXPECT_FALSE(e.IsSet());
    e.Reset();
    EXPECT_FALSE(e.IsSet());
}

TEST(EventTest, FdIsReadableExactlyWhileSet) {
    Event e;
    pollfd p{e.Handle(), POLLIN, 0};
    EXPECT_EQ(poll(&p, 1, 0), 0);
    e.Set();
    EXPECT_EQ(poll(&p, 1, 0), 1);
    e.Reset();
    EXPECT_EQ(poll(&p, 1, 0), 0);
}

TEST(EventTest, WaitRunsTheWholeBoundWhenNotSet) {
    Event e;
    const auto start = Clock::now();
    EXPECT_FALSE(e.Wait(120));
    EXPECT_GE(MsSince(start), 120);
}

TEST(EventTest, WaitWakesWhenSetFromAnotherThread) {
    Event e;
    bool result = false;
    Background waiter([&] { result = e.Wait(10000); });
    ASSERT_TRUE(waiter.WaitUntilBlocked());
    const auto start = Clock::now();
    e.Set();
    waiter.Join();
    EXPECT_TRUE(result);
    EXPECT_LT(MsSince(start), 1000);
}

TEST(EventTest, WaitAnyReportsTheSetEvent) {
    Event a, b, c;
    auto start = Clock::now();
    EXPECT_EQ(platform::WaitAny({&a, &b, &c}, 80), -1);
    EXPECT_GE(MsSince(start), 80);

    b.Set();
    EXPECT_EQ(platform::WaitAny({&a, &b, &c}, 0), 1);
    b.Reset();

    int index = -2;
    Background waiter([&] { index = platform::WaitAny({&a, &b, &c}, 10000); });
    ASSERT_TRUE(waiter.WaitUntilBlocked());
    start = Clock::now();
    c.Set();
    waiter.Join();
    EXPECT_EQ(index, 2);
    EXPECT_LT(MsSince(start), 1000);
}

TEST(EventTest, PauseRunsItsLengthUnlessStopped) {
    Event stop;
    auto start = Clock::now();
    EXPECT_TRUE(platform::PauseUnlessStopped(stop, 100));
    EXPECT_GE(MsSince(start), 100);

    bool fullPause = true;
    Background sleeper([&] { fullPause = platform::PauseUnlessStopped(stop, 10000); });
    ASSERT_TRUE(sleeper.WaitUntilBlocked());
    start = Clock::now();
    stop.Set();
    sleeper.Join();
    EXPECT_FALSE(fullPause);
    EXPECT_LT(MsSince(start), 1000);

    // Already stopped: no pause at all.
    start = Clock::now();
    EXPECT_FALSE(platform::PauseUnlessStopped(stop, 10000));
    EXPECT_LT(MsSince(start), 1000);
}

TEST(EventTest, PauseUntilAMomentEndsThereOrAtAStop) {
    Event stop;
    // Up to a moment on the monotonic clock, not a whole number of ms.
    const auto due = std::chrono::steady_clock::now() + std::chrono::microseconds(60500);
    EXPECT_TRUE(platform::PauseUntilUnlessStopped(stop, due));
    EXPECT_GE(std::chrono::steady_clock::now(), due);
    // A moment already past only looks at the stop.
    const auto past = std::chrono::steady_clock::now() - std::chrono::seconds(1);
    EXPECT_TRUE(platform::PauseUntilUnlessStopped(stop, past));

    bool reached = true;
    Background sleeper([&] {
        reached = platform::PauseUntilUnlessStopped(stop, std::chrono::steady_clock::now() + std::chrono::seconds(10));
    });
    ASSERT_TRUE(sleeper.WaitUntilBlocked());
    const auto start = Clock::now();
    stop.Set();
    sleeper.Join();
    EXPECT_FALSE(reached);
    EXPECT_LT(MsSince(start), 1000);
    EXPECT_FALSE(platform::PauseUntilUnlessStopped(stop, past));
}

// With no descriptor left the system refuses the event. It must say so,
// and every wait on it must end at once instead of waiting for a signal
// that can never come.
TEST(EventTest, AnEventTheSystemRefusesSaysSoAndNeverWaits) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto child = [&] {
        Event made;
        CHILD_CHECK(made.Valid());
        CHILD_CHECK(testing_support::LeaveSpareDescriptors(0));
        Event refused;
        CHILD_CHECK(!refused.Valid());

        const auto start = Clock::now();
        CHILD_CHECK(refused.Wait(10000));
        CHILD_CHECK(refused.IsSet());
        CHILD_CHECK(!platform::PauseUnlessStopped(refused, 10000));
        CHILD_CHECK(platform::WaitAny({&made, &refused}, 10000) == 1);
        refused.Reset();  // no effect: it still counts as set
        CHILD_CHECK(refused.IsSet());
        refused.Set();
        CHILD_CHECK(MsSince(start) < 1000);

        // The event that was made keeps working.
        CHILD_CHECK(!made.IsSet());
        made.Set();
        CHILD_CHECK(platform::WaitAny({nullptr, &made}, 0) == 1);
        std::_Exit(0);
    };
    EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "");
}

TEST(BoundedLockTest, WaitGivesUpAfterItsBound) {
    BoundedLock lock;
    ASSERT_TRUE(lock.Acquire(0));
    bool taken = true;
    long long waited = 0;
    Background other([&] {
        const auto start = Clock::now();
        taken = lock.Acquire(150);
        waited = MsSince(start);
    });
    other.Join();
    EXPECT_FALSE(taken);
    EXPECT_GE(waited, 150);
    lock.Release();
}

TEST(BoundedLockTest, WaiterGetsTheLockOnceReleased) {
    BoundedLock lock;
    ASSERT_TRUE(lock.Acquire(0));
    bool taken = false;
    Background other([&] {
        taken = lock.Acquire(10000);
        if (taken) lock.Release();
    });
    ASSERT_TRUE(other.WaitUntilBlocked("futex"));
    const auto start = Clock::now();
    lock.Release();
    other.Join();
    EXPECT_TRUE(taken);
    EXPECT_LT(MsSince(start), 1000);
}

TEST(BoundedLockTest, HoldReleasesAtScopeEnd) {
    BoundedLock lock;
    {
        LockHold hold(lock, 100);
        EXPECT_TRUE(hold.held());
        bool takenMeanwhile = true;
        Background other([&] {
            LockHold inner(lock, 50);
            takenMeanwhile = inner.held();
        });
        other.Join();
        EXPECT_FALSE(takenMeanwhile);
    }
    bool takenAfter = false;
    Background other([&] {
        LockHold inner(lock, 50);
        takenAfter = static_cast<bool>(inner);
    });
    other.Join();
    EXPECT_TRUE(takenAfter);
}

}  // namespace
}  // namespace zonter_test
