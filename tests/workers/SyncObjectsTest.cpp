#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "link/LinkState.h"
#include "platform/Event.h"
#include "platform/WorkerThread.h"
#include "protocols/Catalogue.h"
#include "tests/support/DescriptorLimit.h"
#include "tests/support/LinkHarness.h"
#include "workers/RunControl.h"

namespace {

using namespace testing_support;
using linkcore::Link;

bool NothingCreated() {
    const linkcore::LinkState& s = Link();
    return !s.stopSingleRead && !s.stopAutoRead && !s.stopCapture && !s.stopSimulator && !s.rxLock && !s.outLock &&
           s.mainWindow.load() == nullptr;
}

// The stop events are made one after the other. Whichever of them the
// system refuses, CreateSyncObjects says so, gives back what it had made,
// records no window, and the run commands start no worker.
TEST(SyncObjects, ARefusedStopEventLeavesNothingBehindAndNoWorkerStarts) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (int made = 0; made < 4; ++made) {
        SCOPED_TRACE(made);
        const auto child = [&] {
            FakeWindow window;
            CHILD_CHECK(LeaveSpareDescriptors(made));
            CHILD_CHECK(!linkcore::CreateSyncObjects(&window));
            CHILD_CHECK(NothingCreated());

            // The events made before the refusal were closed again.
            std::vector<std::unique_ptr<platform::Event>> again;
            for (int i = 0; i < made; ++i) {
                again.push_back(std::make_unique<platform::Event>());
                CHILD_CHECK(again.back()->Valid());
            }

            workers::StopForRun();
            workers::BeginRun(protocols::kHaltenRs);
            workers::StartSimulator("01 03 00 00 00 5E 08 5A 00 80 01 00 00 00", protocols::kHaltenRs);
            workers::StartSingleRead();
            workers::StartAutoRead();
            workers::StartCapture();
            CHILD_CHECK(platform::WorkerThread::LiveCount() == 0);
            linkcore::ReleaseSyncObjects();
            CHILD_CHECK(NothingCreated());
            std::_Exit(0);
        };
        EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "");
    }

    // Room for all four: everything is made.
    const auto child = [&] {
        FakeWindow window;
        CHILD_CHECK(LeaveSpareDescriptors(4));
        CHILD_CHECK(linkcore::CreateSyncObjects(&window));
        CHILD_CHECK(Link().stopCapture && Link().rxLock && Link().mainWindow.load() == &window);
        linkcore::ReleaseSyncObjects();
        CHILD_CHECK(NothingCreated());
        std::_Exit(0);
    };
    EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
