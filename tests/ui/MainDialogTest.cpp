#include <algorithm>
#include <atomic>
#include <thread>

#include "link/RefreshCodes.h"
#include "platform/Event.h"
#include "platform/PortNames.h"
#include "tests/ui/DialogHarness.h"
#include "ui/ConnectTexts.h"

namespace {

using namespace testing_ui;
using linkcore::Link;

class MainDialog : public DialogHarness {};

struct Expected {
    int id;
    const char* name;
    const char* caption;  // caption or initial text; nullptr: not checked
    bool enabled;
    bool visible;
};

TEST_F(MainDialog, EveryControlStartsAsTheTemplateSays) {
    const Expected controls[] = {
        {IDCANCEL, "IDCANCEL", "Завершить", true, true},
        {IDC_PORT, "IDC_PORT", "1", true, true},
        {IDC_PORT_SPIN, "IDC_PORT_SPIN", nullptr, true, true},
        {IDC_RAW_IN, "IDC_RAW_IN", "", true, true},
        {IDC_DECODED, "IDC_DECODED", "", true, true},
        {IDC_CONNECT, "IDC_CONNECT", "Connect", true, true},
        {IDC_DISCONNECT, "IDC_DISCONNECT", "Disconnect", true, true},
        {IDC_READ_ONCE, "IDC_READ_ONCE", "Ед. чтен.", false, true},
        {IDC_READ_AUTO, "IDC_READ_AUTO", "Авто. чтен.", false, true},
        {IDC_DECODER, "IDC_DECODER", nullptr, true, true},
        {IDC_STATE, "IDC_STATE", "", true, true},
        {IDC_TEMPLATE, "IDC_TEMPLATE", "", true, true},
        {IDC_OUT, "IDC_OUT", "", true, true},
        {IDC_SIMULATE, "IDC_SIMULATE", nullptr, true, true},
        {IDC_VT, "IDC_VT", "0", true, true},
        {IDC_P, "IDC_P", "0", true, true},
        {IDC_COUNTER, "IDC_COUNTER", "", true, true},
        {IDC_COUNTER_BTN, "IDC_COUNTER_BTN", "t", true, false},
        {IDC_GEAR, "IDC_GEAR", nullptr, true, true},
        {IDC_GEAR_CODE, "IDC_GEAR_CODE", "5", true, true},
        {IDC_ZERO_START, "IDC_ZERO_START", "~0 Старт (P5/P09)", true, true},
        {IDC_MAXP, "IDC_MAXP", nullptr, true, true},
        {IDC_MAXP_VAL, "IDC_MAXP_VAL", "1", true, true},
        {IDC_CRUISE, "IDC_CRUISE", "Круиз (P6/P17)", true, true},
        {IDC_SOFT_START, "IDC_SOFT_START", "~Плав. старт (P7/P12)", true, true},
        {IDC_EBS, "IDC_EBS", "1", true, true},
        {IDC_EBS_SPIN, "IDC_EBS_SPIN", nullptr, true, true},
        {IDC_THROTTLE, "IDC_THROTTLE", nullptr, true, true},
        {IDC_THROTTLE_VAL, "IDC_THROTTLE_VAL", "0", true, true},
        {IDC_MAXV, "IDC_MAXV", nullptr, true, true},
        {IDC_MAXV_VAL, "IDC_MAXV_VAL", "90", true, true},
        {IDC_CAPTURE, "IDC_CAPTURE", "В файл 60s", false, true},
    };
    for (const Expected& c : controls) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Window().HasControl(c.id));
        EXPECT_EQ(Enabled(c.id), c.enabled);
        EXPECT_EQ(Window().Shown(c.id), c.visible);
        if (c.caption) {
            EXPECT_EQ(Text(c.id), c.caption);
        }
    }

    EXPECT_EQ(dlg->Title(), "Zonter - КМ");
    ASSERT_EQ(Window().ItemCount(IDC_DECODER), 3);
    EXPECT_EQ(Window().Selection(IDC_DECODER), 1);
    EXPECT_EQ(Text(IDC_DECODER), " Halten RS");
    const char* const decoders[] = {" Неизвестный (Test)", " Halten RS", " Kugoo M (QS-S4)"};
    for (int i = 0; i < 3; ++i) {
        SelectDecoder(i);
        EXPECT_EQ(Text(IDC_DECODER), decoders[i]) << i;
    }
    SelectDecoder(1);
    EXPECT_TRUE(Checked(IDC_SOFT_START));
    EXPECT_FALSE(Checked(IDC_ZERO_START));
    EXPECT_FALSE(Checked(IDC_CRUISE));
    EXPECT_FALSE(Checked(IDC_SIMULATE));

    EXPECT_EQ(Window().SliderPos(IDC_GEAR), 3);
    EXPECT_EQ(Window().SliderPos(IDC_MAXP), 1);
    EXPECT_EQ(Window().SliderPos(IDC_MAXV), 90);
    EXPECT_EQ(Window().SliderPos(IDC_THROTTLE), 0);
    EXPECT_EQ(FocusedControl(*dlg), IDCANCEL);

    // The first drawing of the sliders patches nothing and keeps gear 5.
    EXPECT_EQ(Link().outFrame, (std::array<std::uint8_t, 20>{}));
    EXPECT_EQ(Link().gearCode, 0x05);
    EXPECT_EQ(Link().linkStatus.load(), -1);

    // The sliders' ranges: dragged past either end, each stops at it.
    const std::pair<int, std::pair<int, int>> ranges[] = {
        {IDC_GEAR, {0, 7}}, {IDC_THROTTLE, {0, 1100}}, {IDC_MAXP, {0, 100}}, {IDC_MAXV, {0, 100}}};
    for (const auto& [id, range] : ranges) {
        MoveSlider(id, -100000);
        EXPECT_EQ(Window().SliderPos(id), range.first) << id;
        MoveSlider(id, 100000);
        EXPECT_EQ(Window().SliderPos(id), range.second) << id;
    }
}

