#pragma once

// The Qt widgets behind the tests' dialogs, for the checks only Qt can make.
#include <QWidget>

#include "platform/ui/qt/QtDialogWindow.h"
#include "tests/ui/TestWindows.h"

namespace testing_ui {

inline platform::ui::qt::QtDialogWindow& QtWindow(const platform::ui::DialogBase& d) {
    return dynamic_cast<platform::ui::qt::QtDialogWindow&>(BackendWindow(d));
}

inline QWidget* QtControl(const platform::ui::DialogBase& d, int id) { return QtWindow(d).Control(id); }

template <class W>
W* QtControlAs(const platform::ui::DialogBase& d, int id) {
    return qobject_cast<W*>(QtControl(d, id));
}

}  // namespace testing_ui
