#include "platform/ui/win32/Win32DialogWindow.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <utility>

#include "platform/ui/win32/ListMarksMessage.h"
#include "platform/ui/win32/Win32Chart.h"
#include "platform/ui/win32/Win32DialogTemplate.h"
#include "platform/ui/win32/Win32FileDialog.h"
#include "platform/ui/win32/Win32ListView.h"
#include "platform/ui/win32/Win32Text.h"

namespace platform::ui::win32 {

namespace {

// Runs one task of the window's queue; one message is posted per task.
constexpr UINT kTaskMessage = WM_APP + 0x15;

// The system's own window-menu commands lie at 0xF000 and above; the
// program's codes (16, 112 to 114) lie below.
constexpr unsigned kSystemCommandBase = 0xF000;

// A buddy-less up-down only ever reports the sign of a press: it keeps its
// default range, whose upper end is 0 (so the up arrow proposes a negative
// delta), and stays in the middle because every change is refused.
constexpr int kUpDownLow = 100;
constexpr int kUpDownHigh = 0;
constexpr int kUpDownMiddle = 50;

// Tooltips wrap at this width, in pixels.
constexpr int kToolTipWidth = 400;

// The program's icon, shown by windows without one of their own and by
// icon controls. Shared images from the program's resources.
HICON appBigIcon = nullptr;
HICON appSmallIcon = nullptr;

bool IsButtonKind(ControlKind kind) {
    return kind == ControlKind::PushButton || kind == ControlKind::DefPushButton || kind == ControlKind::CheckBox;
}

// The up-down takes the arrow keys while it has the focus, which the
// dialog manager would otherwise spend on moving between controls.
LRESULT CALLBACK UpDownKeys(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == WM_GETDLGCODE) return DefSubclassProc(hwnd, message, wParam, lParam) | DLGC_WANTARROWS;
    return DefSubclassProc(hwnd, message, wParam, lParam);
}
constexpr UINT_PTR kUpDownSubclassId = 1;
// Key commands and the lists' questions from other programs.
constexpr UINT_PTR kControlSubclassId = 2;

UINT ListMarksMessageId() {
    static const UINT id = RegisterWindowMessageW(kListMarksMessage);
    return id;
}

// Keyboard navigation for every dialog of the thread, also a modeless one
// over the dialog whose modal loop runs: Tab, Enter and Esc reach it too.
void Deliver(MSG& msg) {
    const HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    wchar_t className[16] = {};
    if (root && GetClassNameW(root, className, 16) && lstrcmpW(className, L"#32770") == 0 &&
        IsDialogMessageW(root, &msg))
        return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

// Text typed into a combo box's field while its list is closed names no
// entry. The box clears its selection itself, except at the first key
// after an entry was clicked in the list (Wine's common controls let that
// one pass); the list's own selection goes, the typed text stays.
void ForgetTypedOverEntry(HWND combo) {
    if (SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0)) return;  // an open list follows the text
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    if (GetComboBoxInfo(combo, &info) && info.hwndList)
        SendMessageW(info.hwndList, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
}

// An icon from PNG bytes at the given square size; null when the system
// cannot read them.
HICON IconFromPng(std::span<const std::uint8_t> png, int size) {
    if (png.empty()) return nullptr;
    return CreateIconFromResourceEx(const_cast<PBYTE>(png.data()), static_cast<DWORD>(png.size()), TRUE, 0x00030000,
                                    size, size, LR_DEFAULTCOLOR);
}

}  // namespace

Win32DialogWindow::Win32DialogWindow(DialogBase& owner, const DialogTemplate& tmpl, HWND parent)
    : owner_(owner), tmpl_(tmpl), threadId_(GetCurrentThreadId()) {
    RegisterChartClass();
    const std::vector<WORD> words = BuildDialogTemplate(tmpl, parent != nullptr);
    // WM_INITDIALOG, sent from inside this call, records the handle and
    // completes the controls; the dialog's own OnInitDialog waits for the
    // first showing, when the dialog object is complete.
    const HWND made =
        CreateDialogIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(words.data()), parent,
                                   &Win32DialogWindow::DialogProc, reinterpret_cast<LPARAM>(this));
    if (!made) {
        std::fprintf(stderr, "zonter: dialog %s could not be made (error %lu)\n", tmpl.name ? tmpl.name : "?",
                     GetLastError());
        hwnd_ = nullptr;
    }
    constructed_ = hwnd_ != nullptr;
}

