#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <climits>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Deadline.h"
#include "platform/LineSettings.h"
#include "platform/PortNames.h"
#include "platform/SerialPort.h"
#include "protocols/Catalogue.h"
#include "protocols/Checksum.h"
#include "protocols/Frames.h"
#include "protocols/HaltenRs.h"
#include "protocols/KugooM.h"
#include "protocols/Seal.h"
#include "tests/tools/SimulatorProcess.h"
#include "tools/kmsim/StatusText.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

// The simulator started on a COM number in a private port directory, with
// the tool's side of the line opened through that name.
class SimulatorProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetPortDirectoryOnly(true);
        platform::SetPortDirectory(dir_ / "ports");
    }

    void TearDown() override {
        port_.reset();
        sim_.reset();  // kills the child if it still runs
        platform::SetPortDirectory("");
        platform::SetPortDirectoryOnly(false);
    }

    // Starts the simulator on COM<n> and waits for its ready line.
    void Start(unsigned n, std::vector<std::string> args) {
        args.insert(args.end(), {"--port-dir", dir_ / "ports", "--port", std::to_string(n), "--quiet"});
        sim_ = std::make_unique<kmsim_test::SimulatorProcess>(args);
        const auto ready = sim_->ReadLine(5000);
        ASSERT_TRUE(ready) << "no ready line";
        const std::string prefix = "COM" + std::to_string(n) + " /dev/pts/";
        ASSERT_EQ(ready->rfind(prefix, 0), 0u) << *ready;
        slavePath_ = ready->substr(ready->find(' ') + 1);
    }

    // Opens COM<n> as the tool does and sets the line speed.
    void Open(unsigned n, unsigned speed) {
        const auto path = platform::ResolveComPort(n);
        ASSERT_TRUE(path) << "COM" << n << " is not registered";
        EXPECT_EQ(LinkTarget(*path), slavePath_);
        platform::OpenFailure failure;
        port_ = platform::SerialPort::Open(*path, &failure);
        ASSERT_TRUE(port_) << "open failed: " << static_cast<int>(failure.kind);
        platform::LineSettings settings;
        ASSERT_TRUE(platform::BuildLineSettings(protocols::LineModeString(speed), settings));
        ASSERT_TRUE(port_->ApplySettings(settings));
    }

    static std::string LinkTarget(const std::string& link) {
        char target[PATH_MAX];
        const ssize_t len = ::readlink(link.c_str(), target, sizeof target);
        return len > 0 ? std::string(target, static_cast<std::size_t>(len)) : std::string();
    }

    bool LinkExists(unsigned n) const {
        struct stat st;
        return ::lstat((dir_ / "ports/COM" + std::to_string(n)).c_str(), &st) == 0;
    }

    bool ReadByte(std::uint8_t& byte, const platform::Deadline& deadline) {
        return port_->ReadExact(&byte, 1, deadline.RemainingMs(), nullptr) == platform::ReadOutcome::Completed;
    }

    // Hunts the controller frame's sync bytes as the receive workers do and
    // reads the rest of the frame.
    std::optional<Bytes> ReadFrame(const Bytes& sync, std::size_t length, int boundMs) {
        const platform::Deadline deadline(boundMs);
        Bytes frame(length);
        for (;;) {
            std::size_t matched = 0;
            while (matched < sync.size()) {
                if (!ReadByte(frame[matched], deadline)) return std::nullopt;
                matched = frame[matched] == sync[matched] ? matched + 1 : 0;
            }
            const std::size_t rest = length - sync.size();
            if (port_->ReadExact(frame.data() + sync.size(), rest, deadline.RemainingMs(), nullptr) ==
                platform::ReadOutcome::Completed) {
                return frame;
            }
            return std::nullopt;
        }
    }

    // Waits, within a generous bound, until the log lists `frames` frames as sent.
    bool WaitForSent(const std::string& log, long frames) const {
        const platform::Deadline deadline(20000);
        for (;;) {
            const auto lines = LogLines(log);
            if (std::count_if(lines.begin(), lines.end(),
                              [](const std::string& l) { return l.rfind("tx ", 0) == 0; }) >= frames) {
                return true;
            }
            if (deadline.Passed()) return false;
            ::poll(nullptr, 0, 5);
        }
    }

    std::vector<std::string> LogLines(const std::string& path) const {
        std::ifstream in(path);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    kmsim_test::ScratchDir dir_;
    std::unique_ptr<kmsim_test::SimulatorProcess> sim_;
    std::unique_ptr<platform::SerialPort> port_;
    std::string slavePath_;
};

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST_F(SimulatorProcessTest, KugooFramesArePacedAndTheDisplayFrameIsDecoded) {
    const std::string log = dir_ / "kmsim.log";
    ASSERT_NO_FATAL_FAILURE(Start(7, {"--frames", "20", "--protocol", "kugoo", "--log", log}));
    ASSERT_NO_FATAL_FAILURE(Open(7, 9600));

    std::vector<Bytes> frames;
    std::vector<Clock::time_point> arrived;
    auto readFrame = [&] {
        const auto f = ReadFrame({0x02, 0x0E}, 14, 3000);
        if (!f) return false;
        frames.push_back(*f);
        arrived.push_back(Clock::now());
        return true;
    };
    ASSERT_TRUE(readFrame()) << "no Kugoo M frame at 9600 bit/s";

    // The tool's display frame, second worked example of the layout.
    std::array<std::uint8_t, protocols::kOutFrameSize> out{0x01, 0x14, 0x01, 0x01, 0x00, 0x40, 0x1E, 0x00, 0x6B, 0x02,
                                                           0x00, 0x00, 0x64, 0x64, 0x02, 0x1C, 0x04, 0x4C, 0x4C};
    protocols::SealOutFrame(protocols::kKugooM, out, 0x0F);
    ASSERT_TRUE(port_->Write(out.data(), out.size(), nullptr));

    for (int i = 0; i < 5; ++i) ASSERT_TRUE(readFrame()) << "frame " << i + 2;

    for (const Bytes& f : frames) {
        EXPECT_EQ(protocols::XorOf(f), 0);
        std::array<std::uint8_t, protocols::kRxFrameSize> rx{};
        std::copy(f.begin(), f.end(), rx.begin());
        EXPECT_LE(protocols::KugooP(rx), 100);
        EXPECT_LE(protocols::KugooVt(rx), 400) << "a scooter's speed in 0.1 km/h";
    }
    // Six frames of 14 bytes at 9600 bit/s with 50 ms pauses take at least
    // 5 x 64.6 ms from the first one's end to the last one's.
    EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(arrived.back() - arrived.front()).count(), 250);

    // The rest is left unread: once the last frame is sent, closing the port
    // ends the simulator's wait for the reader.
    ASSERT_TRUE(WaitForSent(log, 20));
    port_.reset();
    const auto summary = sim_->ReadLineStartingWith("summary ", 10000);
    ASSERT_TRUE(summary) << "no summary";
    EXPECT_NE(summary->find(" frames-sent=20 "), std::string::npos) << *summary;
    EXPECT_NE(summary->find(" display-frames=1 "), std::string::npos) << *summary;
    EXPECT_NE(summary->find(" checksum-errors=0 "), std::string::npos) << *summary;
    EXPECT_NE(
        summary->find("gear=7 zero-start=1 cruise=1 soft-start=0 max-speed=100 ebs=2 max-power=100 throttle=1100"),
        std::string::npos)
        << *summary;
    EXPECT_EQ(sim_->WaitExit(5000), 0);
    EXPECT_FALSE(LinkExists(7)) << "the link outlived the simulator";

    const auto lines = LogLines(log);
    const auto sent =
        std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l.rfind("tx ", 0) == 0; });
    EXPECT_EQ(sent, 20);
    for (const Bytes& f : frames) EXPECT_TRUE(Contains(lines, "tx " + kmsim::HexLine(f))) << kmsim::HexLine(f);
    const std::string rx = "rx " + kmsim::HexLine(out) + " | ";
    const auto decoded =
        std::find_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(rx, 0) == 0; });
    ASSERT_NE(decoded, lines.end());
    EXPECT_NE(decoded->find("gear=7"), std::string::npos) << *decoded;
}

