// The Windows serial port against a real line: a pseudo-terminal outside
// Wine that the private prefix knows as a COM port, with line_peer.py
// playing the controller.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "link/Connection.h"
#include "link/LinkState.h"
#include "platform/Event.h"
#include "platform/LineSettings.h"
#include "platform/SerialPort.h"
#include "platform/SystemError.h"
#include "protocols/Catalogue.h"
#include "tests/win32/LinePeer.h"
#include "ui/ConnectTexts.h"

namespace zonter_test {
namespace {

using platform::Event;
using platform::OpenError;
using platform::OpenFailure;
using platform::ReadOutcome;
using platform::SerialPort;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr std::uint8_t kUntouched = 0xEE;

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

platform::LineSettings Mode(const std::string& text) {
    platform::LineSettings s;
    EXPECT_TRUE(platform::BuildLineSettings(text, s)) << text;
    return s;
}

// Every case starts on a live, empty line with the port open.
class SerialLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        LinePeer::Fresh();
        OpenFailure failure;
        port_ = SerialPort::Open(LinePeer::PortPath(), &failure);
        ASSERT_TRUE(port_) << "kind " << static_cast<int>(failure.kind) << ", error " << failure.systemError;
    }

    // A read of n bytes into a buffer that shows which bytes it wrote.
    ReadOutcome Read(Bytes& into, std::size_t n, int boundMs, const Event* stop = nullptr) {
        into.assign(n, kUntouched);
        return port_->ReadExact(into.data(), n, boundMs, stop);
    }

    std::unique_ptr<SerialPort> port_;
};