Win32DialogWindow::~Win32DialogWindow() {
    // The dialog object is going: nothing reaches it any more.
    constructed_ = false;
    std::deque<std::function<void()>> unrun;
    {
        std::lock_guard<std::mutex> lock(taskMutex_);
        closed_ = true;
        unrun.swap(tasks_);
    }
    if (hwnd_) {
        // Nothing reaches the dialog object any more while the window goes.
        SetWindowLongPtrW(hwnd_, DWLP_USER, 0);
        if (disabledOwner_) EnableWindow(disabledOwner_, TRUE);
        DestroyWindow(hwnd_);
    }
    for (auto& [id, font] : fonts_) DeleteObject(font);
    for (HFONT font : captionFonts_) DeleteObject(font);
    if (bigIcon_) DestroyIcon(bigIcon_);
    if (smallIcon_) DestroyIcon(smallIcon_);
    // `unrun` goes last: dropping a task releases whoever waits for it.
}

INT_PTR CALLBACK Win32DialogWindow::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<Win32DialogWindow*>(lParam);
        SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        self->hwnd_ = hwnd;
        self->InitControls();
        return FALSE;  // the focus is set at the first showing
    }
    auto* self = reinterpret_cast<Win32DialogWindow*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!self || !self->constructed_) return FALSE;
    return self->HandleMessage(message, wParam, lParam);
}

void Win32DialogWindow::InitControls() {
    // The dialog manager makes the controls in template order, each below
    // the ones before; labels share the identifier -1.
    HWND control = GetWindow(hwnd_, GW_CHILD);
    for (const ControlTemplate& c : tmpl_.controls) {
        if (!control) break;
        templateOrder_.push_back(control);
        if (c.id != -1) controls_[c.id] = control;
        switch (c.kind) {
            case ControlKind::ComboBox:
                for (const char* item : c.items)
                    SendMessageW(control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(item).c_str()));
                SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);  // a new list has no selection
                break;
            case ControlKind::Slider: {
                SliderState state;
                SendMessageW(control, TBM_SETRANGEMIN, FALSE, state.low);
                SendMessageW(control, TBM_SETRANGEMAX, FALSE, state.high);
                SendMessageW(control, TBM_SETPAGESIZE, 0, std::max(1, (state.high - state.low) / 5));
                if (c.style & platform::kTickMarks) SendMessageW(control, TBM_SETTICFREQ, 1, 0);
                SendMessageW(control, TBM_SETPOS, TRUE, state.pos);
                if (c.id != -1) sliders_[c.id] = state;
                break;
            }
            case ControlKind::UpDown: {
                // Without a buddy the up-down keeps the template's size, which
                // Wine's narrows to a scroll bar's width.
                RECT size{0, 0, c.w, c.h};
                MapDialogRect(hwnd_, &size);
                SetWindowPos(control, nullptr, 0, 0, size.right, size.bottom,
                             SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
                SendMessageW(control, UDM_SETRANGE32, kUpDownLow, kUpDownHigh);
                SendMessageW(control, UDM_SETPOS32, 0, kUpDownMiddle);
                if (c.style & platform::kArrowKeys) SetWindowSubclass(control, &UpDownKeys, kUpDownSubclassId, 0);
                break;
            }
            case ControlKind::Label:
                if (c.id == -1) FitCaption(control);
                break;
            case ControlKind::Icon:
                if (appBigIcon) SendMessageW(control, STM_SETICON, reinterpret_cast<WPARAM>(appBigIcon), 0);
                break;
            case ControlKind::List:
                // The cells' font goes with the window, or with the next
                // SetFont of the list.
                if (const HFONT cells = PrepareReportList(control, hwnd_)) fonts_[c.id] = cells;
                break;
            default:
                break;
        }
        if (c.kind != ControlKind::Label && c.kind != ControlKind::Icon) WatchKeys(control);
        control = GetWindow(control, GW_HWNDNEXT);
    }
    // A window of its own (not over an owner) shows the program's icon
    // until the dialog sets one.
    if (!GetWindow(hwnd_, GW_OWNER)) {
        if (appBigIcon) SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(appBigIcon));
        if (appSmallIcon) SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(appSmallIcon));
    }
    EditSystemMenu();
}

void Win32DialogWindow::EditSystemMenu() {
    // Move, minimise (with a minimise box), separator, close, whatever the
    // system offers besides: restore, size and maximise do nothing for a
    // window of fixed size.
    const HMENU menu = GetSystemMenu(hwnd_, FALSE);
    if (!menu) return;
    for (int i = GetMenuItemCount(menu) - 1; i >= 0; --i) {
        const UINT code = GetMenuItemID(menu, i);
        const bool keep = code == SC_MOVE || code == SC_CLOSE || (code == SC_MINIMIZE && tmpl_.minimiseBox);
        if (!keep) DeleteMenu(menu, static_cast<UINT>(i), MF_BYPOSITION);
    }
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        if (GetMenuItemID(menu, i) == SC_CLOSE) {
            InsertMenuW(menu, static_cast<UINT>(i), MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
            break;
        }
    }
}

