#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/ui/DialogBase.h"
#include "platform/ui/DialogWindow.h"

namespace testing_ui {

// What the tests' windows do when a dialog opens a window of its own. The
// harness clears them for every test.
struct WindowScripts {
    // Runs inside each modal dialog's loop as it starts, on the dialog's
    // thread; a dialog it leaves open is cancelled afterwards. Unset: the
    // dialog is cancelled at once.
    std::function<void(platform::ui::DialogBase&)> modal;
    // Runs while a message box is open, with its text; the box closes when
    // it returns. Unset: the box closes at once.
    std::function<void(const std::string&)> messageBox;
    // The answer to a file question, as the user gives it ("" cancels).
    // Unset: cancelled.
    std::function<std::string(const platform::ui::FileQuestion&)> fileQuestion;
};
WindowScripts& Scripts();

// Every window opened since the last clearing, in order: a dialog's
// template name ("IDD_ABOUT") each time it is shown, modal or modeless
// (a window shown again included), and
// "message box" or "file dialog" for the system's own.
std::vector<std::string>& Opened();
// The texts of the message boxes shown since the last clearing.
std::vector<std::string>& Messages();

// Wraps the window system installed now: every dialog's window is the
// system's own, reached through a stand-in that forwards each call to it,
// notes what opens and lets the scripts above work modal dialogs from
// inside their loops. Message boxes and file questions are answered by the
// scripts instead of the system. Call once, after the system started.
void InstallTestWindows();

// The tooltip a dialog gave its control last; empty when none.
std::string ToolTip(const platform::ui::DialogBase& dialog, int id);

// The window system's own window behind a dialog, for backend-only checks.
platform::ui::DialogWindow& BackendWindow(const platform::ui::DialogBase& dialog);

}  // namespace testing_ui
