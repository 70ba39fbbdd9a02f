#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/ui/DialogTemplate.h"
#include "platform/ui/Font.h"
#include "platform/ui/Views.h"

namespace platform::ui {

class DialogBase;

// One dialog's window in a window system: what a backend (Qt, Win32)
// implements so that DialogBase can run on it. Controls are reached by
// their template identifier; every text is UTF-8. Unless said otherwise,
// calls come on the dialog's thread only, and an identifier without a
// control is ignored (getters answer empty, 0 or -1).
//
// The window calls back into its DialogBase (the Window* members) for the
// first showing, every showing, control notifications, OK/Cancel and its
// end, always on the dialog's thread.
class DialogWindow {
public:
    virtual ~DialogWindow() = default;

    // Runs the window modally; returns the EndDialog result.
    virtual int RunModal() = 0;
    // Shows the window without a modal loop of its own.
    virtual void ShowModeless() = 0;
    virtual bool Visible() const = 0;
    // Ends the window's modal loop with `result` and hides it.
    virtual void End(int result) = 0;
    virtual int Result() const = 0;
    virtual std::string Title() const = 0;

    virtual bool HasControl(int id) const = 0;
    // The window text: an edit box's or label's text, a button's caption,
    // a combo box's edit field.
    virtual std::string Text(int id) const = 0;
    // Unchanged text is left alone, so a push does not move the caret of a
    // box being typed in; a changed edit box shows its beginning.
    virtual void SetText(int id, std::string_view text) = 0;
    virtual bool Enabled(int id) const = 0;
    virtual void Enable(int id, bool enable) = 0;
    virtual bool Shown(int id) const = 0;
    virtual void Show(int id, bool show) = 0;
    // 0 clear, 1 ticked, 2 indeterminate (makes the box three-state).
    virtual int Check(int id) const = 0;
    virtual void SetCheck(int id, int state) = 0;
    virtual void SetSliderRange(int id, int low, int high) = 0;
    virtual int SliderPos(int id) const = 0;
    // A move that changes the position schedules the slider's SliderChanged.
    virtual void SetSliderPos(int id, int pos) = 0;
    // The selected entry, -1 for none.
    virtual int Selection(int id) const = 0;
    // Selects entry `index` (-1: none) and puts its text into the edit
    // field, even when the index did not change.
    virtual void SetSelection(int id, int index) = 0;
    virtual int ItemCount(int id) const = 0;
    virtual void SetFocus(int id) = 0;
    // Selects the whole text of an edit box.
    virtual void SelectAllText(int id) = 0;
    virtual void SetToolTip(int id, std::string_view text) = 0;
    virtual void SetFont(int id, const Font& font) = 0;
    // The window's icon (and that of Icon controls) from PNG bytes.
    virtual void SetIcon(std::span<const std::uint8_t> png) = 0;

    // The window menu: the system's items, then the ones appended here.
    // An appended item runs OnSysCommand(code, 0) once the menu has closed.
    virtual void AppendMenuSeparator() = 0;
    virtual void AppendMenuItem(std::string_view text, unsigned code) = 0;

    // --- report lists (ControlKind::List) ---
    // The rows belong to the dialog: the window asks DialogBase::ListRowAt
    // for the rows it draws or is asked about, and keeps none itself.
    virtual void SetListColumns(int id, std::span<const ListColumn> columns) = 0;
    // The list now holds `count` rows; the first `dropped` rows it held
    // before are gone (the rest moved up by that many). A list whose last
    // row was in view keeps its (new) last row in view; one scrolled up
    // keeps showing the same rows where they still exist.
    virtual void SetListRowCount(int id, int count, int dropped) = 0;
    virtual int ListRowCount(int id) const = 0;
    // True when the list's last row is in view (the list follows new rows).
    virtual bool ListAtEnd(int id) const = 0;

    // --- strip charts (ControlKind::Chart) ---
    virtual void SetChart(int id, const ChartData& chart) = 0;
    // What the chart shows now, as ChartText() gives it.
    virtual std::string ChartDescription(int id) const = 0;

    // --- timers: DialogBase::WindowTimer(timerId) every `intervalMs` on the
    // dialog's thread until KillTimer; setting a running timer restarts it.
    virtual void SetTimer(int timerId, int intervalMs) = 0;
    virtual void KillTimer(int timerId) = 0;
    virtual bool TimerRunning(int timerId) const = 0;

    // --- keys: `key` pressed anywhere in the window (a list included)
    // clicks button `id`, when that button is enabled.
    virtual void SetKeyCommand(Key key, int id) = 0;

    // The system's modal file dialog; the chosen path in UTF-8, or empty
    // when the user cancelled. A save question never asks about replacing:
    // the caller never replaces a file.
    virtual std::string AskFileName(const FileQuestion& question) = 0;

    // A modal warning box with an OK button; returns when it is closed.
    // `name` identifies the box for tests and assistive tools.
    virtual void MessageBox(const char* name, std::string_view text) = 0;
    // Closes the message box or file dialog open over the window now, as
    // its close box does (the file dialog cancelled); its call returns once
    // the current handler has. Nothing when none is open.
    virtual void CloseBox() = 0;

    // Queues `task` to run on the dialog's thread once the current handler
    // has returned. Callable from any thread. A task still queued when the
    // window is destroyed is destroyed without running.
    virtual void Post(std::function<void()> task) = 0;
    // True on the thread that owns the window.
    virtual bool OnDialogThread() const = 0;
};

// A window system: makes the windows of dialogs. The start-up installs one
// before the first dialog is made.
class WindowSystem {
public:
    virtual ~WindowSystem() = default;
    virtual std::unique_ptr<DialogWindow> CreateDialogWindow(DialogBase& owner, const DialogTemplate& tmpl,
                                                             DialogWindow* parent) = 0;
};

void InstallWindowSystem(WindowSystem* system);
// The installed window system, or null when none is.
[[nodiscard]] WindowSystem* InstalledWindowSystem();
// The installed window system; aborts with a message when none is.
WindowSystem& CurrentWindowSystem();

}  // namespace platform::ui
