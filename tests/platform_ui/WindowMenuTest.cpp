// The dialog's own window menu.
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

#include "QtDialogs.h"
#include "WaitUntil.h"

namespace testing_ui {
namespace {

QStringList Entries(const QMenu* menu) {
    QStringList entries;
    for (const QAction* action : menu->actions())
        entries << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return entries;
}

// A point of the dialog that no control covers.
QPoint FreePoint(const QWidget& dialog) {
    for (int y = 2; y < dialog.height(); y += 3) {
        for (int x = 2; x < dialog.width(); x += 3) {
            if (!dialog.childAt(x, y)) return QPoint(x, y);
        }
    }
    return QPoint(-1, -1);
}

TEST(WindowMenu, StandardItemsThenAppendedOnes) {
    PanelDialog panel;
    panel.AppendMenuSeparator();
    panel.AppendMenuItem("&О проекте...", 16);
    panel.AppendMenuItem("Скорость ...", 114);
    const QtDialogWindow& window = WindowOf(panel);

    auto* menu = window.findChild<QMenu*>(QString::fromLatin1(QtDialogWindow::kWindowMenuName));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu, window.WindowMenu());
    EXPECT_EQ(menu->objectName(), QStringLiteral("IDM_SYSMENU"));
    const QStringList expected{QStringLiteral("Переместить"), QStringLiteral("Свернуть"),
                               QStringLiteral("-"),           QStringLiteral("Закрыть"),
                               QStringLiteral("-"),           QStringLiteral("&О проекте..."),
                               QStringLiteral("Скорость ...")};
    EXPECT_EQ(Entries(menu), expected);

    const QString closeName = QString::fromLatin1(QtDialogWindow::kCloseActionName);
    auto* close = menu->findChild<QAction*>(closeName);
    if (!close) close = window.findChild<QAction*>(closeName);
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(close->shortcut(), QKeySequence(Qt::ALT | Qt::Key_F4));
    for (QAction* action : menu->actions())
        EXPECT_TRUE(action->isSeparator() || !action->objectName().isEmpty()) << action->text().toStdString();
}

TEST(WindowMenu, RightClickOnFreeAreaOpensItButNotOnAControl) {
    PanelDialog panel;
    panel.ShowModeless();
    QtDialogWindow& window = WindowOf(panel);
    QMenu* menu = window.WindowMenu();

    QWidget* button = Widget(panel, IDCANCEL);
    QContextMenuEvent onButton(QContextMenuEvent::Mouse, QPoint(3, 3), button->mapToGlobal(QPoint(3, 3)));
    QApplication::sendEvent(button, &onButton);
    DrainEvents();
    EXPECT_FALSE(menu->isVisible());

    const QPoint free = FreePoint(window);
    ASSERT_GE(free.x(), 0);
    QContextMenuEvent onDialog(QContextMenuEvent::Mouse, free, window.mapToGlobal(free));
    QApplication::sendEvent(&window, &onDialog);
    ASSERT_TRUE(WaitUntil([&] { return menu->isVisible(); }));
    menu->hide();
}

TEST(WindowMenu, AltSpaceOpensIt) {
    PanelDialog panel;
    panel.ShowModeless();
    QtDialogWindow& window = WindowOf(panel);
    window.activateWindow();
    ASSERT_TRUE(WaitUntil([&] { return QApplication::activeWindow() == &window; }));
    QTest::keyClick(window.focusWidget(), Qt::Key_Space, Qt::AltModifier);
    ASSERT_TRUE(WaitUntil([&] { return window.WindowMenu()->isVisible(); }));
    window.WindowMenu()->hide();
    ASSERT_TRUE(WaitUntil([&] { return !window.WindowMenu()->isVisible(); }));
    EXPECT_EQ(panel.cancelCount, 0);  // the focused button was not pressed

    // Also from a box being typed in, which gets no blank.
    auto* port = WidgetAs<QLineEdit>(panel, IDC_PORT);
    port->setFocus();
    QTest::keyClick(port, Qt::Key_Space, Qt::AltModifier);
    ASSERT_TRUE(WaitUntil([&] { return window.WindowMenu()->isVisible(); }));
    window.WindowMenu()->hide();
    EXPECT_EQ(port->text(), QStringLiteral("1"));
    EXPECT_EQ(panel.GetDlgItemText(IDC_PORT), "1");
}

}  // namespace
}  // namespace testing_ui
