#include <filesystem>

#include "protocols/Checksum.h"
#include "tests/support/ControllerFrames.h"
#include "tests/ui/DialogHarness.h"

namespace {

using namespace testing_ui;
using linkcore::Link;
using testing_support::HaltenLineFrame;
using testing_support::KugooLineFrame;

class Run : public DialogHarness {
protected:
    void Send(const std::vector<std::uint8_t>& bytes) { ASSERT_TRUE(peer->Write(bytes)); }
};

TEST_F(Run, ContinuousHaltenReadWithDisplaySimulation) {
    Connect(1);
    Tick(IDC_SIMULATE, true);
    Click(IDC_READ_AUTO);
    EXPECT_EQ(Text(IDC_TEMPLATE).size(), 41u);

    // The display frames count from 01 and check out.
    const auto first = Receive(15);
    ASSERT_EQ(first.size(), 15u);
    EXPECT_EQ(first[2], 0x01);
    EXPECT_EQ(protocols::XorOf(first), 0);

    std::vector<std::uint8_t> plain(15, 0);
    plain[7] = 0x01;
    plain[8] = 0x2C;
    plain[10] = 42;
    for (int i = 0; i < 10; ++i) Send(HaltenLineFrame(plain, static_cast<std::uint8_t>(0x10 + i)));
    ASSERT_TRUE(PumpUntil([&] { return Text(IDC_COUNTER) == "10"; }));
    EXPECT_EQ(Text(IDC_VT), "300");
    EXPECT_EQ(Text(IDC_P), "42");
    EXPECT_EQ(Text(IDC_DECODED).size(), 14u * 3);
    ASSERT_TRUE(PumpUntil([&] { return Text(IDC_OUT).size() == 15 * 3; }));

    // The line falls silent: "Time Out" shows.
    ASSERT_TRUE(PumpUntil([&] { return Text(IDC_COUNTER) == "Time Out"; }));
}

TEST_F(Run, ContinuousKugooReadCountsInTens) {
    Connect(2);
    EXPECT_EQ(peer->Speed(), 9600);
    Click(IDC_READ_AUTO);
    for (int i = 0; i < 20; ++i) Send(KugooLineFrame(7, static_cast<std::uint16_t>(1000 + i)));
    ASSERT_TRUE(PumpUntil([&] { return Text(IDC_COUNTER) == "20"; }));
    EXPECT_EQ(Text(IDC_VT), "1019");
    EXPECT_EQ(Text(IDC_P), "7");
}

TEST_F(Run, SingleReadWithTheTestDecoderKeepsTheTickAndSendsNothing) {
    Connect(0);
    Tick(IDC_SIMULATE, true);
    Click(IDC_READ_ONCE);
    Send(std::vector<std::uint8_t>(15, 0x5A));
    ASSERT_TRUE(PumpUntil([&] { return Text(IDC_COUNTER) == "1"; }));
    EXPECT_TRUE(Checked(IDC_SIMULATE));
    EXPECT_FALSE(WorkerRunning(WorkerKind::Simulator));
    EXPECT_EQ(Receive(1, 300), std::vector<std::uint8_t>{});
    // Continuous read and capture with the test decoder stop and start nothing.
    Click(IDC_READ_AUTO);
    EXPECT_FALSE(WorkerRunning(WorkerKind::AutoRead));
    Click(IDC_CAPTURE);
    EXPECT_FALSE(WorkerRunning(WorkerKind::Capture));
    EXPECT_TRUE(Enabled(IDC_CAPTURE));
}

TEST_F(Run, ATemplateOfThirtyCharactersIsTakenAsTyped) {
    Connect(1);
    const std::string typed = "01 03 7F 00 00 00 00 11 00 80 02 00 00 00";
    SetText(IDC_TEMPLATE, typed);
    Tick(IDC_SIMULATE, true);
    Click(IDC_READ_ONCE);
    const auto frame = Receive(15);
    ASSERT_EQ(frame.size(), 15u);
    EXPECT_EQ(frame[2], 0x80);  // counter 7F steps to 80
    EXPECT_EQ(frame[7], 0x11);
    EXPECT_EQ(Text(IDC_TEMPLATE), typed);
}

TEST_F(Run, CaptureFromTheWindow) {
    const auto oldDir = std::filesystem::current_path();
    std::filesystem::current_path(dir());
    Connect(1);
    Click(IDC_CAPTURE);
    EXPECT_FALSE(Enabled(IDC_CAPTURE));
    std::vector<std::uint8_t> all;
    for (int k = 0; k < 600; ++k) {
        std::vector<std::uint8_t> plain(15, 0);
        plain[1] = k % 4 == 0 ? 0x00 : 0x05;
        const auto f = HaltenLineFrame(plain, static_cast<std::uint8_t>(k % 50));
        all.insert(all.end(), f.begin(), f.end());
    }
    Send(all);
    const bool done = PumpUntil([&] { return Text(IDC_COUNTER) == "300/600 пак. зап."; }, 20000);
    std::filesystem::current_path(oldDir);
    ASSERT_TRUE(done);
    EXPECT_TRUE(Enabled(IDC_CAPTURE));
    EXPECT_EQ(Text(IDC_RAW_IN).substr(0, 3), "36 ");
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir())) files += e.path().extension() == ".txt";
    EXPECT_EQ(files, 1);
}

TEST_F(Run, ACaptureThatTimesOutOffersTheButtonAgain) {
    Connect(1);
    Click(IDC_CAPTURE);
    ASSERT_TRUE(PumpUntil([&] { return Text(IDC_COUNTER) == "Time Out"; }));
    EXPECT_TRUE(Enabled(IDC_CAPTURE));
    // Kugoo M records nothing, and the button comes back as well.
    SelectDecoder(2);
    Click(IDC_CAPTURE);
    ASSERT_TRUE(PumpUntil([&] { return Enabled(IDC_CAPTURE); }));
    EXPECT_EQ(peer->Speed(), 9600);
}

TEST_F(Run, DisconnectStopsEverythingAndConnectRecovers) {
    Connect(1);
    Tick(IDC_SIMULATE, true);
    Click(IDC_READ_AUTO);
    ASSERT_EQ(Receive(15).size(), 15u);
    Click(IDC_DISCONNECT);
    EXPECT_EQ(platform::WorkerThread::LiveCount(), 0);
    Click(IDC_CONNECT);
    Click(IDC_READ_AUTO);
    Send(HaltenLineFrame({}, 1));
    ASSERT_EQ(Receive(15).size(), 15u);
}

}  // namespace
