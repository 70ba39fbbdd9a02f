#include "tests/support/UserInput.h"

#include <algorithm>
#include <map>

#include "tests/support/WindowPump.h"
// Brings windows.h, after the neutral headers.
#include "platform/ui/win32/Win32DialogWindow.h"
#include "platform/ui/win32/Win32Text.h"
#include "tests/support/win32/Windows.h"
// After windows.h:
#include <commctrl.h>

namespace testing_support {

namespace {

using platform::ui::win32::Utf8;
using platform::ui::win32::Wide;
using platform::ui::win32::WindowOf;
using platform::ui::win32::WindowText;

using namespace testing_support::win32;

// The edit box that takes the keys of control `id`: a combo box's field.
HWND FieldOf(const DialogBase& dialog, int id) {
    const HWND control = Item(dialog, id);
    if (control && _wcsicmp(ClassOf(control).c_str(), L"ComboBox") == 0)
        return FindWindowExW(control, nullptr, L"Edit", nullptr);
    return control;
}

UINT VirtualKey(Press key) {
    switch (key) {
        case Press::Enter:
        case Press::KeypadEnter:
            return VK_RETURN;
        case Press::Escape:
            return VK_ESCAPE;
        case Press::Tab:
            return VK_TAB;
        case Press::Up:
            return VK_UP;
        case Press::Down:
            return VK_DOWN;
        case Press::Left:
            return VK_LEFT;
        case Press::Right:
            return VK_RIGHT;
    }
    return 0;
}

// Delivers the messages queued now, and those they queue in turn.
void Deliver() {
    PumpUntil([] { return HIWORD(GetQueueStatus(QS_ALLPOSTMESSAGE | QS_INPUT)) == 0; });
}

}  // namespace

void Click(DialogBase& dialog, int id) {
    const HWND control = Item(dialog, id);
    // The mouse reaches neither a disabled control nor one in a disabled window.
    if (!control || !IsWindowEnabled(control) || !IsWindowEnabled(HandleOf(dialog))) return;
    SendMessageW(control, BM_CLICK, 0, 0);
    Deliver();
}

void PressKey(DialogBase& dialog, int id, Press key) {
    dialog.Window().SetFocus(id);
    const HWND focus = GetFocus();
    if (!focus) return;
    // The keypad's Enter is an extended key.
    const LPARAM extended = key == Press::KeypadEnter ? (1 << 24) : 0;
    PostMessageW(focus, WM_KEYDOWN, VirtualKey(key), 1 | extended);
    PostMessageW(focus, WM_KEYUP, VirtualKey(key), 0xC0000001 | extended);
    Deliver();
}

void Type(DialogBase& dialog, int id, std::string_view text) {
    dialog.Window().SetFocus(id);
    const HWND field = FieldOf(dialog, id);
    if (!field) return;
    SendMessageW(field, EM_SETSEL, 0, -1);
    if (text.empty()) SendMessageW(field, WM_CHAR, VK_BACK, 1);
    for (wchar_t c : Wide(text)) SendMessageW(field, WM_CHAR, c, 1);
    Deliver();
}

int FocusedControl(const DialogBase& dialog) {
    HWND focus = GetFocus();
    if (!focus || !IsChild(HandleOf(dialog), focus)) return -1;
    while (GetParent(focus) != HandleOf(dialog)) focus = GetParent(focus);
    return GetDlgCtrlID(focus);
}

int Caret(const DialogBase& dialog, int id) {
    DWORD start = 0, end = 0;
    SendMessageW(FieldOf(dialog, id), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return static_cast<int>(end);
}

void PutCaret(DialogBase& dialog, int id, int position) {
    SendMessageW(FieldOf(dialog, id), EM_SETSEL, position, position);
}

std::string SelectedText(const DialogBase& dialog, int id) {
    const HWND field = FieldOf(dialog, id);
    DWORD start = 0, end = 0;
    SendMessageW(field, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    const std::wstring text = WindowText(field);
    if (start >= end || end > text.size()) return {};
    return Utf8(text.substr(start, end - start));
}

void CloseWindow(DialogBase& dialog) {
    PostMessageW(HandleOf(dialog), WM_SYSCOMMAND, SC_CLOSE, 0);
    Deliver();
}

void RequestClose(DialogBase& dialog) {
    PostMessageW(HandleOf(dialog), WM_CLOSE, 0, 0);
    Deliver();
}

bool TakesInput(const DialogBase& dialog) { return IsWindowEnabled(HandleOf(dialog)); }

bool Minimised(const DialogBase& dialog) { return IsIconic(HandleOf(dialog)); }

std::vector<std::string> WindowMenu(const DialogBase& dialog) {
    const HMENU menu = GetSystemMenu(HandleOf(dialog), FALSE);
    std::vector<std::string> items;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        const UINT code = GetMenuItemID(menu, i);
        if (code == 0) {
            items.push_back("-");
        } else if (code == SC_MOVE) {
            items.push_back("move");
        } else if (code == SC_MINIMIZE) {
            items.push_back("minimise");
        } else if (code == SC_CLOSE) {
            items.push_back("close");
        } else {
            wchar_t text[128] = {};
            GetMenuStringW(menu, i, text, 128, MF_BYPOSITION);
            items.push_back(Utf8(text));
        }
    }
    return items;
}

void ChooseFromWindowMenu(DialogBase& dialog, unsigned code) { PostMessageW(HandleOf(dialog), WM_SYSCOMMAND, code, 0); }

void DragSlider(DialogBase& dialog, int id, int position) {
    SendMessageW(Item(dialog, id), TBM_SETPOS, TRUE, position);
}

int SliderPage(const DialogBase& dialog, int id) {
    return static_cast<int>(SendMessageW(Item(dialog, id), TBM_GETPAGESIZE, 0, 0));
}

std::string ToolTipOf(const DialogBase& dialog, int id) {
    struct Search {
        HWND owner;
        HWND tip;
    } search{HandleOf(dialog), nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM data) {
            auto& s = *reinterpret_cast<Search*>(data);
            if (_wcsicmp(ClassOf(hwnd).c_str(), TOOLTIPS_CLASSW) == 0 && GetWindow(hwnd, GW_OWNER) == s.owner)
                s.tip = hwnd;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (!search.tip) return {};
    wchar_t text[1024] = {};
    TOOLINFOW info{};
    info.cbSize = TTTOOLINFOW_V2_SIZE;
    info.hwnd = HandleOf(dialog);
    info.uId = reinterpret_cast<UINT_PTR>(Item(dialog, id));
    info.lpszText = text;
    SendMessageW(search.tip, TTM_GETTEXTW, 1024, reinterpret_cast<LPARAM>(&info));
    return Utf8(text);
}

ShownFont FontOf(const DialogBase& dialog, int id) {
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(Item(dialog, id), WM_GETFONT, 0, 0)), sizeof(font), &font);
    const HDC dc = GetDC(nullptr);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return {Utf8(font.lfFaceName), MulDiv(-font.lfHeight, 96, dpi)};
}

int TopRow(const DialogBase& dialog, int id) {
    return static_cast<int>(SendMessageW(Item(dialog, id), LVM_GETTOPINDEX, 0, 0));
}

int RowsPerPage(const DialogBase& dialog, int id) {
    return static_cast<int>(SendMessageW(Item(dialog, id), LVM_GETCOUNTPERPAGE, 0, 0));
}

void ScrollListPages(DialogBase& dialog, int id, int pages) {
    for (int i = 0; i < std::abs(pages); ++i)
        SendMessageW(Item(dialog, id), WM_VSCROLL, pages < 0 ? SB_PAGEUP : SB_PAGEDOWN, 0);
    Deliver();
}

void ScrollListTo(DialogBase& dialog, int id, int row) {
    const HWND list = Item(dialog, id);
    RECT first{LVIR_BOUNDS, 0, 0, 0};
    SendMessageW(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first));
    const int rowHeight = std::max(1, static_cast<int>(first.bottom - first.top));
    // As the mouse wheel scrolls: by whole rows of pixels.
    SendMessageW(list, LVM_SCROLL, 0, static_cast<LPARAM>(row - TopRow(dialog, id)) * rowHeight);
    Deliver();
}

