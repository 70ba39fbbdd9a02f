#include <gtest/gtest.h>

#include "link/LinkState.h"
#include "link/RefreshCodes.h"
#include "platform/PortNames.h"
#include "platform/WorkerThread.h"
#include "protocols/HaltenRs.h"
#include "protocols/KugooM.h"
#include "tests/support/ControllerFrames.h"
#include "tests/support/LinkHarness.h"
#include "tests/support/WaitFor.h"
#include "workers/RunControl.h"

namespace {

using namespace testing_support;
using linkcore::WorkerKind;

class ReceiveWorkers : public LinkHarness {
protected:
    void StartRun(int decoder) {
        ASSERT_TRUE(Connect(decoder));
        workers::StopForRun(link);
        workers::BeginRun(link, decoder);
    }
    bool SingleReadEnded(int ms = 3000) {
        return WaitFor([&] { return !Running(WorkerKind::SingleRead); }, ms);
    }
    std::vector<std::uint8_t> RxFrame() { return {link.rxFrame.begin(), link.rxFrame.end()}; }
};

TEST_F(ReceiveWorkers, HaltenSingleReadOnASilentLineEndsWithNothingChanged) {
    StartRun(protocols::kHaltenRs);
    link.linkStatus.store(42);
    const auto start = std::chrono::steady_clock::now();
    workers::StartSingleRead(link);
    ASSERT_TRUE(SingleReadEnded());
    EXPECT_GE(MillisSince(start), 240);
    EXPECT_EQ(link.linkStatus.load(), 42);
    EXPECT_EQ(window.Count(CMD_SHOW_RX_FRAME), 0u);
    EXPECT_EQ(RxFrame(), std::vector<std::uint8_t>(15, 0));
}

TEST_F(ReceiveWorkers, HaltenSingleReadHuntsDescramblesAndKeepsTheStatus) {
    StartRun(protocols::kHaltenRs);
    workers::StartSingleRead(link);
    std::vector<std::uint8_t> plain(15, 0);
    plain[1] = 0x05;
    plain[2] = 0x4C;
    plain[6] = 0x87;
    plain[7] = 0x01;
    plain[8] = 0x02;
    plain[10] = 0x03;
    const auto line = HaltenLineFrame(plain, 0x10);
    ASSERT_TRUE(Send(Concat({{0x00, 0x12, 0xFF}, line})));
    ASSERT_TRUE(window.WaitForRequests(CMD_SHOW_RX_FRAME, 1));
    ASSERT_TRUE(SingleReadEnded());

    EXPECT_EQ(std::vector<std::uint8_t>(link.rawRxFrame.begin(), link.rawRxFrame.end()), line);
    auto expected = plain;
    expected[0] = 0x36;
    expected[13] = 0x10;
    expected[14] = line[14];
    EXPECT_EQ(RxFrame(), expected);
    EXPECT_EQ(protocols::HaltenVt(link.rxFrame), 258);
    EXPECT_EQ(protocols::HaltenP(link.rxFrame), 3);
    EXPECT_EQ(link.linkStatus.load(), linkcore::kStatusNothing);
}

TEST_F(ReceiveWorkers, KugooSingleReadTakesASecondSyncOnlyRightAfterTheFirst) {
    StartRun(protocols::kKugooM);
    // 02 02 0E and the rest of a frame: the second 02 fails as the second
    // sync byte, so the frame is missed and the hunt times out.
    auto missed = KugooLineFrame(0x33, 0x0444);
    workers::StartSingleRead(link);
    ASSERT_TRUE(Send(Concat({{0x02}, missed})));
    ASSERT_TRUE(SingleReadEnded());
    EXPECT_EQ(link.linkStatus.load(), linkcore::kStatusTimeOut);
    EXPECT_EQ(window.Count(CMD_SHOW_RX_FRAME), 0u);

    const auto frame = KugooLineFrame(0xFF, 300);
    workers::StartSingleRead(link);
    ASSERT_TRUE(Send(frame));
    ASSERT_TRUE(window.WaitForRequests(CMD_SHOW_RX_FRAME, 1));
    ASSERT_TRUE(SingleReadEnded());
    EXPECT_EQ(std::vector<std::uint8_t>(link.rxFrame.begin(), link.rxFrame.begin() + 14), frame);
    EXPECT_EQ(protocols::KugooVt(link.rxFrame), 300);
    EXPECT_EQ(protocols::KugooP(link.rxFrame), 255);
    EXPECT_EQ(link.linkStatus.load(), 1);
    EXPECT_EQ(link.rawRxFrame, decltype(link.rawRxFrame){});
}

TEST_F(ReceiveWorkers, TestDecoderTakesFifteenRawBytesOrTimesOut) {
    StartRun(protocols::kTest);
    std::vector<std::uint8_t> raw(15);
    for (int i = 0; i < 15; ++i) raw[i] = static_cast<std::uint8_t>(0xA0 + i);
    workers::StartSingleRead(link);
    ASSERT_TRUE(Send(raw));
    ASSERT_TRUE(window.WaitForRequests(CMD_SHOW_RX_FRAME, 1));
    ASSERT_TRUE(SingleReadEnded());
    EXPECT_EQ(RxFrame(), raw);
    EXPECT_EQ(link.linkStatus.load(), 1);

    workers::StartSingleRead(link);
    ASSERT_TRUE(Send({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    ASSERT_TRUE(SingleReadEnded());
    EXPECT_EQ(link.linkStatus.load(), linkcore::kStatusTimeOut);
    EXPECT_EQ(window.Count(CMD_SHOW_RX_FRAME), 1u);
}

TEST_F(ReceiveWorkers, ContinuousReadRefreshesAtTheProtocolsCadence) {
    StartRun(protocols::kHaltenRs);
    workers::StartAutoRead(link);
    for (int i = 0; i < 15; ++i) ASSERT_TRUE(Send(HaltenLineFrame({}, static_cast<std::uint8_t>(i))));
    ASSERT_TRUE(window.WaitForRequests(CMD_SHOW_RX_FRAME, 3));
    EXPECT_EQ(window.Statuses(CMD_SHOW_RX_FRAME), (std::vector<int>{5, 10, 15}));
}

TEST_F(ReceiveWorkers, ContinuousKugooReadCountsTenAFrameRefresh) {
    StartRun(protocols::kKugooM);
    workers::StartAutoRead(link);
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(Send(Concat({{0x02, 0x02}, KugooLineFrame(1, static_cast<std::uint16_t>(i))})));
    ASSERT_TRUE(window.WaitForRequests(CMD_SHOW_RX_FRAME, 2));
    EXPECT_EQ(window.Statuses(CMD_SHOW_RX_FRAME), (std::vector<int>{10, 20}));
    // The frame and the byte after it go into both copies.
    EXPECT_EQ(protocols::KugooVt(link.rxFrame), 19);
}

TEST_F(ReceiveWorkers, SilentLineShowsTimeOutOnceAndTheCountRestarts) {
    StartRun(protocols::kHaltenRs);
    workers::StartAutoRead(link);
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(Send(HaltenLineFrame({}, 1)));
    ASSERT_TRUE(window.WaitForRequests(CMD_SHOW_RX_FRAME, 2));  // 5, then the time-out
    EXPECT_EQ(window.Statuses(CMD_SHOW_RX_FRAME), (std::vector<int>{5, 0}));
    // Further time-outs in a row ask for nothing more.
    EXPECT_FALSE(window.WaitForRequests(CMD_SHOW_RX_FRAME, 3, 1200));
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(Send(HaltenLineFrame({}, 1)));
    ASSERT_TRUE(window.WaitForRequests(CMD_SHOW_RX_FRAME, 3));
    EXPECT_EQ(window.Statuses(CMD_SHOW_RX_FRAME).back(), 5);
}

TEST_F(ReceiveWorkers, ContinuousReadOnASilentLineShowsTimeOutFromTheStart) {
    StartRun(protocols::kKugooM);
    workers::StartAutoRead(link);
    ASSERT_TRUE(window.WaitForRequests(CMD_SHOW_RX_FRAME, 1));
    EXPECT_EQ(window.Statuses(CMD_SHOW_RX_FRAME), (std::vector<int>{0}));
}

TEST_F(ReceiveWorkers, AHeldRxLockSkipsTheCopyButNotTheRefresh) {
    StartRun(protocols::kHaltenRs);
    workers::StartAutoRead(link);
    ASSERT_TRUE(link.rxLock->Acquire(0));
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(Send(HaltenLineFrame({0, 0, 0, 0, 0, 0, 0, 9}, 1)));
    const bool refreshed = window.WaitForRequests(CMD_SHOW_RX_FRAME, 1, 10000);
    link.rxLock->Release();
    ASSERT_TRUE(refreshed);
    EXPECT_EQ(window.Statuses(CMD_SHOW_RX_FRAME).front(), linkcore::kStatusNothing);
    EXPECT_EQ(RxFrame(), std::vector<std::uint8_t>(15, 0));
}

TEST_F(ReceiveWorkers, StopWakesAReaderBlockedInItsReadAtOnce) {
    StartRun(protocols::kHaltenRs);
    workers::StartAutoRead(link);
    ASSERT_TRUE(WaitFor([&] { return Running(WorkerKind::AutoRead); }));
    const auto start = std::chrono::steady_clock::now();
    workers::StopForRun(link);
    EXPECT_LT(MillisSince(start), 200);  // the read's own bound is 500 ms
    EXPECT_FALSE(Running(WorkerKind::AutoRead));
    EXPECT_EQ(platform::WorkerThread::LiveCount(), 0);
}

TEST_F(ReceiveWorkers, StopReleasesAWorkerWaitingForARefresh) {
    window.onRefresh = [](unsigned, const platform::Event& stop) { stop.Wait(10000); };
    StartRun(protocols::kTest);
    workers::StartSingleRead(link);
    ASSERT_TRUE(Send(std::vector<std::uint8_t>(15, 0x55)));
    ASSERT_TRUE(WaitFor([&] { return link.linkStatus.load() == 1; }));
    const auto start = std::chrono::steady_clock::now();
    workers::StopForRun(link);
    EXPECT_LT(MillisSince(start), 200);
    EXPECT_EQ(platform::WorkerThread::LiveCount(), 0);
}

TEST_F(ReceiveWorkers, RunsStartedInQuickSuccessionLeaveOneReaderAndOneSimulator) {
    ASSERT_TRUE(Connect(protocols::kHaltenRs));
    for (int i = 0; i < 30; ++i) {
        workers::StopForRun(link);
        EXPECT_EQ(platform::WorkerThread::LiveCount(), 0) << i;
        workers::BeginRun(link, i % 3 == 2 ? protocols::kKugooM : protocols::kHaltenRs);
        workers::StartSimulator(link, "01 03 00 00 00 5E 08 5A 00 80 01 00 00 00", protocols::kHaltenRs);
        if (i % 2)
            workers::StartAutoRead(link);
        else
            workers::StartSingleRead(link);
        EXPECT_LE(platform::WorkerThread::LiveCount(), 2) << i;
    }
    workers::StopForRun(link);
    EXPECT_EQ(platform::WorkerThread::LiveCount(), 0);
}

// Every worker that finds the line gone ends at once and asks the window
// to act on it, whichever side of the line it was using.
TEST_F(ReceiveWorkers, EveryWorkerEndsOnAGoneLineAndTellsTheWindow) {
    struct Row {
        const char* name;
        WorkerKind kind;
        void (*start)(linkcore::LinkState&);
    };
    const Row rows[] = {
        {"single read", WorkerKind::SingleRead, [](linkcore::LinkState& s) { workers::StartSingleRead(s); }},
        {"continuous read", WorkerKind::AutoRead, [](linkcore::LinkState& s) { workers::StartAutoRead(s); }},
        {"capture", WorkerKind::Capture, [](linkcore::LinkState& s) { workers::StartCapture(s); }},
        {"display simulation", WorkerKind::Simulator,
         [](linkcore::LinkState& s) {
             workers::StartSimulator(s, "01 03 00 00 00 5E 08 5A 00 80 01 00 00 00", protocols::kHaltenRs);
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        peer = platform::PseudoTerminal::Open();
        ASSERT_TRUE(peer);
        ASSERT_TRUE(platform::RegisterPort(1, peer->slavePath()));
        const std::size_t before = window.Count(CMD_LINE_GONE);
        StartRun(protocols::kHaltenRs);
        row.start(link);
        ASSERT_TRUE(Running(row.kind));
        peer->HangUp();
        ASSERT_TRUE(window.WaitForRequests(CMD_LINE_GONE, before + 1));
        EXPECT_TRUE(WaitFor([&] { return !Running(row.kind); }));
        EXPECT_TRUE(linkcore::LineGone(link));
        linkcore::ClosePort(link);
    }
}

}  // namespace
