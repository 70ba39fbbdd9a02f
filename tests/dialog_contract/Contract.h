#pragma once

// What the window-contract tests share: the test dialogs, the window
// system's pump and a person's actions, all seen through the neutral layer.
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "TestDialogs.h"
#include "platform/ui/Views.h"
#include "tests/support/UserInput.h"
#include "tests/support/WindowPump.h"

namespace testing_ui {

using namespace testing_support;
using platform::ui::Key;
using platform::ui::ListColumn;
using platform::ui::ListRow;

// Shows `dialog` and waits until its first showing has been handled.
inline bool Show(DialogBase& dialog) {
    dialog.ShowModeless();
    const bool shown = PumpUntil([&] { return dialog.IsVisible(); });
    PumpQueued();
    return shown;
}

enum : int {
    IDC_ROWS = 1100,
    IDC_BACK,
    IDC_FORWARD,
    IDC_PAUSE,
    IDC_NOTE,
};

inline constexpr ControlTemplate kViewControls[] = {
    {IDC_ROWS, "IDC_ROWS", ControlKind::List, nullptr, platform::kBorder, 6, 6, 300, 120},
    {IDC_BACK, "IDC_BACK", ControlKind::PushButton, "←", platform::kNoStyle, 6, 130, 18, 14},
    {IDC_FORWARD, "IDC_FORWARD", ControlKind::PushButton, "→", platform::kNoStyle, 28, 130, 18, 14},
    {IDC_PAUSE, "IDC_PAUSE", ControlKind::CheckBox, "Пауза", platform::kNoStyle, 60, 132, 40, 10},
    {IDC_NOTE, "IDC_NOTE", ControlKind::Edit, nullptr, platform::kBorder | platform::kAutoHScroll, 110, 130, 60, 14},
};

inline constexpr DialogTemplate kViewTemplate{300, "IDD_VIEWS", "Виды",       312, 150, "MS Shell Dlg",
                                              8,   true,        kViewControls};

inline const ListColumn kViewColumns[] = {{"Номер", 40}, {"Байты", 120}, {"Прочее", 60}};

// A dialog like the line monitor: a list of numbered rows, buttons a key
// clicks, a check box and an edit box. Row `i` of the list is serial
// first + i, its first cell "row NNNNN". It records what its window asks of
// it and what reaches it.
class ViewDialog : public DialogBase, public SerialRows {
public:
    explicit ViewDialog(DialogBase* parent = nullptr) : DialogBase(kViewTemplate, parent) {
        for (int id : {IDC_BACK, IDC_FORWARD})
            OnNotify(Notification::Clicked, id, [this, id](int) { clicks.push_back(id); });
    }

    // Adds `added` rows at the end and drops the `dropped` oldest.
    void Append(int added, int dropped = 0) { SerialRows::Append(Window(), IDC_ROWS, added, dropped); }

    std::vector<int> clicks;   // buttons clicked
    std::map<int, int> fired;  // timer -> times it fired
    std::vector<int> ticks;    // timers, in the order they fired
    std::function<void(int)> onTimer;

protected:
    bool OnInitDialog() override {
        Window().SetListColumns(IDC_ROWS, kViewColumns);
        return DialogBase::OnInitDialog();
    }
    ListRow ListRowAt(int id, int row) const override {
        if (id != IDC_ROWS || row < 0 || row >= count) return {};
        return {{RowName(first + row), "A5 01 02 03 04 05 06 07", ""}, {}};
    }
    void OnTimer(int timerId) override {
        ++fired[timerId];
        ticks.push_back(timerId);
        if (onTimer) onTimer(timerId);
    }
};

}  // namespace testing_ui
