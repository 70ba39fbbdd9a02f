// What the workers hand to the line monitor: every frame, time-out and run
// mark, with the bytes hunted past, and nothing while nobody listens.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "link/FrameTaps.h"
#include "link/LinkState.h"
#include "link/RefreshCodes.h"
#include "protocols/Catalogue.h"
#include "protocols/Template.h"
#include "tests/support/ControllerFrames.h"
#include "tests/support/LinkHarness.h"
#include "tests/support/WaitFor.h"
#include "workers/RunControl.h"

namespace {

using namespace testing_support;
using linkcore::WorkerKind;
using protocols::Direction;
using protocols::TapKind;
using protocols::TappedFrame;
namespace fs = std::filesystem;

class FrameTaps : public LinkHarness {
protected:
    void Begin(int decoder) {
        ASSERT_TRUE(Connect(decoder));
        workers::StopForRun(link);
        workers::BeginRun(link, decoder);
    }
    // Drains the worker's ring (the test is its one consumer) until `n`
    // events have come or the deadline passed.
    std::vector<TappedFrame> Collect(WorkerKind kind, std::size_t n, int ms = 10000) {
        std::vector<TappedFrame> got;
        WaitFor(
            [&] {
                link.tapStore->Of(kind).Drain([&](const TappedFrame& t) { got.push_back(t); });
                return got.size() >= n;
            },
            ms);
        return got;
    }
    static std::vector<std::uint8_t> Bytes(const TappedFrame& t) {
        return {t.bytes.begin(), t.bytes.begin() + t.length};
    }
};

TEST_F(FrameTaps, AutoReadHandsOverRunStartFramesWithSkippedBytesAndTimeOut) {
    linkcore::StartTaps(link);
    Begin(protocols::kHaltenRs);
    workers::StartAutoRead(link);
    const auto a = HaltenKeyedFrame(0x10);
    const auto b = HaltenKeyedFrame(0x20);
    ASSERT_TRUE(Send(Concat({{0x00, 0x12, 0xFF}, a, b})));

    const auto got = Collect(WorkerKind::AutoRead, 4);
    ASSERT_GE(got.size(), 4u);
    EXPECT_EQ(got[0].kind, TapKind::RunStart);
    EXPECT_EQ(got[1].kind, TapKind::Frame);
    EXPECT_EQ(got[1].skipped, 3u);
    EXPECT_EQ(Bytes(got[1]), a);
    EXPECT_EQ(got[1].protocol, protocols::kHaltenRs);
    EXPECT_EQ(got[2].kind, TapKind::Frame);
    EXPECT_EQ(got[2].skipped, 0u);
    EXPECT_EQ(Bytes(got[2]), b);
    EXPECT_LE(got[1].timeNs, got[2].timeNs);
    EXPECT_EQ(got[3].kind, TapKind::TimeOut);
    for (const TappedFrame& t : got) EXPECT_EQ(t.direction, Direction::FromController);
}

TEST_F(FrameTaps, NothingIsHandedOverWhileNobodyListens) {
    linkcore::StartTaps(link);
    linkcore::StopTaps(link);
    Begin(protocols::kHaltenRs);
    workers::StartSingleRead(link);
    ASSERT_TRUE(Send(HaltenKeyedFrame(0x10)));
    ASSERT_TRUE(window.WaitForRequests(CMD_SHOW_RX_FRAME, 1));
    ASSERT_TRUE(WaitFor([&] { return !Running(WorkerKind::SingleRead); }));
    EXPECT_EQ(link.tapStore->Of(WorkerKind::SingleRead).Size(), 0u);
}

TEST_F(FrameTaps, SimulatorHandsOverEveryFrameItSends) {
    linkcore::StartTaps(link);
    Begin(protocols::kHaltenRs);
    workers::StartSimulator(link, *protocols::BuildTemplate({protocols::kHaltenRs, 3, 0, 0, 1, 1, 90, 1, 0}),
                            protocols::kHaltenRs);
    std::vector<std::vector<std::uint8_t>> sent;
    for (int i = 0; i < 3; ++i) sent.push_back(Receive(15));
    const auto got = Collect(WorkerKind::Simulator, 4);
    ASSERT_GE(got.size(), 4u);
    EXPECT_EQ(got[0].kind, TapKind::RunStart);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(got[i + 1].kind, TapKind::Frame);
        EXPECT_EQ(got[i + 1].direction, Direction::ToController);
        EXPECT_EQ(Bytes(got[i + 1]), sent[i]);
    }
}

TEST_F(FrameTaps, CaptureHandsOverItsSixHundredFramesBetweenRunMarks) {
    const fs::path old = fs::current_path();
    fs::create_directory(dir() + "/captures");
    fs::current_path(dir() + "/captures");
    linkcore::StartTaps(link);
    Begin(protocols::kHaltenRs);
    workers::StartCapture(link);
    std::vector<std::uint8_t> frames;
    for (int k = 0; k < 600; ++k) {
        std::vector<std::uint8_t> f(15, static_cast<std::uint8_t>(k));
        f[0] = 0x36;
        frames.insert(frames.end(), f.begin(), f.end());
    }
    ASSERT_TRUE(Send(Concat({{0x00, 0x35}, frames})));
    ASSERT_TRUE(window.WaitForCaptureEnd(20000));
    fs::current_path(old);

    const auto got = Collect(WorkerKind::Capture, 602);
    ASSERT_EQ(got.size(), 602u);
    EXPECT_EQ(got.front().kind, TapKind::RunStart);
    EXPECT_EQ(got.back().kind, TapKind::RunEnd);
    EXPECT_EQ(got[1].skipped, 2u);
    for (int k = 0; k < 600; ++k) {
        ASSERT_EQ(got[k + 1].kind, TapKind::Frame) << k;
        EXPECT_EQ(Bytes(got[k + 1]), std::vector<std::uint8_t>(frames.begin() + k * 15, frames.begin() + k * 15 + 15));
    }
}

}  // namespace
