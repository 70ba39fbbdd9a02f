#include <QIcon>
#include <QMessageBox>
#include <QThread>

#include <atomic>
#include <thread>

#include "link/RefreshCodes.h"
#include "tests/ui/DialogHarness.h"

namespace {

using namespace testing_ui;
using linkcore::Link;

class MainDialog : public DialogHarness {};

struct Expected {
    int id;
    const char* name;
    const char* kind;     // Qt class the control is built as (or derives from)
    const char* caption;  // caption or initial text; nullptr: not checked
    bool enabled;
    bool visible;
};

TEST_F(MainDialog, EveryControlStartsAsTheTemplateSays) {
    const Expected controls[] = {
        {IDCANCEL, "IDCANCEL", "QPushButton", "Завершить", true, true},
        {IDC_PORT, "IDC_PORT", "QLineEdit", "1", true, true},
        {IDC_PORT_SPIN, "IDC_PORT_SPIN", "QWidget", nullptr, true, true},
        {IDC_RAW_IN, "IDC_RAW_IN", "QLineEdit", "", true, true},
        {IDC_DECODED, "IDC_DECODED", "QLineEdit", "", true, true},
        {IDC_CONNECT, "IDC_CONNECT", "QPushButton", "Connect", true, true},
        {IDC_DISCONNECT, "IDC_DISCONNECT", "QPushButton", "Disconnect", true, true},
        {IDC_READ_ONCE, "IDC_READ_ONCE", "QPushButton", "Ед. чтен.", false, true},
        {IDC_READ_AUTO, "IDC_READ_AUTO", "QPushButton", "Авто. чтен.", false, true},
        {IDC_DECODER, "IDC_DECODER", "QComboBox", nullptr, true, true},
        {IDC_STATE, "IDC_STATE", "QLabel", "", true, true},
        {IDC_TEMPLATE, "IDC_TEMPLATE", "QLineEdit", "", true, true},
        {IDC_OUT, "IDC_OUT", "QLineEdit", "", true, true},
        {IDC_SIMULATE, "IDC_SIMULATE", "QAbstractButton", nullptr, true, true},
        {IDC_VT, "IDC_VT", "QLineEdit", "0", true, true},
        {IDC_P, "IDC_P", "QLineEdit", "0", true, true},
        {IDC_COUNTER, "IDC_COUNTER", "QLabel", "", true, true},
        {IDC_COUNTER_BTN, "IDC_COUNTER_BTN", "QPushButton", "t", true, false},
        {IDC_GEAR, "IDC_GEAR", "QSlider", nullptr, true, true},
        {IDC_GEAR_CODE, "IDC_GEAR_CODE", "QLineEdit", "5", true, true},
        {IDC_ZERO_START, "IDC_ZERO_START", "QCheckBox", "~0 Старт (P5/P09)", true, true},
        {IDC_MAXP, "IDC_MAXP", "QSlider", nullptr, true, true},
        {IDC_MAXP_VAL, "IDC_MAXP_VAL", "QLineEdit", "1", true, true},
        {IDC_CRUISE, "IDC_CRUISE", "QCheckBox", "Круиз (P6/P17)", true, true},
        {IDC_SOFT_START, "IDC_SOFT_START", "QCheckBox", "~Плав. старт (P7/P12)", true, true},
        {IDC_EBS, "IDC_EBS", "QLineEdit", "1", true, true},
        {IDC_EBS_SPIN, "IDC_EBS_SPIN", "QWidget", nullptr, true, true},
        {IDC_THROTTLE, "IDC_THROTTLE", "QSlider", nullptr, true, true},
        {IDC_THROTTLE_VAL, "IDC_THROTTLE_VAL", "QLineEdit", "0", true, true},
        {IDC_MAXV, "IDC_MAXV", "QSlider", nullptr, true, true},
        {IDC_MAXV_VAL, "IDC_MAXV_VAL", "QLineEdit", "90", true, true},
        {IDC_CAPTURE, "IDC_CAPTURE", "QPushButton", "В файл 60s", false, true},
    };
    for (const Expected& c : controls) {
        SCOPED_TRACE(c.name);
        QWidget* w = Control(c.id);
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(w->inherits(c.kind));
        EXPECT_EQ(w->objectName(), c.name);
        EXPECT_EQ(w->accessibleDescription(), c.name);
        // A label's name is its text, which may be empty.
        if (!w->inherits("QLabel")) {
            EXPECT_FALSE(w->accessibleName().isEmpty());
        }
        EXPECT_EQ(w->isEnabled(), c.enabled);
        EXPECT_EQ(w->isVisible(), c.visible);
        if (c.caption) {
            auto* b = qobject_cast<QAbstractButton*>(w);
            EXPECT_EQ(b ? b->text() : Text(c.id), QString::fromUtf8(c.caption));
        }
    }

    EXPECT_EQ(Window().windowTitle(), QStringLiteral("Zonter - КМ"));
    EXPECT_EQ(dlg->Title(), "Zonter - КМ");
    // The application icon, from the PNG bytes the program carries.
    EXPECT_FALSE(Window().windowIcon().isNull());
    auto* decoder = Get<QComboBox>(IDC_DECODER);
    ASSERT_EQ(decoder->count(), 3);
    EXPECT_EQ(decoder->itemText(0), QStringLiteral(" Неизвестный (Test)"));
    EXPECT_EQ(decoder->itemText(1), QStringLiteral(" Halten RS"));
    EXPECT_EQ(decoder->itemText(2), QStringLiteral(" Kugoo M (QS-S4)"));
    EXPECT_EQ(decoder->currentIndex(), 1);
    EXPECT_TRUE(Get<QCheckBox>(IDC_SOFT_START)->isChecked());
    EXPECT_FALSE(Get<QCheckBox>(IDC_ZERO_START)->isChecked());
    EXPECT_FALSE(Get<QCheckBox>(IDC_CRUISE)->isChecked());
    EXPECT_FALSE(Get<QAbstractButton>(IDC_SIMULATE)->isChecked());

    const std::pair<int, std::pair<int, int>> ranges[] = {
        {IDC_GEAR, {0, 7}}, {IDC_THROTTLE, {0, 1100}}, {IDC_MAXP, {0, 100}}, {IDC_MAXV, {0, 100}}};
    for (const auto& [id, range] : ranges) {
        EXPECT_EQ(Get<QSlider>(id)->minimum(), range.first) << id;
        EXPECT_EQ(Get<QSlider>(id)->maximum(), range.second) << id;
    }
    EXPECT_EQ(Get<QSlider>(IDC_GEAR)->value(), 3);
    EXPECT_EQ(Get<QSlider>(IDC_MAXP)->value(), 1);
    EXPECT_EQ(Get<QSlider>(IDC_MAXV)->value(), 90);
    EXPECT_EQ(Get<QSlider>(IDC_THROTTLE)->value(), 0);

    // The byte boxes: Courier New, 12 pixels, fixed pitch.
    for (int id : {IDC_RAW_IN, IDC_DECODED, IDC_TEMPLATE, IDC_OUT}) {
        const QFont font = Control(id)->font();
        EXPECT_TRUE(QFontInfo(font).fixedPitch()) << id;
        EXPECT_EQ(font.family(), QStringLiteral("Courier New")) << id;
        EXPECT_EQ(font.pixelSize(), 12) << id;
    }
    EXPECT_EQ(Window().focusWidget(), Control(IDCANCEL));

    // The first drawing of the sliders patches nothing and keeps gear 5.
    EXPECT_EQ(Link().outFrame, (std::array<std::uint8_t, 20>{}));
    EXPECT_EQ(Link().gearCode, 0x05);
    EXPECT_EQ(Link().linkStatus.load(), -1);
}

TEST_F(MainDialog, TabOrderFollowsTheTemplate) {
    // Connect comes after the two byte lines and before Disconnect.
    QWidget* w = Control(IDC_DECODED);
    EXPECT_EQ(w->nextInFocusChain(), Control(IDC_CONNECT));
    EXPECT_EQ(Control(IDC_CONNECT)->nextInFocusChain(), Control(IDC_DISCONNECT));
}

TEST_F(MainDialog, IntegerBoxesTakeTheLeadingNumber) {
    SetText(IDC_PORT, QStringLiteral(" 12abc"));
    EXPECT_TRUE(dlg->UpdateData(true));
    EXPECT_EQ(dlg->m_portNumber, 12);

    // A word fails the pull at that box; the members after it keep their values.
    SetText(IDC_PORT, QStringLiteral("abc"));
    SetText(IDC_TEMPLATE, QStringLiteral("01 02"));
    int boxes = 0;
    ModalWatcher watcher([&](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            EXPECT_EQ(box->text(), QStringLiteral("Введите целое число."));
            ++boxes;
            box->accept();
        }
    });
    EXPECT_FALSE(dlg->UpdateData(true));
    EXPECT_EQ(boxes, 1);
    EXPECT_EQ(dlg->m_portNumber, 12);
    EXPECT_TRUE(dlg->m_templateText.empty());
    EXPECT_EQ(Window().focusWidget(), Control(IDC_PORT));
}