TEST_F(MainDialog, IntegerBoxesTakeTheLeadingNumber) {
    SetText(IDC_PORT, " 12abc");
    EXPECT_TRUE(dlg->UpdateData(true));
    EXPECT_EQ(dlg->m_portNumber, 12);

    // A word fails the pull at that box; the members after it keep their values.
    SetText(IDC_PORT, "abc");
    SetText(IDC_TEMPLATE, "01 02");
    EXPECT_FALSE(dlg->UpdateData(true));
    EXPECT_EQ(Messages(), std::vector<std::string>{"Введите целое число."});
    EXPECT_EQ(dlg->m_portNumber, 12);
    EXPECT_TRUE(dlg->m_templateText.empty());
    EXPECT_EQ(FocusedControl(*dlg), IDC_PORT);
}

TEST_F(MainDialog, RefreshesMeetingABadBoxShowOneMessageAtATime) {
    SetText(IDC_PORT, "abc");
    std::atomic<bool> moreDone{false};
    std::thread more;
    int open = 0;
    int mostBoxes = 0;
    Scripts().messageBox = [&](const std::string&) {
        mostBoxes = std::max(mostBoxes, ++open);
        // Further refreshes come while the box is open; its loop serves them.
        if (!more.joinable()) {
            more = std::thread([&] {
                platform::Event stop;
                for (int i = 0; i < 3; ++i) dlg->Refresh(CMD_SHOW_RX_FRAME, stop);
                moreDone = true;
            });
        }
        PumpUntil([&] { return moreDone.load(); });
        --open;
    };
    platform::Event stop;
    std::atomic<bool> firstDone{false};
    std::thread first([&] {
        dlg->Refresh(CMD_SHOW_RX_FRAME, stop);
        firstDone = true;
    });
    const bool done = PumpUntil([&] { return firstDone.load(); });
    stop.Set();
    first.join();
    if (more.joinable()) more.join();
    ASSERT_TRUE(done);
    EXPECT_TRUE(moreDone.load());
    EXPECT_EQ(mostBoxes, 1);
}

