// Driver answers played through the system-call table: the port runs on a
// real pseudo-terminal, and the table answers in place of the driver where
// a row says how a device is documented to answer.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/Event.h"
#include "platform/LineSettings.h"
#include "platform/PseudoTerminal.h"
#include "platform/SerialPort.h"
#include "platform/SystemError.h"
#include "platform/posix/SystemCalls.h"
#include "tests/platform/TestSupport.h"
#include "tests/support/LineTimeChecks.h"
#include "tests/support/ReadAheadChecks.h"

namespace zonter_test {
namespace {

using platform::Event;
using platform::ReadOutcome;
using platform::posix::SystemCalls;
using platform::posix::SystemTable;

// How the scripted driver answers for the port's descriptor; 0 passes the
// call on to the system.
struct DriverScript {
    int fd = -1;
    short pollEvents = 0;  // added to what every poll of the port reports
    int readError = 0;     // every read fails with it
    bool readEndOfFile = false;
    int writeError = 0;
    int queueError = 0;  // FIONREAD and TIOCOUTQ fail with it
    bool emptyOutputQueue = false;
};

DriverScript script;
// The system's reads of the port's descriptor, and the bytes they gave.
std::atomic<int> portReads{0};
std::atomic<std::size_t> portBytesRead{0};

int ScriptedPoll(pollfd* fds, nfds_t count, int timeoutMs) {
    bool forPort = false;
    for (nfds_t i = 0; i < count; ++i) forPort = forPort || (fds[i].fd == script.fd && script.pollEvents != 0);
    if (!forPort) return SystemTable().poll(fds, count, timeoutMs);
    const int r = SystemTable().poll(fds, count, 0);
    if (r < 0) return r;
    int ready = 0;
    for (nfds_t i = 0; i < count; ++i) {
        if (fds[i].fd == script.fd) fds[i].revents |= script.pollEvents;
        if (fds[i].revents != 0) ++ready;
    }
    return ready;
}

ssize_t ScriptedRead(int fd, void* buf, std::size_t n) {
    if (fd == script.fd) ++portReads;
    if (fd == script.fd && script.readEndOfFile) return 0;
    if (fd == script.fd && script.readError != 0) {
        errno = script.readError;
        return -1;
    }
    const ssize_t k = SystemTable().read(fd, buf, n);
    if (fd == script.fd && k > 0) portBytesRead += static_cast<std::size_t>(k);
    return k;
}

ssize_t ScriptedWrite(int fd, const void* buf, std::size_t n) {
    if (fd == script.fd && script.writeError != 0) {
        errno = script.writeError;
        return -1;
    }
    return SystemTable().write(fd, buf, n);
}

int ScriptedIoctl(int fd, unsigned long request, void* arg) {
    const bool queueCount = request == FIONREAD || request == TIOCOUTQ;
    if (fd == script.fd && queueCount && script.queueError != 0) {
        errno = script.queueError;
        return -1;
    }
    if (fd == script.fd && request == TIOCOUTQ && script.emptyOutputQueue) {
        *static_cast<int*>(arg) = 0;
        return 0;
    }
    return SystemTable().ioctl(fd, request, arg);
}

SystemCalls ScriptedTable() {
    SystemCalls calls = SystemTable();
    calls.poll = ScriptedPoll;
    calls.read = ScriptedRead;
    calls.write = ScriptedWrite;
    calls.ioctl = ScriptedIoctl;
    return calls;
}

// The port on a pseudo-terminal, with the scripted driver in force.
class ScriptedDriverTest : public ::testing::Test {
protected:
    void SetUp() override { Reopen(); }
    void TearDown() override { script = {}; }

    // A fresh line, and the port opened on it, for the driver to answer.
    void Reopen() {
        port_.reset();
        peer_ = platform::PseudoTerminal::Open();
        ASSERT_TRUE(peer_);
        port_ = platform::SerialPort::Open(peer_->slavePath());
        ASSERT_TRUE(port_);
        script = {};
        script.fd = port_->handle();
        portReads = 0;
        portBytesRead = 0;
    }

