#pragma once

#include <QString>

class QWidget;

namespace platform::ui::qt {

// The window text of a control, as GetWindowText reads it: an edit box's
// text, a label's text, a button's caption, a combo box's edit field.
QString ControlText(const QWidget* control);

// Sets a control's window text. Unchanged text is left alone, so a push
// does not move the caret of a box being typed in; a changed edit box
// shows its beginning. A value label's accessible name follows its text.
void SetControlText(QWidget* control, const QString& text);

}  // namespace platform::ui::qt
