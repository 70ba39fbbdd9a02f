#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/ui/DialogBase.h"
#include "platform/ui/DialogTemplate.h"

namespace testing_ui {

using platform::ControlKind;
using platform::ControlTemplate;
using platform::DialogTemplate;
using platform::ui::DataExchange;
using platform::ui::DialogBase;
using platform::ui::Notification;

enum : int {
    IDOK = DialogBase::kIdOk,
    IDCANCEL = DialogBase::kIdCancel,
    IDC_PORT = 1000,
    IDC_PORT_SPIN,
    IDC_NAME,
    IDC_LIST,
    IDC_FLAG,
    IDC_WRAP,
    IDC_LEVEL,
    IDC_LEVEL_VAL,
    IDC_POWER,
    IDC_HIDDEN,
    IDC_OFF,
    IDC_STATE,
    IDC_COUNT,
    IDC_ICON,
    IDC_VALUE,
    IDC_VALUE_SPIN,
};

inline constexpr const char* kListItems[] = {" Первый", " Второй", " Третий"};

// A few controls of every kind; template order is also the tab order.
inline constexpr ControlTemplate kPanelControls[] = {
    {IDCANCEL, "IDCANCEL", ControlKind::PushButton, "Завершить", platform::kNoStyle, 140, 130, 50, 14},
    {-1, nullptr, ControlKind::Label, "Порт COM", platform::kNoStyle, 8, 9, 36, 8},
    {IDC_PORT, "IDC_PORT", ControlKind::Edit, nullptr, platform::kCentred | platform::kBorder | platform::kAutoHScroll,
     48, 7, 30, 14},
    {IDC_PORT_SPIN, "IDC_PORT_SPIN", ControlKind::UpDown, nullptr, platform::kArrowKeys, 79, 7, 9, 14},
    {IDC_NAME, "IDC_NAME", ControlKind::Edit, nullptr, platform::kReadOnly | platform::kBorder, 8, 40, 120, 14},
    {-1, nullptr, ControlKind::Label, "Имя:", platform::kNoStyle, 8, 30, 40, 8},
    {-1, nullptr, ControlKind::Label, "Выбор:", platform::kNoStyle, 100, 9, 30, 8},
    {IDC_LIST, "IDC_LIST", ControlKind::ComboBox, nullptr, platform::kVScroll, 132, 7, 60, 57, kListItems},
    {IDC_FLAG, "IDC_FLAG", ControlKind::CheckBox, "&Флаг", platform::kNoStyle, 8, 60, 60, 10},
    {IDC_WRAP, "IDC_WRAP", ControlKind::CheckBox, "имит. БК", platform::kWrap | platform::kTopAligned, 150, 60, 31, 20},
    {-1, nullptr, ControlKind::Label, "Уровень:", platform::kRightAligned, 8, 80, 36, 8},
    {IDC_LEVEL, "IDC_LEVEL", ControlKind::Slider, nullptr, platform::kTickMarks, 48, 76, 68, 17},
    {IDC_LEVEL_VAL, "IDC_LEVEL_VAL", ControlKind::Edit, nullptr,
     platform::kReadOnly | platform::kCentred | platform::kBorder, 118, 78, 20, 14},
    {-1, nullptr, ControlKind::Label, "Тяга:", platform::kNoStyle, 8, 100, 36, 8},
    {IDC_POWER, "IDC_POWER", ControlKind::Slider, nullptr, platform::kNoStyle, 48, 98, 68, 15},
    {IDC_HIDDEN, "IDC_HIDDEN", ControlKind::PushButton, "t", platform::kHidden, 190, 100, 7, 14},
    {IDC_OFF, "IDC_OFF", ControlKind::PushButton, "Выкл.", platform::kDisabled, 140, 112, 50, 14},
    {IDC_STATE, "IDC_STATE", ControlKind::Label, "_", platform::kNoStyle, 140, 80, 50, 8},
    {-1, nullptr, ControlKind::Label, "Счёт:", platform::kNoStyle, 8, 120, 40, 8},
    {IDC_COUNT, "IDC_COUNT", ControlKind::Edit, nullptr, platform::kBorder, 8, 130, 40, 14},
    {IDC_ICON, "IDC_ICON", ControlKind::Icon, nullptr, platform::kNoStyle, 170, 30, 20, 20},
};

inline constexpr DialogTemplate kPanelTemplate{200, "IDD_PANEL", "Панель",      200, 150, "Microsoft Sans Serif",
                                               9,   true,        kPanelControls};

// A small dialog with a default OK button and no minimise box.
inline constexpr ControlTemplate kSmallControls[] = {
    {IDOK, "IDOK", ControlKind::DefPushButton, "ОК", platform::kNoStyle, 14, 25, 50, 14},
    {IDCANCEL, "IDCANCEL", ControlKind::PushButton, "Отмена", platform::kNoStyle, 72, 25, 50, 14},
    {-1, nullptr, ControlKind::Label, "Значение:", platform::kNoStyle, 8, 8, 62, 8},
    {IDC_VALUE, "IDC_VALUE", ControlKind::Edit, nullptr, platform::kCentred | platform::kBorder, 72, 7, 46, 14},
    {IDC_VALUE_SPIN, "IDC_VALUE_SPIN", ControlKind::UpDown, nullptr, platform::kArrowKeys, 118, 7, 10, 14},
};

inline constexpr DialogTemplate kSmallTemplate{201, "IDD_SMALL", "Малый",       135, 46, "MS Shell Dlg",
                                               8,   false,       kSmallControls};

// A report list's rows, numbered serially: row `i` is serial first + i,
// its first cell "row NNNNN".
struct SerialRows {
    int first = 0;  // serial of row 0
    int count = 0;

