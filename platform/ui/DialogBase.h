#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <string_view>

#include "platform/ui/DataExchange.h"
#include "platform/ui/DialogTemplate.h"
#include "platform/ui/DialogWindow.h"
#include "platform/ui/Font.h"

namespace platform {
class Event;
}

namespace platform::ui {

// Notifications a control sends to its dialog (the message map's keys).
enum class Notification {
    Clicked,        // a push button or check box was clicked
    SliderChanged,  // a slider was shown or its position changed
    UpDownStep,     // an up-down arrow was pressed; delta < 0 up, > 0 down
};

// The dialog base, the stand-in for CDialogEx, over whatever window system
// is installed: builds its window from a template, dispatches control
// notifications through a message map, exchanges data with UpdateData and
// offers a window menu. Controls are reached by identifier.
class DialogBase {
public:
    static constexpr int kIdOk = 1;      // IDOK
    static constexpr int kIdCancel = 2;  // IDCANCEL

    explicit DialogBase(const DialogTemplate& tmpl, DialogBase* parent = nullptr);
    virtual ~DialogBase();
    DialogBase(const DialogBase&) = delete;
    DialogBase& operator=(const DialogBase&) = delete;

    // Runs the dialog modally; returns the EndDialog result, kIdOk or
    // kIdCancel for the standard endings.
    int DoModal();
    // Shows the dialog without a modal loop (the caller runs the events).
    void ShowModeless();
    bool IsVisible() const;
    int Result() const;
    void EndDialog(int result);

    // TRUE pulls controls into members, FALSE pushes members into controls.
    // A failed integer pull shows "Введите целое число." (at most one such
    // box at a time in the process), focuses and selects the box, and
    // returns false.
    bool UpdateData(bool save = true);

    const DialogTemplate& Template() const { return tmpl_; }
    std::string Title() const;

    // Control operations by identifier (the dialog's thread only).
    bool HasControl(int id) const;
    std::string GetDlgItemText(int id) const;
    void SetDlgItemText(int id, std::string_view text);
    void EnableControl(int id, bool enable);
    bool IsControlEnabled(int id) const;
    void ShowControl(int id, bool show);
    bool IsControlShown(int id) const;
    void SetSliderRange(int id, int low, int high);
    void SetToolTip(int id, std::string_view text);
    void SetControlFont(int id, const Font& font);
    void GotoDlgCtrl(int id);  // focus; an edit box gets its text selected
    void SetIcon(std::span<const std::uint8_t> png);

    // A modal warning box with the dialog's title and an OK button, as
    // AfxMessageBox; returns when it is closed.
    void MessageBox(std::string_view text);
    // The system's file question over the dialog: the chosen path in UTF-8,
    // or empty when cancelled.
    std::string AskFileName(const FileQuestion& question);

    // The window menu: move, minimise (when the template has a minimise
    // box), separator, close, then the items appended here.
    void AppendMenuSeparator();
    void AppendMenuItem(std::string_view text, unsigned sysCommand);

    // Runs OnSysCommand on the dialog's thread from any thread and waits
    // until it has returned, until `stop` (may be null) is set, or until
    // `boundMs` ran out (negative: no bound). Returns true when the command
    // was handled. A request still queued when the dialog is destroyed is
    // released as not handled.
    bool SendSysCommand(unsigned code, const platform::Event* stop, int boundMs);
    // Requests posted from other threads and not yet served or dropped.
    int PendingSysCommands() const { return pendingCommands_->load(); }

    // Runs `task` on the dialog's thread once the current handler has
    // returned; callable from any thread. Dropped with the window.
    void PostToDialog(std::function<void()> task);

    // Runs the handler mapped to a notification as the control would; with
    // no handler, Clicked of IDOK/IDCANCEL goes to OnOK/OnCancel.
    void Notify(Notification n, int id, int delta = 0);

    // The window behind the dialog, for the window system and for tests.
    DialogWindow& Window() const { return *window_; }

    // --- called by the window system, on the dialog's thread ---
    // Every showing; the first one runs OnInitDialog. Returns true when
    // the window should focus its first tab stop.
    bool WindowShown();
    // A notification raised by a control itself: locked out while an
    // exchange runs, as the framework does.
    void WindowNotify(Notification n, int id, int delta = 0);
    // A slider's position or range changed.
    void WindowSliderMoved(int id);
    void WindowSysCommand(unsigned code) { OnSysCommand(code, 0); }
    // A timer set with SetTimer is due.
    void WindowTimer(int timerId) { OnTimer(timerId); }
    // The row a list shows at `row` (0 = first); an empty row when the
    // dialog has none there.
    ListRow WindowListRow(int id, int row) const { return ListRowAt(id, row); }
    // The window ended (EndDialog, close box, Esc).
    void WindowEnded() { OnDestroy(); }
    // The window was asked to close: its close box, its window menu's
    // "close", or another program. It goes to OnCancel as IDCANCEL, but
    // not while a modal loop runs over the dialog -- a dialog whose parent
    // it is, a message box or file question it asked, or one over a window
    // of its own: the innermost such loop is asked to end first, and the
    // request waits until every one of them, and the handler that ran it,
    // has returned. Meanwhile no new loop starts over the dialog: a dialog
    // ends at once with IDCANCEL, a message box and a file question as
    // closed. So nothing of the dialog's goes while a handler of its still
    // runs.
    void WindowCloseRequested();

protected:
    virtual void DoDataExchange(DataExchange&) {}
    virtual bool OnInitDialog();                           // default: push; return true
    virtual void OnOK();                                   // default: pull; end with IDOK on success
    virtual void OnCancel();                               // default: end with IDCANCEL
    virtual void OnSysCommand(unsigned code, long extra);  // default: nothing
    virtual void OnDestroy() {}                            // the window has ended
    virtual void OnTimer(int /*timerId*/) {}               // a timer is due
    virtual ListRow ListRowAt(int /*id*/, int /*row*/) const { return {}; }

    // Message map entries.
    using Handler = std::function<void(int delta)>;
    void OnNotify(Notification n, int id, Handler handler);

private:
    friend class DataExchange;
    class ModalLoop;
    void ScheduleDraw(int id);
    void ShowIntegerError(int id);
    void RunMessageBox(const char* name, std::string_view text);
    // True when this is `outer` or a dialog (a dialog's dialog ...) of it.
    bool IsWithin(const DialogBase& outer) const;
    // True when a close request of this dialog or of one it is within waits.
    bool CloseWaitsAround() const;
    void RetryClose();

    DialogBase* const parent_;
    bool closeWaits_ = false;  // a close request waits for the loops over the dialog

    const DialogTemplate& tmpl_;
    std::map<std::pair<int, int>, Handler> handlers_;  // (notification, id)
    std::set<int> drawPending_;                        // sliders with a queued SliderChanged
    std::set<int> drawAfterExchange_;                  // Draws that met a running exchange
    int exchangeDepth_ = 0;
    bool initialised_ = false;
    std::shared_ptr<std::atomic<int>> pendingCommands_;
    std::shared_ptr<bool> alive_;  // false once the dialog is being destroyed
    std::unique_ptr<DialogWindow> window_;
};

}  // namespace platform::ui
