// Initial focus, Enter, Esc and the close button.
#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "QtDialogs.h"
#include "WaitUntil.h"

namespace testing_ui {
namespace {

TEST(Keyboard, FocusStartsOnTheFirstControlThatTakesIt) {
    PanelDialog panel;
    panel.ShowModeless();
    EXPECT_EQ(WindowOf(panel).focusWidget(), Widget(panel, IDCANCEL));

    SmallDialog small;
    small.ShowModeless();
    EXPECT_EQ(WindowOf(small).focusWidget(), Widget(small, IDOK));
}

TEST(Keyboard, InitialisationRunsOnceBeforeTheFirstShowing) {
    PanelDialog panel;
    panel.port = 5;
    panel.ShowModeless();
    EXPECT_EQ(WidgetAs<QLineEdit>(panel, IDC_PORT)->text(), QStringLiteral("5"));
    WindowOf(panel).hide();
    panel.port = 6;
    panel.ShowModeless();
    EXPECT_EQ(WidgetAs<QLineEdit>(panel, IDC_PORT)->text(), QStringLiteral("5"));
}

TEST(Keyboard, EnterOnAFocusedButtonPressesIt) {
    PanelDialog panel;
    panel.ShowModeless();
    QTest::keyClick(WindowOf(panel).focusWidget(), Qt::Key_Return);
    EXPECT_EQ(panel.cancelCount, 1);
    EXPECT_EQ(panel.okCount, 0);
    EXPECT_FALSE(panel.IsVisible());
    EXPECT_EQ(panel.Result(), DialogBase::kIdCancel);
}

TEST(Keyboard, EnterElsewhereWithoutADefaultButtonIssuesOk) {
    PanelDialog panel;
    panel.ShowModeless();
    Widget(panel, IDC_PORT)->setFocus();
    QTest::keyClick(Widget(panel, IDC_PORT), Qt::Key_Return);
    EXPECT_EQ(panel.okCount, 1);
    EXPECT_EQ(panel.cancelCount, 0);
    EXPECT_FALSE(panel.IsVisible());
    EXPECT_EQ(panel.Result(), DialogBase::kIdOk);
}

TEST(Keyboard, EnterWithAWordInAnIntegerBoxKeepsTheDialogOpen) {
    PanelDialog panel;
    panel.ShowModeless();
    auto* port = WidgetAs<QLineEdit>(panel, IDC_PORT);
    port->setText(QStringLiteral("COM"));
    port->setFocus();
    int boxes = 0;
    ModalWatcher closer([&](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            ++boxes;
            box->button(QMessageBox::Ok)->click();
        }
    });
    QTest::keyClick(port, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(panel.okCount, 1);
    EXPECT_EQ(boxes, 1);
    EXPECT_TRUE(panel.IsVisible());
}

TEST(Keyboard, EnterInTheComboBoxIssuesOkToo) {
    PanelDialog panel;
    panel.ShowModeless();
    auto* list = WidgetAs<QComboBox>(panel, IDC_LIST);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(panel.okCount, 1);
    EXPECT_EQ(list->count(), 3);  // Enter adds nothing to the list
}

TEST(Keyboard, EscapeAndTheCloseButtonCancel) {
    PanelDialog panel;
    panel.ShowModeless();
    Widget(panel, IDC_PORT)->setFocus();
    QTest::keyClick(Widget(panel, IDC_PORT), Qt::Key_Escape);
    EXPECT_EQ(panel.cancelCount, 1);
    EXPECT_FALSE(panel.IsVisible());

    PanelDialog again;
    again.ShowModeless();
    WidgetAs<QComboBox>(again, IDC_LIST)->setFocus();
    QTest::keyClick(Widget(again, IDC_LIST), Qt::Key_Escape);
    EXPECT_EQ(again.cancelCount, 1);

    PanelDialog closed;
    closed.ShowModeless();
    EXPECT_TRUE(WindowOf(closed).close());
    EXPECT_EQ(closed.cancelCount, 1);
    EXPECT_EQ(closed.Result(), DialogBase::kIdCancel);
}

TEST(Keyboard, EnterPressesTheDefaultButtonAndItsMappedHandler) {
    SmallDialog small;
    int okClicks = 0;
    small.Map(Notification::Clicked, IDOK, [&](int) { ++okClicks; });
    small.ShowModeless();
    Widget(small, IDC_VALUE)->setFocus();
    QTest::keyClick(Widget(small, IDC_VALUE), Qt::Key_Return);
    EXPECT_EQ(okClicks, 1);
    EXPECT_EQ(small.okCount, 0);  // the mapped handler replaces OnOK
    EXPECT_TRUE(small.IsVisible());

    // Without a mapping the button ends the dialog through OnOK.
    SmallDialog plain;
    plain.ShowModeless();
    plain.value = 0;
    Widget(plain, IDC_VALUE)->setFocus();
    QTest::keyClick(Widget(plain, IDC_VALUE), Qt::Key_Return);
    EXPECT_EQ(plain.okCount, 1);
    EXPECT_EQ(plain.Result(), DialogBase::kIdOk);
}

TEST(Keyboard, DoModalReturnsHowTheDialogEnded) {
    SmallDialog small;
    small.value = 42;
    ModalWatcher escaper([&](QWidget* modal) {
        if (modal == &WindowOf(small) && WindowOf(small).focusWidget())
            QTest::keyClick(WindowOf(small).focusWidget(), Qt::Key_Escape);
    });
    EXPECT_EQ(small.DoModal(), DialogBase::kIdCancel);
    EXPECT_EQ(small.cancelCount, 1);

    SmallDialog accepted;
    ModalWatcher presser([&](QWidget* modal) {
        if (modal == &WindowOf(accepted) && WindowOf(accepted).focusWidget())
            QTest::keyClick(WindowOf(accepted).focusWidget(), Qt::Key_Return);  // focus is on "ОК"
    });
    EXPECT_EQ(accepted.DoModal(), DialogBase::kIdOk);
    EXPECT_EQ(accepted.okCount, 1);
}

}  // namespace
}  // namespace testing_ui
