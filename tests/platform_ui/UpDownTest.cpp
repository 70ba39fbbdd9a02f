// The up-down control reports only the sign of a press: up -1, down +1.
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include "QtDialogs.h"
#include "WaitUntil.h"
#include "platform/ui/qt/UpDownControl.h"

namespace testing_ui {
namespace {

TEST(UpDown, ArrowsReportTheSignOfTheChange) {
    PanelDialog panel;
    std::vector<int> deltas;
    panel.Map(Notification::UpDownStep, IDC_PORT_SPIN, [&](int delta) { deltas.push_back(delta); });
    panel.ShowModeless();

    auto* up = WindowOf(panel).findChild<QToolButton*>(QStringLiteral("IDC_PORT_SPIN_UP"));
    auto* down = WindowOf(panel).findChild<QToolButton*>(QStringLiteral("IDC_PORT_SPIN_DOWN"));
    ASSERT_NE(up, nullptr);
    ASSERT_NE(down, nullptr);
    QTest::mouseClick(up, Qt::LeftButton);
    QTest::mouseClick(up, Qt::LeftButton);
    QTest::mouseClick(down, Qt::LeftButton);
    EXPECT_EQ(deltas, (std::vector<int>{-1, -1, +1}));

    // The arrows lie one above the other inside the control's rectangle.
    EXPECT_LT(up->geometry().bottom(), down->geometry().top() + 1);
    EXPECT_TRUE(Widget(panel, IDC_PORT_SPIN)->rect().contains(down->geometry()));
}

TEST(UpDown, WithoutArrowKeysTheKeysAreNotTaken) {
    platform::ui::qt::UpDownControl control(QStringLiteral("IDC_X"), false);
    QSignalSpy spy(&control, &platform::ui::qt::UpDownControl::deltaPos);
    QTest::keyClick(&control, Qt::Key_Up);
    EXPECT_EQ(spy.count(), 0);
    control.UpButton()->click();
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toInt(), -1);
}

}  // namespace
}  // namespace testing_ui