void Win32DialogWindow::FitCaption(HWND label) {
    // A fixed caption drawn with a stand-in for the template's font (Wine
    // has no Microsoft Sans Serif) can come out a little wider than its
    // rectangle, which was measured with the real one; shrink it a step at
    // a time (to 75 % at most) rather than clip it.
    const HFONT dialogFont = reinterpret_cast<HFONT>(SendMessageW(hwnd_, WM_GETFONT, 0, 0));
    LOGFONTW logical{};
    if (!dialogFont || !GetObjectW(dialogFont, sizeof(logical), &logical) || logical.lfHeight == 0) return;
    RECT client{};
    GetClientRect(label, &client);
    const std::wstring text = WindowText(label);
    if (text.empty() || client.right <= 0) return;
    const HDC dc = GetDC(label);
    if (!dc) return;
    const int full = logical.lfHeight;
    const int sign = full < 0 ? -1 : 1;
    HFONT fitting = nullptr;
    for (int height = full; height * sign * 4 >= full * sign * 3; height -= sign) {
        logical.lfHeight = height;
        const HFONT font = height == full ? dialogFont : CreateFontIndirectW(&logical);
        if (!font) break;
        const HGDIOBJ old = SelectObject(dc, font);
        RECT needed{0, 0, client.right, 0};
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
        SelectObject(dc, old);
        const bool fits = needed.right <= client.right && needed.bottom <= client.bottom;
        if (fits) {
            if (font != dialogFont) fitting = font;
            break;
        }
        if (font != dialogFont) DeleteObject(font);
    }
    ReleaseDC(label, dc);
    if (fitting) {
        SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(fitting), FALSE);
        captionFonts_.push_back(fitting);
    }
}

HWND Win32DialogWindow::Control(int id) const {
    const auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

const ControlTemplate* Win32DialogWindow::TemplateOf(int id) const {
    if (id == -1) return nullptr;
    for (const ControlTemplate& c : tmpl_.controls) {
        if (c.id == id) return &c;
    }
    return nullptr;
}

INT_PTR Win32DialogWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case kTaskMessage:
            RunOneTask();
            return TRUE;

        case WM_SHOWWINDOW:
            if (wParam) focusFirst_ = owner_.WindowShown() || focusFirst_;
            return FALSE;

        case WM_SIZE:
            // Coming back from the taskbar is a showing too.
            if (wParam == SIZE_MINIMIZED) {
                minimised_ = true;
            } else if (wParam == SIZE_RESTORED && minimised_) {
                minimised_ = false;
                owner_.WindowShown();
            }
            return FALSE;

        case WM_COMMAND: {
            const int id = LOWORD(wParam) == 0xFFFF ? -1 : LOWORD(wParam);
            const ControlTemplate* c = TemplateOf(id);
            if (HIWORD(wParam) == CBN_EDITCHANGE && c && c->kind == ControlKind::ComboBox &&
                reinterpret_cast<HWND>(lParam) == Control(id)) {
                ForgetTypedOverEntry(Control(id));
                return FALSE;
            }
            if (HIWORD(wParam) != BN_CLICKED) return FALSE;
            // Enter and Esc issue IDOK and IDCANCEL whether or not the
            // template has such a button.
            const bool clicked = c ? IsButtonKind(c->kind) : (id == DialogBase::kIdOk || id == DialogBase::kIdCancel);
            if (!clicked) return FALSE;
            owner_.WindowNotify(Notification::Clicked, id);
            return TRUE;
        }

        case WM_TIMER: {
            const int timerId = static_cast<int>(wParam);
            // A timer killed a moment ago may have left its last tick.
            if (!timers_.count(timerId)) return FALSE;
            owner_.WindowTimer(timerId);
            return TRUE;
        }

        // Key commands while the dialog itself has the focus.
        case WM_GETDLGCODE: {
            const auto* msg = reinterpret_cast<const MSG*>(lParam);
            if (!msg || msg->message != WM_KEYDOWN || !KeyCommandButton(msg->wParam)) return FALSE;
            SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, DLGC_WANTARROWS);
            return TRUE;
        }
        case WM_KEYDOWN:
            return RunKeyCommand(wParam) ? TRUE : FALSE;

        case WM_CLOSE:
            // The close box, Alt+F4, the window menu's "close", or another
            // program: as IDCANCEL once no modal loop runs over the window.
            owner_.WindowCloseRequested();
            return TRUE;

        case WM_SYSCOMMAND:
            if ((static_cast<unsigned>(wParam) & 0xFFF0) < kSystemCommandBase) {
                owner_.WindowSysCommand(static_cast<unsigned>(wParam));
                return TRUE;  // the program's own command, nothing for the system
            }
            return FALSE;

        case WM_HSCROLL:
            if (lParam) CheckSlider(GetDlgCtrlID(reinterpret_cast<HWND>(lParam)));
            return FALSE;

        case WM_NOTIFY: {
            LRESULT result = 0;
            if (!HandleNotify(*reinterpret_cast<NMHDR*>(lParam), result)) return FALSE;
            SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, result);
            return TRUE;
        }

        default:
            return FALSE;
    }
}

