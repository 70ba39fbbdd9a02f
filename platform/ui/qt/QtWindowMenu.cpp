// The dialog's own window menu: the window manager keeps the real one, so
// the dialog offers the same commands on a right click and on Alt+Space.
#include "platform/ui/qt/QtDialogWindow.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QShortcut>
#include <QWindow>

namespace platform::ui::qt {

void QtDialogWindow::BuildWindowMenu() {
    menu_ = new QMenu(this);
    menu_->setObjectName(QString::fromLatin1(kWindowMenuName));

    // The commands run once the menu has closed, as a posted WM_SYSCOMMAND would.
    QAction* move = menu_->addAction(QStringLiteral("Переместить"));
    move->setObjectName(QString::fromLatin1(kMoveActionName));
    connect(
        move, &QAction::triggered, this,
        [this] {
            if (QWindow* window = windowHandle()) window->startSystemMove();
        },
        Qt::QueuedConnection);

    if (tmpl_.minimiseBox) {
        QAction* minimise = menu_->addAction(QStringLiteral("Свернуть"));
        minimise->setObjectName(QString::fromLatin1(kMinimiseActionName));
        connect(
            minimise, &QAction::triggered, this, [this] { showMinimized(); }, Qt::QueuedConnection);
    }

    menu_->addSeparator();

    QAction* closing = menu_->addAction(QStringLiteral("Закрыть"));
    closing->setObjectName(QString::fromLatin1(kCloseActionName));
    closing->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
    closing->setShortcutContext(Qt::WindowShortcut);
    addAction(closing);  // Alt+F4 also where the window manager leaves it to the window
    connect(
        closing, &QAction::triggered, this, [this] { close(); }, Qt::QueuedConnection);

    auto* opener = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), this);
    connect(opener, &QShortcut::activated, this, [this] { OpenWindowMenu(mapToGlobal(QPoint(0, 0))); });
}

void QtDialogWindow::AppendMenuSeparator() { menu_->addSeparator(); }

void QtDialogWindow::AppendMenuItem(std::string_view text, unsigned sysCommand) {
    QAction* item = menu_->addAction(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    item->setObjectName(QStringLiteral("CMD_%1").arg(sysCommand));
    connect(
        item, &QAction::triggered, this, [this, sysCommand] { owner_.WindowSysCommand(sysCommand); },
        Qt::QueuedConnection);
}

void QtDialogWindow::OpenWindowMenu(const QPoint& globalPos) { menu_->popup(globalPos); }

void QtDialogWindow::contextMenuEvent(QContextMenuEvent* e) {
    // Only the dialog's free area opens the window menu, not a control.
    if (e->reason() == QContextMenuEvent::Mouse && childAt(e->pos())) {
        e->ignore();
        return;
    }
    OpenWindowMenu(e->reason() == QContextMenuEvent::Mouse ? e->globalPos() : mapToGlobal(QPoint(0, 0)));
}

}  // namespace platform::ui::qt
