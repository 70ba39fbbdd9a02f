// The Win32 dialog backend: real dialogs from the templates, driven with the
// messages that a person's keys and clicks, or another program, send.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

// The neutral test dialogs first: windows.h defines IDOK and IDCANCEL.
#include "TestDialogs.h"
#include "res/DialogTemplates.h"
#include "res/Strings.h"
// clang-format off
#include "platform/ui/win32/Win32DialogWindow.h"
#include "platform/ui/win32/Win32Text.h"
#include "Pump.h"
#include <commctrl.h>
// clang-format on

namespace {

using platform::ui::win32::Utf8;
using platform::ui::win32::Wide;
using platform::ui::win32::WindowOf;
using platform::ui::win32::WindowText;
using namespace testing_ui;

// The program's window-menu commands.
constexpr unsigned kAboutCommand = 16;
constexpr unsigned kLineSpeedCommand = 114;

// A control of the main template by its name ("IDC_PORT").
int MainId(const char* name) {
    for (const ControlTemplate& c : res::MainDialogTemplate().controls) {
        if (c.name && std::string(c.name) == name) return c.id;
    }
    return -1;
}

HWND HandleOf(const DialogBase& dialog) { return WindowOf(dialog).Handle(); }
HWND Item(const DialogBase& dialog, int id) { return GetDlgItem(HandleOf(dialog), id); }

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    return name;
}

LONG StyleOf(HWND hwnd) { return GetWindowLongW(hwnd, GWL_STYLE); }

// Shows the dialog and waits until its first showing has been handled.
void Show(DialogBase& dialog) {
    dialog.ShowModeless();
    ASSERT_TRUE(PumpUntil([&] { return dialog.IsVisible(); }));
    Drain();
}

// Closes, from another thread, the first message box that `owner` owns,
// and keeps what it said. The dialog's thread pumps meanwhile.
class MessageBoxCloser {
public:
    explicit MessageBoxCloser(HWND owner)
        : thread_([this, owner] {
              const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
              while (std::chrono::steady_clock::now() < deadline) {
                  const HWND box = FindBox(owner);
                  if (box && IsWindowVisible(box)) {
                      EnumChildWindows(box, &KeepText, reinterpret_cast<LPARAM>(this));
                      PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                      break;
                  }
                  Sleep(10);
              }
              done_ = true;
          }) {}
    ~MessageBoxCloser() { thread_.join(); }
    bool Done() const { return done_.load(); }
    std::string Seen() const { return done_.load() ? seen_ : std::string(); }

private:
    static BOOL CALLBACK KeepText(HWND child, LPARAM self) {
        const std::wstring text = WindowText(child);
        if (_wcsicmp(ClassOf(child).c_str(), L"Static") == 0 && !text.empty())
            reinterpret_cast<MessageBoxCloser*>(self)->seen_ = Utf8(text);
        return TRUE;
    }
    static HWND FindBox(HWND owner) {
        struct Search {
            HWND owner;
            HWND found;
        } search{owner, nullptr};
        EnumWindows(
            [](HWND hwnd, LPARAM data) {
                auto* s = reinterpret_cast<Search*>(data);
                if (GetWindow(hwnd, GW_OWNER) == s->owner && ClassOf(hwnd) == L"#32770") {
                    s->found = hwnd;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    std::string seen_;
    std::atomic<bool> done_{false};
    std::thread thread_;  // last: started once the rest is made
};

TEST(Win32Dialogs, MainTemplateGivesEveryControlItsPlaceClassAndIdentifier) {
    DialogBase dialog(res::MainDialogTemplate());
    const HWND hwnd = HandleOf(dialog);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(WindowText(hwnd), Wide(res::kMainTitle));
    EXPECT_FALSE(IsWindowVisible(hwnd));  // shown by DoModal, not before

    // The template's font names the face; every place is in its units.
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0)), sizeof(font), &font);
    EXPECT_EQ(std::wstring(font.lfFaceName), L"Microsoft Sans Serif");
    RECT client{};
    GetClientRect(hwnd, &client);
    RECT size{0, 0, 315, 287};
    MapDialogRect(hwnd, &size);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);

