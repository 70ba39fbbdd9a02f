// Keys bound to buttons: pressed anywhere in the window, a report list
// with the focus included, the key clicks its button as the user would.
#include <QAbstractButton>
#include <QKeyEvent>

#include "platform/ui/qt/QtDialogWindow.h"

namespace platform::ui::qt {

void QtDialogWindow::SetKeyCommand(Key key, int id) {
    keyCommands_[key] = id;
    if (keysWatched_) return;
    // The focused control sees a key before the dialog does, and a list
    // keeps the arrows for itself; so every control's keys pass here first.
    for (QWidget* widget : findChildren<QWidget*>()) widget->installEventFilter(this);
    keysWatched_ = true;
}

bool QtDialogWindow::RunKeyCommand(const QKeyEvent* e) {
    if (keyCommands_.empty() || (e->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
    Key key;
    if (e->key() == Qt::Key_Left)
        key = Key::Left;
    else if (e->key() == Qt::Key_Right)
        key = Key::Right;
    else
        return false;
    const auto it = keyCommands_.find(key);
    if (it == keyCommands_.end()) return false;
    // A bound key belongs to its command, also while the button is disabled.
    if (auto* button = qobject_cast<QAbstractButton*>(Control(it->second)); button && button->isEnabled())
        button->click();
    return true;
}

}  // namespace platform::ui::qt