TEST_F(SerialLineTest, ReadCompletesWhenItsBytesHaveCome) {
    const struct {
        const char* name;
        std::vector<std::pair<int, Bytes>> pieces;  // delay in ms, bytes
    } cases[] = {
        {"already there", {{0, {0x01, 0x02, 0x03, 0x04, 0x05}}}},
        {"while the read waits", {{150, {0x11, 0x12, 0x13, 0x14, 0x15}}}},
        {"in pieces", {{50, {0x21}}, {150, {0x22, 0x23}}, {300, {0x24, 0x25}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes expected;
        for (const auto& [delay, bytes] : c.pieces) {
            expected.insert(expected.end(), bytes.begin(), bytes.end());
            if (delay == 0) {
                LinePeer::Send(bytes);
            } else {
                LinePeer::SendLater(delay, bytes);
            }
        }
        if (c.pieces.front().first == 0) {
            ASSERT_TRUE(LinePeer::WaitPending(static_cast<int>(expected.size())));
        }
        Bytes got;
        const auto start = Clock::now();
        EXPECT_EQ(Read(got, expected.size(), 10000), ReadOutcome::Completed);
        EXPECT_LT(MsSince(start), 5000);
        EXPECT_EQ(got, expected);
        LinePeer::Fresh();
    }
}

TEST_F(SerialLineTest, BytesBeyondTheCountStayForTheNextRead) {
    LinePeer::Send({1, 2, 3, 4, 5, 6, 7, 8});
    ASSERT_TRUE(LinePeer::WaitPending(8));
    Bytes got;
    ASSERT_EQ(Read(got, 5, 3000), ReadOutcome::Completed);
    EXPECT_EQ(got, (Bytes{1, 2, 3, 4, 5}));
    // In the port's read-ahead or still in the line.
    EXPECT_EQ(LinePeer::Pending() + static_cast<int>(port_->ReadAhead()), 3);
    ASSERT_EQ(Read(got, 3, 3000), ReadOutcome::Completed);
    EXPECT_EQ(got, (Bytes{6, 7, 8}));
}

TEST_F(SerialLineTest, ReadTimesOutAfterItsBound) {
    for (int bound : {0, 200, 700}) {
        SCOPED_TRACE(bound);
        Bytes got;
        const auto start = Clock::now();
        EXPECT_EQ(Read(got, 4, bound), ReadOutcome::TimedOut);
        const long long took = MsSince(start);
        EXPECT_GE(took, bound - 20);  // the system's timer may round a little
        EXPECT_LT(took, bound + 3000);
        EXPECT_EQ(got, Bytes(4, kUntouched));
    }
}

// What a timed-out read had taken counts as read; what comes after it is
// never written into its buffer, and waits for the next read.
TEST_F(SerialLineTest, TimedOutReadKeepsWhatItTookAndWritesNothingLater) {
    LinePeer::Send({0xA1, 0xA2});
    ASSERT_TRUE(LinePeer::WaitPending(2));
    Bytes got;
    ASSERT_EQ(Read(got, 5, 300), ReadOutcome::TimedOut);
    EXPECT_EQ(got, (Bytes{0xA1, 0xA2, kUntouched, kUntouched, kUntouched}));

    LinePeer::Send({0xB1, 0xB2, 0xB3});
    // Nothing takes these bytes any more: they stay in the line.
    ASSERT_TRUE(LinePeer::WaitPending(3));
    EXPECT_EQ(got, (Bytes{0xA1, 0xA2, kUntouched, kUntouched, kUntouched}));

    Bytes next;
    ASSERT_EQ(Read(next, 3, 3000), ReadOutcome::Completed);
    EXPECT_EQ(next, (Bytes{0xB1, 0xB2, 0xB3}));
}

// A read on a worker thread, seen to be under way: a first byte waits in
// the line before the read starts, and the read has taken it once the line
// is empty again; it then waits for the rest.
class ReadUnderWay {
public:
    static constexpr std::uint8_t kFirst = 0x5A;

    ReadUnderWay(SerialPort& port, std::size_t n, int boundMs, const Event* stop) : got_(n, kUntouched) {
        LinePeer::Send({kFirst});
        if (!LinePeer::WaitPending(1)) return;
        thread_ = std::thread([this, &port, boundMs, stop] {
            outcome_ = port.ReadExact(got_.data(), got_.size(), boundMs, stop);
            returned_ = Clock::now();
            done_ = true;
        });
    }
    ~ReadUnderWay() { Join(); }

    bool Started() { return thread_.joinable() && LinePeer::WaitPending(0) && !done_; }
    void Join() {
        if (thread_.joinable()) thread_.join();
    }
    ReadOutcome outcome() const { return outcome_; }
    const Bytes& got() const { return got_; }
    Clock::time_point returned() const { return returned_; }

private:
    Bytes got_;
    std::atomic<ReadOutcome> outcome_{ReadOutcome::Completed};
    std::atomic<bool> done_{false};
    Clock::time_point returned_;
    std::thread thread_;
};

TEST_F(SerialLineTest, StopWakesABlockedReadAtOnce) {
    Event stop;
    ASSERT_TRUE(stop.Valid());
    ReadUnderWay read(*port_, 3, 30000, &stop);
    ASSERT_TRUE(read.Started());
    const auto stopped = Clock::now();
    stop.Set();
    read.Join();
    EXPECT_EQ(read.outcome(), ReadOutcome::Stopped);
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(read.returned() - stopped).count(), 2000);
    // The byte it took counts as read.
    EXPECT_EQ(read.got(), (Bytes{ReadUnderWay::kFirst, kUntouched, kUntouched}));

    // The cancelled read takes nothing that comes later.
    LinePeer::Send({0xC1, 0xC2, 0xC3});
    ASSERT_TRUE(LinePeer::WaitPending(3));
    EXPECT_EQ(read.got(), (Bytes{ReadUnderWay::kFirst, kUntouched, kUntouched}));

    // A stop already set ends a read before it starts; a reset one no longer does.
    Bytes again;
    EXPECT_EQ(Read(again, 3, 30000, &stop), ReadOutcome::Stopped);
    stop.Reset();
    EXPECT_EQ(Read(again, 3, 3000, &stop), ReadOutcome::Completed);
    EXPECT_EQ(again, (Bytes{0xC1, 0xC2, 0xC3}));
}

TEST_F(SerialLineTest, PurgeDiscardsWhatWaits) {
    LinePeer::Send({0xD1, 0xD2, 0xD3, 0xD4});
    ASSERT_TRUE(LinePeer::WaitPending(4));
    port_->Purge();
    EXPECT_EQ(LinePeer::Pending(), 0);
    Bytes got;
    EXPECT_EQ(Read(got, 1, 200), ReadOutcome::TimedOut);

    // The line still works after it.
    LinePeer::Send({0xD5});
    EXPECT_EQ(Read(got, 1, 3000), ReadOutcome::Completed);
    EXPECT_EQ(got, Bytes{0xD5});
}

// The owner purges while a worker's read waits: the read goes on and
// completes with the bytes that come after the purge.
TEST_F(SerialLineTest, PurgeUnderAWaitingReadLetsItComplete) {
    ReadUnderWay read(*port_, 3, 10000, nullptr);
    ASSERT_TRUE(read.Started());
    port_->Purge();
    LinePeer::Send({0xE2, 0xE3});
    read.Join();
    EXPECT_EQ(read.outcome(), ReadOutcome::Completed);
    EXPECT_EQ(read.got(), (Bytes{ReadUnderWay::kFirst, 0xE2, 0xE3}));
}

TEST_F(SerialLineTest, WrittenBytesReachTheController) {
    Event stop;
    const Bytes frame{0x01, 0x03, 0x00, 0x10, 0xFF, 0x7E};
    ASSERT_TRUE(port_->Write(frame.data(), frame.size(), &stop));
    port_->Drain(&stop);
    EXPECT_EQ(LinePeer::Receive(frame.size()), frame);

    // A stop already set sends nothing.
    stop.Set();
    EXPECT_FALSE(port_->Write(frame.data(), frame.size(), &stop));
    EXPECT_TRUE(LinePeer::Receive(1, 200).empty());
}

// Nobody reads the controller's side: the line stops taking bytes. A stop
// ends the write at once; without one it ends as a failed line once the
// line has taken nothing for a full driver buffer's time plus 2 s.
TEST_F(SerialLineTest, AWriteTheLineStopsTakingEndsOnStopOrAfterItsBound) {
    ASSERT_TRUE(port_->ApplySettings(Mode("baud=115200 parity=N data=8 stop=1")));  // a buffer's time: ~360 ms
    const Bytes flood(1 << 20, 0x5A);

    Event stop;
    std::atomic<bool> written{true};
    std::thread writer([&] { written = port_->Write(flood.data(), flood.size(), &stop); });
    // Under way: the peer holds bytes it has not read (its side keeps at
    // most 4 KiB), and far more is still to go.
    EXPECT_TRUE(LinePeer::WaitUnread(2048)) << LinePeer::Unread() << " unread";
    stop.Set();
    const auto stopped = Clock::now();
    writer.join();
    EXPECT_FALSE(written.load());
    EXPECT_LT(MsSince(stopped), 2000);

    LinePeer::Fresh();
    const auto start = Clock::now();
    EXPECT_FALSE(port_->Write(flood.data(), flood.size(), nullptr));
    EXPECT_GE(MsSince(start), 2000);
    // The line may take a little now and then while it fills, which starts
    // the bound again; it ends all the same.
    EXPECT_LT(MsSince(start), 60000);
}

// A pseudo-terminal keeps 8 data bits and no parity whatever is asked, so
// the line shows the rate and the stop bits; the port's own record shows
// the whole frame where the line keeps it.
TEST_F(SerialLineTest, TheLineTakesTheRateAndFrameSet) {
    const struct {
        const char* mode;
        const char* line;
    } cases[] = {
        {"baud=1200 parity=N data=8 stop=1", "1200 8N1"},     {"baud=9600 parity=N data=8 stop=2", "9600 8N2"},
        {"baud=115200 parity=N data=8 stop=1", "115200 8N1"}, {"baud=4800 parity=E data=7 stop=2", "4800 8N2"},
        {"baud=57600 parity=O data=8 stop=1", "57600 8N1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        const platform::LineSettings s = Mode(c.mode);
        ASSERT_TRUE(port_->ApplySettings(s));
        EXPECT_EQ(LinePeer::Line(), c.line);
        EXPECT_EQ(port_->CurrentSpeed(), s.baud);
        platform::LineSettings read;
        ASSERT_TRUE(port_->ReadSettings(read));
        EXPECT_TRUE(read.fromPort);
        EXPECT_EQ(read.baud, s.baud);
        EXPECT_EQ(read.stopBits, s.stopBits);
    }
}

TEST_F(SerialLineTest, ARateThePortCannotTakeChangesNothing) {
    ASSERT_TRUE(port_->ApplySettings(Mode("baud=9600 parity=N data=8 stop=1")));
    for (const char* mode : {"baud=0", "baud=-9600", "baud=4000001"}) {
        SCOPED_TRACE(mode);
        platform::LineSettings s = Mode("baud=19200 parity=N data=8 stop=2");
        ASSERT_TRUE(platform::BuildLineSettings(mode, s));
        EXPECT_FALSE(port_->ApplySettings(s));
        EXPECT_EQ(LinePeer::Line(), "9600 8N1");
    }
}

// Open makes the line raw 8N1 at the rate it had; the settings read at
// open put back what another program had left.
TEST_F(SerialLineTest, SettingsAtOpenRestoreTheLineAsItWas) {
    port_.reset();
    LinePeer::Ask("preset 2400 8N2");
    OpenFailure failure;
    port_ = SerialPort::Open(LinePeer::PortPath(), &failure);
    ASSERT_TRUE(port_) << "kind " << static_cast<int>(failure.kind) << ", error " << failure.systemError;
    EXPECT_EQ(LinePeer::Line(), "2400 8N1");
    EXPECT_TRUE(port_->SettingsAtOpen().fromPort);
    EXPECT_EQ(port_->SettingsAtOpen().baud, 2400);
    EXPECT_EQ(port_->SettingsAtOpen().stopBits, 2);

    ASSERT_TRUE(port_->ApplySettings(Mode("baud=19200 parity=N data=8 stop=1")));
    EXPECT_EQ(LinePeer::Line(), "19200 8N1");
    platform::LineSettings working;
    ASSERT_TRUE(port_->ReadSettings(working));

    ASSERT_TRUE(port_->ApplySettings(port_->SettingsAtOpen()));
    EXPECT_EQ(LinePeer::Line(), "2400 8N2");
    // And the record of the working state brings that back exactly,
    // reads that wait for their count included.
    ASSERT_TRUE(port_->ApplySettings(working));
    EXPECT_EQ(LinePeer::Line(), "19200 8N1");
    Bytes got(2, kUntouched);
    LinePeer::SendLater(100, {0x31});
    LinePeer::SendLater(250, {0x32});
    EXPECT_EQ(port_->ReadExact(got.data(), 2, 5000, nullptr), ReadOutcome::Completed);
    EXPECT_EQ(got, (Bytes{0x31, 0x32}));
}

// Connect on Windows: COMn opens at the speed the decoder asks for, and
// Disconnect gives the line back as another program had left it.
TEST(SerialLinkTest, ConnectTakesTheDecodersSpeedAndDisconnectPutsTheLineBack) {
    const int number = std::stoi(LinePeer::PortName().substr(3));
    for (int decoder = 0; decoder < protocols::kProtocolCount; ++decoder) {
        const protocols::ProtocolInfo& protocol = protocols::Protocol(decoder);
        SCOPED_TRACE(decoder);
        LinePeer::Fresh();
        LinePeer::Ask("preset 2400 8N2");
        linkcore::LinkState s;
        ASSERT_TRUE(linkcore::CreateSyncObjects(s, nullptr));
        const linkcore::ConnectOutcome outcome = linkcore::Connect(s, number, decoder);
        EXPECT_TRUE(outcome.opened);
        EXPECT_EQ(outcome.device, LinePeer::PortPath());
        EXPECT_EQ(outcome.systemError, 0);
        // A decoder that leaves the speed alone keeps the line's.
        const unsigned speed = protocol.connect.speed ? protocol.connect.speed : 2400;
        EXPECT_EQ(LinePeer::Line(), std::to_string(speed) + " 8N1");
        linkcore::Disconnect(s);
        EXPECT_EQ(LinePeer::Line(), "2400 8N2");
        linkcore::ReleaseSyncObjects(s);
    }
}

TEST(SerialLinkTest, ConnectToAnAbsentPortSaysWhy) {
    linkcore::LinkState s;
    ASSERT_TRUE(linkcore::CreateSyncObjects(s, nullptr));
    const linkcore::ConnectOutcome outcome = linkcore::Connect(s, 233, 0);
    EXPECT_FALSE(outcome.opened);
    EXPECT_EQ(ui::ConnectStateText(outcome, 233), "Нет доступа к COM233");
    EXPECT_EQ(outcome.error, OpenError::NotFound);
    EXPECT_NE(outcome.systemError, 0);
    EXPECT_EQ(outcome.systemReason, platform::SystemErrorText(outcome.systemError));
    linkcore::ReleaseSyncObjects(s);
}

// A pulled adapter: the line is gone at once, with the system's reason,
// and every later read says so without waiting.
TEST_F(SerialLineTest, AnUnpluggedLineIsGoneAtOnce) {
    LinePeer::Unplug();
    Event stop;
    Bytes got(5, kUntouched);
    const auto start = Clock::now();
    EXPECT_EQ(Read(got, 5, 5000, &stop), ReadOutcome::Gone);
    EXPECT_EQ(Read(got, 5, 5000, &stop), ReadOutcome::Gone);
    EXPECT_LT(MsSince(start), 2500);
    EXPECT_TRUE(port_->Gone());
    EXPECT_FALSE(port_->GoneReason().empty());

    // Plugged in again, the port opens and reads as before.
    port_.reset();
    LinePeer::Fresh();
    port_ = SerialPort::Open(LinePeer::PortPath());
    ASSERT_TRUE(port_);
    LinePeer::Send({0x42});
    EXPECT_EQ(Read(got, 1, 3000), ReadOutcome::Completed);
    EXPECT_EQ(got, Bytes{0x42});
}

}  // namespace
}  // namespace zonter_test