TEST_F(SimulatorProcessTest, AtTheWrongSpeedTheFramesComeGarbledAsTheReaderReadsThem) {
    const std::string log = dir_ / "kmsim.log";
    ASSERT_NO_FATAL_FAILURE(Start(10, {"--protocol", "kugoo", "--interval", "0", "--log", log}));
    ASSERT_NO_FATAL_FAILURE(Open(10, 19200));

    Bytes seen(40);
    ASSERT_EQ(port_->ReadExact(seen.data(), seen.size(), 5000, nullptr), platform::ReadOutcome::Completed);
    sim_->Signal(SIGTERM);
    ASSERT_TRUE(sim_->ReadLineStartingWith("summary ", 5000));
    EXPECT_EQ(sim_->WaitExit(5000), 0);

    // What came is what the log says went out for the frames, each of them
    // the wrong-rate reading of a Kugoo frame: no filler, no sync pair.
    std::string garbled;
    for (const std::string& l : LogLines(log)) {
        if (l.rfind("garbled ", 0) == 0 && l.size() > 8) garbled += l.substr(8) + " ";
    }
    EXPECT_NE(garbled.find(kmsim::HexLine(seen)), std::string::npos) << kmsim::HexLine(seen);
    EXPECT_LT(std::count(seen.begin(), seen.end(), 0xFF), static_cast<std::ptrdiff_t>(seen.size()));
    const Bytes sync{0x02, 0x0E};
    EXPECT_EQ(std::search(seen.begin(), seen.end(), sync.begin(), sync.end()), seen.end());
}

