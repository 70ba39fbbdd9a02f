#include "platform/ui/qt/DropDownCombo.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>

namespace platform::ui::qt {

DropDownCombo::DropDownCombo(QWidget* parent) : QComboBox(parent) {
    // Qt selects an entry whose text the field matches exactly when Enter
    // is pressed or editing ends; the selection stays what the typing made
    // it. The field's signals reach this box before and after Qt's own
    // handlers, which the field is connected to when it is set.
    auto* field = new QLineEdit(this);
    field->setPalette(palette());  // as setEditable makes it
    const auto hold = [this] { holding_ = typed_; };
    const auto repair = [this] {
        if (holding_ && currentIndex() != typedIndex_) SelectKeepingText(typedIndex_, lineEdit()->text());
        holding_ = false;
    };
    connect(field, &QLineEdit::returnPressed, this, hold);
    connect(field, &QLineEdit::editingFinished, this, hold);
    setLineEdit(field);
    connect(field, &QLineEdit::returnPressed, this, repair);
    connect(field, &QLineEdit::editingFinished, this, repair);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    connect(field, &QLineEdit::textEdited, this, &DropDownCombo::FieldEdited);
    // Any selection made otherwise -- from the list, or by the program --
    // replaces the typed text.
    connect(this, &QComboBox::currentIndexChanged, this, [this] {
        if (!selecting_ && !holding_) typed_ = false;
    });
    view()->installEventFilter(this);
}

void DropDownCombo::SelectKeepingText(int index, const QString& text) {
    const int cursor = lineEdit()->cursorPosition();
    selecting_ = true;
    setCurrentIndex(index);
    selecting_ = false;
    if (currentText() != text) setEditText(text);
    lineEdit()->setCursorPosition(cursor);
}

int DropDownCombo::FirstEntryBeginningWith(const QString& text) const {
    if (text.isEmpty()) return -1;
    for (int i = 0; i < count(); ++i) {
        if (itemText(i).startsWith(text, Qt::CaseInsensitive)) return i;
    }
    return -1;
}

void DropDownCombo::FieldEdited(const QString& text) {
    const bool dropped = view()->isVisible();
    typed_ = true;
    typedIndex_ = dropped ? FirstEntryBeginningWith(text) : -1;
    SelectKeepingText(typedIndex_, text);
    if (dropped && typedIndex_ >= 0) view()->setCurrentIndex(model()->index(typedIndex_, modelColumn()));
}

bool DropDownCombo::eventFilter(QObject* watched, QEvent* e) {
    // While the list is dropped down it has the keyboard: characters and
    // erasing keys belong to the field, the arrows and Enter to the list.
    if (watched == view() && e->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(e);
        const bool erasing = key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Delete;
        const bool character = !key->text().isEmpty() && key->text().at(0).isPrint();
        if (erasing || character) {
            QCoreApplication::sendEvent(lineEdit(), key);
            return true;
        }
    }
    return QComboBox::eventFilter(watched, e);
}

}  // namespace platform::ui::qt
