#pragma once

class QDialog;
class QWidget;

namespace platform::ui::qt {

// Modal loops as the Windows dialog manager runs them: while one runs, its
// owner's window takes no input, and every other window -- a modeless
// window beside the owner, say -- keeps working. (Qt's own modal loops
// block the whole application or the owner's whole family of windows.)

// Shows `window` and delivers events until it has finished or is gone;
// `owner`'s window (may be null) takes no input meanwhile.
void RunOverOwner(QDialog* window, QWidget* owner);

// False while a modal loop over `widget`'s window runs.
bool TakesInput(const QWidget* widget);

// The window of the innermost modal loop that RunOverOwner runs, or null.
QWidget* RunningModalWindow();

}  // namespace platform::ui::qt
