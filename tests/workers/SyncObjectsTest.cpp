#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "link/LinkState.h"
#include "platform/Event.h"
#include "platform/WorkerThread.h"
#include "protocols/Catalogue.h"
#include "protocols/Codecs.h"
#include "tests/support/DescriptorLimit.h"
#include "tests/support/LinkHarness.h"
#include "workers/RunControl.h"

namespace {

using namespace testing_support;
using linkcore::LinkState;

bool NothingCreated(const LinkState& s) {
    for (const linkcore::WorkerSlot& slot : s.workerSlots) {
        if (slot.stop) return false;
    }
    return !s.rxLock && !s.outLock && s.mainWindow.load() == nullptr;
}

// The undefined-behaviour checker checks a polymorphic object's type the
// first time it meets it by copying memory through a pipe: with no
// descriptor to spare that fails, and it reports a bad object. So the
// children meet every codec once before they lower the limit.
void MeetEveryCodec() {
    const int count = static_cast<int>(protocols::Codecs().size());
    for (int index = -1; index <= count; ++index) (void)protocols::CodecAt(index).Info();
}

// The stop events are made one after the other. Whichever of them the
// system refuses, CreateSyncObjects says so, gives back what it had made,
// records no window, and the run commands start no worker.
TEST(SyncObjects, ARefusedStopEventLeavesNothingBehindAndNoWorkerStarts) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (int made = 0; made < 4; ++made) {
        SCOPED_TRACE(made);
        const auto child = [&] {
            LinkState link;
            FakeWindow window(link);
            MeetEveryCodec();
            CHILD_CHECK(LeaveSpareDescriptors(made));
            CHILD_CHECK(!linkcore::CreateSyncObjects(link, &window));
            CHILD_CHECK(NothingCreated(link));

            // The events made before the refusal were closed again.
            std::vector<std::unique_ptr<platform::Event>> again;
            for (int i = 0; i < made; ++i) {
                again.push_back(std::make_unique<platform::Event>());
                CHILD_CHECK(again.back()->Valid());
            }

            workers::StopForRun(link);
            workers::BeginRun(link, protocols::kHaltenRs);
            workers::StartSimulator(link, "01 03 00 00 00 5E 08 5A 00 80 01 00 00 00", protocols::kHaltenRs);
            workers::StartSingleRead(link);
            workers::StartAutoRead(link);
            workers::StartCapture(link);
            CHILD_CHECK(platform::WorkerThread::LiveCount() == 0);
            linkcore::ReleaseSyncObjects(link);
            CHILD_CHECK(NothingCreated(link));
            std::_Exit(0);
        };
        EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "");
    }

    // Room for all four: everything is made, here through the dialog's
    // forms, which work on the process-wide state.
    const auto child = [&] {
        LinkState& link = linkcore::Link();
        FakeWindow window(link);
        MeetEveryCodec();
        CHILD_CHECK(LeaveSpareDescriptors(4));
        CHILD_CHECK(linkcore::CreateSyncObjects(&window));
        for (const linkcore::WorkerSlot& slot : link.workerSlots) CHILD_CHECK(slot.stop && slot.stop->Valid());
        CHILD_CHECK(link.rxLock && link.outLock && link.mainWindow.load() == &window);
        linkcore::ReleaseSyncObjects();
        CHILD_CHECK(NothingCreated(link));
        std::_Exit(0);
    };
    EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
