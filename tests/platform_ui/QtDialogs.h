#pragma once

// The test dialogs together with the Qt side of their windows.
#include "TestDialogs.h"
#include "platform/ui/qt/QtDialogWindow.h"

namespace testing_ui {

using platform::ui::qt::QtDialogWindow;
using platform::ui::qt::Widget;
using platform::ui::qt::WidgetAs;
using platform::ui::qt::WindowOf;

}  // namespace testing_ui
