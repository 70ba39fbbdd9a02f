// Initial focus, Enter, Esc and the close button.
#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "TestDialogs.h"
#include "WaitUntil.h"

namespace testing_ui {
namespace {

TEST(Keyboard, FocusStartsOnTheFirstControlThatTakesIt) {
    PanelDialog panel;
    panel.show();
    EXPECT_EQ(panel.focusWidget(), panel.Control(IDCANCEL));

    SmallDialog small;
    small.show();
    EXPECT_EQ(small.focusWidget(), small.Control(IDOK));
}

TEST(Keyboard, InitialisationRunsOnceBeforeTheFirstShowing) {
    PanelDialog panel;
    panel.port = 5;
    panel.show();
    EXPECT_EQ(panel.ControlAs<QLineEdit>(IDC_PORT)->text(), QStringLiteral("5"));
    panel.hide();
    panel.port = 6;
    panel.show();
    EXPECT_EQ(panel.ControlAs<QLineEdit>(IDC_PORT)->text(), QStringLiteral("5"));
}

TEST(Keyboard, EnterOnAFocusedButtonPressesIt) {
    PanelDialog panel;
    panel.show();
    QTest::keyClick(panel.focusWidget(), Qt::Key_Return);
    EXPECT_EQ(panel.cancelCount, 1);
    EXPECT_EQ(panel.okCount, 0);
    EXPECT_FALSE(panel.isVisible());
    EXPECT_EQ(panel.result(), QDialog::Rejected);
}

TEST(Keyboard, EnterElsewhereWithoutADefaultButtonIssuesOk) {
    PanelDialog panel;
    panel.show();
    panel.Control(IDC_PORT)->setFocus();
    QTest::keyClick(panel.Control(IDC_PORT), Qt::Key_Return);
    EXPECT_EQ(panel.okCount, 1);
    EXPECT_EQ(panel.cancelCount, 0);
    EXPECT_FALSE(panel.isVisible());
    EXPECT_EQ(panel.result(), QDialog::Accepted);
}

TEST(Keyboard, EnterWithAWordInAnIntegerBoxKeepsTheDialogOpen) {
    PanelDialog panel;
    panel.show();
    auto* port = panel.ControlAs<QLineEdit>(IDC_PORT);
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
    EXPECT_TRUE(panel.isVisible());
}

TEST(Keyboard, EnterInTheComboBoxIssuesOkToo) {
    PanelDialog panel;
    panel.show();
    auto* list = panel.ControlAs<QComboBox>(IDC_LIST);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(panel.okCount, 1);
    EXPECT_EQ(list->count(), 3);  // Enter adds nothing to the list
}

TEST(Keyboard, EscapeAndTheCloseButtonCancel) {
    PanelDialog panel;
    panel.show();
    panel.Control(IDC_PORT)->setFocus();
    QTest::keyClick(panel.Control(IDC_PORT), Qt::Key_Escape);
    EXPECT_EQ(panel.cancelCount, 1);
    EXPECT_FALSE(panel.isVisible());

    PanelDialog again;
    again.show();
    again.ControlAs<QComboBox>(IDC_LIST)->setFocus();
    QTest::keyClick(again.Control(IDC_LIST), Qt::Key_Escape);
    EXPECT_EQ(again.cancelCount, 1);

    PanelDialog closed;
    closed.show();
    EXPECT_TRUE(closed.close());
    EXPECT_EQ(closed.cancelCount, 1);
    EXPECT_EQ(closed.result(), QDialog::Rejected);
}

TEST(Keyboard, EnterPressesTheDefaultButtonAndItsMappedHandler) {
    SmallDialog small;
    int okClicks = 0;
    small.Map(Notification::Clicked, IDOK, [&](int) { ++okClicks; });
    small.show();
    small.Control(IDC_VALUE)->setFocus();
    QTest::keyClick(small.Control(IDC_VALUE), Qt::Key_Return);
    EXPECT_EQ(okClicks, 1);
    EXPECT_EQ(small.okCount, 0);  // the mapped handler replaces OnOK
    EXPECT_TRUE(small.isVisible());

    // Without a mapping the button ends the dialog through OnOK.
    SmallDialog plain;
    plain.show();
    plain.value = 0;
    plain.Control(IDC_VALUE)->setFocus();
    QTest::keyClick(plain.Control(IDC_VALUE), Qt::Key_Return);
    EXPECT_EQ(plain.okCount, 1);
    EXPECT_EQ(plain.result(), QDialog::Accepted);
}

TEST(Keyboard, DoModalReturnsHowTheDialogEnded) {
    SmallDialog small;
    small.value = 42;
    ModalWatcher escaper([&](QWidget* modal) {
        if (modal == &small && small.focusWidget()) QTest::keyClick(small.focusWidget(), Qt::Key_Escape);
    });
    EXPECT_EQ(small.DoModal(), QDialog::Rejected);
    EXPECT_EQ(small.cancelCount, 1);

    SmallDialog accepted;
    ModalWatcher presser([&](QWidget* modal) {
        if (modal == &accepted && accepted.focusWidget())
            QTest::keyClick(accepted.focusWidget(), Qt::Key_Return);  // focus is on "ОК"
    });
    EXPECT_EQ(accepted.DoModal(), QDialog::Accepted);
    EXPECT_EQ(accepted.okCount, 1);
}

}  // namespace
}  // namespace testing_ui
