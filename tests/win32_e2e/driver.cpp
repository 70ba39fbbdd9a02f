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
//   texts <id>...         the controls' texts (a list)
//   state <id>            {"enabled", "visible", "checked", "pos",
//                         "selection", "class", "text"} of one control
//   click <id>            BM_CLICK, as a mouse click on a button or box
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
//   controls              every child window: id, class, text, rectangle in
//                         the window's client coordinates, visible
//   windows               the visible top-level windows' titles
//   quit
#include <windows.h>
// After windows.h:
#include <commctrl.h>
#include <fcntl.h>
#include <io.h>

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

bool ClassIs(HWND hwnd, const wchar_t* name) { return lstrcmpiW(ClassOf(hwnd).c_str(), name) == 0; }

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
                          ",\"class\":" + Json(Utf8(ClassOf(c))) + ",\"text\":" + Json(Utf8(TextOf(c))) + ",\"rect\":" +
                          JsonList({Json(static_cast<long long>(r.left)), Json(static_cast<long long>(r.top)),
                                    Json(static_cast<long long>(r.right)), Json(static_cast<long long>(r.bottom))}) +
                          ",\"visible\":" + Json(IsWindowVisible(c) != FALSE) + "}");
        }
        return JsonList(out);
    }

    static std::string State(HWND c) {
        std::string out = "{\"class\":" + Json(Utf8(ClassOf(c))) + ",\"text\":" + Json(Utf8(TextOf(c))) +
                          ",\"enabled\":" + Json(IsWindowEnabled(c) != FALSE) +
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
