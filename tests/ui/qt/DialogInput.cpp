#include "tests/ui/DialogInput.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>

#include "platform/ui/qt/QtDialogWindow.h"
#include "tests/ui/qt/QtWindows.h"

namespace testing_ui {

void PressEscape(DialogBase& d) {
    QWidget& window = QtWindow(d);
    QWidget* target = window.focusWidget() ? window.focusWidget() : &window;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    testing_support::PumpQueued();
}

void HideWindow(DialogBase& d) {
    QtWindow(d).hide();
    testing_support::PumpQueued();
}

void PressCloseBox(DialogBase& d) {
    QtWindow(d).close();
    testing_support::PumpQueued();
}

void ChooseWindowMenuItem(DialogBase& d, unsigned code) {
    QMenu* menu = QtWindow(d).WindowMenu();
    ASSERT_NE(menu, nullptr);
    QAction* item = menu->findChild<QAction*>(QStringLiteral("CMD_%1").arg(code));
    ASSERT_NE(item, nullptr) << code;
    ASSERT_TRUE(item->isEnabled()) << code;
    item->trigger();
    testing_support::PumpQueued();
}

int FocusedControl(const DialogBase& d) {
    const QWidget* focus = QtWindow(d).focusWidget();
    for (const platform::ControlTemplate& c : d.Template().controls)
        if (focus && c.id != -1 && QtControl(d, c.id) == focus) return c.id;
    return -1;
}

}  // namespace testing_ui
