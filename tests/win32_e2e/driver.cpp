// zonter-e2e-driver: works the windows of a running zonter.exe the way a
// person does, for the end-to-end checks under Wine.
//
// A console program that reads one command a line on its standard input
// and answers each with one line: "ok <JSON value>" or "error <text>".
// Windows are found by their title, controls by their identifiers
// (GetDlgItem); every move goes through the messages a control gets from
// the mouse or the keyboard, or sends its parent when a person works it,
// so that the dialog sees what it sees at the bench.
//
// Commands (ids are decimal control identifiers):
//   find <ms> <title>     waits up to ms for a visible window with that
//                         title and makes it the current one
//   window <handle>       makes a window found before the current one again
//   gone <ms>             waits up to ms for the current window to go
//   title                 the current window's title
//   texts <id>...         the controls' texts (a list)
//   state <id>            {"enabled", "visible", "checked", "pos",
//                         "selection", "class", "style", "text"} of one
//                         control
//   click <id>            BM_CLICK, as a mouse click on a button or box
//   command <id>          tells the window that a button was clicked
//                         (WM_COMMAND, BN_CLICKED), as an assistive tool's
//                         action does, also for a button not on screen
//   post-click <id>       the same, without waiting for the handler (for
//                         a button whose handler opens a modal window)
//   type <id> <text>      WM_CHAR for each character, to an edit box or
//                         to a combo box's field
//   select-all <id>       selects the whole text of an edit box or field
//   slide <id> <pos>      drags a trackbar's thumb to pos: TBM_SETPOS, then
//                         the WM_HSCROLL notifications of a drag
//   arrow <id> up|down    a mouse click on one arrow of an up-down control
//   pick <id> <index>     opens a combo box's list and clicks an entry
//   items <id>            a combo box's entries (a list)
//   syscommand <code>     chooses a window-menu item (WM_SYSCOMMAND, posted)
//   rect                  the current window's screen rectangle
//   controls              every child window: id, class, style, text,
//                         rectangle in the window's client coordinates,
//                         visible
//   windows               the visible top-level windows' titles
//   list-count <id>       the number of rows a report list holds
//   list-row <id> <row>   one row of a report list: {"cells": [...],
//                         "marks": [...]}, per column its text and its
//                         marked characters as "first+count" blank-separated
//                         ("6+2 15+2"); read as the list draws them, from
//                         its dialog, through LVM_GETITEMTEXTW and the
//                         registered message "ZonterListMarks"
//   list-at-end <id>      whether the list's last row is in view
//   list-scroll <id> <n>  scrolls the list by n rows (negative: up) with the
//                         scroll bar's page and line steps; the new first
//                         row in view
//   chart <id>            what a strip chart shows, its window text ("V/T
//                         12 точек, последнее 30; P ...")
//   key <id> left|right   gives the control the focus and presses the arrow
//                         key there (posted, as the keyboard does: poll for
//                         its effect)
//   file-answer <ms> <path>  waits up to ms for a file dialog over the
//                         current window (an open or save dialog: #32770
//                         owned by it, with a file-name box, cmb13 or edt1),
//                         types path into the name box and presses OK; waits
//                         until the dialog has gone, which it has not when
//                         the dialog refuses the name
//   file-cancel <ms>      the same, pressing Cancel
//   quit
#include <windows.h>
// After windows.h:
#include <commctrl.h>
#include <fcntl.h>
#include <io.h>

#include "platform/ui/win32/ListMarksMessage.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// How long a window may take over one message before it counts as hung.
constexpr UINT kAnswerMs = 10000;

