// The dialog's control operations by identifier, as the Qt widgets carry
// them out, and tasks posted to the dialog's thread.
#include <QAbstractButton>
#include <QComboBox>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "QtDialogs.h"
#include "WaitUntil.h"
#include "platform/ui/qt/ControlText.h"

namespace testing_ui {
namespace {

TEST(ControlById, TextOfEveryKindReadsAndWrites) {
    PanelDialog panel;
    panel.state = "Готов";
    panel.UpdateData(false);
    const struct {
        int id;
        const char* before;
        const char* after;
    } cases[] = {
        {IDC_PORT, "1", "12"},               // edit box
        {IDC_STATE, "Готов", "Подключено"},  // value label
        {IDCANCEL, "Завершить", "Стоп"},     // push button caption
        {IDC_FLAG, "&Флаг", "Флажок"},       // check box caption
        {IDC_LIST, " Второй", "набрано"},    // combo box edit field
        {4242, "", ""},                      // no such control
    };
    for (const auto& c : cases) {
        EXPECT_EQ(panel.GetDlgItemText(c.id), c.before) << c.id;
        panel.SetDlgItemText(c.id, c.after);
        EXPECT_EQ(panel.GetDlgItemText(c.id), c.after) << c.id;
        if (QWidget* widget = Widget(panel, c.id)) {
            EXPECT_EQ(platform::ui::qt::ControlText(widget), QString::fromUtf8(c.after)) << c.id;
        }
    }
    EXPECT_EQ(WidgetAs<QLabel>(panel, IDC_STATE)->accessibleName(), QStringLiteral("Подключено"));
    EXPECT_EQ(WidgetAs<QComboBox>(panel, IDC_LIST)->count(), 3);  // typing adds no entry
}

TEST(ControlById, StateRangeToolTipFontAndFocus) {
    PanelDialog panel;
    panel.ShowModeless();

    EXPECT_FALSE(panel.IsControlEnabled(IDC_OFF));
    panel.EnableControl(IDC_OFF, true);
    EXPECT_TRUE(Widget(panel, IDC_OFF)->isEnabled());
    EXPECT_TRUE(panel.IsControlEnabled(IDC_OFF));
    panel.EnableControl(IDC_PORT, false);
    EXPECT_FALSE(Widget(panel, IDC_PORT)->isEnabled());
    EXPECT_FALSE(panel.IsControlEnabled(4242));

    EXPECT_FALSE(panel.IsControlShown(IDC_HIDDEN));
    panel.ShowControl(IDC_HIDDEN, true);
    EXPECT_FALSE(Widget(panel, IDC_HIDDEN)->isHidden());
    EXPECT_TRUE(panel.IsControlShown(IDC_HIDDEN));
    panel.ShowControl(IDC_COUNT, false);
    EXPECT_TRUE(Widget(panel, IDC_COUNT)->isHidden());
    EXPECT_FALSE(panel.IsControlShown(IDC_COUNT));
    EXPECT_FALSE(panel.IsControlShown(4242));

    // A trackbar's page stays a fifth of its range.
    const struct {
        int id, low, high, page;
    } ranges[] = {{IDC_LEVEL, 0, 7, 1}, {IDC_POWER, 0, 50, 10}, {IDC_POWER, 10, 110, 20}};
    for (const auto& r : ranges) {
        panel.SetSliderRange(r.id, r.low, r.high);
        auto* slider = WidgetAs<QSlider>(panel, r.id);
        EXPECT_EQ(slider->minimum(), r.low);
        EXPECT_EQ(slider->maximum(), r.high);
        EXPECT_EQ(slider->pageStep(), r.page) << r.high;
    }

    panel.SetToolTip(IDC_PORT, "Номер порта");
    EXPECT_EQ(Widget(panel, IDC_PORT)->toolTip(), QStringLiteral("Номер порта"));

    panel.SetControlFont(IDC_NAME, platform::ui::Font{"Courier New", 14, true});
    const QFont font = Widget(panel, IDC_NAME)->font();
    const QString family = QFontInfo(font).family();
    EXPECT_TRUE(family == QStringLiteral("Liberation Mono") || family == QStringLiteral("DejaVu Sans Mono"))
        << family.toStdString();
    EXPECT_EQ(font.pixelSize(), 14);
    EXPECT_TRUE(font.fixedPitch());

    // Going to an edit box focuses it with its text selected.
    panel.GotoDlgCtrl(IDC_NAME);
    EXPECT_EQ(WindowOf(panel).focusWidget(), Widget(panel, IDC_NAME));
    panel.SetDlgItemText(IDC_NAME, "выделено");
    panel.GotoDlgCtrl(IDC_NAME);
    EXPECT_EQ(WidgetAs<QLineEdit>(panel, IDC_NAME)->selectedText(), QStringLiteral("выделено"));
}

TEST(ControlById, PostedTasksRunOnTheDialogThreadOrAreDropped) {
    auto panel = std::make_unique<PanelDialog>();
    std::atomic<bool> ran{false};
    std::thread::id ranOn;
    std::thread([&] {
        panel->PostToDialog([&] {
            ranOn = std::this_thread::get_id();
            ran = true;
        });
    }).join();
    EXPECT_FALSE(ran);  // not before the dialog's thread gets to it
    ASSERT_TRUE(WaitUntil([&] { return ran.load(); }));
    EXPECT_EQ(ranOn, std::this_thread::get_id());

    // A task still queued when the dialog goes is destroyed unrun.
    ran = false;
    auto token = std::make_shared<int>(0);
    const std::weak_ptr<int> watch = token;
    panel->PostToDialog([&ran, token = std::move(token)] { ran = true; });
    EXPECT_FALSE(watch.expired());
    panel.reset();
    EXPECT_TRUE(watch.expired());
    DrainEvents();
    EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace testing_ui
