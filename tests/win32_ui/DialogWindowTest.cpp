// The Win32 dialog backend: real dialogs from the templates, driven with the
// messages that a person's keys and clicks, or another program, send.
#include <gtest/gtest.h>

#include <string>

// The neutral test dialogs first: windows.h defines IDOK and IDCANCEL.
#include "TestDialogs.h"
#include "res/DialogTemplates.h"
#include "res/Strings.h"
// clang-format off
#include "platform/ui/win32/Win32DialogWindow.h"
#include "tests/support/win32/Windows.h"
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

// A control of the main template by its name ("IDC_PORT").
int MainId(const char* name) {
    for (const ControlTemplate& c : res::MainDialogTemplate().controls) {
        if (c.name && std::string(c.name) == name) return c.id;
    }
    return -1;
}

using namespace testing_support::win32;

LONG StyleOf(HWND hwnd) { return GetWindowLongW(hwnd, GWL_STYLE); }

// Shows the dialog and waits until its first showing has been handled.
void Show(DialogBase& dialog) {
    dialog.ShowModeless();
    ASSERT_TRUE(PumpUntil([&] { return dialog.IsVisible(); }));
    Drain();
}

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

// The window styles behind what the window contract's tests see.
TEST(Win32Dialogs, StylesBehindTheContract) {
    PanelDialog panel;
    Show(panel);
    auto& window = WindowOf(panel);
    // Indeterminate makes the box three-state, and ticked it is two-state again.
    window.SetCheck(IDC_FLAG, 2);
    EXPECT_EQ(StyleOf(Item(panel, IDC_FLAG)) & BS_TYPEMASK, BS_AUTO3STATE);
    window.SetCheck(IDC_FLAG, 1);
    EXPECT_EQ(StyleOf(Item(panel, IDC_FLAG)) & BS_TYPEMASK, BS_AUTOCHECKBOX);
    // The arrow keys are the up-down's own while it has the focus.
    EXPECT_TRUE(SendMessageW(Item(panel, IDC_PORT_SPIN), WM_GETDLGCODE, 0, 0) & DLGC_WANTARROWS);

    // A dialog over another is owned by it.
    SmallDialog small(&panel);
    EXPECT_EQ(GetWindow(HandleOf(small), GW_OWNER), HandleOf(panel));
}

}  // namespace