std::string CellText(const DialogBase& dialog, int id, int row, int column) {
    wchar_t text[128] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 128;
    SendMessageW(Item(dialog, id), LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return Utf8(text);
}

void PickRow(DialogBase& dialog, int id, int row) {
    LVITEMW pick{};
    pick.state = pick.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(Item(dialog, id), LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&pick));
}

int PickedRow(const DialogBase& dialog, int id) {
    return static_cast<int>(SendMessageW(Item(dialog, id), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

// A thread timer: any message loop of the dialog's thread delivers it, a
// message box's own too.
struct MessageBoxes::Watch {
    Watch(HWND watched, std::function<bool(const std::string&)> look) : owner(watched), seen(std::move(look)) {}
    HWND owner;
    std::function<bool(const std::string&)> seen;
    int closed = 0;
    std::string last;
    UINT_PTR timer = 0;
    bool looking = false;

    static std::map<UINT_PTR, Watch*>& Running() {
        static std::map<UINT_PTR, Watch*> running;
        return running;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR timer, DWORD) {
        if (const auto it = Running().find(timer); it != Running().end()) it->second->Look();
    }
    void Look() {
        // The handler may pump: the timer's next tick waits for it.
        if (looking) return;
        looking = true;
        for (const HWND box : Boxes()) {
            if (GetWindow(box, GW_OWNER) != owner) continue;
            const std::string text = TextOf(box);
            if (seen && !seen(text)) continue;
            ++closed;
            last = text;
            SendMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        }
        looking = false;
    }
    // The message boxes shown now: dialogs of the system's, not the program's.
    static std::vector<HWND> Boxes() {
        std::vector<HWND> boxes;
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND hwnd, LPARAM data) {
                if (IsWindowVisible(hwnd) && ClassOf(hwnd) == L"#32770" &&
                    GetWindowLongPtrW(hwnd, DWLP_DLGPROC) != ProgramsDialogProc())
                    reinterpret_cast<std::vector<HWND>*>(data)->push_back(hwnd);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&boxes));
        return boxes;
    }
    static LONG_PTR ProgramsDialogProc() {
        static const LONG_PTR proc = [] {
            static const platform::ControlTemplate none[] = {
                {-1, nullptr, platform::ControlKind::Label, "", platform::kNoStyle, 0, 0, 1, 1}};
            static const platform::DialogTemplate probe{1, "IDD_PROBE", "", 10, 10, "MS Shell Dlg", 8, false, none};
            DialogBase dialog(probe);
            return GetWindowLongPtrW(HandleOf(dialog), DWLP_DLGPROC);
        }();
        return proc;
    }
    static std::string TextOf(HWND box) {
        std::string text;
        EnumChildWindows(
            box,
            [](HWND child, LPARAM out) {
                const std::wstring t = WindowText(child);
                if (_wcsicmp(ClassOf(child).c_str(), L"Static") == 0 && !t.empty())
                    *reinterpret_cast<std::string*>(out) = Utf8(t);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&text));
        return text;
    }
};

MessageBoxes::MessageBoxes(const DialogBase& owner, std::function<bool(const std::string&)> seen)
    : watch_(std::make_unique<Watch>(HandleOf(owner), std::move(seen))) {
    Watch::ProgramsDialogProc();
    watch_->timer = SetTimer(nullptr, 0, 10, &Watch::Tick);
    Watch::Running()[watch_->timer] = watch_.get();
}

MessageBoxes::~MessageBoxes() {
    KillTimer(nullptr, watch_->timer);
    Watch::Running().erase(watch_->timer);
}

int MessageBoxes::Closed() const { return watch_->closed; }

std::string MessageBoxes::LastText() const { return watch_->last; }

int MessageBoxes::Open() { return static_cast<int>(Watch::Boxes().size()); }

}  // namespace testing_support
