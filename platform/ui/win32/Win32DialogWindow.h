#pragma once

// The neutral headers come before windows.h: its A/W macros (MessageBox,
// GetDlgItemText, ...) must not rename their members.
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "platform/ui/DialogBase.h"
#include "platform/ui/DialogTemplate.h"
#include "platform/ui/DialogWindow.h"

#include "platform/win32/Windows.h"

namespace platform::ui::win32 {

// A dialog's window on Win32: a real dialog made with
// CreateDialogIndirectParamW from an in-memory DLGTEMPLATEEX built from the
// template, with the standard controls under their template identifiers
// (so another program finds each with GetDlgItem), the real system menu,
// and a modal loop of its own as the framework runs it.
//
// What another program reads, besides the controls' own messages:
// - a report list (SysListView32, owner data) gives a cell's text with
//   LVM_GETITEMTEXTW, the buffer being in the list's process
//   (VirtualAllocEx): the list asks the dialog for the row and copies the
//   cell into it;
// - a report list answers the registered message "ZonterListMarks" with the
//   marked characters of a cell, one mark per question: wParam the row,
//   lParam the column and the mark's number, the answer the mark's first
//   character and count, 0 past the cell's last mark (ListMarksMessage.h
//   has the encoding);
// - a strip chart's window text (WM_GETTEXT) is ChartText() of what it shows.
//
// Key commands (SetKeyCommand) are taken by every control of the window,
// and by the window itself, before the control's own handling and before
// the dialog manager's arrow-key moves between controls: a list with the
// focus does not scroll, a button does not pass the focus on. While the
// bound button is disabled the key does what it does without the command.
class Win32DialogWindow : public DialogWindow {
public:
    Win32DialogWindow(DialogBase& owner, const DialogTemplate& tmpl, HWND parent);
    ~Win32DialogWindow() override;
    Win32DialogWindow(const Win32DialogWindow&) = delete;
    Win32DialogWindow& operator=(const Win32DialogWindow&) = delete;

    HWND Handle() const { return hwnd_; }
    HWND Control(int id) const;

    // DialogWindow
    int RunModal() override;
    void ShowModeless() override;
    bool Visible() const override;
    void End(int result) override;
    int Result() const override { return result_; }
    std::string Title() const override;
    bool HasControl(int id) const override { return Control(id) != nullptr; }
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
    bool TimerRunning(int timerId) const override { return timers_.count(timerId) != 0; }
    void SetKeyCommand(Key key, int id) override;
    std::string AskFileName(const FileQuestion& question) override;
    void MessageBox(const char* name, std::string_view text) override;
    void CloseBox() override;
    void Post(std::function<void()> task) override;
    bool OnDialogThread() const override { return GetCurrentThreadId() == threadId_; }

private:
    // What a slider showed when last looked at: a change of any of them
    // schedules the slider's SliderChanged.
    struct SliderState {
        int low = 0;
        int high = 100;
        int pos = 0;
    };

    // The row a list was last given. While the list paints it serves every
    // cell of the row: the dialog is asked once per row and paint, though
    // the list asks for each cell twice (its text, then its drawing).
    struct CachedRow {
        HWND list = nullptr;
        int row = -1;
        ListRow data;
    };

    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                        DWORD_PTR self);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool HandleNotify(NMHDR& header, LRESULT& result);
    bool HandleListNotify(int id, NMHDR& header, LRESULT& result);
    // The enabled button bound to `key` (a virtual-key code), or null.
    HWND KeyCommandButton(WPARAM key) const;
    bool RunKeyCommand(WPARAM key);
    const ListRow& RowOf(HWND list, int id, int row);
    bool IsList(int id) const;
    bool IsChart(int id) const;
    void WatchKeys(HWND control);
    void InitControls();
    void EditSystemMenu();
    void FitCaption(HWND label);
    void ShowAndFocus();
    void CheckSlider(int id);
    void RunOneTask();
    const ControlTemplate* TemplateOf(int id) const;
    void ShowIconInControls(HICON icon);

    DialogBase& owner_;
    const DialogTemplate& tmpl_;
    HWND hwnd_ = nullptr;
    DWORD threadId_ = 0;
    std::map<int, HWND> controls_;
    std::vector<HWND> templateOrder_;  // every control, labels included
    std::map<int, SliderState> sliders_;
    std::map<int, HFONT> fonts_;       // made by SetFont, deleted with the window
    std::vector<HFONT> captionFonts_;  // made to fit captions, deleted with the window
    std::set<int> tips_;               // controls that have a tool in tooltip_
    std::set<unsigned> menuCodes_;     // the appended window-menu commands
    HWND tooltip_ = nullptr;
    HICON bigIcon_ = nullptr;  // made by SetIcon, destroyed with the window
    HICON smallIcon_ = nullptr;
    int result_ = 0;
    bool ended_ = true;
    unsigned ends_ = 0;             // End calls so far
    HWND disabledOwner_ = nullptr;  // the owner a running modal loop disabled
    bool minimised_ = false;
    bool constructed_ = false;  // the window exists and the constructor has returned
    bool focusFirst_ = false;   // a showing asked for the first tab stop to take the focus

    std::set<int> timers_;            // the running timers' identifiers
    std::map<Key, int> keyCommands_;  // key -> button identifier
    HWND paintingList_ = nullptr;     // the list between its CDDS_PREPAINT and CDDS_POSTPAINT
    CachedRow cachedRow_;

    std::mutex taskMutex_;
    std::deque<std::function<void()>> tasks_;
    bool closed_ = false;  // no task is taken any more
};

// The Win32 window system: dialogs become Win32DialogWindows. Install()
// initialises the common controls and makes it the current window system;
// windows without an icon of their own, and icon controls, show the icon
// resource `appIconResource` of the program (0: none).
class Win32WindowSystem : public WindowSystem {
public:
    std::unique_ptr<DialogWindow> CreateDialogWindow(DialogBase& owner, const DialogTemplate& tmpl,
                                                     DialogWindow* parent) override;
    static void Install(int appIconResource = 0);
};

// The Win32 side of a dialog, for tests and tools.
Win32DialogWindow& WindowOf(const DialogBase& dialog);

}  // namespace platform::ui::win32
