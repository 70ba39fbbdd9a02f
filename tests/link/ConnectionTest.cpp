#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>

#include "link/Connection.h"
#include "link/LinkState.h"
#include "link/PortOps.h"
#include "platform/PortNames.h"
#include "platform/SerialPort.h"
#include "platform/SystemError.h"
#include "protocols/Catalogue.h"
#include "tests/support/LinkHarness.h"
#include "ui/ConnectTexts.h"

namespace {

using namespace testing_support;

class Connection : public LinkHarness {};

// Sets the line's own speed as another program would have left it.
void PresetLine(const std::string& device, const char* mode) {
    auto port = platform::SerialPort::Open(device);
    ASSERT_TRUE(port);
    platform::LineSettings s;
    ASSERT_TRUE(platform::BuildLineSettings(mode, s));
    ASSERT_TRUE(port->ApplySettings(s));
}

TEST_F(Connection, AMissingPortSaysNoAccessWithItsNumber) {
    const auto outcome = linkcore::Connect(link, 3, protocols::kHaltenRs);
    EXPECT_FALSE(outcome.opened);
    EXPECT_EQ(ui::ConnectStateText(outcome, 3), "Нет доступа к COM3");
    // Nothing was opened, so the system gave no reason.
    EXPECT_EQ(outcome.error, platform::OpenError::NotFound);
    EXPECT_EQ(outcome.systemError, 0);
    EXPECT_EQ(outcome.systemReason, "");
    EXPECT_FALSE(link.portOpen.load());
    EXPECT_EQ(link.port.load(), nullptr);
}

TEST_F(Connection, SpeedAtConnectFollowsTheDecoder) {
    for (int decoder : {0, 1, 2, -1, 7}) {
        SCOPED_TRACE(decoder);
        const auto outcome = linkcore::Connect(link, 1, decoder);
        ASSERT_TRUE(outcome.opened);
        EXPECT_EQ(ui::ConnectStateText(outcome, 1), "Соединение установ.");
        EXPECT_EQ(outcome.device, peer->slavePath());
        const int expected = decoder == 2 ? 9600 : 1200;
        EXPECT_EQ(link.lineSpeed, expected);
        EXPECT_EQ(peer->SlaveSpeed(), expected);
        EXPECT_TRUE(link.portOpen.load());
    }
}

TEST_F(Connection, DisconnectAndCloseWriteTheSavedSettingsBack) {
    PresetLine(peer->slavePath(), "baud=4800 parity=N data=8 stop=1");
    ASSERT_TRUE(Connect(protocols::kHaltenRs));
    EXPECT_EQ(peer->SlaveSpeed(), 1200);
    linkcore::Disconnect(link);
    EXPECT_EQ(peer->SlaveSpeed(), 4800);
    EXPECT_FALSE(link.portOpen.load());

    ASSERT_TRUE(Connect(protocols::kKugooM));
    EXPECT_EQ(peer->SlaveSpeed(), 9600);
    linkcore::ReleaseSyncObjects(link);  // the dialog's end
    EXPECT_EQ(peer->SlaveSpeed(), 4800);
    ASSERT_TRUE(linkcore::CreateSyncObjects(link, &window));
}

TEST_F(Connection, ConnectOnAnOpenPortReopensIt) {
    ASSERT_TRUE(Connect(protocols::kHaltenRs));
    ASSERT_TRUE(Connect(protocols::kKugooM));
    EXPECT_EQ(peer->SlaveSpeed(), 9600);
    // A failed reopen leaves no port behind.
    const auto failed = linkcore::Connect(link, 4, protocols::kHaltenRs);
    EXPECT_FALSE(failed.opened);
    EXPECT_FALSE(link.portOpen.load());
    EXPECT_EQ(link.port.load(), nullptr);
}

TEST_F(Connection, APortHeldByAnotherProgramCannotBeOpened) {
    auto other = platform::SerialPort::Open(peer->slavePath());
    ASSERT_TRUE(other);
    const auto outcome = linkcore::Connect(link, 1, protocols::kHaltenRs);
    EXPECT_FALSE(outcome.opened);
    EXPECT_EQ(ui::ConnectStateText(outcome, 1), "Нет доступа к COM1");
    EXPECT_EQ(outcome.error, platform::OpenError::Busy);
    EXPECT_EQ(outcome.systemError, geteuid() == 0 ? EWOULDBLOCK : EBUSY);
    EXPECT_EQ(outcome.systemReason, platform::SystemErrorText(outcome.systemError));
    EXPECT_FALSE(outcome.systemReason.empty());
}

TEST_F(Connection, ALinkToADeviceThatHasGoneGivesTheSystemsReason) {
    ASSERT_TRUE(platform::RegisterPort(2, dir() + "/gone"));
    const auto outcome = linkcore::Connect(link, 2, protocols::kHaltenRs);
    EXPECT_FALSE(outcome.opened);
    EXPECT_EQ(ui::ConnectStateText(outcome, 2), "Нет доступа к COM2");
    EXPECT_EQ(outcome.error, platform::OpenError::NotFound);
    EXPECT_EQ(outcome.systemError, ENOENT);
    EXPECT_EQ(outcome.systemReason, "No such file or directory");
}

TEST_F(Connection, ASuccessfulOpenCarriesNoSystemError) {
    const auto outcome = linkcore::Connect(link, 1, protocols::kHaltenRs);
    ASSERT_TRUE(outcome.opened);
    EXPECT_EQ(outcome.error, platform::OpenError::None);
    EXPECT_EQ(outcome.systemError, 0);
    EXPECT_EQ(outcome.systemReason, "");
}

TEST_F(Connection, ARefusedRateKeepsThePortButLineSpeedTakesIt) {
    ASSERT_TRUE(Connect(protocols::kHaltenRs));
    linkcore::SetLineSpeed(link, "baud=57600 parity=N data=8 stop=1", 57600);
    EXPECT_EQ(peer->SlaveSpeed(), 57600);
    linkcore::SetLineSpeed(link, "baud=0 parity=N data=8 stop=1", 0);
    EXPECT_EQ(peer->SlaveSpeed(), 57600);
    EXPECT_EQ(link.lineSpeed, 0);
    linkcore::SetLineSpeed(link, "baud=4294967295 parity=N data=8 stop=1", -1);
    EXPECT_EQ(peer->SlaveSpeed(), 57600);
    EXPECT_EQ(link.lineSpeed, -1);
}

}  // namespace