bool Win32DialogWindow::HandleNotify(NMHDR& header, LRESULT& result) {
    const int id = static_cast<int>(header.idFrom);
    const ControlTemplate* c = TemplateOf(id);
    // A tooltip's notifications carry a window handle where the id goes.
    if (!c || header.hwndFrom != Control(id)) return false;
    if (c->kind == ControlKind::List) return HandleListNotify(id, header, result);
    if (header.code == NM_CUSTOMDRAW && c->kind == ControlKind::Slider) {
        // A position set from outside (TBM_SETPOS) shows as a repaint.
        if (reinterpret_cast<const NMCUSTOMDRAW&>(header).dwDrawStage == CDDS_PREPAINT) CheckSlider(id);
        return false;  // drawn as usual
    }
    if (header.code == UDN_DELTAPOS && c->kind == ControlKind::UpDown) {
        const int delta = reinterpret_cast<const NMUPDOWN&>(header).iDelta;
        if (delta != 0) owner_.WindowNotify(Notification::UpDownStep, id, delta < 0 ? -1 : 1);
        result = TRUE;  // the up-down keeps its position
        return true;
    }
    return false;
}

void Win32DialogWindow::CheckSlider(int id) {
    const auto it = sliders_.find(id);
    const HWND slider = Control(id);
    if (it == sliders_.end() || !slider) return;
    SliderState now;
    now.low = static_cast<int>(SendMessageW(slider, TBM_GETRANGEMIN, 0, 0));
    now.high = static_cast<int>(SendMessageW(slider, TBM_GETRANGEMAX, 0, 0));
    now.pos = static_cast<int>(SendMessageW(slider, TBM_GETPOS, 0, 0));
    SliderState& was = it->second;
    if (now.low == was.low && now.high == was.high && now.pos == was.pos) return;
    if (now.low != was.low || now.high != was.high) {
        // A trackbar's page is a fifth of its range.
        SendMessageW(slider, TBM_SETPAGESIZE, 0, std::max(1, (now.high - now.low) / 5));
    }
    was = now;
    owner_.WindowSliderMoved(id);
}

void Win32DialogWindow::ShowAndFocus() {
    focusFirst_ = false;
    const unsigned endsBefore = ends_;
    ShowWindow(hwnd_, SW_SHOW);
    if (ends_ != endsBefore) {
        // Ended by its own first showing (OnInitDialog): the system showed
        // it after the hiding.
        SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    if (focusFirst_) {
        focusFirst_ = false;
        // The first tab stop, its text selected if it is an edit box.
        if (const HWND first = GetNextDlgTabItem(hwnd_, nullptr, FALSE))
            SendMessageW(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(first), TRUE);
    }
}

int Win32DialogWindow::RunModal() {
    if (!hwnd_) return -1;
    result_ = 0;
    ended_ = false;
    // The owner is disabled while the dialog runs, as the framework's
    // modal loop does, and enabled again before the dialog hides, so that
    // the owner gets the activation back.
    const HWND owner = GetWindow(hwnd_, GW_OWNER);
    HWND disabledBefore = disabledOwner_;
    if (owner && IsWindowEnabled(owner)) {
        EnableWindow(owner, FALSE);
        disabledOwner_ = owner;
    }
    ShowAndFocus();
    MSG msg;
    while (!ended_) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop outside
            break;
        }
        if (got == -1) break;
        Deliver(msg);
    }
    if (disabledOwner_ && disabledOwner_ != disabledBefore) EnableWindow(disabledOwner_, TRUE);
    disabledOwner_ = disabledBefore;
    if (IsWindowVisible(hwnd_))
        SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ended_ = true;
    return result_;
}

void Win32DialogWindow::ShowModeless() {
    if (hwnd_) ShowAndFocus();
}

bool Win32DialogWindow::Visible() const { return hwnd_ && IsWindowVisible(hwnd_); }

void Win32DialogWindow::End(int result) {
    result_ = result;
    ended_ = true;
    ++ends_;
    if (hwnd_) {
        const HWND owner = GetWindow(hwnd_, GW_OWNER);
        if (disabledOwner_) EnableWindow(disabledOwner_, TRUE);
        const bool active = GetActiveWindow() == hwnd_;
        SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        if (active && owner) SetActiveWindow(owner);
        PostMessageW(hwnd_, WM_NULL, 0, 0);  // a modal loop waiting for a message sees the end
    }
    owner_.WindowEnded();
}

std::string Win32DialogWindow::Title() const { return hwnd_ ? Utf8(WindowText(hwnd_)) : std::string(); }

std::string Win32DialogWindow::Text(int id) const {
    const HWND control = Control(id);
    return control ? Utf8(WindowText(control)) : std::string();
}

