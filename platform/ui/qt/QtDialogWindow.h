#pragma once

#include <QDialog>
#include <QIcon>
#include <QPointer>

#include <map>
#include <vector>

#include "platform/ui/DialogBase.h"
#include "platform/ui/DialogTemplate.h"
#include "platform/ui/DialogWindow.h"
#include "platform/ui/qt/DialogUnits.h"
#include "platform/ui/qt/PaintPacer.h"

class QKeyEvent;
class QMenu;

namespace platform::ui::qt {

// A dialog's window over Qt Widgets: the widgets built from the template,
// each carrying its identifier ("IDC_PORT") as objectName and accessible
// description and a readable accessible name (its caption, or the label
// beside or above it) -- a report list or chart is named by its identifier,
// and a chart's description tells what it shows; Enter and Esc as the
// dialog manager handles them; and a window menu of its own, since the
// window manager keeps the real one.
class QtDialogWindow : public QDialog, public DialogWindow {
    Q_OBJECT

public:
    // Object names of the window menu and of its standard actions; the
    // appended items are named "CMD_<code>".
    static constexpr const char* kWindowMenuName = "IDM_SYSMENU";
    static constexpr const char* kMoveActionName = "SC_MOVE";
    static constexpr const char* kMinimiseActionName = "SC_MINIMIZE";
    static constexpr const char* kCloseActionName = "SC_CLOSE";

    QtDialogWindow(DialogBase& owner, const DialogTemplate& tmpl, QWidget* parent);
    ~QtDialogWindow() override;

    QWidget* Control(int id) const;
    // Gives the controls the texts held for the next paint (see SetText),
    // so that the widgets show what the dialog last set.
    void ApplyPendingTexts();
    QMenu* WindowMenu() const { return menu_; }
    const DialogUnits& Units() const { return units_; }
    QRect MapDialogRect(int x, int y, int w, int h) const { return units_.Map(x, y, w, h); }

    // DialogWindow
    int RunModal() override;
    void ShowModeless() override;
    bool Visible() const override;
    void End(int result) override;
    int Result() const override;
    std::string Title() const override;
    bool HasControl(int id) const override;
    std::string Text(int id) const override;
    void SetText(int id, std::string_view text) override;
    bool Enabled(int id) const override;
    void Enable(int id, bool enable) override;
    bool Shown(int id) const override;
    void Show(int id, bool show) override;
    int Check(int id) const override;
    void SetCheck(int id, int state) override;
    void SetSliderRange(int id, int low, int high) override;
    int SliderPos(int id) const override;
    void SetSliderPos(int id, int pos) override;
    int Selection(int id) const override;
    void SetSelection(int id, int index) override;
    int ItemCount(int id) const override;
    void SetFocus(int id) override;
    void SelectAllText(int id) override;
    void SetToolTip(int id, std::string_view text) override;
    void SetFont(int id, const Font& font) override;
    void SetIcon(std::span<const std::uint8_t> png) override;
    void AppendMenuSeparator() override;
    void AppendMenuItem(std::string_view text, unsigned code) override;
    void SetListColumns(int id, std::span<const ListColumn> columns) override;
    void SetListRowCount(int id, int count, int dropped) override;
    int ListRowCount(int id) const override;
    bool ListAtEnd(int id) const override;
    void SetChart(int id, const ChartData& chart) override;
    std::string ChartDescription(int id) const override;
    void SetTimer(int timerId, int intervalMs) override;
    void KillTimer(int timerId) override;
    bool TimerRunning(int timerId) const override;
    void SetKeyCommand(Key key, int id) override;
    std::string AskFileName(const FileQuestion& question) override;
    void MessageBox(const char* name, std::string_view text) override;
    void CloseBox() override;
    void Post(std::function<void()> task) override;
    bool OnDialogThread() const override;

    void accept() override;  // routed to OnOK
    void reject() override;  // a close request (the close box, the window manager's close)
    void done(int result) override;

protected:
    void showEvent(QShowEvent* e) override;
    bool event(QEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void timerEvent(QTimerEvent* e) override;

private:
    void Build();
    QWidget* CreateControl(const ControlTemplate& c);
    void BuildWindowMenu();
    void OpenWindowMenu(const QPoint& globalPos);
    void FocusFirstControl();
    void PressEnter();
    void RefreshIcons();
    // Runs the key command bound to the key of `e`; false when none is.
    bool RunKeyCommand(const QKeyEvent* e);

    void ApplyPendingText(int id);

    DialogBase& owner_;
    const DialogTemplate& tmpl_;
    DialogUnits units_;
    std::map<int, QWidget*> controls_;
    std::vector<QWidget*> templateOrder_;  // every control, labels included
    QMenu* menu_ = nullptr;
    int result_ = 0;
    std::map<int, int> timers_;       // running timers: the dialog's id -> Qt's id
    std::map<Key, int> keyCommands_;  // key -> the button it clicks
    bool keysWatched_ = false;        // the controls' key presses pass through eventFilter
    PaintPacer* pacer_ = nullptr;
    std::map<int, QString> pendingTexts_;  // texts held for the next paint, by control
    QPointer<QDialog> box_;                // the message box or file dialog open over the window
};

// The Qt window system: dialogs become QtDialogWindows. Needs a
// QApplication; Install() makes it the current window system.
class QtWindowSystem : public WindowSystem {
public:
    std::unique_ptr<DialogWindow> CreateDialogWindow(DialogBase& owner, const DialogTemplate& tmpl,
                                                     DialogWindow* parent) override;
    static void Install();
};

// The Qt side of a dialog, for tests and tools that drive its widgets.
QtDialogWindow& WindowOf(const DialogBase& dialog);
QWidget* Widget(const DialogBase& dialog, int id);
template <class W>
W* WidgetAs(const DialogBase& dialog, int id) {
    return qobject_cast<W*>(Widget(dialog, id));
}

}  // namespace platform::ui::qt