    const auto& controls = res::MainDialogTemplate().controls;
    ASSERT_EQ(controls.size(), 46u);
    HWND child = GetWindow(hwnd, GW_CHILD);
    for (const ControlTemplate& c : controls) {
        SCOPED_TRACE(c.name ? c.name : (c.caption ? c.caption : "label"));
        ASSERT_NE(child, nullptr);
        if (c.id != -1) {
            EXPECT_EQ(GetDlgItem(hwnd, c.id), child);
        }
        EXPECT_EQ(GetDlgCtrlID(child), c.id);

        const wchar_t* expected = L"";
        switch (c.kind) {
            case ControlKind::PushButton:
            case ControlKind::DefPushButton:
            case ControlKind::CheckBox:
                expected = L"Button";
                break;
            case ControlKind::Label:
            case ControlKind::Icon:
                expected = L"Static";
                break;
            case ControlKind::Edit:
                expected = L"Edit";
                break;
            case ControlKind::ComboBox:
                expected = L"ComboBox";
                break;
            case ControlKind::Slider:
                expected = L"msctls_trackbar32";
                break;
            case ControlKind::UpDown:
                expected = L"msctls_updown32";
                break;
            case ControlKind::List:
                expected = L"SysListView32";
                break;
            case ControlKind::Chart:
                expected = L"ZonterChart";
                break;
        }
        EXPECT_EQ(_wcsicmp(ClassOf(child).c_str(), expected), 0) << Utf8(ClassOf(child));

        // Position and size are each mapped from dialog units.
        RECT place{c.x, c.y, c.w, c.h};
        MapDialogRect(hwnd, &place);
        RECT actual{};
        GetWindowRect(child, &actual);
        MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&actual), 2);
        EXPECT_EQ(actual.left, place.left);
        EXPECT_EQ(actual.top, place.top);
        EXPECT_EQ(actual.right - actual.left, place.right);
        // A drop-down's template height counts its list.
        if (c.kind != ControlKind::ComboBox) {
            EXPECT_EQ(actual.bottom - actual.top, place.bottom);
        }

        EXPECT_EQ((StyleOf(child) & WS_VISIBLE) != 0, !(c.style & platform::kHidden));
        EXPECT_EQ((StyleOf(child) & WS_DISABLED) != 0, (c.style & platform::kDisabled) != 0);
        if (c.caption && c.kind != ControlKind::Edit) {
            EXPECT_EQ(WindowText(child), Wide(c.caption));
        }
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(child, nullptr);

    EXPECT_TRUE(StyleOf(Item(dialog, MainId("IDC_RAW_IN"))) & ES_READONLY);
    EXPECT_TRUE(StyleOf(Item(dialog, MainId("IDC_PORT"))) & ES_CENTER);
    EXPECT_EQ(StyleOf(Item(dialog, MainId("IDC_SIMULATE"))) & (BS_MULTILINE | BS_TOP), BS_MULTILINE | BS_TOP);
    EXPECT_TRUE(StyleOf(Item(dialog, MainId("IDC_GEAR"))) & TBS_AUTOTICKS);
    EXPECT_TRUE(StyleOf(Item(dialog, MainId("IDC_MAXP"))) & TBS_NOTICKS);
    EXPECT_TRUE(StyleOf(Item(dialog, MainId("IDC_PORT_SPIN"))) & UDS_ARROWKEYS);
    EXPECT_EQ(StyleOf(Item(dialog, MainId("IDC_DECODER"))) & 3, CBS_DROPDOWN);
    EXPECT_EQ(SendMessageW(Item(dialog, MainId("IDC_DECODER")), CB_GETCOUNT, 0, 0), 3);
}

