#include <gtest/gtest.h>

#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "link/LinkState.h"
#include "link/RefreshCodes.h"
#include "tests/support/ControllerFrames.h"
#include "tests/support/LinkHarness.h"
#include "tests/support/WaitFor.h"
#include "workers/CaptureFile.h"
#include "workers/RunControl.h"

namespace {

using namespace testing_support;
using linkcore::WorkerKind;
namespace fs = std::filesystem;

class Capture : public LinkHarness {
protected:
    void SetUp() override {
        LinkHarness::SetUp();
        oldDir_ = fs::current_path();
        captureDir_ = dir() + "/captures";
        fs::create_directory(captureDir_);
        fs::current_path(captureDir_);
    }
    void TearDown() override {
        fs::current_path(oldDir_);
        LinkHarness::TearDown();
    }
    void StartCapture(int decoder) {
        ASSERT_TRUE(Connect(decoder));
        workers::StopForRun(link);
        workers::BeginRun(link, decoder);
        workers::StartCapture(link);
    }
    // Frame k: byte 1 is 0x00 from `marked` on, byte 13 varies.
    std::vector<std::uint8_t> Frames(int count, int marked) {
        std::vector<std::uint8_t> all;
        for (int k = 0; k < count; ++k) {
            std::vector<std::uint8_t> f(15);
            f[0] = 0x36;
            f[1] = k == marked ? 0x00 : 0x05;
            for (int i = 2; i < 15; ++i) f[i] = static_cast<std::uint8_t>((k * 31 + i * 7) % 0x35);
            all.insert(all.end(), f.begin(), f.end());
        }
        return all;
    }
    std::vector<fs::path> Files() {
        std::vector<fs::path> out;
        for (auto& e : fs::directory_iterator(captureDir_)) out.push_back(e.path());
        return out;
    }
    fs::path oldDir_;
    std::string captureDir_;
};

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST_F(Capture, CompleteCaptureWritesTheExactFile) {
    StartCapture(protocols::kHaltenRs);
    const auto frames = Frames(600, 2);
    ASSERT_TRUE(Send(Concat({{0x00, 0x35, 0x99}, frames})));
    ASSERT_TRUE(window.WaitForCaptureEnd(20000));
    EXPECT_EQ(window.CaptureEnds(), std::vector<std::string>{""});

    const auto files = Files();
    ASSERT_EQ(files.size(), 1u);
    const std::string name = files[0].filename();
    ASSERT_EQ(name.size(), 14u);
    const std::string text = ReadAll(files[0]);
    // Rebuild the expected text for the minute the file is named after.
    const std::string header = text.substr(0, text.find("\r\n"));
    workers::CaptureTime t{};
    ASSERT_EQ(std::sscanf(header.c_str(), "%u.%u.%u %u:%u", &t.day, &t.month, &t.year, &t.hour, &t.minute), 5);
    EXPECT_EQ(workers::CaptureFileName(t), name);
    std::array<std::uint8_t, workers::kCaptureBytes> sent{};
    std::copy(frames.begin(), frames.end(), sent.begin());
    EXPECT_EQ(text, workers::CaptureFileText(sent, t));

    EXPECT_EQ(link.linkStatus.load(), linkcore::kStatusCaptureWritten);
    EXPECT_EQ(std::vector<std::uint8_t>(link.rawRxFrame.begin(), link.rawRxFrame.end()),
              std::vector<std::uint8_t>(frames.begin() + 299 * 15, frames.begin() + 300 * 15));
    EXPECT_EQ(window.Statuses(CMD_SHOW_RX_FRAME), (std::vector<int>{1, 300}));
}

TEST_F(Capture, TimeOutAfterTheFirstFrameLeavesFiveAndNoFile) {
    StartCapture(protocols::kHaltenRs);
    ASSERT_TRUE(Send(Frames(11, 0)));
    ASSERT_TRUE(window.WaitForCaptureEnd(5000));
    EXPECT_EQ(link.linkStatus.load(), linkcore::kStatusCaptureTimedOut);
    EXPECT_TRUE(Files().empty());
    // Frame 0 and the time-out are both shown at once.
    EXPECT_EQ(window.Statuses(CMD_SHOW_RX_FRAME), (std::vector<int>{1, 5}));
}

TEST_F(Capture, SilenceWhileSynchronisingShowsTimeOut) {
    StartCapture(protocols::kHaltenRs);
    ASSERT_TRUE(window.WaitForCaptureEnd(5000));
    EXPECT_EQ(link.linkStatus.load(), linkcore::kStatusTimeOut);
    EXPECT_EQ(window.Statuses(CMD_SHOW_RX_FRAME), (std::vector<int>{0}));
}

TEST_F(Capture, KugooSelectionRecordsNothing) {
    StartCapture(protocols::kKugooM);
    ASSERT_TRUE(window.WaitForCaptureEnd(5000));
    EXPECT_EQ(peer->SlaveSpeed(), 9600);
    EXPECT_EQ(link.linkStatus.load(), linkcore::kStatusNothing);
    EXPECT_EQ(window.Count(CMD_SHOW_RX_FRAME), 0u);
    EXPECT_TRUE(Files().empty());
}

TEST_F(Capture, AFileThatCannotBeWrittenIsReportedAndNothingIsLeft) {
    StartCapture(protocols::kHaltenRs);
    // The folder disappears under the running capture.
    fs::current_path(dir());
    fs::current_path(captureDir_);
    fs::remove(captureDir_);
    ASSERT_TRUE(Send(Frames(600, 0)));
    ASSERT_TRUE(window.WaitForCaptureEnd(20000));
    const auto ends = window.CaptureEnds();
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_NE(ends[0].find("Не удалось записать km"), std::string::npos) << ends[0];
    EXPECT_EQ(link.linkStatus.load(), 599);
}

TEST_F(Capture, ARunCommandStopsARunningCapture) {
    StartCapture(protocols::kHaltenRs);
    ASSERT_TRUE(Send(Frames(3, 0)));
    ASSERT_TRUE(WaitFor([&] { return link.linkStatus.load() == 2; }));
    EXPECT_TRUE(workers::StopForRun(link));
    EXPECT_FALSE(Running(WorkerKind::Capture));
    EXPECT_TRUE(Files().empty());
}

}  // namespace