    // Adds `added` rows at the end of list `id` and drops the `dropped` oldest.
    void Append(platform::ui::DialogWindow& window, int id, int added, int dropped) {
        first += dropped;
        count += added - dropped;
        window.SetListRowCount(id, count, dropped);
    }
    static std::string RowName(int serial) {
        char name[16];
        std::snprintf(name, sizeof name, "row %05d", serial);
        return name;
    }
};

// What a dialog under test records.
struct Recorder {
    std::vector<std::string> log;
    std::vector<unsigned> sysCommands;
    std::vector<std::thread::id> sysThreads;
    std::function<void(unsigned)> onSysCommand;  // runs inside OnSysCommand
    int okCount = 0;
    int cancelCount = 0;
};

// A dialog on the panel template with a member for every exchanged control.
class PanelDialog : public DialogBase, public Recorder {
public:
    explicit PanelDialog(DialogBase* parent = nullptr) : DialogBase(kPanelTemplate, parent) {}

    int port = 1;
    std::string name;
    int list = 1;
    int flag = 0;
    int wrap = 1;
    int level = 3;
    std::string levelText;
    int power = 10;
    std::string state;
    int count = 0;
    platform::ui::DialogControl off;  // bound by the first exchange

    void Map(Notification n, int id, Handler handler) { OnNotify(n, id, std::move(handler)); }

protected:
    void DoDataExchange(DataExchange& dx) override {
        dx.Text(IDC_NAME, name);
        dx.Selection(IDC_LIST, list);
        dx.Int(IDC_PORT, port);
        dx.Check(IDC_FLAG, flag);
        dx.Check(IDC_WRAP, wrap);
        dx.Slider(IDC_LEVEL, level);
        dx.Text(IDC_LEVEL_VAL, levelText);
        dx.Slider(IDC_POWER, power);
        dx.Text(IDC_STATE, state);
        dx.Int(IDC_COUNT, count);
        dx.Control(IDC_OFF, off);
    }
    void OnSysCommand(unsigned code, long extra) override {
        sysCommands.push_back(code);
        sysThreads.push_back(std::this_thread::get_id());
        if (onSysCommand) onSysCommand(code);
        DialogBase::OnSysCommand(code, extra);
    }
    void OnOK() override {
        ++okCount;
        DialogBase::OnOK();
    }
    void OnCancel() override {
        ++cancelCount;
        DialogBase::OnCancel();
    }
};

// A dialog on the small template: one integer box.
class SmallDialog : public DialogBase, public Recorder {
public:
    explicit SmallDialog(DialogBase* parent = nullptr) : DialogBase(kSmallTemplate, parent) {}

    int value = 0;

    void Map(Notification n, int id, Handler handler) { OnNotify(n, id, std::move(handler)); }

protected:
    void DoDataExchange(DataExchange& dx) override { dx.Int(IDC_VALUE, value); }
    void OnOK() override {
        ++okCount;
        DialogBase::OnOK();
    }
    void OnCancel() override {
        ++cancelCount;
        DialogBase::OnCancel();
    }
};

}  // namespace testing_ui