TEST_F(MainDialog, RefreshesMeetingABadBoxShowOneMessageAtATime) {
    SetText(IDC_PORT, QStringLiteral("abc"));
    std::atomic<bool> moreDone{false};
    std::thread more;
    int mostBoxes = 0;
    ModalWatcher watcher([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box) return;
        int boxes = 0;
        for (QWidget* w : QApplication::topLevelWidgets()) boxes += qobject_cast<QMessageBox*>(w) && w->isVisible();
        mostBoxes = std::max(mostBoxes, boxes);
        // Further refreshes come while the box is open.
        if (!more.joinable()) {
            more = std::thread([&] {
                platform::Event stop;
                for (int i = 0; i < 3; ++i) dlg->Refresh(CMD_SHOW_RX_FRAME, stop);
                moreDone = true;
            });
        }
        if (moreDone) box->accept();
    });
    platform::Event stop;
    std::atomic<bool> firstDone{false};
    std::thread first([&] {
        dlg->Refresh(CMD_SHOW_RX_FRAME, stop);
        firstDone = true;
    });
    const bool done = WaitUntil([&] { return firstDone.load(); }, 10000);
    stop.Set();
    first.join();
    if (more.joinable()) more.join();
    ASSERT_TRUE(done);
    EXPECT_TRUE(moreDone.load());
    EXPECT_EQ(mostBoxes, 1);
}