TEST_F(SimulatorProcessTest, AtTheWrongSpeedFillerComesWhenAskedAndSigtermRemovesTheLink) {
    ASSERT_NO_FATAL_FAILURE(Start(8, {"--protocol", "kugoo", "--mismatch", "filler"}));
    ASSERT_NO_FATAL_FAILURE(Open(8, 1200));

    Bytes seen(60);
    ASSERT_EQ(port_->ReadExact(seen.data(), seen.size(), 5000, nullptr), platform::ReadOutcome::Completed);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 0xFF), static_cast<std::ptrdiff_t>(seen.size()))
        << kmsim::HexLine(seen);
    const Bytes sync{0x02, 0x0E};
    EXPECT_EQ(std::search(seen.begin(), seen.end(), sync.begin(), sync.end()), seen.end());

    sim_->Signal(SIGTERM);
    const auto summary = sim_->ReadLineStartingWith("summary ", 5000);
    ASSERT_TRUE(summary) << "no summary after SIGTERM";
    EXPECT_NE(summary->find(" frames-sent=0 "), std::string::npos) << *summary;
    EXPECT_EQ(sim_->WaitExit(5000), 0);
    EXPECT_FALSE(LinkExists(8));
}

TEST_F(SimulatorProcessTest, HaltenFramesReadInARowAreTheLoggedOnesAndHangupCutsTheLine) {
    const std::string log = dir_ / "kmsim.log";
    ASSERT_NO_FATAL_FAILURE(
        Start(9, {"--protocol", "halten", "--interval", "20", "--hangup-after", "4", "--log", log}));
    ASSERT_NO_FATAL_FAILURE(Open(9, 1200));

    // As the capture reads: hunt the first frame, then whole frames.
    std::vector<Bytes> frames;
    const auto first = ReadFrame({0x36}, 15, 3000);
    ASSERT_TRUE(first);
    frames.push_back(*first);
    for (int i = 0; i < 2; ++i) {
        Bytes f(15);
        ASSERT_EQ(port_->ReadExact(f.data(), f.size(), 3000, nullptr), platform::ReadOutcome::Completed);
        frames.push_back(f);
    }

    const auto summary = sim_->ReadLineStartingWith("summary ", 5000);
    ASSERT_TRUE(summary);
    EXPECT_NE(summary->find(" frames-sent=4 "), std::string::npos) << *summary;
    EXPECT_EQ(sim_->WaitExit(5000), 0);
    EXPECT_FALSE(LinkExists(9));

    std::vector<std::string> sent;
    for (const std::string& l : LogLines(log)) {
        if (l.rfind("tx ", 0) == 0) sent.push_back(l.substr(3));
    }
    ASSERT_EQ(sent.size(), 4u);
    const auto at = std::find(sent.begin(), sent.end(), kmsim::HexLine(frames[0]));
    ASSERT_NE(at, sent.end()) << "first frame read is not in the log";
    ASSERT_LE(at - sent.begin() + 3, static_cast<std::ptrdiff_t>(sent.size()));
    for (std::size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(*(at + static_cast<std::ptrdiff_t>(i)), kmsim::HexLine(frames[i])) << "frame " << i;
        EXPECT_EQ(frames[i][0], 0x36);
        EXPECT_EQ(protocols::XorOf(frames[i]), 0);
        std::array<std::uint8_t, protocols::kRxFrameSize> rx{};
        std::copy(frames[i].begin(), frames[i].end(), rx.begin());
        protocols::DescrambleRx(rx);
        EXPECT_LE(protocols::HaltenP(rx), 100);
        EXPECT_LE(protocols::HaltenVt(rx), 400);
    }
}

