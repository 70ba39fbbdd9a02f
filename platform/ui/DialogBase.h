#pragma once

#include <QDialog>
#include <QString>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "platform/DialogTemplate.h"
#include "platform/ui/DialogUnits.h"

class QMenu;

namespace platform {
class Event;
}

namespace platform::ui {

class DialogBase;

// Notifications a control sends to its dialog (the message map's keys).
enum class Notification {
    Clicked,   // BN_CLICKED: push button or check box
    Draw,      // NM_CUSTOMDRAW: slider drawn (first showing, every move)
    DeltaPos,  // UDN_DELTAPOS: up-down pressed; delta < 0 up, > 0 down
};

// Data exchange between controls and members, in DoDataExchange order.
// Saving (pull): control -> member; otherwise (push): member -> control.
// After the first failure every later exchange is skipped.
class DataExchange {
public:
    DataExchange(DialogBase& dialog, bool saving) : dialog_(dialog), saving_(saving) {}

    bool saving() const { return saving_; }
    bool failed() const { return failed_; }
    int failedId() const { return failedId_; }

    void Int(int id, int& value);        // integer kind; push as "%d"
    void Text(int id, QString& value);   // text kind
    void Check(int id, int& value);      // 0 clear, 1 ticked (2 = indeterminate)
    void Selection(int id, int& index);  // combo box index, -1 for none
    void Slider(int id, int& position);  // slider thumb position

private:
    DialogBase& dialog_;
    bool saving_;
    bool failed_ = false;
    int failedId_ = 0;
};

// The dialog base over Qt, the stand-in for CDialogEx: builds its widgets
// from a template, dispatches control notifications through a message map,
// exchanges data with UpdateData and offers a window menu of its own.
//
// Every control carries its identifier ("IDC_PORT") as objectName and as
// accessible description, and a readable accessible name (its caption, or
// the label beside or above it).
class DialogBase : public QDialog {
    Q_OBJECT

public:
    static constexpr int kIdOk = 1;      // IDOK
    static constexpr int kIdCancel = 2;  // IDCANCEL

    // Object names of the window menu and of its standard actions; the
    // appended items are named "CMD_<code>".
    static constexpr const char* kWindowMenuName = "IDM_SYSMENU";
    static constexpr const char* kMoveActionName = "SC_MOVE";
    static constexpr const char* kMinimiseActionName = "SC_MINIMIZE";
    static constexpr const char* kCloseActionName = "SC_CLOSE";

    explicit DialogBase(const platform::DialogTemplate& tmpl, QWidget* parent = nullptr);
    ~DialogBase() override;

    // Runs the dialog modally; returns QDialog::Accepted (IDOK) or Rejected.
    int DoModal();

    // TRUE pulls controls into members, FALSE pushes members into controls.
    // A failed integer pull shows "Введите целое число." (at most one such
    // box at a time in the process), focuses and selects the box, and
    // returns false.
    bool UpdateData(bool save = true);

    QWidget* Control(int id) const;
    template <class W>
    W* ControlAs(int id) const {
        return qobject_cast<W*>(Control(id));
    }
    void EnableControl(int id, bool enable);
    const platform::DialogTemplate& Template() const { return tmpl_; }

    // Dialog units -> pixels with this dialog's font.
    QRect MapDialogRect(int x, int y, int w, int h) const;
    const DialogUnits& Units() const { return units_; }

    // The window menu: move, minimise (when the template has a minimise
    // box), separator, close, then the items appended here. Opened by a
    // right click on the dialog's free area and by Alt+Space. An appended
    // item runs OnSysCommand(sysCommand, 0) once the menu has closed.
    void AppendMenuSeparator();
    void AppendMenuItem(const QString& text, unsigned sysCommand);
    QMenu* WindowMenu() const { return menu_; }

    // Runs OnSysCommand on the dialog's thread from any thread and waits
    // until it has returned, until `stop` (may be null) is set, or until
    // `boundMs` ran out (negative: no bound). Returns true when the command
    // was handled. A request still queued when the dialog is destroyed is
    // released as not handled.
    bool SendSysCommand(unsigned code, const platform::Event* stop, int boundMs);

    // Requests posted from other threads and not yet served or dropped.
    int PendingSysCommands() const { return pendingCommands_->load(); }

    // Runs the handler mapped to a notification as the control would; with
    // no handler, Clicked of IDOK/IDCANCEL goes to OnOK/OnCancel.
    void Notify(Notification n, int id, int delta = 0);

protected:
    virtual void DoDataExchange(DataExchange&) {}
    virtual bool OnInitDialog();                           // default: push; return true
    virtual void OnOK();                                   // default: pull; end with IDOK on success
    virtual void OnCancel();                               // default: end with IDCANCEL
    virtual void OnSysCommand(unsigned code, long extra);  // default: nothing

    // Message map entries.
    using Handler = std::function<void(int delta)>;
    void OnNotify(Notification n, int id, Handler handler);

    void showEvent(QShowEvent* e) override;
    bool event(QEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

public:
    void accept() override;  // routed to OnOK
    void reject() override;  // routed to OnCancel
    void EndDialog(int result);

private:
    friend class DataExchange;
    void Build();
    QWidget* CreateControl(const platform::ControlTemplate& c);
    void BuildWindowMenu();
    void OpenWindowMenu(const QPoint& globalPos);
    void FocusFirstControl();
    void PressEnter();
    void RefreshIcons();
    // A notification raised by a control's own signal: locked out while an
    // exchange runs, as the framework does.
    void Dispatch(Notification n, int id, int delta);
    void ScheduleDraw(int id);
    void ShowIntegerError(int id);

    const platform::DialogTemplate& tmpl_;
    DialogUnits units_;
    std::map<int, QWidget*> controls_;
    std::vector<QWidget*> templateOrder_;              // every control, labels included
    std::map<std::pair<int, int>, Handler> handlers_;  // (notification, id)
    std::set<int> drawPending_;                        // sliders with a queued Draw
    std::set<int> drawAfterExchange_;                  // Draws that met a running exchange
    int exchangeDepth_ = 0;
    QMenu* menu_ = nullptr;
    bool initialised_ = false;
    std::shared_ptr<std::atomic<int>> pendingCommands_;
};

}  // namespace platform::ui
