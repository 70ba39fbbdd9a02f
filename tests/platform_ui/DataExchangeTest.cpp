// Pushing members into controls and pulling them back, every kind.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>

#include <gtest/gtest.h>

#include "QtDialogs.h"
#include "WaitUntil.h"

namespace testing_ui {
namespace {

TEST(DataExchange, PushShowsEveryMember) {
    PanelDialog panel;
    panel.port = 7;
    panel.name = "36 00 1F ";
    panel.list = 2;
    panel.flag = 1;
    panel.wrap = 0;
    panel.level = 5;
    panel.levelText = "A";
    panel.power = 90;
    panel.state = "Готово";
    panel.count = -12;
    ASSERT_TRUE(panel.UpdateData(false));

    EXPECT_EQ(WidgetAs<QLineEdit>(panel, IDC_PORT)->text(), QStringLiteral("7"));
    EXPECT_EQ(WidgetAs<QLineEdit>(panel, IDC_NAME)->text(), QStringLiteral("36 00 1F "));
    EXPECT_EQ(WidgetAs<QComboBox>(panel, IDC_LIST)->currentIndex(), 2);
    EXPECT_EQ(WidgetAs<QComboBox>(panel, IDC_LIST)->currentText(), QStringLiteral(" Третий"));
    EXPECT_EQ(WidgetAs<QCheckBox>(panel, IDC_FLAG)->checkState(), Qt::Checked);
    EXPECT_EQ(WidgetAs<QCheckBox>(panel, IDC_WRAP)->checkState(), Qt::Unchecked);
    EXPECT_EQ(WidgetAs<QSlider>(panel, IDC_LEVEL)->value(), 5);
    EXPECT_EQ(WidgetAs<QLineEdit>(panel, IDC_LEVEL_VAL)->text(), QStringLiteral("A"));
    EXPECT_EQ(WidgetAs<QSlider>(panel, IDC_POWER)->value(), 90);
    EXPECT_EQ(WidgetAs<QLabel>(panel, IDC_STATE)->text(), QStringLiteral("Готово"));
    EXPECT_EQ(WidgetAs<QLineEdit>(panel, IDC_COUNT)->text(), QStringLiteral("-12"));
}

TEST(DataExchange, PullReadsEveryControl) {
    PanelDialog panel;
    WidgetAs<QLineEdit>(panel, IDC_PORT)->setText(QStringLiteral("4"));
    WidgetAs<QLineEdit>(panel, IDC_NAME)->setText(QStringLiteral("  текст  любой длины "));
    WidgetAs<QComboBox>(panel, IDC_LIST)->setCurrentIndex(0);
    WidgetAs<QCheckBox>(panel, IDC_FLAG)->setChecked(true);
    WidgetAs<QCheckBox>(panel, IDC_WRAP)->setChecked(false);
    WidgetAs<QSlider>(panel, IDC_LEVEL)->setValue(6);
    WidgetAs<QSlider>(panel, IDC_POWER)->setValue(33);
    WidgetAs<QLabel>(panel, IDC_STATE)->setText(QStringLiteral("x"));
    WidgetAs<QLineEdit>(panel, IDC_COUNT)->setText(QStringLiteral("  -45 штук"));
    ASSERT_TRUE(panel.UpdateData(true));

    EXPECT_EQ(panel.port, 4);
    EXPECT_EQ(panel.name, "  текст  любой длины ");  // text as is
    EXPECT_EQ(panel.list, 0);
    EXPECT_EQ(panel.flag, 1);
    EXPECT_EQ(panel.wrap, 0);
    EXPECT_EQ(panel.level, 6);
    EXPECT_EQ(panel.power, 33);
    EXPECT_EQ(panel.state, "x");
    EXPECT_EQ(panel.count, -45);
}

TEST(DataExchange, CheckStatesAndOutOfRangeValues) {
    PanelDialog panel;
    auto* flag = WidgetAs<QCheckBox>(panel, IDC_FLAG);

    panel.flag = 2;
    panel.UpdateData(false);
    EXPECT_EQ(flag->checkState(), Qt::PartiallyChecked);
    panel.flag = -1;
    panel.UpdateData(true);
    EXPECT_EQ(panel.flag, 2);

    for (int outOfRange : {3, -1, 100}) {
        panel.flag = 1;
        panel.UpdateData(false);
        panel.flag = outOfRange;
        panel.UpdateData(false);
        EXPECT_EQ(flag->checkState(), Qt::Unchecked) << outOfRange;
    }

    // A ticked box pushed back to two states toggles as a plain box again.
    panel.flag = 2;
    panel.UpdateData(false);
    panel.flag = 0;
    panel.UpdateData(false);
    flag->click();
    EXPECT_EQ(flag->checkState(), Qt::Checked);
    flag->click();
    EXPECT_EQ(flag->checkState(), Qt::Unchecked);
}

TEST(DataExchange, SelectionNoneAndOutOfRange) {
    PanelDialog panel;
    auto* list = WidgetAs<QComboBox>(panel, IDC_LIST);

    panel.list = 1;
    panel.UpdateData(false);
    EXPECT_EQ(list->currentText(), QStringLiteral(" Второй"));

    panel.list = -1;
    panel.UpdateData(false);
    EXPECT_EQ(list->currentIndex(), -1);
    EXPECT_TRUE(list->currentText().isEmpty());
    panel.list = 5;
    panel.UpdateData(true);
    EXPECT_EQ(panel.list, -1);

    panel.list = 7;
    panel.UpdateData(false);
    EXPECT_EQ(list->currentIndex(), -1);

    // Selecting an item again restores its text over what was typed.
    panel.list = 0;
    panel.UpdateData(false);
    list->setEditText(QStringLiteral("набрано"));
    panel.UpdateData(false);
    EXPECT_EQ(list->currentText(), QStringLiteral(" Первый"));
}

TEST(DataExchange, SliderPushIsClampedToTheRange) {
    PanelDialog panel;
    auto* level = WidgetAs<QSlider>(panel, IDC_LEVEL);
    level->setMaximum(7);
    panel.level = 12;
    panel.UpdateData(false);
    EXPECT_EQ(level->value(), 7);
    panel.UpdateData(true);
    EXPECT_EQ(panel.level, 7);
}

TEST(DataExchange, PushLeavesUnchangedTextAlone) {
    PanelDialog panel;
    auto* port = WidgetAs<QLineEdit>(panel, IDC_PORT);
    panel.port = 1234;
    panel.UpdateData(false);
    EXPECT_EQ(port->cursorPosition(), 0);  // a changed box shows its beginning

    port->setCursorPosition(2);
    panel.UpdateData(false);  // same text: the caret of someone typing stays
    EXPECT_EQ(port->cursorPosition(), 2);
}

TEST(DataExchange, PushNeverRunsClickHandlers) {
    PanelDialog panel;
    int clicks = 0;
    int seen = -1;
    panel.Map(Notification::Clicked, IDC_FLAG, [&](int) {
        ++clicks;
        panel.UpdateData(true);
        seen = panel.flag;
    });
    panel.flag = 1;
    panel.UpdateData(false);
    panel.flag = 0;
    panel.UpdateData(false);
    DrainEvents();
    EXPECT_EQ(clicks, 0);

    // A click reaches the handler after the box has toggled.
    WidgetAs<QCheckBox>(panel, IDC_FLAG)->click();
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(seen, 1);
}

}  // namespace
}  // namespace testing_ui
