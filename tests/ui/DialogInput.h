#pragma once

// A person's moves on a dialog, made through the dialog's window as its
// controls report them, so that the same test runs on every window system.
// Each move delivers what it queued before returning.
#include <gtest/gtest.h>

#include <string_view>

#include "platform/ui/DialogBase.h"
#include "tests/support/WindowPump.h"

namespace testing_ui {

using platform::ControlKind;
using platform::ui::DialogBase;
using platform::ui::Notification;

inline const platform::ControlTemplate* ControlOf(const DialogBase& d, int id) {
    for (const platform::ControlTemplate& c : d.Template().controls)
        if (c.id == id) return &c;
    return nullptr;
}

// A click on a button or check box; a check box changes its tick first, as
// an automatic one does. A disabled or hidden control takes no click.
inline void Click(DialogBase& d, int id) {
    const platform::ControlTemplate* control = ControlOf(d, id);
    ASSERT_NE(control, nullptr) << id;
    platform::ui::DialogWindow& w = d.Window();
    if (!w.Enabled(id) || !w.Shown(id)) return;
    if (control->kind == ControlKind::CheckBox) w.SetCheck(id, w.Check(id) == 1 ? 0 : 1);
    d.WindowNotify(Notification::Clicked, id);
    testing_support::PumpQueued();
}

// Drags a slider to `position`.
inline void MoveSlider(DialogBase& d, int id, int position) {
    d.Window().SetSliderPos(id, position);
    testing_support::PumpQueued();
}

// Presses the up or the down arrow of an up-down control.
inline void PressArrow(DialogBase& d, int id, bool up) {
    ASSERT_TRUE(d.Window().Enabled(id)) << id;
    d.WindowNotify(Notification::UpDownStep, id, up ? -1 : +1);
    testing_support::PumpQueued();
}

// Types `text` over an edit box's text.
inline void Type(DialogBase& d, int id, std::string_view text) { d.Window().SetText(id, text); }

// Picks entry `index` of a combo box's list.
inline void Pick(DialogBase& d, int id, int index) { d.Window().SetSelection(id, index); }

// The moves that go through the window system's own input: implemented
// for each system (qt/, win32/).

// Esc on the dialog's focused control.
void PressEscape(DialogBase& d);
// Hides the dialog's window, as another program may; it stays open.
void HideWindow(DialogBase& d);
// The close box of the dialog's frame.
void PressCloseBox(DialogBase& d);
// Chooses the item of the dialog's window menu that carries `code`; fails
// the test when there is none or it is disabled.
void ChooseWindowMenuItem(DialogBase& d, unsigned code);
// The identifier of the control that has the focus; -1 for none of the
// dialog's.
int FocusedControl(const DialogBase& d);

}  // namespace testing_ui