void Win32DialogWindow::SetText(int id, std::string_view text) {
    const HWND control = Control(id);
    const ControlTemplate* c = TemplateOf(id);
    if (!control || !c) return;
    if (c->kind == ControlKind::Slider || c->kind == ControlKind::UpDown || c->kind == ControlKind::Icon) return;
    const std::wstring wide = Wide(text);
    if (WindowText(control) == wide) return;  // the caret of a box being typed in stays
    SetWindowTextW(control, wide.c_str());
    if (c->kind == ControlKind::Edit) {
        SendMessageW(control, EM_SETSEL, 0, 0);
        SendMessageW(control, EM_SCROLLCARET, 0, 0);
    }
}

bool Win32DialogWindow::Enabled(int id) const {
    const HWND control = Control(id);
    return control && IsWindowEnabled(control);
}

void Win32DialogWindow::Enable(int id, bool enable) {
    const HWND control = Control(id);
    if (!control) return;
    const HWND focus = GetFocus();
    const bool hadFocus = !enable && focus && (focus == control || IsChild(control, focus));
    // The keyboard moves on to the next control rather than stay with a
    // disabled one.
    if (hadFocus) SendMessageW(hwnd_, WM_NEXTDLGCTL, 0, FALSE);
    EnableWindow(control, enable);
}

bool Win32DialogWindow::Shown(int id) const {
    const HWND control = Control(id);
    return control && (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE);
}

void Win32DialogWindow::Show(int id, bool show) {
    const HWND control = Control(id);
    if (!control) return;
    const HWND focus = GetFocus();
    if (!show && focus && (focus == control || IsChild(control, focus))) SendMessageW(hwnd_, WM_NEXTDLGCTL, 0, FALSE);
    ShowWindow(control, show ? SW_SHOWNA : SW_HIDE);
}

int Win32DialogWindow::Check(int id) const {
    const HWND control = Control(id);
    const ControlTemplate* c = TemplateOf(id);
    if (!control || !c || c->kind != ControlKind::CheckBox) return 0;
    switch (SendMessageW(control, BM_GETCHECK, 0, 0)) {
        case BST_CHECKED:
            return 1;
        case BST_INDETERMINATE:
            return 2;
        default:
            return 0;
    }
}

void Win32DialogWindow::SetCheck(int id, int state) {
    const HWND control = Control(id);
    const ControlTemplate* c = TemplateOf(id);
    if (!control || !c || c->kind != ControlKind::CheckBox) return;
    // The indeterminate state makes the box three-state; a plain state
    // makes it two-state again.
    const DWORD style = static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE));
    const DWORD type = state == 2 ? BS_AUTO3STATE : BS_AUTOCHECKBOX;
    if ((style & BS_TYPEMASK) != type) SendMessageW(control, BM_SETSTYLE, (style & ~BS_TYPEMASK & 0xFFFF) | type, TRUE);
    const WPARAM check = state == 2 ? BST_INDETERMINATE : (state == 1 ? BST_CHECKED : BST_UNCHECKED);
    SendMessageW(control, BM_SETCHECK, check, 0);
}

void Win32DialogWindow::SetSliderRange(int id, int low, int high) {
    const HWND slider = Control(id);
    if (!slider || !sliders_.count(id)) return;
    SendMessageW(slider, TBM_SETRANGEMIN, FALSE, low);
    SendMessageW(slider, TBM_SETRANGEMAX, TRUE, high);
    CheckSlider(id);
}

int Win32DialogWindow::SliderPos(int id) const {
    const HWND slider = Control(id);
    if (!slider || !sliders_.count(id)) return 0;
    return static_cast<int>(SendMessageW(slider, TBM_GETPOS, 0, 0));
}

void Win32DialogWindow::SetSliderPos(int id, int pos) {
    const HWND slider = Control(id);
    if (!slider || !sliders_.count(id)) return;
    SendMessageW(slider, TBM_SETPOS, TRUE, pos);
    CheckSlider(id);
}

int Win32DialogWindow::Selection(int id) const {
    const HWND combo = Control(id);
    const ControlTemplate* c = TemplateOf(id);
    if (!combo || !c || c->kind != ControlKind::ComboBox) return -1;
    const LRESULT selected = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    return selected == CB_ERR ? -1 : static_cast<int>(selected);
}

void Win32DialogWindow::SetSelection(int id, int index) {
    const HWND combo = Control(id);
    const ControlTemplate* c = TemplateOf(id);
    if (!combo || !c || c->kind != ControlKind::ComboBox) return;
    const int count = ItemCount(id);
    const int selected = (index >= 0 && index < count) ? index : -1;
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
    // The field shows the entry's text (none for no entry) even when the
    // index did not change.
    std::wstring text;
    if (selected >= 0) {
        const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(selected), 0);
        if (length > 0) {
            text.resize(static_cast<std::size_t>(length) + 1);
            const LRESULT copied =
                SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(text.data()));
            text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
        }
    }
    if (WindowText(combo) != text) SetWindowTextW(combo, text.c_str());
}