TEST_F(MainDialog, ConnectionStateTable) {
    // A port that cannot be opened: its number in the state line, buttons unchanged.
    SetText(IDC_PORT, QStringLiteral("3"));
    Click(IDC_CONNECT);
    EXPECT_EQ(Text(IDC_STATE), QStringLiteral("Нет доступа к COM3"));
    EXPECT_FALSE(Link().portOpen.load());
    EXPECT_FALSE(Enabled(IDC_READ_ONCE));

    SetText(IDC_PORT, QStringLiteral("1"));
    Click(IDC_CONNECT);
    EXPECT_EQ(Text(IDC_STATE), QStringLiteral("Соединение установ."));
    EXPECT_TRUE(Link().portOpen.load());
    EXPECT_TRUE(Enabled(IDC_READ_ONCE) && Enabled(IDC_READ_AUTO) && Enabled(IDC_CAPTURE));
    // The dialog's control members see the same buttons.
    EXPECT_TRUE(dlg->m_readOnceButton.IsWindowEnabled() && dlg->m_readAutoButton.IsWindowEnabled() &&
                dlg->m_captureButton.IsWindowEnabled());
    EXPECT_TRUE(Control(IDC_STATE)->toolTip().contains(QString::fromStdString(peer->slavePath())));
    EXPECT_EQ(peer->SlaveSpeed(), 1200);

    // A failed reopen leaves the buttons enabled; the run commands then do nothing.
    SetText(IDC_PORT, QStringLiteral("3"));
    Click(IDC_CONNECT);
    EXPECT_FALSE(Link().portOpen.load());
    EXPECT_TRUE(Enabled(IDC_READ_AUTO));
    Click(IDC_READ_AUTO);
    EXPECT_FALSE(WorkerRunning(WorkerKind::AutoRead));

    Click(IDC_DISCONNECT);
    EXPECT_EQ(Text(IDC_STATE), QString());
    EXPECT_FALSE(Enabled(IDC_READ_ONCE) || Enabled(IDC_READ_AUTO) || Enabled(IDC_CAPTURE));
    EXPECT_FALSE(dlg->m_readOnceButton.IsWindowEnabled() || dlg->m_readAutoButton.IsWindowEnabled() ||
                 dlg->m_captureButton.IsWindowEnabled());
    EXPECT_EQ(Control(IDC_STATE)->toolTip(), QString());
}

TEST_F(MainDialog, ClosingWritesTheSavedSettingsBack) {
    {
        auto port = platform::SerialPort::Open(peer->slavePath());
        ASSERT_TRUE(port);
        platform::LineSettings s;
        ASSERT_TRUE(platform::BuildLineSettings("baud=4800 parity=N data=8 stop=1", s));
        ASSERT_TRUE(port->ApplySettings(s));
    }
    Connect(2);
    EXPECT_EQ(peer->SlaveSpeed(), 9600);
    Window().reject();  // Esc, "Завершить" or the close button
    EXPECT_EQ(peer->SlaveSpeed(), 4800);
    EXPECT_EQ(Link().Slot(WorkerKind::SingleRead).stop, nullptr);
}

}  // namespace
