#include <gtest/gtest.h>

#include "link/LinkState.h"
#include "link/RefreshCodes.h"
#include "protocols/Catalogue.h"
#include "protocols/Checksum.h"
#include "protocols/Template.h"
#include "tests/support/LinkHarness.h"
#include "tests/support/WaitFor.h"
#include "workers/RunControl.h"

namespace {

using namespace testing_support;
using linkcore::WorkerKind;

// The controls at their start values.
protocols::TemplateSettings StartValues(int decoder) { return {decoder, 3, 0, 0, 1, 1, 90, 1, 0}; }

class Simulator : public LinkHarness {
protected:
    void StartSimulation(int decoder) {
        ASSERT_TRUE(Connect(decoder));
        workers::StopForRun(link);
        workers::BeginRun(link, decoder);
        workers::StartSimulator(link, *protocols::BuildTemplate(StartValues(decoder)), decoder);
    }
};

TEST_F(Simulator, HaltenFramesCountFromOneAndCheckOut) {
    StartSimulation(protocols::kHaltenRs);
    for (int counter = 1; counter <= 6; ++counter) {
        const auto frame = Receive(15);
        ASSERT_EQ(frame.size(), 15u);
        EXPECT_EQ(frame[2], counter);
        EXPECT_EQ(protocols::XorOf(frame), 0x00);
        EXPECT_EQ(frame[7], 90);
    }
    EXPECT_TRUE(window.WaitForRequests(CMD_SHOW_OUT_FRAME, 1));
}

TEST_F(Simulator, KugooFrameAtTheStartValues) {
    StartSimulation(protocols::kKugooM);
    const std::vector<std::uint8_t> expected{0x01, 0x14, 0x01, 0x01, 0x05, 0x00, 0x1E, 0x00, 0x6B, 0x01,
                                             0x01, 0x00, 0x5A, 0x01, 0x02, 0x1C, 0x00, 0x00, 0x0C, 0x2C};
    EXPECT_EQ(Receive(20), expected);
    EXPECT_EQ(Receive(20), expected);
}

TEST_F(Simulator, AHeldOutLockRepeatsThePreviousFrame) {
    StartSimulation(protocols::kHaltenRs);
    const auto first = Receive(15);
    ASSERT_EQ(first.size(), 15u);
    ASSERT_TRUE(link.outLock->Acquire(1000));
    const auto again = Receive(15);
    const auto third = Receive(15);
    link.outLock->Release();
    EXPECT_EQ(again, first);
    EXPECT_EQ(third, first);
    // Once the lock is free the counter goes on where it stopped.
    auto next = Receive(15);
    while (next == first) next = Receive(15);
    ASSERT_EQ(next.size(), 15u);
    EXPECT_EQ(next[2], first[2] + 1);
}

TEST_F(Simulator, StopEndsTheFramesAndTestDecoderStartsNone) {
    StartSimulation(protocols::kHaltenRs);
    ASSERT_EQ(Receive(15).size(), 15u);
    link.Slot(WorkerKind::Simulator).stop->Set();
    ASSERT_TRUE(WaitFor([&] { return !Running(WorkerKind::Simulator); }));
    std::uint8_t byte;
    while (peer->ReadSome(&byte, 1, 0) == 1) {
    }
    EXPECT_EQ(peer->ReadSome(&byte, 1, 400), 0u);

    workers::StopForRun(link);
    workers::BeginRun(link, protocols::kTest);
    workers::StartSimulator(link, "01 02 03", protocols::kTest);
    ASSERT_TRUE(WaitFor([&] { return !Running(WorkerKind::Simulator); }));
    EXPECT_EQ(peer->ReadSome(&byte, 1, 300), 0u);
}

TEST_F(Simulator, APatchedByteGoesOutWithTheNextFrame) {
    StartSimulation(protocols::kKugooM);
    ASSERT_EQ(Receive(20).size(), 20u);
    {
        platform::LockHold hold(*link.outLock, 200);
        ASSERT_TRUE(hold.held());
        link.outFrame[16] = 0x04;
        link.outFrame[17] = 0x4C;
        link.gearCode = 0x0F;
    }
    auto frame = Receive(20);
    if (frame[16] != 0x04) frame = Receive(20);  // one frame may have been sealed already
    EXPECT_EQ(frame[4], 0x0F);
    EXPECT_EQ(frame[16], 0x04);
    EXPECT_EQ(frame[17], 0x4C);
    EXPECT_EQ(protocols::XorOf(frame), 0x00);
}

}  // namespace