int Win32DialogWindow::ItemCount(int id) const {
    const HWND combo = Control(id);
    const ControlTemplate* c = TemplateOf(id);
    if (!combo || !c || c->kind != ControlKind::ComboBox) return 0;
    const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    return count == CB_ERR ? 0 : static_cast<int>(count);
}

void Win32DialogWindow::SetFocus(int id) {
    // Through the dialog manager, which keeps the default button right.
    if (const HWND control = Control(id)) SendMessageW(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
}

void Win32DialogWindow::SelectAllText(int id) {
    const HWND control = Control(id);
    const ControlTemplate* c = TemplateOf(id);
    if (control && c && c->kind == ControlKind::Edit) SendMessageW(control, EM_SETSEL, 0, -1);
}

void Win32DialogWindow::SetToolTip(int id, std::string_view text) {
    const HWND control = Control(id);
    if (!control) return;
    if (!tooltip_) {
        tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
        if (!tooltip_) return;
        SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, kToolTipWidth);
    }
    std::wstring wide = Wide(text);
    TOOLINFOW info{};
    info.cbSize = TTTOOLINFOW_V2_SIZE;  // what common controls 5 and 6 both read
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = hwnd_;
    info.uId = reinterpret_cast<UINT_PTR>(control);
    info.lpszText = wide.data();
    const bool has = tips_.count(id) != 0;
    if (wide.empty()) {
        // No text, no tip.
        if (has) SendMessageW(tooltip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
        tips_.erase(id);
    } else if (has) {
        SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
    } else if (SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info))) {
        tips_.insert(id);
    }
}

void Win32DialogWindow::SetFont(int id, const Font& font) {
    const HWND control = Control(id);
    if (!control) return;
    // The height is in pixels at 96 dots per inch; the program is DPI aware.
    int dpi = 96;
    if (const HDC dc = GetDC(hwnd_)) {
        dpi = GetDeviceCaps(dc, LOGPIXELSY);
        ReleaseDC(hwnd_, dc);
    }
    const int height = -MulDiv(font.pixelHeight, dpi, 96);
    const DWORD pitch = font.fixedPitch ? (FIXED_PITCH | FF_MODERN) : (DEFAULT_PITCH | FF_DONTCARE);
    const HFONT made = CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, RUSSIAN_CHARSET, OUT_TT_PRECIS,
                                   CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, pitch, Wide(font.face).c_str());
    if (!made) return;
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(made), TRUE);
    if (const auto it = fonts_.find(id); it != fonts_.end()) DeleteObject(it->second);
    fonts_[id] = made;
}

void Win32DialogWindow::ShowIconInControls(HICON icon) {
    for (std::size_t i = 0; i < tmpl_.controls.size() && i < templateOrder_.size(); ++i) {
        if (tmpl_.controls[i].kind == ControlKind::Icon)
            SendMessageW(templateOrder_[i], STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    }
}

void Win32DialogWindow::SetIcon(std::span<const std::uint8_t> png) {
    if (!hwnd_) return;
    HICON big = IconFromPng(png, GetSystemMetrics(SM_CXICON));
    HICON little = IconFromPng(png, GetSystemMetrics(SM_CXSMICON));
    if (!big || !little) {
        // Unreadable bytes leave the window as it was.
        if (big) DestroyIcon(big);
        if (little) DestroyIcon(little);
        return;
    }
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(little));
    ShowIconInControls(big);
    if (bigIcon_) DestroyIcon(bigIcon_);
    if (smallIcon_) DestroyIcon(smallIcon_);
    bigIcon_ = big;
    smallIcon_ = little;
}

void Win32DialogWindow::AppendMenuSeparator() {
    if (const HMENU menu = hwnd_ ? GetSystemMenu(hwnd_, FALSE) : nullptr) AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
}

void Win32DialogWindow::AppendMenuItem(std::string_view text, unsigned code) {
    if (const HMENU menu = hwnd_ ? GetSystemMenu(hwnd_, FALSE) : nullptr)
        AppendMenuW(menu, MF_STRING, code, Wide(text).c_str());
}

bool Win32DialogWindow::IsList(int id) const {
    const ControlTemplate* c = TemplateOf(id);
    return c && c->kind == ControlKind::List && Control(id);
}

bool Win32DialogWindow::IsChart(int id) const {
    const ControlTemplate* c = TemplateOf(id);
    return c && c->kind == ControlKind::Chart && Control(id);
}

