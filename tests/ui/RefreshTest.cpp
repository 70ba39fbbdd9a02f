#include "link/RefreshCodes.h"
#include "protocols/HaltenRs.h"
#include "tests/ui/DialogHarness.h"

namespace {

using namespace testing_ui;
using linkcore::Link;

class Refresh : public DialogHarness {
protected:
    void SetRx(std::vector<std::uint8_t> rx, std::vector<std::uint8_t> raw = {}) {
        rx.resize(15);
        raw.resize(15);
        std::copy(rx.begin(), rx.end(), Link().rxFrame.begin());
        std::copy(raw.begin(), raw.end(), Link().rawRxFrame.begin());
    }
    void ShowRx() { dlg->OnSysCommand(CMD_SHOW_RX_FRAME, 0); }
    void ShowOut() { dlg->OnSysCommand(CMD_SHOW_OUT_FRAME, 0); }
};

std::vector<std::uint8_t> Sequence(std::uint8_t first, int n) {
    std::vector<std::uint8_t> v(n);
    for (int i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(first + i);
    return v;
}

TEST_F(Refresh, HaltenShowsRawDecodedAndMeasuredValues) {
    auto rx = Sequence(0x30, 15);
    rx[7] = 0x01;
    rx[8] = 0x02;
    rx[10] = 0x03;
    SetRx(rx, Sequence(0xA0, 15));
    ShowRx();
    EXPECT_EQ(Text(IDC_RAW_IN), "A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 AA AB AC AD AE ");
    EXPECT_EQ(Text(IDC_DECODED), "30 31 32 33 34 35 36 01 02 39 03 3B 3C 3D ");
    EXPECT_EQ(Text(IDC_VT), "258");
    EXPECT_EQ(Text(IDC_P), "3");
}

TEST_F(Refresh, KugooMovesThePreviousFrameDownALine) {
    // Switching from Halten RS: the last Halten raw text moves down first.
    SetRx({}, Sequence(0x10, 15));
    ShowRx();
    const std::string haltenRaw = Text(IDC_RAW_IN);
    SelectDecoder(2);
    auto a = Sequence(0x40, 14);
    a[7] = 0xFF;
    a[8] = 0x01;
    a[9] = 0x2C;
    SetRx(a);
    ShowRx();
    EXPECT_EQ(Text(IDC_DECODED), haltenRaw);
    const std::string aText = Text(IDC_RAW_IN);
    EXPECT_EQ(aText.size(), 14u * 3);
    EXPECT_EQ(Text(IDC_VT), "300");
    EXPECT_EQ(Text(IDC_P), "255");
    SetRx(Sequence(0x60, 14));
    ShowRx();
    EXPECT_EQ(Text(IDC_DECODED), aText);
    EXPECT_EQ(Text(IDC_RAW_IN).substr(0, 3), "60 ");
}

TEST_F(Refresh, TestDecoderEmptiesTheDecodedLineAndKeepsTheValues) {
    auto rx = Sequence(0, 15);
    rx[7] = 1;
    rx[8] = 2;
    rx[10] = 3;
    SetRx(rx, rx);
    ShowRx();
    SelectDecoder(0);
    SetRx(Sequence(0x70, 15));
    ShowRx();
    EXPECT_EQ(Text(IDC_RAW_IN).size(), 45u);
    EXPECT_EQ(Text(IDC_DECODED), "");
    EXPECT_EQ(Text(IDC_VT), "258");
    EXPECT_EQ(Text(IDC_P), "3");
}

TEST_F(Refresh, CounterLineFollowsTheLinkStatus) {
    const std::pair<int, const char*> cases[] = {
        {-1, ""}, {0, "Time Out"}, {1, "1"}, {5, "5"}, {300, "300/600 пак. зап."}, {599, "599"}};
    for (const auto& [status, text] : cases) {
        Link().linkStatus.store(status);
        ShowRx();
        EXPECT_EQ(Text(IDC_COUNTER), text) << status;
    }
    // Time-out and a finished capture offer the capture again; a count does not.
    const std::pair<int, bool> offers[] = {{0, true}, {300, true}, {5, false}};
    for (const auto& [status, enabled] : offers) {
        dlg->m_captureButton.EnableWindow(false);
        Link().linkStatus.store(status);
        ShowRx();
        EXPECT_EQ(Enabled(IDC_CAPTURE), enabled) << status;
    }
}

TEST_F(Refresh, OutputLineShowsAsManyBytesAsTheSelectedDecoderSends) {
    for (int i = 0; i < 20; ++i) Link().outFrame[i] = static_cast<std::uint8_t>(i);
    ShowOut();
    EXPECT_EQ(Text(IDC_OUT).size(), 15u * 3);
    SelectDecoder(2);
    ShowOut();
    EXPECT_EQ(Text(IDC_OUT), "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 ");
    SelectDecoder(0);
    ShowOut();
    EXPECT_EQ(Text(IDC_OUT), "");
}

TEST_F(Refresh, HeldLocksSkipTheirUpdate) {
    SelectDecoder(2);
    ShowOut();
    ASSERT_FALSE(Text(IDC_OUT).empty());
    ASSERT_TRUE(Link().outLock->Acquire(0));
    ShowOut();
    Link().outLock->Release();
    EXPECT_EQ(Text(IDC_OUT), "");

    Link().linkStatus.store(7);
    ShowRx();
    ASSERT_TRUE(Link().rxLock->Acquire(0));
    Link().linkStatus.store(8);
    ShowRx();
    Link().rxLock->Release();
    EXPECT_EQ(Text(IDC_COUNTER), "7");
}

TEST_F(Refresh, MenuCodesOutsideTheRefreshesAreDispatched) {
    // The line-speed item does nothing while no port is open.
    dlg->OnSysCommand(CMD_LINE_SPEED, 0);
    PumpQueued();
    EXPECT_EQ(Opened(), std::vector<std::string>{});
    // A code past the last command goes to the default handling: nothing opens.
    dlg->OnSysCommand(CMD_DETECT + 1, 0);
    PumpQueued();
    EXPECT_EQ(Opened(), std::vector<std::string>{});
    // The line monitor's code opens the monitor, beside the main window.
    dlg->OnSysCommand(CMD_LINE_MONITOR, 0);
    PumpQueued();
    EXPECT_EQ(Opened(), std::vector<std::string>{"IDD_MONITOR"});
}

}  // namespace
