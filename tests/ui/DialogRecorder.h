#pragma once

#include <QWidget>

#include "platform/ui/DialogBase.h"

namespace testing_ui {

// Wraps the window system installed now (the Qt one) and notes the dialog
// behind each window it makes, so that a test meeting a modal window -- a
// dialog the main dialog made on its own stack -- reaches the dialog object
// and its members. Windows are made exactly as before.
void InstallDialogRecorder();

// The dialog whose window `window` is; null for any other widget and for a
// window already destroyed.
platform::ui::DialogBase* DialogOf(const QWidget* window);

}  // namespace testing_ui
