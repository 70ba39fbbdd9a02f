#pragma once

// A dialog with a report list, a strip chart and the buttons a window's
// keys click, for the list, chart, timer and key tests.
#include <map>
#include <set>
#include <string>
#include <vector>

#include "QtDialogs.h"
#include "platform/ui/Views.h"

namespace testing_ui {

using platform::ui::ChartData;
using platform::ui::ChartSeries;
using platform::ui::ListColumn;
using platform::ui::ListRow;
using platform::ui::TextMark;

enum : int {
    IDC_ROWS = 1100,
    IDC_CHART,
    IDC_BACK,
    IDC_FORWARD,
    IDC_PAUSE,
};

inline constexpr ControlTemplate kViewControls[] = {
    {IDC_ROWS, "IDC_ROWS", ControlKind::List, nullptr, platform::kBorder, 6, 6, 300, 120},
    {IDC_BACK, "IDC_BACK", ControlKind::PushButton, "←", platform::kNoStyle, 6, 130, 18, 14},
    {IDC_FORWARD, "IDC_FORWARD", ControlKind::PushButton, "→", platform::kNoStyle, 28, 130, 18, 14},
    {IDC_PAUSE, "IDC_PAUSE", ControlKind::CheckBox, "Пауза", platform::kNoStyle, 60, 132, 40, 10},
    {IDC_CHART, "IDC_CHART", ControlKind::Chart, nullptr, platform::kBorder, 6, 150, 300, 60},
};

inline constexpr DialogTemplate kViewTemplate{300, "IDD_VIEWS", "Виды",       312, 216, "MS Shell Dlg",
                                              8,   true,        kViewControls};

inline const ListColumn kViewColumns[] = {{"Номер", 40}, {"Байты", 120}, {"Прочее", 60}};

// Its rows are numbered serially: row `i` of the list is serial first + i,
// its first cell "row NNNNN". It counts the rows the window asks for.
class ViewDialog : public DialogBase, public SerialRows {
public:
    ViewDialog() : DialogBase(kViewTemplate) {
        OnNotify(Notification::Clicked, IDC_BACK, [this](int) { ++backClicks; });
        OnNotify(Notification::Clicked, IDC_FORWARD, [this](int) { ++forwardClicks; });
    }

    // Adds `added` rows at the end and drops the `dropped` oldest.
    void Append(int added, int dropped = 0) { SerialRows::Append(Window(), IDC_ROWS, added, dropped); }

    std::vector<TextMark> marks;  // every row carries these
    mutable std::set<int> asked;  // rows asked for
    mutable int asks = 0;
    int backClicks = 0;
    int forwardClicks = 0;
    std::map<int, int> fired;  // timer -> times it fired
    std::function<void(int)> onTimer;

protected:
    bool OnInitDialog() override {
        Window().SetListColumns(IDC_ROWS, kViewColumns);
        return DialogBase::OnInitDialog();
    }
    ListRow ListRowAt(int id, int row) const override {
        ++asks;
        asked.insert(row);
        if (id != IDC_ROWS || row < 0 || row >= count) return {};
        return {{RowName(first + row), "A5 01 02 03 04 05 06 07", ""}, marks};
    }
    void OnTimer(int timerId) override {
        ++fired[timerId];
        if (onTimer) onTimer(timerId);
    }
};

}  // namespace testing_ui