std::wstring Wide(const std::string& text) {
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::string Json(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string Json(bool value) { return value ? "true" : "false"; }
std::string Json(long long value) { return std::to_string(value); }

std::string JsonList(const std::vector<std::string>& items) {
    std::string out = "[";
    for (std::size_t i = 0; i < items.size(); ++i) out += (i ? "," : "") + items[i];
    return out + "]";
}

struct Failure {
    std::string why;
};

// A message sent and answered; a window that does not answer in time is
// a fault of the program under test.
LRESULT Send(HWND hwnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_NORMAL, kAnswerMs, &result)) {
        const DWORD error = GetLastError();
        if (!IsWindow(hwnd)) throw Failure{"the window went away"};
        throw Failure{"the window did not answer message 0x" +
                      [&] {
                          char hex[16];
                          std::snprintf(hex, sizeof hex, "%x", message);
                          return std::string(hex);
                      }() +
                      " within " + std::to_string(kAnswerMs / 1000) + " s (error " + std::to_string(error) + ")"};
    }
    return static_cast<LRESULT>(result);
}

std::wstring TextOf(HWND hwnd) {
    const LRESULT length = Send(hwnd, WM_GETTEXTLENGTH);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied = Send(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    return name;
}

long long StyleOf(HWND hwnd) { return static_cast<long long>(static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE))); }

bool ClassIs(HWND hwnd, const wchar_t* name) { return lstrcmpiW(ClassOf(hwnd).c_str(), name) == 0; }

std::string ErrorText(const char* what) {
    return std::string(what) + " (error " + std::to_string(GetLastError()) + ")";
}

// Memory in the process of a window, for a message whose pointer the
// window reads and writes in its own process (LVM_GETITEMTEXTW).
class RemoteMemory {
public:
    RemoteMemory(HWND window, std::size_t size) {
        DWORD id = 0;
        GetWindowThreadProcessId(window, &id);
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, id);
        if (!process_) throw Failure{ErrorText("the window's process could not be opened")};
        address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        if (!address_) {
            const std::string why = ErrorText("no memory in the window's process");
            CloseHandle(process_);
            throw Failure{why};
        }
    }
    ~RemoteMemory() {
        VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        CloseHandle(process_);
    }
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;

    void* At(std::size_t offset) const { return static_cast<char*>(address_) + offset; }
    void Write(std::size_t offset, const void* data, std::size_t size) {
        if (!WriteProcessMemory(process_, At(offset), data, size, nullptr))
            throw Failure{ErrorText("the window's process could not be written")};
    }
    void Read(std::size_t offset, void* data, std::size_t size) const {
        if (!ReadProcessMemory(process_, At(offset), data, size, nullptr))
            throw Failure{ErrorText("the window's process could not be read")};
    }

private:
    HANDLE process_ = nullptr;
    void* address_ = nullptr;
};

