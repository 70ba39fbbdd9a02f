// Edits the opaque termios image directly, so it uses the kernel's
// termios2 like the port code does (and, like it, not <termios.h>).
#include <asm/termbits.h>
#include <gtest/gtest.h>

#include <cstring>

#include "tests/platform/PortFixture.h"

namespace zonter_test {
namespace {

using SerialPortSnapshotTest = PortFixture;

termios2 ImageOf(const platform::LineSettings& s) {
    termios2 t;
    std::memcpy(&t, s.snapshot.data(), sizeof t);
    return t;
}

void Store(platform::LineSettings& s, const termios2& t) { std::memcpy(s.snapshot.data(), &t, sizeof t); }

TEST_F(SerialPortSnapshotTest, SnapshotThatWouldHangUpTheLineIsRefused) {
    platform::LineSettings s;
    ASSERT_TRUE(BuildLineSettings("baud=2400 parity=N data=8 stop=1", s));
    ASSERT_TRUE(port_->ApplySettings(s));
    platform::LineSettings snap;
    ASSERT_TRUE(port_->ReadSettings(snap));

    termios2 t = ImageOf(snap);
    t.c_cflag = (t.c_cflag & ~static_cast<tcflag_t>(CBAUD)) | B0;
    Store(snap, t);
    EXPECT_FALSE(port_->ApplySettings(snap));

    t.c_cflag = (t.c_cflag & ~static_cast<tcflag_t>(CBAUD)) | BOTHER;
    t.c_ospeed = 0;
    Store(snap, t);
    EXPECT_FALSE(port_->ApplySettings(snap));

    EXPECT_EQ(port_->CurrentSpeed(), 2400);
}

TEST_F(SerialPortSnapshotTest, ModeStringRateGoesThroughTheSpeedFields) {
    platform::LineSettings s;
    ASSERT_TRUE(BuildLineSettings("baud=12345 parity=N data=8 stop=1", s));
    ASSERT_TRUE(port_->ApplySettings(s));
    platform::LineSettings snap;
    ASSERT_TRUE(port_->ReadSettings(snap));
    const termios2 t = ImageOf(snap);
    EXPECT_EQ(t.c_cflag & CBAUD, static_cast<tcflag_t>(BOTHER));
    EXPECT_EQ(t.c_ospeed, 12345u);
    EXPECT_EQ(t.c_ispeed, 12345u);
    EXPECT_EQ(t.c_cflag & (CRTSCTS | CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u);
    EXPECT_EQ(t.c_cc[VMIN], 1);
    EXPECT_EQ(t.c_cc[VTIME], 0);
}

}  // namespace
}  // namespace zonter_test
