// Slider handlers: at the first showing, after every move, and never in
// the middle of the handler whose push moved the slider.
#include <gtest/gtest.h>

#include <algorithm>

#include "Contract.h"

namespace testing_ui {
namespace {

long Count(const std::vector<std::string>& log, const std::string& entry) {
    return std::count(log.begin(), log.end(), entry);
}

// The level handler shows its value and drags the power slider along, as a
// setting handler does: pull, work, push.
void MapLevelAndPower(PanelDialog& panel) {
    panel.Map(Notification::SliderChanged, IDC_LEVEL, [&panel](int) {
        panel.log.push_back("level:begin");
        panel.UpdateData(true);
        panel.levelText = std::to_string(panel.level);
        panel.power = panel.level * 10;
        panel.UpdateData(false);
        panel.log.push_back("level:end");
    });
    panel.Map(Notification::SliderChanged, IDC_POWER, [&panel](int) {
        panel.UpdateData(true);
        panel.log.push_back("power:" + std::to_string(panel.power));
    });
}

// Shows the panel and waits until its first drawing is done.
void ShowDrawn(PanelDialog& panel) {
    MapLevelAndPower(panel);
    ASSERT_TRUE(Show(panel));
    ASSERT_TRUE(PumpUntil([&] { return Count(panel.log, "power:30") == 1; }));
    PumpQueued();
    panel.log.clear();
}

TEST(SliderDraw, RunsOnceForEachSliderWhenFirstShown) {
    PanelDialog panel;
    MapLevelAndPower(panel);
    PumpQueued();
    EXPECT_TRUE(panel.log.empty());  // nothing is drawn before the dialog shows

    panel.ShowModeless();
    ASSERT_TRUE(PumpUntil([&] { return Count(panel.log, "level:end") >= 1; }));
    PumpQueued();
    EXPECT_EQ(Count(panel.log, "level:begin"), 1);
    // Power drawn once: its first showing and the level handler's push coalesce.
    EXPECT_EQ(Count(panel.log, "power:30"), 1);
    // A box the program fills takes its text by the next paint at the latest.
    EXPECT_TRUE(PumpUntil([&] { return panel.Window().Text(IDC_LEVEL_VAL) == "3"; }));
}

TEST(SliderDraw, EveryMoveIsDrawnAndAPushInsideAHandlerAfterIt) {
    PanelDialog panel;
    ShowDrawn(panel);

    // Dragged.
    DragSlider(panel, IDC_LEVEL, 7);
    ASSERT_TRUE(PumpUntil([&] { return Count(panel.log, "power:70") == 1; }));
    PumpQueued();
    EXPECT_EQ(panel.log, (std::vector<std::string>{"level:begin", "level:end", "power:70"}));
    EXPECT_TRUE(PumpUntil([&] { return panel.Window().Text(IDC_LEVEL_VAL) == "7"; }));

    // By the keyboard.
    panel.log.clear();
    PressKey(panel, IDC_LEVEL, Press::Right);
    ASSERT_TRUE(PumpUntil([&] { return Count(panel.log, "power:80") == 1; }));
    EXPECT_EQ(panel.Window().SliderPos(IDC_LEVEL), 8);

    // By a new range.
    panel.log.clear();
    panel.SetSliderRange(IDC_LEVEL, 0, 1100);
    EXPECT_TRUE(PumpUntil([&] { return Count(panel.log, "level:end") == 1; }));
}

TEST(SliderDraw, MovesInARowDrawOnceWithTheLastPosition) {
    PanelDialog panel;
    ShowDrawn(panel);
    for (int v : {4, 5, 6}) DragSlider(panel, IDC_LEVEL, v);
    ASSERT_TRUE(PumpUntil([&] { return Count(panel.log, "level:end") == 1; }));
    PumpQueued();
    EXPECT_EQ(Count(panel.log, "level:begin"), 1);
    EXPECT_EQ(panel.levelText, "6");
}

TEST(SliderDraw, ClickHandlerPushRunsTheSliderHandlerAfterIt) {
    PanelDialog panel;
    panel.Map(Notification::Clicked, IDC_FLAG, [&panel](int) {
        panel.log.push_back("flag:begin");
        panel.UpdateData(true);
        panel.level = 1;
        panel.UpdateData(false);
        panel.log.push_back("flag:end");
    });
    ShowDrawn(panel);

    Click(panel, IDC_FLAG);
    ASSERT_TRUE(PumpUntil([&] { return Count(panel.log, "power:10") == 1; }));
    PumpQueued();
    const std::vector<std::string> expected{"flag:begin", "flag:end", "level:begin", "level:end", "power:10"};
    EXPECT_EQ(panel.log, expected);
}

TEST(SliderDraw, AMoveDuringAFailedPullIsDrawnAfterTheExchange) {
    PanelDialog panel;
    ShowDrawn(panel);
    panel.Window().SetText(IDC_PORT, "abc");

    bool moved = false;
    MessageBoxes boxes(panel, [&](const std::string&) {
        if (moved) return true;
        moved = true;
        DragSlider(panel, IDC_LEVEL, 2);
        return false;  // let the box's own loop run a while with the drawing queued
    });
    EXPECT_FALSE(panel.UpdateData(true));
    panel.log.push_back("pull:returned");
    EXPECT_TRUE(moved);
    // (The handler's own pull fails as well and pushes the old level back,
    // which draws the slider once more.)
    ASSERT_TRUE(PumpUntil([&] { return Count(panel.log, "level:end") >= 1; }));
    EXPECT_EQ(panel.log.front(), "pull:returned");
}

TEST(SliderDraw, HiddenDialogDoesNotDraw) {
    PanelDialog panel;
    ShowDrawn(panel);
    panel.EndDialog(IDCANCEL);
    PumpQueued();
    panel.log.clear();
    DragSlider(panel, IDC_LEVEL, 9);
    PumpQueued();
    EXPECT_TRUE(panel.log.empty());
}

}  // namespace
}  // namespace testing_ui
