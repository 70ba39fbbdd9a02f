#pragma once

// A dialog like the line monitor for the Win32 tests: a frame list over a
// strip chart, buttons that step through frames, an edit box. It records
// what its window asks of it and what reaches it.
#include <functional>
#include <string>
#include <vector>

// The neutral test dialogs first: windows.h defines IDOK and IDCANCEL.
#include "TestDialogs.h"
#include "platform/ui/Views.h"
// clang-format off
#include "platform/ui/win32/Win32DialogWindow.h"
#include "Pump.h"
// clang-format on

namespace testing_ui {

enum : int {
    IDC_FRAMES = 3001,
    IDC_TRACE,
    IDC_BACK,
    IDC_FORWARD,
    IDC_NOTE,
};

inline constexpr ControlTemplate kViewControls[] = {
    {IDC_FRAMES, "IDC_FRAMES", ControlKind::List, nullptr, platform::kNoStyle, 7, 7, 300, 120},
    {IDC_TRACE, "IDC_TRACE", ControlKind::Chart, nullptr, platform::kBorder, 7, 132, 300, 80},
    {IDC_BACK, "IDC_BACK", ControlKind::PushButton, "<", platform::kNoStyle, 7, 218, 40, 14},
    {IDC_FORWARD, "IDC_FORWARD", ControlKind::PushButton, ">", platform::kNoStyle, 52, 218, 40, 14},
    {IDC_NOTE, "IDC_NOTE", ControlKind::Edit, nullptr, platform::kBorder | platform::kAutoHScroll, 100, 218, 60, 14},
    {IDCANCEL, "IDCANCEL", ControlKind::PushButton, "Закрыть", platform::kNoStyle, 257, 218, 50, 14},
};

inline constexpr DialogTemplate kViewTemplate{300, "IDD_VIEWS", "Виды",       314, 238, "MS Shell Dlg",
                                              8,   false,       kViewControls};

inline const platform::ui::ListColumn kViewColumns[] = {{"№", 40}, {"Байты", 80}, {"Расшифровка", 100}};

// Frame n as the list shows it.
inline platform::ui::ListRow FrameRow(int n) { return {{std::to_string(n), "AA 55 0C 01", "00 11 22 33 44"}, {}}; }

class ViewDialog : public DialogBase {
public:
    explicit ViewDialog(DialogBase* parent = nullptr) : DialogBase(kViewTemplate, parent) {
        for (int id : {IDC_BACK, IDC_FORWARD})
            OnNotify(Notification::Clicked, id, [this, id](int) { clicks.push_back(id); });
    }

    int first = 0;  // the frame in row 0
    std::function<platform::ui::ListRow(int frame)> rowOf = FrameRow;
    mutable std::vector<int> asked;  // the rows the window asked for
    std::vector<int> ticks;          // timer identifiers, as they came
    std::function<void(int)> onTick;
    std::vector<int> clicks;  // buttons clicked

    HWND Handle() const { return platform::ui::win32::WindowOf(*this).Handle(); }
    HWND Item(int id) const { return GetDlgItem(Handle(), id); }
    // Shows the dialog and waits until its first showing has been handled.
    bool Show() {
        ShowModeless();
        const bool shown = PumpUntil([&] { return IsVisible(); });
        Drain();
        return shown;
    }

protected:
    platform::ui::ListRow ListRowAt(int id, int row) const override {
        if (id != IDC_FRAMES) return {};
        asked.push_back(row);
        return rowOf(first + row);
    }
    void OnTimer(int timerId) override {
        ticks.push_back(timerId);
        if (onTick) onTick(timerId);
    }
};

}  // namespace testing_ui
