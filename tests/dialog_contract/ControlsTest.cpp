// Controls by identifier: texts, states, ranges, tips and fonts; the
// up-down's steps; tasks posted to the dialog's thread.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "Contract.h"

namespace testing_ui {
namespace {

TEST(Controls, TextOfEveryKindReadsAndWrites) {
    PanelDialog panel;
    panel.state = "Готов";
    panel.UpdateData(false);
    const struct {
        int id;
        const char* before;
        const char* after;
    } cases[] = {
        {IDC_PORT, "1", "12"},               // edit box
        {IDC_STATE, "Готов", "Подключено"},  // value label
        {IDCANCEL, "Завершить", "Стоп"},     // push button caption
        {IDC_FLAG, "&Флаг", "Флажок"},       // check box caption
        {IDC_LIST, " Второй", "набрано"},    // combo box edit field
        {4242, "", ""},                      // no such control
    };
    for (const auto& c : cases) {
        EXPECT_EQ(panel.GetDlgItemText(c.id), c.before) << c.id;
        panel.SetDlgItemText(c.id, c.after);
        EXPECT_EQ(panel.GetDlgItemText(c.id), c.after) << c.id;
    }
    EXPECT_EQ(panel.Window().ItemCount(IDC_LIST), 3);  // text adds no entry
}

TEST(Controls, StateRangeToolTipFontAndFocus) {
    PanelDialog panel;
    ASSERT_TRUE(Show(panel));

    EXPECT_FALSE(panel.IsControlEnabled(IDC_OFF));
    panel.EnableControl(IDC_OFF, true);
    EXPECT_TRUE(panel.IsControlEnabled(IDC_OFF));
    panel.EnableControl(IDC_PORT, false);
    EXPECT_FALSE(panel.IsControlEnabled(IDC_PORT));
    EXPECT_FALSE(panel.IsControlEnabled(4242));

    EXPECT_FALSE(panel.IsControlShown(IDC_HIDDEN));
    panel.ShowControl(IDC_HIDDEN, true);
    EXPECT_TRUE(panel.IsControlShown(IDC_HIDDEN));
    panel.ShowControl(IDC_COUNT, false);
    EXPECT_FALSE(panel.IsControlShown(IDC_COUNT));
    EXPECT_FALSE(panel.IsControlShown(4242));

    // A slider's page stays a fifth of its range.
    const struct {
        int id, low, high, page;
    } ranges[] = {{IDC_LEVEL, 0, 7, 1}, {IDC_POWER, 0, 50, 10}, {IDC_POWER, 10, 110, 20}, {IDC_LEVEL, 0, 1100, 220}};
    for (const auto& r : ranges) {
        panel.SetSliderRange(r.id, r.low, r.high);
        EXPECT_EQ(SliderPage(panel, r.id), r.page) << r.high;
    }

    // A tip for a box and for a label; no text, no tip.
    panel.SetToolTip(IDC_PORT, "Номер порта");
    panel.SetToolTip(IDC_STATE, "Нет доступа к COM3");
    EXPECT_EQ(ToolTipOf(panel, IDC_PORT), "Номер порта");
    EXPECT_EQ(ToolTipOf(panel, IDC_STATE), "Нет доступа к COM3");
    panel.SetToolTip(IDC_STATE, "");
    EXPECT_EQ(ToolTipOf(panel, IDC_STATE), "");
    EXPECT_EQ(ToolTipOf(panel, IDC_PORT), "Номер порта");

    for (const int height : {12, 14}) {
        panel.SetControlFont(IDC_NAME, platform::ui::Font{"Courier New", height, true});
        const ShownFont font = FontOf(panel, IDC_NAME);
        EXPECT_EQ(font.face, "Courier New");
        EXPECT_EQ(font.pixelHeight, height);
    }

    // Going to an edit box focuses it with its text selected.
    panel.GotoDlgCtrl(IDC_NAME);
    EXPECT_EQ(FocusedControl(panel), IDC_NAME);
    panel.SetDlgItemText(IDC_NAME, "выделено");
    panel.GotoDlgCtrl(IDC_NAME);
    EXPECT_EQ(SelectedText(panel, IDC_NAME), "выделено");
}

TEST(Controls, UpDownReportsOnlyTheSignAndNeverRunsOut) {
    PanelDialog panel;
    std::vector<int> deltas;
    panel.Map(Notification::UpDownStep, IDC_PORT_SPIN, [&](int delta) { deltas.push_back(delta); });
    ASSERT_TRUE(Show(panel));
    // More presses than the control's range holds: every one arrives.
    for (int i = 0; i < 150; ++i) PressKey(panel, IDC_PORT_SPIN, Press::Up);
    PressKey(panel, IDC_PORT_SPIN, Press::Down);
    PressKey(panel, IDC_PORT_SPIN, Press::Down);
    ASSERT_EQ(deltas.size(), 152u);
    for (int i = 0; i < 150; ++i) EXPECT_EQ(deltas[i], -1);
    EXPECT_EQ(deltas[150], 1);
    EXPECT_EQ(deltas[151], 1);
    EXPECT_EQ(FocusedControl(panel), IDC_PORT_SPIN);  // the arrows were the up-down's own
}

TEST(Controls, PostedTasksRunOnTheDialogThreadOrAreDropped) {
    auto panel = std::make_unique<PanelDialog>();
    std::atomic<bool> ran{false};
    std::thread::id ranOn;
    std::thread([&] {
        panel->PostToDialog([&] {
            ranOn = std::this_thread::get_id();
            ran = true;
        });
    }).join();
    EXPECT_FALSE(ran);  // not before the dialog's thread gets to it
    ASSERT_TRUE(PumpUntil([&] { return ran.load(); }));
    EXPECT_EQ(ranOn, std::this_thread::get_id());

    // A task still queued when the dialog goes is destroyed unrun.
    ran = false;
    auto token = std::make_shared<int>(0);
    const std::weak_ptr<int> watch = token;
    panel->PostToDialog([&ran, token = std::move(token)] { ran = true; });
    EXPECT_FALSE(watch.expired());
    panel.reset();
    EXPECT_TRUE(watch.expired());
    PumpQueued();
    EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace testing_ui
