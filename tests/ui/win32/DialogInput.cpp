#include "tests/ui/DialogInput.h"

// Brings windows.h, after the neutral headers.
#include "platform/ui/win32/Win32DialogWindow.h"
#include "tests/ui/TestWindows.h"

namespace testing_ui {

namespace {

HWND Handle(const DialogBase& d) {
    auto* window = dynamic_cast<platform::ui::win32::Win32DialogWindow*>(&BackendWindow(d));
    return window ? window->Handle() : nullptr;
}

}  // namespace

void PressEscape(DialogBase& d) {
    const HWND dialog = Handle(d);
    ASSERT_NE(dialog, nullptr);
    // The dialog manager of the loop turns the key into IDCANCEL.
    const HWND focus = GetFocus();
    const HWND target = focus && (focus == dialog || IsChild(dialog, focus)) ? focus : dialog;
    PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, 1);
    PostMessageW(target, WM_KEYUP, VK_ESCAPE, 0xC0000001);
    testing_support::PumpQueued();
}

void HideWindow(DialogBase& d) {
    ShowWindow(Handle(d), SW_HIDE);
    testing_support::PumpQueued();
}

void PressCloseBox(DialogBase& d) {
    const HWND dialog = Handle(d);
    ASSERT_NE(dialog, nullptr);
    PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    testing_support::PumpQueued();
}

void ChooseWindowMenuItem(DialogBase& d, unsigned code) {
    const HWND dialog = Handle(d);
    ASSERT_NE(dialog, nullptr);
    const HMENU menu = GetSystemMenu(dialog, FALSE);
    ASSERT_NE(menu, nullptr);
    const UINT state = GetMenuState(menu, code, MF_BYCOMMAND);
    ASSERT_NE(state, static_cast<UINT>(-1)) << code;
    ASSERT_EQ(state & (MF_GRAYED | MF_DISABLED), 0u) << code;
    // What the menu sends once closed.
    PostMessageW(dialog, WM_SYSCOMMAND, code, 0);
    testing_support::PumpQueued();
}

int FocusedControl(const DialogBase& d) {
    const HWND dialog = Handle(d);
    const HWND focus = GetFocus();
    if (!dialog || !focus || !IsChild(dialog, focus)) return -1;
    // An edit field inside a combo box stands for the combo box.
    HWND control = focus;
    while (GetParent(control) != dialog) control = GetParent(control);
    return GetDlgCtrlID(control);
}

}  // namespace testing_ui