TEST_F(SimulatorProcessTest, AfterItsLastFrameTheLineStaysOpenUntilTheReaderHasTakenIt) {
    const std::string log = dir_ / "kmsim.log";
    ASSERT_NO_FATAL_FAILURE(
        Start(12, {"--protocol", "halten", "--interval", "0", "--mismatch", "mute", "--frames", "3", "--log", log}));
    ASSERT_NO_FATAL_FAILURE(Open(12, 1200));
    // Shared, so that an unprivileged simulator may watch the line drain
    // (the port's exclusive mode turns other opens away).
    ASSERT_EQ(::ioctl(port_->handle(), TIOCNXCL), 0);

    // Nothing is read until the last frame is logged as sent: closing the
    // line then would take the three frames with it.
    ASSERT_TRUE(WaitForSent(log, 3));

    Bytes all(3 * 15);
    ASSERT_EQ(port_->ReadExact(all.data(), all.size(), 3000, nullptr), platform::ReadOutcome::Completed)
        << "the simulator closed the line with frames unread";
    // The line stays open, silent, until the reader closes the port.
    pollfd p{port_->handle(), POLLIN, 0};
    EXPECT_EQ(::poll(&p, 1, 0), 0) << p.revents;
    port_.reset();
    const auto summary = sim_->ReadLineStartingWith("summary ", 5000);
    ASSERT_TRUE(summary);
    EXPECT_NE(summary->find(" frames-sent=3 "), std::string::npos) << *summary;
    EXPECT_EQ(sim_->WaitExit(5000), 0);
    EXPECT_FALSE(Contains(LogLines(log), "# 45 bytes still unread when the line closed"));
}

// The time on a "unplugged ..." or "replugged ..." line.
double MonotonicOf(const std::string& line) {
    const auto at = line.find(" monotonic=");
    return at == std::string::npos ? -1 : std::stod(line.substr(at + 11));
}

TEST_F(SimulatorProcessTest, UnplugHangsUpAndUnlinksThenReplugBringsTheLineBackUnderItsNumber) {
    const std::string log = dir_ / "kmsim.log";
    ASSERT_NO_FATAL_FAILURE(Start(10, {"--protocol", "halten", "--interval", "20", "--unplug-after", "3",
                                       "--replug-after", "0.5", "--log", log}));
    ASSERT_NO_FATAL_FAILURE(Open(10, 1200));
    ASSERT_TRUE(ReadFrame({0x36}, 15, 3000)) << "no frame before the unplug";

    const auto unplugged = sim_->ReadLineStartingWith("unplugged COM10 monotonic=", 5000);
    ASSERT_TRUE(unplugged) << "no unplug line";
    EXPECT_FALSE(LinkExists(10)) << "COM10 is still linked while unplugged";
    // The reader's side of the line has hung up, as a removed adapter's.
    pollfd p{port_->handle(), POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 0), 1);
    EXPECT_TRUE(p.revents & POLLHUP) << p.revents;
    port_.reset();

    const auto replugged = sim_->ReadLineStartingWith("replugged COM10 /dev/pts/", 5000);
    ASSERT_TRUE(replugged) << "no replug line";
    EXPECT_GE(MonotonicOf(*replugged) - MonotonicOf(*unplugged), 0.5) << *unplugged << " / " << *replugged;
    slavePath_ = replugged->substr(16, replugged->find(' ', 16) - 16);
    ASSERT_NO_FATAL_FAILURE(Open(10, 1200));  // through the link made again
    const auto frame = ReadFrame({0x36}, 15, 3000);
    ASSERT_TRUE(frame) << "no frame after the replug";
    // A frame is logged once its line time is over: the next one's start
    // tells that it is.
    ASSERT_TRUE(ReadFrame({0x36}, 15, 3000)) << "no second frame after the replug";

    sim_->Signal(SIGTERM);
    const auto summary = sim_->ReadLineStartingWith("summary ", 5000);
    ASSERT_TRUE(summary);
    EXPECT_EQ(sim_->WaitExit(5000), 0);
    EXPECT_FALSE(LinkExists(10));

    // The log tells the unplug and the replug apart; the frame read after
    // the replug was sent after it, counting on from the frames before.
    const auto lines = LogLines(log);
    const auto unplug = std::find(lines.begin(), lines.end(), "# unplugged: line hung up, COM10 removed");
    const auto replug = std::find(lines.begin(), lines.end(), "# replugged: COM10 " + slavePath_);
    ASSERT_NE(unplug, lines.end());
    ASSERT_NE(replug, lines.end());
    ASSERT_LT(unplug, replug);
    EXPECT_EQ(std::count_if(lines.begin(), unplug, [](const std::string& l) { return l.rfind("tx ", 0) == 0; }), 3);
    EXPECT_EQ(std::count_if(unplug, replug, [](const std::string& l) { return l.rfind("tx ", 0) == 0; }), 0);
    EXPECT_NE(std::find(replug, lines.end(), "tx " + kmsim::HexLine(*frame)), lines.end()) << kmsim::HexLine(*frame);
}

}  // namespace
