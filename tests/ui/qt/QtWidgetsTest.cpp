// What only the Qt widgets show: the kinds the controls are built as,
// their names for assistive tools, fonts, tab order, tips, icon and the
// window menu's items.
#include <QAction>
#include <QFontInfo>
#include <QMenu>

#include "tests/ui/DialogHarness.h"
#include "tests/ui/qt/QtWindows.h"

namespace {

using namespace testing_ui;

class QtWidgets : public DialogHarness {
protected:
    QWidget* Control(int id) const { return QtControl(*dlg, id); }
};

TEST_F(QtWidgets, EveryControlIsBuiltAsItsKindAndNamedForAssistiveTools) {
    const struct {
        int id;
        const char* name;
        const char* kind;  // Qt class the control is built as (or derives from)
    } controls[] = {
        {IDCANCEL, "IDCANCEL", "QPushButton"},
        {IDC_PORT, "IDC_PORT", "QLineEdit"},
        {IDC_PORT_SPIN, "IDC_PORT_SPIN", "QWidget"},
        {IDC_RAW_IN, "IDC_RAW_IN", "QLineEdit"},
        {IDC_DECODED, "IDC_DECODED", "QLineEdit"},
        {IDC_CONNECT, "IDC_CONNECT", "QPushButton"},
        {IDC_DISCONNECT, "IDC_DISCONNECT", "QPushButton"},
        {IDC_READ_ONCE, "IDC_READ_ONCE", "QPushButton"},
        {IDC_READ_AUTO, "IDC_READ_AUTO", "QPushButton"},
        {IDC_DECODER, "IDC_DECODER", "QComboBox"},
        {IDC_STATE, "IDC_STATE", "QLabel"},
        {IDC_TEMPLATE, "IDC_TEMPLATE", "QLineEdit"},
        {IDC_OUT, "IDC_OUT", "QLineEdit"},
        {IDC_SIMULATE, "IDC_SIMULATE", "QAbstractButton"},
        {IDC_VT, "IDC_VT", "QLineEdit"},
        {IDC_P, "IDC_P", "QLineEdit"},
        {IDC_COUNTER, "IDC_COUNTER", "QLabel"},
        {IDC_COUNTER_BTN, "IDC_COUNTER_BTN", "QPushButton"},
        {IDC_GEAR, "IDC_GEAR", "QSlider"},
        {IDC_GEAR_CODE, "IDC_GEAR_CODE", "QLineEdit"},
        {IDC_ZERO_START, "IDC_ZERO_START", "QCheckBox"},
        {IDC_MAXP, "IDC_MAXP", "QSlider"},
        {IDC_MAXP_VAL, "IDC_MAXP_VAL", "QLineEdit"},
        {IDC_CRUISE, "IDC_CRUISE", "QCheckBox"},
        {IDC_SOFT_START, "IDC_SOFT_START", "QCheckBox"},
        {IDC_EBS, "IDC_EBS", "QLineEdit"},
        {IDC_EBS_SPIN, "IDC_EBS_SPIN", "QWidget"},
        {IDC_THROTTLE, "IDC_THROTTLE", "QSlider"},
        {IDC_THROTTLE_VAL, "IDC_THROTTLE_VAL", "QLineEdit"},
        {IDC_MAXV, "IDC_MAXV", "QSlider"},
        {IDC_MAXV_VAL, "IDC_MAXV_VAL", "QLineEdit"},
        {IDC_CAPTURE, "IDC_CAPTURE", "QPushButton"},
    };
    for (const auto& c : controls) {
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
    }
    EXPECT_EQ(QtWindow(*dlg).windowTitle(), QStringLiteral("Zonter - КМ"));
    // The application icon, from the PNG bytes the program carries.
    EXPECT_FALSE(QtWindow(*dlg).windowIcon().isNull());

    // The byte boxes: Courier New, 12 pixels, fixed pitch.
    for (int id : {IDC_RAW_IN, IDC_DECODED, IDC_TEMPLATE, IDC_OUT}) {
        const QFont font = Control(id)->font();
        EXPECT_TRUE(QFontInfo(font).fixedPitch()) << id;
        EXPECT_EQ(font.family(), QStringLiteral("Courier New")) << id;
        EXPECT_EQ(font.pixelSize(), 12) << id;
    }
}

TEST_F(QtWidgets, TabOrderFollowsTheTemplate) {
    // Connect comes after the two byte lines and before Disconnect.
    QWidget* w = Control(IDC_DECODED);
    EXPECT_EQ(w->nextInFocusChain(), Control(IDC_CONNECT));
    EXPECT_EQ(Control(IDC_CONNECT)->nextInFocusChain(), Control(IDC_DISCONNECT));
}

TEST_F(QtWidgets, TheStateLineTipNamesTheDeviceWhileConnected) {
    Connect(1);
    EXPECT_TRUE(Control(IDC_STATE)->toolTip().contains(QString::fromStdString(peer->Device())));
    Click(IDC_DISCONNECT);
    EXPECT_EQ(Control(IDC_STATE)->toolTip(), QString());
}

TEST_F(QtWidgets, WindowMenuEndsWithTheProgramsItems) {
    QMenu* menu = QtWindow(*dlg).WindowMenu();
    ASSERT_NE(menu, nullptr);
    const QList<QAction*> actions = menu->actions();
    ASSERT_GE(actions.size(), 5);
    const QAction* separator = actions[actions.size() - 5];
    const QAction* about = actions[actions.size() - 4];
    const QAction* speed = actions[actions.size() - 3];
    const QAction* monitor = actions[actions.size() - 2];
    const QAction* detect = actions[actions.size() - 1];
    EXPECT_TRUE(separator->isSeparator());
    EXPECT_EQ(about->text(), QStringLiteral("&О проекте Zonter..."));
    EXPECT_EQ(speed->text(), QStringLiteral("Скорость ..."));
    EXPECT_EQ(monitor->text(), QStringLiteral("Монитор линии"));
    EXPECT_EQ(detect->text(), QStringLiteral("Определить протокол ..."));
    EXPECT_EQ(about->objectName(), QStringLiteral("CMD_16"));
    EXPECT_EQ(speed->objectName(), QStringLiteral("CMD_114"));
    EXPECT_EQ(monitor->objectName(), QStringLiteral("CMD_115"));
    EXPECT_EQ(detect->objectName(), QStringLiteral("CMD_117"));
    EXPECT_TRUE(about->isEnabled());
    EXPECT_TRUE(speed->isEnabled());
    EXPECT_TRUE(monitor->isEnabled());
    EXPECT_TRUE(detect->isEnabled());
}

}  // namespace
