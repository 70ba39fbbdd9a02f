#include "platform/ui/qt/ControlText.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

namespace platform::ui::qt {

QString ControlText(const QWidget* control) {
    if (auto* edit = qobject_cast<const QLineEdit*>(control)) return edit->text();
    if (auto* label = qobject_cast<const QLabel*>(control)) return label->text();
    if (auto* combo = qobject_cast<const QComboBox*>(control)) return combo->currentText();
    if (auto* button = qobject_cast<const QAbstractButton*>(control)) return button->text();
    return QString();
}

void SetControlText(QWidget* control, const QString& text) {
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        if (edit->text() != text) {
            edit->setText(text);
            edit->setCursorPosition(0);
        }
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
        if (label->text() != text) {
            label->setText(text);
            label->setAccessibleName(text);
        }
    } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
        if (combo->isEditable() && combo->currentText() != text) combo->setEditText(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        if (button->text() != text) button->setText(text);
    }
}

}  // namespace platform::ui::qt