bool Win32DialogWindow::HandleListNotify(int id, NMHDR& header, LRESULT& result) {
    if (header.code == LVN_GETDISPINFOW) {
        LVITEMW& item = reinterpret_cast<NMLVDISPINFOW&>(header).item;
        if (item.mask & LVIF_TEXT) FillDisplayInfo(item, RowOf(header.hwndFrom, id, item.iItem));
        return true;
    }
    if (header.code != NM_CUSTOMDRAW) return false;
    auto& draw = reinterpret_cast<NMLVCUSTOMDRAW&>(header);
    switch (draw.nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            paintingList_ = header.hwndFrom;
            cachedRow_ = {};
            result = CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT;
            return true;
        case CDDS_ITEMPREPAINT:
            result = CDRF_NOTIFYSUBITEMDRAW;
            return true;
        case CDDS_ITEMPREPAINT | CDDS_SUBITEM:
            DrawReportCell(draw, RowOf(header.hwndFrom, id, static_cast<int>(draw.nmcd.dwItemSpec)));
            result = CDRF_SKIPDEFAULT;
            return true;
        case CDDS_POSTPAINT:
            paintingList_ = nullptr;
            cachedRow_ = {};
            result = CDRF_DODEFAULT;
            return true;
        default:
            return false;
    }
}

const ListRow& Win32DialogWindow::RowOf(HWND list, int id, int row) {
    const bool reuse = paintingList_ == list && cachedRow_.list == list && cachedRow_.row == row;
    if (!reuse) cachedRow_ = {list, row, owner_.WindowListRow(id, row)};
    return cachedRow_.data;
}

void Win32DialogWindow::SetListColumns(int id, std::span<const ListColumn> columns) {
    if (IsList(id)) SetReportColumns(Control(id), hwnd_, columns);
}

void Win32DialogWindow::SetListRowCount(int id, int count, int dropped) {
    if (!IsList(id)) return;
    cachedRow_ = {};
    SetReportRowCount(Control(id), count, dropped);
}

int Win32DialogWindow::ListRowCount(int id) const {
    return IsList(id) ? static_cast<int>(SendMessageW(Control(id), LVM_GETITEMCOUNT, 0, 0)) : 0;
}

bool Win32DialogWindow::ListAtEnd(int id) const { return IsList(id) && ReportListAtEnd(Control(id)); }

void Win32DialogWindow::SetChart(int id, const ChartData& chart) {
    if (IsChart(id)) SetChartData(Control(id), chart);
}

std::string Win32DialogWindow::ChartDescription(int id) const {
    return IsChart(id) ? Utf8(WindowText(Control(id))) : std::string();
}

void Win32DialogWindow::SetTimer(int timerId, int intervalMs) {
    if (!hwnd_) return;
    // The system's timer on the dialog's window: WM_TIMER comes through its
    // message loop, on its thread. Setting it again restarts it.
    if (::SetTimer(hwnd_, static_cast<UINT_PTR>(static_cast<unsigned>(timerId)),
                   static_cast<UINT>(std::max(1, intervalMs)), nullptr))
        timers_.insert(timerId);
}

void Win32DialogWindow::KillTimer(int timerId) {
    if (hwnd_ && timers_.count(timerId)) ::KillTimer(hwnd_, static_cast<UINT_PTR>(static_cast<unsigned>(timerId)));
    timers_.erase(timerId);
}

void Win32DialogWindow::SetKeyCommand(Key key, int id) { keyCommands_[key] = id; }

HWND Win32DialogWindow::KeyCommandButton(WPARAM key) const {
    Key bound;
    if (key == VK_LEFT) {
        bound = Key::Left;
    } else if (key == VK_RIGHT) {
        bound = Key::Right;
    } else {
        return nullptr;
    }
    const auto it = keyCommands_.find(bound);
    if (it == keyCommands_.end()) return nullptr;
    const ControlTemplate* c = TemplateOf(it->second);
    const HWND button = Control(it->second);
    if (!c || !IsButtonKind(c->kind) || !button || !IsWindowEnabled(button)) return nullptr;
    // The plain key only: with Shift, Ctrl or Alt it is the control's.
    if (GetKeyState(VK_SHIFT) < 0 || GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0) return nullptr;
    return button;
}