TEST_F(MainDialog, ConnectionStateTable) {
    // A port that cannot be opened: its number in the state line, buttons
    // unchanged, and a hint that fits the system: Windows has no port
    // folder and no dialout group.
    for (const char* number : {"0", "3"}) {
        SetText(IDC_PORT, number);
        Click(IDC_CONNECT);
        EXPECT_EQ(Text(IDC_STATE), std::string("Нет доступа к COM") + number);
#ifdef _WIN32
        EXPECT_EQ(Tip(IDC_STATE).find("ссылки"), std::string::npos) << Tip(IDC_STATE);
        EXPECT_EQ(Tip(IDC_STATE).find("dialout"), std::string::npos) << Tip(IDC_STATE);
#else
        EXPECT_NE(Tip(IDC_STATE).find(platform::PortDirectory()), std::string::npos) << Tip(IDC_STATE);
#endif
    }
    EXPECT_FALSE(Link().portOpen.load());
    EXPECT_FALSE(Enabled(IDC_READ_ONCE));

    SetText(IDC_PORT, "1");
    Click(IDC_CONNECT);
    EXPECT_EQ(Text(IDC_STATE), "Соединение установ.");
    EXPECT_TRUE(Link().portOpen.load());
    EXPECT_TRUE(Enabled(IDC_READ_ONCE) && Enabled(IDC_READ_AUTO) && Enabled(IDC_CAPTURE));
    // The dialog's control members see the same buttons.
    EXPECT_TRUE(dlg->m_readOnceButton.IsWindowEnabled() && dlg->m_readAutoButton.IsWindowEnabled() &&
                dlg->m_captureButton.IsWindowEnabled());
    EXPECT_EQ(peer->Speed(), 1200);

    // A failed reopen leaves the buttons enabled; the run commands then do nothing.
    SetText(IDC_PORT, "3");
    Click(IDC_CONNECT);
    EXPECT_FALSE(Link().portOpen.load());
    EXPECT_TRUE(Enabled(IDC_READ_AUTO));
    Click(IDC_READ_AUTO);
    EXPECT_FALSE(WorkerRunning(WorkerKind::AutoRead));

    Click(IDC_DISCONNECT);
    EXPECT_EQ(Text(IDC_STATE), "");
    EXPECT_FALSE(Enabled(IDC_READ_ONCE) || Enabled(IDC_READ_AUTO) || Enabled(IDC_CAPTURE));
    EXPECT_FALSE(dlg->m_readOnceButton.IsWindowEnabled() || dlg->m_readAutoButton.IsWindowEnabled() ||
                 dlg->m_captureButton.IsWindowEnabled());
}

// The state line and its tooltip for what Connect reported.
TEST(ConnectTexts, StateAndTooltip) {
    linkcore::ConnectOutcome refused;
    refused.opened = true;
    refused.device = "/dev/ttyUSB0";
    refused.settingsError = 22;
    refused.settingsReason = "Invalid argument";
    linkcore::ConnectOutcome silent;
    silent.noAnswer = true;
    silent.device = "/dev/rfcomm0";
    struct Row {
        const char* name;
        linkcore::ConnectOutcome outcome;
        const char* state;
        const char* tip;
    };
    const Row rows[] = {
        {"settings refused", refused, "COM4: настройки не приняты",
         "COM4 = /dev/ttyUSB0: настройки не приняты (Invalid argument)"},
        {"no answer in time", silent, "Нет доступа к COM4", "COM4: порт не ответил за 3 с"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ui::ConnectStateText(row.outcome, 4), row.state);
        EXPECT_EQ(ui::ConnectHint(row.outcome, 4), row.tip);
    }
}

TEST_F(MainDialog, ClosingWritesTheSavedSettingsBack) {
    ASSERT_TRUE(peer->Preset(4800));
    Connect(2);
    EXPECT_EQ(peer->Speed(), 9600);
    Click(IDCANCEL);  // Esc, "Завершить" or the close button
    EXPECT_EQ(peer->Speed(), 4800);
    EXPECT_EQ(Link().Slot(WorkerKind::SingleRead).stop, nullptr);
}

}  // namespace