class Driver {
public:
    std::string Run(const std::string& line) {
        std::istringstream in(line);
        std::string command;
        in >> command;
        if (command == "find") {
            DWORD ms = 0;
            in >> ms;
            return Find(Rest(in), ms);
        }
        if (command == "gone") {
            DWORD ms = 0;
            in >> ms;
            return Gone(ms);
        }
        if (command == "window") {
            long long handle = 0;
            in >> handle;
            const HWND hwnd = reinterpret_cast<HWND>(static_cast<INT_PTR>(handle));
            if (!IsWindow(hwnd)) throw Failure{"no window " + std::to_string(handle)};
            window_ = hwnd;
            return "null";
        }
        if (command == "windows") return Windows();
        if (command == "syscommand") {
            unsigned code = 0;
            in >> code;
            // As the menu does: posted, so that a modal dialog the command
            // opens runs while the driver goes on.
            if (!PostMessageW(Current(), WM_SYSCOMMAND, code, 0)) throw Failure{"the command could not be posted"};
            return "null";
        }
        if (command == "rect") {
            RECT r{};
            GetWindowRect(Current(), &r);
            return JsonList({Json(static_cast<long long>(r.left)), Json(static_cast<long long>(r.top)),
                             Json(static_cast<long long>(r.right)), Json(static_cast<long long>(r.bottom))});
        }
        if (command == "controls") return Controls();
        if (command == "title") return Json(Utf8(TextOf(Current())));
        if (command == "file-answer" || command == "file-cancel") {
            DWORD ms = 0;
            in >> ms;
            const std::string path = Rest(in);
            if (command == "file-answer" && path.empty()) throw Failure{"file-answer wants a path"};
            return AnswerFileDialog(ms, command == "file-answer" ? path : std::string(), command == "file-answer");
        }
        if (command == "texts") {
            std::vector<std::string> texts;
            int id = 0;
            while (in >> id) texts.push_back(Json(Utf8(TextOf(Control(id)))));
            return JsonList(texts);
        }
        int id = 0;
        if (!(in >> id)) throw Failure{"unknown command or missing control: " + line};
        if (command == "state") return State(Control(id));
        if (command == "click") return Click(Control(id), true);
        if (command == "post-click") return Click(Control(id), false);
        if (command == "command") {
            const HWND button = Control(id);
            Send(Current(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
            return "null";
        }
        if (command == "type") return Type(Control(id), Rest(in));
        if (command == "select-all") return SelectAll(Control(id));
        if (command == "slide") {
            int pos = 0;
            if (!(in >> pos)) throw Failure{"slide wants a position"};
            return Slide(Control(id), pos);
        }
        if (command == "arrow") {
            std::string which;
            in >> which;
            if (which != "up" && which != "down") throw Failure{"arrow wants up or down"};
            return Arrow(Control(id), which == "up");
        }
        if (command == "pick") {
            int index = -1;
            if (!(in >> index)) throw Failure{"pick wants an entry number"};
            return Pick(Control(id), index);
        }
        if (command == "items") return Items(Control(id));
        if (command == "list-count") return Json(static_cast<long long>(Send(List(Control(id)), LVM_GETITEMCOUNT)));
        if (command == "list-at-end") return Json(ListAtEnd(List(Control(id))));
        if (command == "list-row") {
            int row = -1;
            if (!(in >> row)) throw Failure{"list-row wants a row number"};
            return ListRow(List(Control(id)), row);
        }
        if (command == "list-scroll") {
            int rows = 0;
            if (!(in >> rows)) throw Failure{"list-scroll wants a number of rows"};
            return ListScroll(List(Control(id)), rows);
        }
        if (command == "chart") {
            const HWND chart = Control(id);
            if (!ClassIs(chart, L"ZonterChart")) throw Failure{"not a strip chart"};
            return Json(Utf8(TextOf(chart)));
        }
        if (command == "key") {
            std::string which;
            in >> which;
            if (which != "left" && which != "right") throw Failure{"key wants left or right"};
            return Key(Control(id), which == "left" ? VK_LEFT : VK_RIGHT);
        }
        throw Failure{"unknown command: " + command};
    }

private:
    HWND window_ = nullptr;

    static std::string Rest(std::istringstream& in) {
        std::string rest;
        std::getline(in, rest);
        if (!rest.empty() && rest.front() == ' ') rest.erase(0, 1);
        return rest;
    }

    HWND Current() const {
        if (!window_ || !IsWindow(window_)) throw Failure{"no current window (find one first)"};
        return window_;
    }

    HWND Control(int id) const {
        const HWND control = GetDlgItem(Current(), id);
        if (!control) throw Failure{"no control with the identifier " + std::to_string(id)};
        return control;
    }

    std::string Find(const std::string& title, DWORD ms) {
        const std::wstring wide = Wide(title);
        const DWORD start = GetTickCount();
        for (;;) {
            // Dialogs are of the class #32770; a hidden one does not count.
            HWND found = FindWindowW(L"#32770", wide.c_str());
            if (found && IsWindowVisible(found)) {
                window_ = found;
                return Json(static_cast<long long>(reinterpret_cast<INT_PTR>(found)));
            }
            if (GetTickCount() - start >= ms) throw Failure{"no visible window titled " + Json(title)};
            Sleep(20);
        }
    }

    std::string Gone(DWORD ms) {
        const DWORD start = GetTickCount();
        while (window_ && IsWindow(window_) && IsWindowVisible(window_)) {
            if (GetTickCount() - start >= ms) throw Failure{"the window is still there"};
            Sleep(20);
        }
        window_ = nullptr;
        return "null";
    }

    static BOOL CALLBACK ListTopLevel(HWND hwnd, LPARAM data) {
        if (IsWindowVisible(hwnd)) {
            auto& out = *reinterpret_cast<std::vector<std::string>*>(data);
            wchar_t title[256] = {};
            GetWindowTextW(hwnd, title, 256);
            out.push_back(JsonList({Json(Utf8(title)), Json(Utf8(ClassOf(hwnd)))}));
        }
        return TRUE;
    }

    static std::string Windows() {
        std::vector<std::string> out;
        EnumWindows(&ListTopLevel, reinterpret_cast<LPARAM>(&out));
        return JsonList(out);
    }

    std::string Controls() {
        std::vector<std::string> out;
        const HWND parent = Current();
        for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            RECT r{};
            GetWindowRect(c, &r);
            MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
            out.push_back("{\"id\":" + Json(static_cast<long long>(static_cast<short>(GetDlgCtrlID(c)))) +
                          ",\"class\":" + Json(Utf8(ClassOf(c))) + ",\"style\":" + Json(StyleOf(c)) +
                          ",\"text\":" + Json(Utf8(TextOf(c))) + ",\"rect\":" +
                          JsonList({Json(static_cast<long long>(r.left)), Json(static_cast<long long>(r.top)),
                                    Json(static_cast<long long>(r.right)), Json(static_cast<long long>(r.bottom))}) +
                          ",\"visible\":" + Json(IsWindowVisible(c) != FALSE) + "}");
        }
        return JsonList(out);
    }

    static std::string State(HWND c) {
        std::string out = "{\"class\":" + Json(Utf8(ClassOf(c))) + ",\"style\":" + Json(StyleOf(c)) +
                          ",\"text\":" + Json(Utf8(TextOf(c))) + ",\"enabled\":" + Json(IsWindowEnabled(c) != FALSE) +
                          ",\"visible\":" + Json(IsWindowVisible(c) != FALSE);
        if (ClassIs(c, L"Button")) {
            out += ",\"checked\":" + Json(static_cast<long long>(Send(c, BM_GETCHECK)));
        } else if (ClassIs(c, TRACKBAR_CLASSW)) {
            out += ",\"pos\":" + Json(static_cast<long long>(Send(c, TBM_GETPOS)));
        } else if (ClassIs(c, L"ComboBox")) {
            out += ",\"selection\":" + Json(static_cast<long long>(static_cast<int>(Send(c, CB_GETCURSEL))));
            out += ",\"dropped\":" + Json(Send(c, CB_GETDROPPEDSTATE) != 0);
        }
        return out + "}";
    }

    // A person cannot press what is disabled or not on screen.
    static void Reachable(HWND c) {
        if (!IsWindowVisible(c)) throw Failure{"the control is not on screen"};
        if (!IsWindowEnabled(c)) throw Failure{"the control is disabled"};
    }

    static std::string Click(HWND button, bool wait) {
        Reachable(button);
        if (wait) {
            Send(button, BM_CLICK);
        } else if (!PostMessageW(button, BM_CLICK, 0, 0)) {
            throw Failure{"the click could not be posted"};
        }
        return "null";
    }

    // The edit box that takes the keys: the control itself, or a combo
    // box's field.
    static HWND EditOf(HWND c) {
        if (ClassIs(c, L"ComboBox")) {
            const HWND field = FindWindowExW(c, nullptr, L"Edit", nullptr);
            if (!field) throw Failure{"the combo box has no field to type in"};
            return field;
        }
        if (!ClassIs(c, L"Edit")) throw Failure{"not an edit box"};
        return c;
    }

    static std::string Type(HWND c, const std::string& text) {
        Reachable(c);
        const HWND edit = EditOf(c);
        for (const wchar_t ch : Wide(text)) Send(edit, WM_CHAR, ch, 1);
        return "null";
    }

    static std::string SelectAll(HWND c) {
        Reachable(c);
        Send(EditOf(c), EM_SETSEL, 0, -1);
        return "null";
    }

    static std::string Slide(HWND slider, int pos) {
        Reachable(slider);
        if (!ClassIs(slider, TRACKBAR_CLASSW)) throw Failure{"not a trackbar"};
        const bool vertical = (GetWindowLongW(slider, GWL_STYLE) & TBS_VERT) != 0;
        const UINT scroll = vertical ? WM_VSCROLL : WM_HSCROLL;
        const HWND parent = GetParent(slider);
        const auto handle = reinterpret_cast<LPARAM>(slider);
        Send(slider, TBM_SETPOS, TRUE, pos);
        const int now = static_cast<int>(Send(slider, TBM_GETPOS));
        // What the trackbar tells its parent while the thumb is dragged and
        // when it is let go.
        Send(parent, scroll, MAKEWPARAM(TB_THUMBTRACK, now), handle);
        Send(parent, scroll, MAKEWPARAM(TB_THUMBPOSITION, now), handle);
        Send(parent, scroll, MAKEWPARAM(TB_ENDTRACK, 0), handle);
        return Json(static_cast<long long>(now));
    }

    static std::string Arrow(HWND updown, bool up) {
        Reachable(updown);
        if (!ClassIs(updown, UPDOWN_CLASSW)) throw Failure{"not an up-down control"};
        RECT r{};
        GetClientRect(updown, &r);
        const bool horizontal = (GetWindowLongW(updown, GWL_STYLE) & UDS_HORZ) != 0;
        // The up arrow is the upper half (the right one when horizontal).
        int x = r.right / 2;
        int y = up ? r.bottom / 4 : r.bottom * 3 / 4;
        if (horizontal) {
            x = up ? r.right * 3 / 4 : r.right / 4;
            y = r.bottom / 2;
        }
        const LPARAM at = MAKELPARAM(x, y);
        Send(updown, WM_MOUSEMOVE, 0, at);
        Send(updown, WM_LBUTTONDOWN, MK_LBUTTON, at);
        Send(updown, WM_LBUTTONUP, 0, at);
        return "null";
    }

    static std::string Items(HWND combo) {
        if (!ClassIs(combo, L"ComboBox")) throw Failure{"not a combo box"};
        std::vector<std::string> items;
        const auto count = static_cast<int>(Send(combo, CB_GETCOUNT));
        for (int i = 0; i < count; ++i) {
            const LRESULT length = Send(combo, CB_GETLBTEXTLEN, i);
            std::wstring text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
            const LRESULT copied = Send(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
            text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
            items.push_back(Json(Utf8(text)));
        }
        return JsonList(items);
    }

    static HWND List(HWND c) {
        if (!ClassIs(c, WC_LISTVIEWW)) throw Failure{"not a report list"};
        return c;
    }

    static bool ListAtEnd(HWND list) {
        const auto count = static_cast<int>(Send(list, LVM_GETITEMCOUNT));
        if (count <= 0) return true;
        const int perPage = std::max(1, static_cast<int>(Send(list, LVM_GETCOUNTPERPAGE)));
        return static_cast<int>(Send(list, LVM_GETTOPINDEX)) + perPage >= count;
    }

    // Each cell's text as the list draws it: the list asks its dialog for
    // the row and copies the cell into a buffer in its own process. Each
    // cell's marks through the registered message, one mark a question.
    static std::string ListRow(HWND list, int row) {
        const auto count = static_cast<int>(Send(list, LVM_GETITEMCOUNT));
        if (row < 0 || row >= count)
            throw Failure{"no row " + std::to_string(row) + ": the list holds " + std::to_string(count)};
        const auto header = reinterpret_cast<HWND>(Send(list, LVM_GETHEADER));
        const int columns = header ? static_cast<int>(Send(header, HDM_GETITEMCOUNT)) : 1;
        constexpr std::size_t kTextRoom = 512;
        RemoteMemory memory(list, sizeof(LVITEMW) + kTextRoom * sizeof(wchar_t));
        const UINT marksMessage = RegisterWindowMessageW(platform::ui::win32::kListMarksMessage);
        std::vector<std::string> cells;
        std::vector<std::string> marks;
        for (int column = 0; column < columns; ++column) {
            LVITEMW item{};
            item.iSubItem = column;
            item.cchTextMax = static_cast<int>(kTextRoom);
            item.pszText = static_cast<LPWSTR>(memory.At(sizeof(LVITEMW)));
            memory.Write(0, &item, sizeof item);
            const LRESULT length =
                Send(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(memory.At(0)));
            std::wstring text(static_cast<std::size_t>(std::clamp<LRESULT>(length, 0, kTextRoom - 1)), L'\0');
            if (!text.empty()) memory.Read(sizeof(LVITEMW), text.data(), text.size() * sizeof(wchar_t));
            cells.push_back(Json(Utf8(text)));

            std::string marked;
            for (int index = 0; index < 64; ++index) {
                const auto question = static_cast<LPARAM>(platform::ui::win32::ListMarksQuestion(column, index));
                const LRESULT answer = Send(list, marksMessage, static_cast<WPARAM>(row), question);
                if (answer == 0) break;
                if (!marked.empty()) marked += ' ';
                marked += std::to_string(platform::ui::win32::AnswerFirst(answer)) + "+" +
                          std::to_string(platform::ui::win32::AnswerCount(answer));
            }
            marks.push_back(Json(marked));
        }
        return "{\"cells\":" + JsonList(cells) + ",\"marks\":" + JsonList(marks) + "}";
    }

    // As a person scrolls with the scroll bar: pages, then lines.
    static std::string ListScroll(HWND list, int rows) {
        Reachable(list);
        const int perPage = std::max(1, static_cast<int>(Send(list, LVM_GETCOUNTPERPAGE)));
        const bool up = rows < 0;
        for (int left = up ? -rows : rows; left > 0;) {
            const bool page = left >= perPage;
            Send(list, WM_VSCROLL, up ? (page ? SB_PAGEUP : SB_LINEUP) : (page ? SB_PAGEDOWN : SB_LINEDOWN));
            left -= page ? perPage : 1;
        }
        return Json(static_cast<long long>(Send(list, LVM_GETTOPINDEX)));
    }

    static std::string Key(HWND c, WPARAM key) {
        Reachable(c);
        // As a click on the control gives it the focus, through the dialog
        // manager of the window it is in.
        Send(GetAncestor(c, GA_ROOT), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(c), TRUE);
        if (!PostMessageW(c, WM_KEYDOWN, key, 1) || !PostMessageW(c, WM_KEYUP, key, 0xC0000001))
            throw Failure{"the key could not be posted"};
        return "null";
    }

    struct FileDialogSearch {
        HWND owner;
        HWND found;
    };

    // The file-name box of an open or save dialog: a combo box (cmb13) in
    // the explorer-style dialog, an edit box (edt1) in the old one.
    static HWND FileNameBox(HWND dialog) {
        const HWND combo = GetDlgItem(dialog, 0x47C);
        return combo ? combo : GetDlgItem(dialog, 0x480);
    }

    static BOOL CALLBACK FindFileDialog(HWND hwnd, LPARAM data) {
        auto& search = *reinterpret_cast<FileDialogSearch*>(data);
        if (IsWindowVisible(hwnd) && GetWindow(hwnd, GW_OWNER) == search.owner && ClassIs(hwnd, L"#32770") &&
            FileNameBox(hwnd)) {
            search.found = hwnd;
            return FALSE;
        }
        return TRUE;
    }

    std::string AnswerFileDialog(DWORD ms, const std::string& path, bool accept) {
        const HWND owner = Current();
        const DWORD start = GetTickCount();
        FileDialogSearch search{owner, nullptr};
        for (;;) {
            EnumWindows(&FindFileDialog, reinterpret_cast<LPARAM>(&search));
            if (search.found) break;
            if (GetTickCount() - start >= ms) throw Failure{"no file dialog over the window"};
            Sleep(20);
        }
        const HWND dialog = search.found;
        if (accept) {
            const std::wstring wide = Wide(path);
            Send(FileNameBox(dialog), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
        }
        // Posted: the program goes on from its file question, which may
        // show a message box, while the driver waits for the dialog to go.
        const HWND button = GetDlgItem(dialog, accept ? IDOK : IDCANCEL);
        if (!button || !PostMessageW(button, BM_CLICK, 0, 0)) throw Failure{"the dialog's button could not be pressed"};
        while (IsWindow(dialog) && IsWindowVisible(dialog)) {
            if (GetTickCount() - start >= ms) throw Failure{"the file dialog is still open"};
            Sleep(20);
        }
        return "null";
    }

    struct ListSearch {
        HWND combo;
        HWND list;
    };

    static BOOL CALLBACK FindDroppedList(HWND hwnd, LPARAM data) {
        auto& search = *reinterpret_cast<ListSearch*>(data);
        // The open list is a window of the box's thread; Wine makes it a
        // child of the desktop, Windows a pop-up the box owns.
        if (IsWindowVisible(hwnd) && ClassIs(hwnd, L"ComboLBox") &&
            GetWindowThreadProcessId(hwnd, nullptr) == GetWindowThreadProcessId(search.combo, nullptr)) {
            search.list = hwnd;
            return FALSE;
        }
        return TRUE;
    }

    // A person's choice: a click on the box's arrow opens the list, a
    // click on the entry chooses it and closes the list; the list and the
    // box then tell the dialog as they do for the mouse.
    static std::string Pick(HWND combo, int index) {
        Reachable(combo);
        if (!ClassIs(combo, L"ComboBox")) throw Failure{"not a combo box"};
        const auto count = static_cast<int>(Send(combo, CB_GETCOUNT));
        if (index < 0 || index >= count) throw Failure{"no entry " + std::to_string(index)};
        Send(combo, CB_SHOWDROPDOWN, TRUE);
        if (!Send(combo, CB_GETDROPPEDSTATE)) throw Failure{"the list did not open"};
        ListSearch search{combo, nullptr};
        EnumWindows(&FindDroppedList, reinterpret_cast<LPARAM>(&search));
        if (!search.list) {
            Send(combo, CB_SHOWDROPDOWN, FALSE);
            throw Failure{"the open list is not on screen"};
        }
        // Scrolled so that the entry shows, then clicked in its middle.
        Send(search.list, LB_SETTOPINDEX, index);
        const auto top = static_cast<int>(Send(search.list, LB_GETTOPINDEX));
        const auto height = static_cast<int>(Send(search.list, LB_GETITEMHEIGHT, index));
        RECT client{};
        GetClientRect(search.list, &client);
        const int y = (index - top) * height + height / 2;
        if (height <= 0 || y < 0 || y >= client.bottom) {
            Send(combo, CB_SHOWDROPDOWN, FALSE);
            throw Failure{"the entry is not in the open list"};
        }
        const LPARAM at = MAKELPARAM(client.right / 2, y);
        Send(search.list, WM_MOUSEMOVE, 0, at);
        Send(search.list, WM_LBUTTONDOWN, MK_LBUTTON, at);
        Send(search.list, WM_LBUTTONUP, 0, at);
        if (Send(combo, CB_GETDROPPEDSTATE)) throw Failure{"the list stayed open after the click"};
        return Json(static_cast<long long>(static_cast<int>(Send(combo, CB_GETCURSEL))));
    }
};

}  // namespace

int main() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    Driver driver;
    std::string line;
    while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        if (line == "quit") break;
        std::string answer;
        try {
            answer = "ok " + driver.Run(line);
        } catch (const Failure& failure) {
            answer = "error " + failure.why;
        }
        std::fputs((answer + "\n").c_str(), stdout);
        std::fflush(stdout);
    }
    return 0;
}