bool Win32DialogWindow::RunKeyCommand(WPARAM key) {
    const HWND button = KeyCommandButton(key);
    if (!button) return false;
    // As the button tells its dialog when it is clicked.
    SendMessageW(hwnd_, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return true;
}

void Win32DialogWindow::WatchKeys(HWND control) {
    SetWindowSubclass(control, &Win32DialogWindow::ControlProc, kControlSubclassId, reinterpret_cast<DWORD_PTR>(this));
    // A combo box's field has the focus, not the box.
    COMBOBOXINFO combo{};
    combo.cbSize = sizeof combo;
    wchar_t className[16] = {};
    if (GetClassNameW(control, className, 16) && lstrcmpiW(className, L"ComboBox") == 0 &&
        GetComboBoxInfo(control, &combo) && combo.hwndItem && combo.hwndItem != control)
        SetWindowSubclass(combo.hwndItem, &Win32DialogWindow::ControlProc, kControlSubclassId,
                          reinterpret_cast<DWORD_PTR>(this));
}

LRESULT CALLBACK Win32DialogWindow::ControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                                DWORD_PTR data) {
    auto* self = reinterpret_cast<Win32DialogWindow*>(data);
    if (!self->constructed_) return DefSubclassProc(control, message, wParam, lParam);
    switch (message) {
        case WM_GETDLGCODE: {
            // Before the dialog manager spends the arrow on moving the focus.
            const auto* msg = reinterpret_cast<const MSG*>(lParam);
            const LRESULT code = DefSubclassProc(control, message, wParam, lParam);
            if (msg && msg->message == WM_KEYDOWN && self->KeyCommandButton(msg->wParam)) return code | DLGC_WANTARROWS;
            return code;
        }
        case WM_KEYDOWN:
            // Before the control's own use of the key.
            if (self->RunKeyCommand(wParam)) return 0;
            break;
        default:
            if (message == ListMarksMessageId()) {
                const int id = GetDlgCtrlID(control);
                if (!self->IsList(id) || self->Control(id) != control) return 0;
                const int row = static_cast<int>(wParam);
                if (row < 0 || row >= self->ListRowCount(id)) return 0;
                const auto question = static_cast<std::uint64_t>(lParam);
                return MarkAnswer(self->owner_.WindowListRow(id, row), QuestionColumn(question),
                                  QuestionIndex(question));
            }
            break;
    }
    return DefSubclassProc(control, message, wParam, lParam);
}

std::string Win32DialogWindow::AskFileName(const FileQuestion& question) { return AskWithFileDialog(hwnd_, question); }

void Win32DialogWindow::MessageBox(const char*, std::string_view text) {
    const std::wstring title = hwnd_ ? WindowText(hwnd_) : std::wstring();
    MessageBoxW(hwnd_, Wide(text).c_str(), title.c_str(), MB_OK | MB_ICONWARNING);
}

void Win32DialogWindow::CloseBox() {
    // The system's boxes over the window: its message box or file dialog
    // (the program's own dialogs are left to their owners).
    struct Search {
        HWND owner;
        std::vector<HWND> boxes;
    } search{hwnd_, {}};
    EnumThreadWindows(
        threadId_,
        [](HWND window, LPARAM data) {
            auto& s = *reinterpret_cast<Search*>(data);
            wchar_t className[16] = {};
            if (GetWindow(window, GW_OWNER) == s.owner && GetClassNameW(window, className, 16) &&
                lstrcmpW(className, L"#32770") == 0 &&
                GetWindowLongPtrW(window, DWLP_DLGPROC) != reinterpret_cast<LONG_PTR>(&Win32DialogWindow::DialogProc))
                s.boxes.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    // Its Cancel button, or the message box's only one, OK.
    for (const HWND box : search.boxes) {
        const int command = GetDlgItem(box, IDCANCEL) ? IDCANCEL : IDOK;
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), 0);
    }
}

void Win32DialogWindow::Post(std::function<void()> task) {
    std::function<void()> dropped;
    {
        std::lock_guard<std::mutex> lock(taskMutex_);
        if (closed_ || !hwnd_) {
            dropped = std::move(task);
        } else {
            tasks_.push_back(std::move(task));
        }
    }
    if (!dropped) PostMessageW(hwnd_, kTaskMessage, 0, 0);
    // `dropped` goes here, outside the lock.
}

void Win32DialogWindow::RunOneTask() {
    std::function<void()> task;
    {
        std::lock_guard<std::mutex> lock(taskMutex_);
        if (tasks_.empty()) return;
        task = std::move(tasks_.front());
        tasks_.pop_front();
    }
    task();
}

std::unique_ptr<DialogWindow> Win32WindowSystem::CreateDialogWindow(DialogBase& owner, const DialogTemplate& tmpl,
                                                                    DialogWindow* parent) {
    auto* parentWindow = dynamic_cast<Win32DialogWindow*>(parent);
    return std::make_unique<Win32DialogWindow>(owner, tmpl, parentWindow ? parentWindow->Handle() : nullptr);
}

void Win32WindowSystem::Install(int appIconResource) {
    INITCOMMONCONTROLSEX controls{sizeof(controls),
                                  ICC_BAR_CLASSES | ICC_UPDOWN_CLASS | ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    RegisterChartClass();
    if (appIconResource != 0) {
        const HINSTANCE module = GetModuleHandleW(nullptr);
        appBigIcon = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(appIconResource), IMAGE_ICON,
                                                   GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON),
                                                   LR_DEFAULTCOLOR | LR_SHARED));
        appSmallIcon = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(appIconResource), IMAGE_ICON,
                                                     GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                                     LR_DEFAULTCOLOR | LR_SHARED));
    }
    static Win32WindowSystem system;
    InstallWindowSystem(&system);
}

Win32DialogWindow& WindowOf(const DialogBase& dialog) { return static_cast<Win32DialogWindow&>(dialog.Window()); }

}  // namespace platform::ui::win32