    const SystemCalls table_ = ScriptedTable();
    platform::posix::ScopedSystemCalls scoped_{table_};
    std::unique_ptr<platform::PseudoTerminal> peer_;
    std::unique_ptr<platform::SerialPort> port_;
};

enum class Call { Read, Write, AwaitBytes, Drain };

struct GoneRow {
    const char* source;  // where the answer is documented
    Call call;
    DriverScript answer;
    int reason;  // the error number whose text GoneReason gives
};

// A call that meets a removed device or a hang-up ends at once with the
// line gone; from then on reads are Gone and writes fail without waiting.
TEST_F(ScriptedDriverTest, RemovalAndHangUpAnswersMakeTheLineGoneAtOnce) {
    const GoneRow rows[] = {
        {"read(2): EIO, an unplugged ttyUSB", Call::Read, {.pollEvents = POLLIN, .readError = EIO}, EIO},
        {"read(2): ENODEV, usb-serial port of a removed device",
         Call::Read,
         {.pollEvents = POLLIN, .readError = ENODEV},
         ENODEV},
        {"read(2): ENXIO, no device behind the node", Call::Read, {.pollEvents = POLLIN, .readError = ENXIO}, ENXIO},
        {"poll(2): POLLHUP, the line hung up", Call::Read, {.pollEvents = POLLHUP}, EIO},
        {"poll(2): POLLERR, an error condition", Call::Read, {.pollEvents = POLLERR}, EIO},
        {"pyserial serialposix.py: 'device reports readiness to read but returned no data "
         "(device disconnected or multiple access on port?)'",
         Call::Read,
         {.pollEvents = POLLIN, .readEndOfFile = true},
         EIO},
        {"write(2): EIO, an unplugged ttyUSB", Call::Write, {.writeError = EIO}, EIO},
        {"poll(2): POLLHUP to a write", Call::Write, {.pollEvents = POLLHUP}, EIO},
        {"tty_ioctl(4) FIONREAD: ENODEV, a removed device", Call::AwaitBytes, {.queueError = ENODEV}, ENODEV},
        {"tty_ioctl(4) TIOCOUTQ: EIO, a hung-up terminal", Call::Drain, {.queueError = EIO}, EIO},
    };
    for (const GoneRow& row : rows) {
        SCOPED_TRACE(row.source);
        Reopen();
        script = row.answer;
        script.fd = port_->handle();

        Event stop;
        std::array<std::uint8_t, 4> dest{};
        const auto start = Clock::now();
        switch (row.call) {
            case Call::Read:
                EXPECT_EQ(port_->ReadExact(dest.data(), dest.size(), 10000, &stop), ReadOutcome::Gone);
                break;
            case Call::Write:
                EXPECT_FALSE(port_->Write(dest.data(), dest.size(), &stop));
                break;
            case Call::AwaitBytes:
                EXPECT_EQ(port_->AwaitBytes(14, 10000, &stop), 0);
                break;
            case Call::Drain:
                port_->Drain(&stop);
                break;
        }
        EXPECT_TRUE(port_->Gone());
        EXPECT_EQ(port_->GoneReason(), platform::SystemErrorText(row.reason));

        // The driver answers normally again: the port no longer asks it.
        script = {};
        ASSERT_TRUE(peer_->WriteAll(dest));
        EXPECT_EQ(port_->ReadExact(dest.data(), dest.size(), 10000, &stop), ReadOutcome::Gone);
        EXPECT_FALSE(port_->Write(dest.data(), dest.size(), &stop));
        EXPECT_LT(MsSince(start), 2000);
    }
}

// An adapter that buffers (USB) completes a write once its chip holds the
// bytes and then reports an empty output queue (TIOCOUTQ 0, tty_ioctl(4)):
// the line still takes the bytes' line time from the write's start.
TEST_F(ScriptedDriverTest, AWriteTheDriverReportsSentAtOnceTakesItsLineTime) {
    script.emptyOutputQueue = true;
    testing_support::ExpectAFrameTakesItsLineTime(*port_);
}

// The peer's writes arrive at the pseudo-terminal's driver as they are
// written; the table counts what the port reads of them.
class PeerLine : public testing_support::ScriptedLine {
public:
    explicit PeerLine(const std::unique_ptr<platform::PseudoTerminal>& peer,
                      const std::unique_ptr<platform::SerialPort>& port)
        : peer_(peer), port_(port) {}

    void Deliver(std::span<const std::uint8_t> bytes) override {
        const std::size_t before = Taken() + Queued();
        ASSERT_TRUE(peer_->WriteAll(bytes));
        EXPECT_TRUE(WaitUntil([&] { return Taken() + Queued() >= before + bytes.size(); }));
    }
    std::size_t Taken() override { return portBytesRead; }
    int Reads() override { return portReads; }

private:
    std::size_t Queued() const {
        int n = 0;
        SystemTable().ioctl(port_->handle(), FIONREAD, &n);
        return static_cast<std::size_t>(std::max(n, 0));
    }
    const std::unique_ptr<platform::PseudoTerminal>& peer_;
    const std::unique_ptr<platform::SerialPort>& port_;
};

TEST_F(ScriptedDriverTest, ReadsAreServedFromTheReadAheadWhateverTheDelivery) {
    PeerLine line(peer_, port_);
    testing_support::ExpectTheReadAheadServesEveryDelivery([&] {
        Reopen();
        return testing_support::ScriptedPort{port_.get(), &line};
    });
}

TEST_F(ScriptedDriverTest, ARefusedSettingsChangeKeepsTheSystemsErrorNumber) {
    platform::LineSettings zero;
    ASSERT_TRUE(platform::BuildLineSettings("baud=9600 parity=N data=8 stop=1", zero));
    zero.baud = 0;
    EXPECT_FALSE(port_->ApplySettings(zero));
    EXPECT_EQ(port_->SettingsError(), EINVAL);
    platform::LineSettings good;
    ASSERT_TRUE(platform::BuildLineSettings("baud=9600 parity=N data=8 stop=1", good));
    EXPECT_TRUE(port_->ApplySettings(good));
    EXPECT_EQ(port_->SettingsError(), 0);
}

}  // namespace
}  // namespace zonter_test
