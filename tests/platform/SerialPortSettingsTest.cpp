#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Event.h"
#include "platform/LineSettings.h"
#include "tests/platform/PortFixture.h"

namespace zonter_test {
namespace {

using platform::BuildLineSettings;
using platform::LineSettings;

class SerialPortSettingsTest : public PortFixture {
protected:
    bool ApplyMode(const std::string& mode) {
        LineSettings s;
        if (!BuildLineSettings(mode, s)) return false;
        return port_->ApplySettings(s);
    }

    std::string Mode(long long rate) { return "baud=" + std::to_string(rate) + " parity=N data=8 stop=1"; }
};

TEST_F(SerialPortSettingsTest, ModeStringRatesReadBackOnBothSides) {
    for (long long rate : {1200LL, 9600LL, 115200LL, 12345LL, 600LL, 4000000LL}) {
        SCOPED_TRACE(rate);
        ASSERT_TRUE(ApplyMode(Mode(rate)));
        EXPECT_EQ(port_->CurrentSpeed(), rate);
        EXPECT_EQ(peer_->SlaveSpeed(), rate);
        LineSettings read;
        ASSERT_TRUE(port_->ReadSettings(read));
        EXPECT_TRUE(read.fromPort);
        EXPECT_EQ(read.baud, rate);
        EXPECT_EQ(read.parity, 'N');
        EXPECT_EQ(read.dataBits, 8);
        EXPECT_EQ(read.stopBits, 1);
    }
}

TEST_F(SerialPortSettingsTest, RatesThePortCannotTakeLeaveEverySettingAlone) {
    ASSERT_TRUE(ApplyMode(Mode(9600)));
    LineSettings before;
    ASSERT_TRUE(port_->ReadSettings(before));

    for (const char* mode :
         {"baud=0 parity=N data=8 stop=1", "baud=-1200 parity=N data=8 stop=1", "baud=4000001 parity=N data=8 stop=1",
          "baud=4294967295 parity=N data=8 stop=1", "parity=N data=8 stop=1"}) {
        SCOPED_TRACE(mode);
        EXPECT_FALSE(ApplyMode(mode));
        EXPECT_EQ(port_->CurrentSpeed(), 9600);
        EXPECT_EQ(peer_->SlaveSpeed(), 9600);
        LineSettings after;
        ASSERT_TRUE(port_->ReadSettings(after));
        EXPECT_EQ(after.snapshot, before.snapshot);
    }
}

TEST_F(SerialPortSettingsTest, FrameTermiosCannotExpressIsRefused) {
    ASSERT_TRUE(ApplyMode(Mode(1200)));
    LineSettings odd;
    odd.baud = 9600;
    odd.dataBits = 9;
    EXPECT_FALSE(port_->ApplySettings(odd));
    odd.dataBits = 8;
    odd.parity = 'X';
    EXPECT_FALSE(port_->ApplySettings(odd));
    EXPECT_EQ(port_->CurrentSpeed(), 1200);
}

TEST_F(SerialPortSettingsTest, SnapshotRestoresTheEarlierState) {
    ASSERT_TRUE(ApplyMode(Mode(1200)));
    LineSettings saved;
    ASSERT_TRUE(port_->ReadSettings(saved));
    EXPECT_EQ(saved.baud, 1200);

    ASSERT_TRUE(ApplyMode(Mode(57600)));
    ASSERT_EQ(port_->CurrentSpeed(), 57600);
    ASSERT_TRUE(port_->ApplySettings(saved));
    EXPECT_EQ(port_->CurrentSpeed(), 1200);
    EXPECT_EQ(peer_->SlaveSpeed(), 1200);
    LineSettings now;
    ASSERT_TRUE(port_->ReadSettings(now));
    EXPECT_EQ(now.snapshot, saved.snapshot);
}

TEST_F(SerialPortSettingsTest, WriteAndDrainDeliverTheBytes) {
    ASSERT_TRUE(ApplyMode(Mode(1200)));
    const std::array<std::uint8_t, 15> frame{0x36, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 0x55};
    platform::Event stop;
    ASSERT_TRUE(port_->Write(frame.data(), frame.size(), &stop));
    port_->Drain(&stop);
    std::array<std::uint8_t, 15> got{};
    ASSERT_EQ(peer_->ReadExactly(got.data(), got.size(), 2000), got.size());
    EXPECT_EQ(got, frame);
}

TEST_F(SerialPortSettingsTest, StopWakesAWriteTheLineCannotTake) {
    // Nobody reads the master, so the pseudo-terminal's buffers fill up.
    const std::vector<std::uint8_t> flood(4 << 20, 0x5A);
    platform::Event stop;
    bool written = true;
    Background writer([&] { written = port_->Write(flood.data(), flood.size(), &stop); });
    ASSERT_TRUE(writer.WaitUntilBlocked());
    ASSERT_FALSE(writer.done());
    const auto start = Clock::now();
    stop.Set();
    writer.Join();
    EXPECT_FALSE(written);
    EXPECT_LT(MsSince(start), 1000);
}

// Even without a stop signal a write never waits for ever: a line that
// takes nothing for longer than a full buffer needs (plus 2 s) has failed.
TEST_F(SerialPortSettingsTest, AWriteTheLineStopsTakingEndsAfterItsBound) {
    ASSERT_TRUE(ApplyMode(Mode(4000000)));  // a full buffer's line time is ~10 ms
    const std::vector<std::uint8_t> flood(4 << 20, 0x5A);
    const auto start = Clock::now();
    EXPECT_FALSE(port_->Write(flood.data(), flood.size(), nullptr));
    EXPECT_GE(MsSince(start), 2000);
    EXPECT_LT(MsSince(start), 10000);
}

TEST_F(SerialPortSettingsTest, DrainReturnsAtOnceWhenStopped) {
    platform::Event stop;
    stop.Set();
    const auto start = Clock::now();
    port_->Drain(&stop);
    port_->Drain(nullptr);
    EXPECT_LT(MsSince(start), 1000);
}

TEST_F(SerialPortSettingsTest, PurgeDiscardsPendingInput) {
    ASSERT_TRUE(peer_->WriteAll(std::vector<std::uint8_t>(10, 0x11)));
    ASSERT_TRUE(WaitForPending(10));
    port_->Purge();
    EXPECT_EQ(Pending(), 0);
    std::uint8_t byte = 0;
    EXPECT_EQ(port_->ReadExact(&byte, 1, 100, nullptr), platform::ReadOutcome::TimedOut);

    ASSERT_TRUE(peer_->WriteAll(std::vector<std::uint8_t>{0x77}));
    EXPECT_EQ(port_->ReadExact(&byte, 1, 2000, nullptr), platform::ReadOutcome::Completed);
    EXPECT_EQ(byte, 0x77);
}

}  // namespace
}  // namespace zonter_test