TEST(Win32Dialogs, ExchangeRoundTripsThroughTheControls) {
    PanelDialog dialog;
    dialog.name = "Привет, мир";
    Show(dialog);

    // The first showing pushed the members.
    EXPECT_EQ(WindowText(Item(dialog, IDC_PORT)), L"1");
    EXPECT_EQ(WindowText(Item(dialog, IDC_NAME)), L"Привет, мир");
    EXPECT_EQ(SendMessageW(Item(dialog, IDC_LIST), CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(WindowText(Item(dialog, IDC_LIST)), L" Второй");
    EXPECT_EQ(SendMessageW(Item(dialog, IDC_WRAP), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageW(Item(dialog, IDC_LEVEL), TBM_GETPOS, 0, 0), 3);
    EXPECT_EQ(SendMessageW(Item(dialog, IDC_POWER), TBM_GETPOS, 0, 0), 10);

    // What a person changes comes back by a pull.
    SetWindowTextW(Item(dialog, IDC_PORT), L" -12 с хвостом");
    SendMessageW(Item(dialog, IDC_LIST), CB_SETCURSEL, 2, 0);
    SendMessageW(Item(dialog, IDC_FLAG), BM_CLICK, 0, 0);
    SendMessageW(Item(dialog, IDC_LEVEL), TBM_SETPOS, TRUE, 77);
    ASSERT_TRUE(dialog.UpdateData(true));
    EXPECT_EQ(dialog.port, -12);
    EXPECT_EQ(dialog.list, 2);
    EXPECT_EQ(dialog.flag, 1);
    EXPECT_EQ(dialog.level, 77);
    EXPECT_EQ(dialog.name, "Привет, мир");

    // No entry selected: the field is empty and the pull says -1.
    dialog.list = -1;
    dialog.UpdateData(false);
    EXPECT_EQ(WindowText(Item(dialog, IDC_LIST)), L"");
    ASSERT_TRUE(dialog.UpdateData(true));
    EXPECT_EQ(dialog.list, -1);
}

TEST(Win32Dialogs, UnchangedTextKeepsTheCaretAndChangedTextShowsItsBeginning) {
    PanelDialog dialog;
    Show(dialog);
    auto& window = WindowOf(dialog);
    const HWND port = Item(dialog, IDC_PORT);
    window.SetText(IDC_PORT, "12345");
    SendMessageW(port, EM_SETSEL, 2, 2);
    window.SetText(IDC_PORT, "12345");
    DWORD start = 0, end = 0;
    SendMessageW(port, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 2u);
    EXPECT_EQ(end, 2u);
    window.SetText(IDC_PORT, "67890");
    SendMessageW(port, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(window.Text(IDC_PORT), "67890");
}

TEST(Win32Dialogs, IndeterminateMakesTheBoxThreeState) {
    PanelDialog dialog;
    Show(dialog);
    auto& window = WindowOf(dialog);
    window.SetCheck(IDC_FLAG, 2);
    EXPECT_EQ(window.Check(IDC_FLAG), 2);
    EXPECT_EQ(StyleOf(Item(dialog, IDC_FLAG)) & BS_TYPEMASK, BS_AUTO3STATE);
    window.SetCheck(IDC_FLAG, 1);
    EXPECT_EQ(window.Check(IDC_FLAG), 1);
    EXPECT_EQ(StyleOf(Item(dialog, IDC_FLAG)) & BS_TYPEMASK, BS_AUTOCHECKBOX);
}

TEST(Win32Dialogs, AClickNotifiesAfterTheTickChanged) {
    PanelDialog dialog;
    std::vector<int> seen;
    dialog.Map(Notification::Clicked, IDC_FLAG, [&](int) { seen.push_back(WindowOf(dialog).Check(IDC_FLAG)); });
    Show(dialog);
    SendMessageW(Item(dialog, IDC_FLAG), BM_CLICK, 0, 0);
    SendMessageW(Item(dialog, IDC_FLAG), BM_CLICK, 0, 0);
    EXPECT_EQ(seen, (std::vector<int>{1, 0}));
}

TEST(Win32Dialogs, UpDownReportsOnlyTheSignAndNeverRunsOut) {
    PanelDialog dialog;
    std::vector<int> deltas;
    dialog.Map(Notification::UpDownStep, IDC_PORT_SPIN, [&](int delta) { deltas.push_back(delta); });
    Show(dialog);
    const HWND spin = Item(dialog, IDC_PORT_SPIN);
    SetFocus(spin);
    // More presses than the control's range holds: every one arrives.
    for (int i = 0; i < 150; ++i) SendMessageW(spin, WM_KEYDOWN, VK_UP, 0);
    SendMessageW(spin, WM_KEYDOWN, VK_DOWN, 0);
    ASSERT_EQ(deltas.size(), 151u);
    for (int i = 0; i < 150; ++i) EXPECT_EQ(deltas[i], -1);
    EXPECT_EQ(deltas.back(), 1);
    // The arrow keys are the up-down's own while it has the focus.
    EXPECT_TRUE(SendMessageW(spin, WM_GETDLGCODE, 0, 0) & DLGC_WANTARROWS);
}

TEST(Win32Dialogs, SliderIsDrawnAtShowingAndAfterAnyMove) {
    PanelDialog dialog;
    int draws = 0;
    dialog.Map(Notification::SliderChanged, IDC_LEVEL, [&](int) { ++draws; });
    Show(dialog);
    ASSERT_TRUE(PumpUntil([&] { return draws >= 1; }));
    const int shown = draws;

    // Moved by another program: seen at its repaint.
    SendMessageW(Item(dialog, IDC_LEVEL), TBM_SETPOS, TRUE, 40);
    EXPECT_TRUE(PumpUntil([&] { return draws > shown; }));
    const int moved = draws;

    // By the keyboard.
    SetFocus(Item(dialog, IDC_LEVEL));
    SendMessageW(Item(dialog, IDC_LEVEL), WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_TRUE(PumpUntil([&] { return draws > moved; }));
    EXPECT_EQ(WindowOf(dialog).SliderPos(IDC_LEVEL), 41);

    // A new range keeps the page a fifth of it.
    dialog.SetSliderRange(IDC_LEVEL, 0, 1100);
    EXPECT_EQ(SendMessageW(Item(dialog, IDC_LEVEL), TBM_GETPAGESIZE, 0, 0), 220);
    const int ranged = draws;
    EXPECT_TRUE(PumpUntil([&] { return draws > ranged; }));
}

TEST(Win32Dialogs, EscapeAndTheCloseBoxCancel) {
    PanelDialog dialog;
    Show(dialog);
    PostMessageW(Item(dialog, IDC_PORT), WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(PumpUntil([&] { return !dialog.IsVisible(); }));
    EXPECT_EQ(dialog.cancelCount, 1);
    EXPECT_EQ(dialog.Result(), IDCANCEL);

    Show(dialog);
    PostMessageW(HandleOf(dialog), WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(PumpUntil([&] { return !dialog.IsVisible(); }));
    EXPECT_EQ(dialog.cancelCount, 2);
}

TEST(Win32Dialogs, EnterOnAWordInAnIntegerBoxWarnsAndSelectsIt) {
    PanelDialog dialog;
    Show(dialog);
    const HWND port = Item(dialog, IDC_PORT);
    SetWindowTextW(port, L"слово");
    SendMessageW(HandleOf(dialog), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(port), TRUE);
    MessageBoxCloser closer(HandleOf(dialog));
    PostMessageW(port, WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_TRUE(PumpUntil([&] { return closer.Done(); }, 30000));
    EXPECT_EQ(closer.Seen(), "Введите целое число.");
    Drain();
    EXPECT_EQ(dialog.okCount, 1);
    EXPECT_TRUE(dialog.IsVisible());
    EXPECT_EQ(GetFocus(), port);
    DWORD start = 1, end = 0;
    SendMessageW(port, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 5u);
}

TEST(Win32Dialogs, WindowMenuEndsWithTheProgramsItemsWhichArrive) {
    PanelDialog dialog;
    dialog.AppendMenuSeparator();
    dialog.AppendMenuItem(res::kAboutItem, kAboutCommand);
    dialog.AppendMenuItem(res::kLineSpeedItem, kLineSpeedCommand);
    const HMENU menu = GetSystemMenu(HandleOf(dialog), FALSE);
    std::vector<UINT> codes;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) codes.push_back(GetMenuItemID(menu, i));
    EXPECT_EQ(codes, (std::vector<UINT>{SC_MOVE, SC_MINIMIZE, 0, SC_CLOSE, 0, kAboutCommand, kLineSpeedCommand}));
    wchar_t text[64] = {};
    GetMenuStringW(menu, kAboutCommand, text, 64, MF_BYCOMMAND);
    EXPECT_EQ(std::wstring(text), Wide(res::kAboutItem));

    Show(dialog);
    PostMessageW(HandleOf(dialog), WM_SYSCOMMAND, kLineSpeedCommand, 0);
    PostMessageW(HandleOf(dialog), WM_SYSCOMMAND, kAboutCommand, 0);
    ASSERT_TRUE(PumpUntil([&] { return dialog.sysCommands.size() >= 2; }));
    EXPECT_EQ(dialog.sysCommands, (std::vector<unsigned>{kLineSpeedCommand, kAboutCommand}));
    // The system's own commands stay the system's.
    PostMessageW(HandleOf(dialog), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    Drain();
    EXPECT_EQ(dialog.sysCommands.size(), 2u);
    EXPECT_TRUE(IsIconic(HandleOf(dialog)));
}

TEST(Win32Dialogs, WorkersSystemCommandRunsOnTheDialogThread) {
    PanelDialog dialog;
    Show(dialog);
    std::atomic<int> handled{-1};
    std::thread worker([&] { handled = dialog.SendSysCommand(113, nullptr, 10000) ? 1 : 0; });
    EXPECT_TRUE(PumpUntil([&] { return handled.load() >= 0; }));
    worker.join();
    EXPECT_EQ(handled.load(), 1);
    ASSERT_EQ(dialog.sysThreads.size(), 1u);
    EXPECT_EQ(dialog.sysThreads[0], std::this_thread::get_id());
}

TEST(Win32Dialogs, RequestStillQueuedWhenTheDialogGoesIsReleased) {
    auto dialog = std::make_unique<PanelDialog>();
    Show(*dialog);
    std::atomic<int> handled{-1};
    const auto sent = std::chrono::steady_clock::now();
    std::thread worker([&] { handled = dialog->SendSysCommand(112, nullptr, 60000) ? 1 : 0; });
    // Nothing is pumped: the request waits in the queue until the dialog goes.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (dialog->PendingSysCommands() == 0 && std::chrono::steady_clock::now() < deadline) Sleep(1);
    ASSERT_EQ(dialog->PendingSysCommands(), 1);
    dialog.reset();
    worker.join();
    EXPECT_EQ(handled.load(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(30));
}

TEST(Win32Dialogs, ModalLoopDisablesTheOwnerAndEndsWithTheResult) {
    PanelDialog panel;
    Show(panel);
    SmallDialog small(&panel);
    bool ownerDisabled = false;
    small.PostToDialog([&] {
        ownerDisabled = !IsWindowEnabled(HandleOf(panel));
        small.EndDialog(7);
    });
    EXPECT_EQ(small.DoModal(), 7);
    EXPECT_TRUE(ownerDisabled);
    EXPECT_TRUE(IsWindowEnabled(HandleOf(panel)));
    EXPECT_FALSE(small.IsVisible());
    EXPECT_EQ(GetWindow(HandleOf(small), GW_OWNER), HandleOf(panel));
}

// A dialog that ends itself while it initialises.
class SelfEndingDialog : public SmallDialog {
protected:
    bool OnInitDialog() override {
        EndDialog(9);
        return false;
    }
};

TEST(Win32Dialogs, DialogEndedByItsInitialisationStaysHidden) {
    SelfEndingDialog modal;
    EXPECT_EQ(modal.DoModal(), 9);
    EXPECT_FALSE(IsWindowVisible(HandleOf(modal)));

    SelfEndingDialog modeless;
    modeless.ShowModeless();
    Drain();
    EXPECT_FALSE(IsWindowVisible(HandleOf(modeless)));
    EXPECT_EQ(modeless.Result(), 9);
}

TEST(Win32Dialogs, EnterPressesTheDefaultButton) {
    SmallDialog small;
    small.value = 5;
    small.PostToDialog([&] {
        SetWindowTextW(Item(small, IDC_VALUE), L"12");
        SendMessageW(HandleOf(small), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(small, IDC_VALUE)), TRUE);
        PostMessageW(Item(small, IDC_VALUE), WM_KEYDOWN, VK_RETURN, 0);
    });
    EXPECT_EQ(small.DoModal(), IDOK);
    EXPECT_EQ(small.okCount, 1);
    EXPECT_EQ(small.value, 12);
}

TEST(Win32Dialogs, ToolTipsAndFontsBelongToTheirControls) {
    PanelDialog dialog;
    Show(dialog);
    auto& window = WindowOf(dialog);
    window.SetToolTip(IDC_STATE, "Нет доступа к COM3");
    HWND tip = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM out) {
            if (_wcsicmp(ClassOf(hwnd).c_str(), TOOLTIPS_CLASSW) == 0) *reinterpret_cast<HWND*>(out) = hwnd;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&tip));
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 1);
    window.SetToolTip(IDC_STATE, "");
    EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 0);

    window.SetFont(IDC_NAME, platform::ui::Font{"Courier New", 12, true});
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(Item(dialog, IDC_NAME), WM_GETFONT, 0, 0)), sizeof(font), &font);
    EXPECT_EQ(std::wstring(font.lfFaceName), L"Courier New");
    const HDC dc = GetDC(nullptr);
    EXPECT_EQ(font.lfHeight, -MulDiv(12, GetDeviceCaps(dc, LOGPIXELSY), 96));
    ReleaseDC(nullptr, dc);
}

}  // namespace
