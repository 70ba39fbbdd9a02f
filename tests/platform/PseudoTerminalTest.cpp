#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "platform/Event.h"
#include "tests/platform/PortFixture.h"

namespace zonter_test {
namespace {

using platform::PseudoTerminal;

TEST(PseudoTerminalTest, WaitsForAPortThatIsNotOpenYetWithoutSpinning) {
    auto pty = PseudoTerminal::Open();
    ASSERT_TRUE(pty);
    EXPECT_GE(pty->masterFd(), 0);
    EXPECT_EQ(pty->slavePath().rfind("/dev/pts/", 0), 0u);
    EXPECT_GT(pty->SlaveSpeed(), 0);

    std::array<std::uint8_t, 4> buf{};
    const double cpuBefore = ProcessCpuMs();
    const auto start = Clock::now();
    EXPECT_EQ(pty->ReadSome(buf.data(), buf.size(), 200), 0u);
    EXPECT_GE(MsSince(start), 200);
    EXPECT_LT(ProcessCpuMs() - cpuBefore, 50.0);
}

class PseudoTerminalPortTest : public PortFixture {};

TEST_F(PseudoTerminalPortTest, BytesSentBeforeThePortClosedCanStillBeRead) {
    const std::vector<std::uint8_t> frame{0x02, 0x0E, 0x01, 0x02};
    platform::Event stop;
    ASSERT_TRUE(port_->Write(frame.data(), frame.size(), &stop));
    port_->Drain(&stop);
    port_.reset();

    std::array<std::uint8_t, 4> got{};
    ASSERT_EQ(peer_->ReadExactly(got.data(), got.size(), 2000), got.size());
    EXPECT_TRUE(std::equal(got.begin(), got.end(), frame.begin()));
}

TEST_F(PseudoTerminalPortTest, WaitsThroughAClosedPortWithoutSpinning) {
    port_.reset();
    std::array<std::uint8_t, 4> buf{};
    const double cpuBefore = ProcessCpuMs();
    const auto start = Clock::now();
    EXPECT_EQ(peer_->ReadSome(buf.data(), buf.size(), 300), 0u);
    EXPECT_GE(MsSince(start), 300);
    EXPECT_LT(ProcessCpuMs() - cpuBefore, 50.0);

    // The port opened again is heard again.
    port_ = platform::SerialPort::Open(portPath_);
    ASSERT_TRUE(port_);
    const std::uint8_t byte = 0x36;
    ASSERT_TRUE(port_->Write(&byte, 1, nullptr));
    EXPECT_EQ(peer_->ReadSome(buf.data(), buf.size(), 2000), 1u);
    EXPECT_EQ(buf[0], 0x36);
}

TEST_F(PseudoTerminalPortTest, HangUpIsFinal) {
    peer_->HangUp();
    EXPECT_TRUE(peer_->hungUp());
    EXPECT_EQ(peer_->masterFd(), -1);
    EXPECT_EQ(peer_->SlaveSpeed(), -1);
    std::uint8_t byte = 0;
    EXPECT_EQ(peer_->ReadSome(&byte, 1, 50), 0u);
    EXPECT_FALSE(peer_->WriteAll(std::vector<std::uint8_t>{1}));
}

}  // namespace
}  // namespace zonter_test
