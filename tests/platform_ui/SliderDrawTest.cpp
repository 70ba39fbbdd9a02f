// Slider handlers: at the first showing, after every move, and never in
// the middle of the handler whose push moved the slider.
#include <QAbstractButton>
#include <QLineEdit>
#include <QMessageBox>
#include <QSlider>

#include <gtest/gtest.h>

#include <algorithm>

#include "QtDialogs.h"
#include "WaitUntil.h"

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

TEST(SliderDraw, RunsOnceForEachSliderWhenFirstShown) {
    PanelDialog panel;
    MapLevelAndPower(panel);
    DrainEvents();
    EXPECT_TRUE(panel.log.empty());  // nothing is drawn before the dialog shows

    panel.ShowModeless();
    ASSERT_TRUE(WaitUntil([&] { return Count(panel.log, "level:end") >= 1; }));
    DrainEvents();
    EXPECT_EQ(Count(panel.log, "level:begin"), 1);
    // Power drawn once: its first showing and the level handler's push coalesce.
    EXPECT_EQ(Count(panel.log, "power:30"), 1);
    // A box the program fills takes its text by the next paint at the latest.
    EXPECT_TRUE(WaitUntil([&] { return WidgetAs<QLineEdit>(panel, IDC_LEVEL_VAL)->text() == QStringLiteral("3"); }));
}

TEST(SliderDraw, PushInsideAHandlerRunsTheOtherHandlerAfterwards) {
    PanelDialog panel;
    MapLevelAndPower(panel);
    panel.ShowModeless();
    ASSERT_TRUE(WaitUntil([&] { return Count(panel.log, "power:30") == 1; }));
    DrainEvents();
    panel.log.clear();

    // The user moves the level slider.
    WidgetAs<QSlider>(panel, IDC_LEVEL)->setValue(7);
    ASSERT_TRUE(WaitUntil([&] { return Count(panel.log, "power:70") == 1; }));
    DrainEvents();
    const std::vector<std::string> expected{"level:begin", "level:end", "power:70"};
    EXPECT_EQ(panel.log, expected);
    // A box the program fills takes its text by the next paint at the latest.
    EXPECT_TRUE(WaitUntil([&] { return WidgetAs<QLineEdit>(panel, IDC_LEVEL_VAL)->text() == QStringLiteral("7"); }));
}

TEST(SliderDraw, MovesInARowDrawOnceWithTheLastPosition) {
    PanelDialog panel;
    MapLevelAndPower(panel);
    panel.ShowModeless();
    ASSERT_TRUE(WaitUntil([&] { return Count(panel.log, "power:30") == 1; }));
    DrainEvents();
    panel.log.clear();

    auto* level = WidgetAs<QSlider>(panel, IDC_LEVEL);
    for (int v : {4, 5, 6}) level->setValue(v);
    ASSERT_TRUE(WaitUntil([&] { return Count(panel.log, "level:end") == 1; }));
    DrainEvents();
    EXPECT_EQ(Count(panel.log, "level:begin"), 1);
    EXPECT_EQ(panel.levelText, "6");
}

TEST(SliderDraw, ClickHandlerPushRunsTheSliderHandlerAfterIt) {
    PanelDialog panel;
    MapLevelAndPower(panel);
    panel.Map(Notification::Clicked, IDC_FLAG, [&panel](int) {
        panel.log.push_back("flag:begin");
        panel.UpdateData(true);
        panel.level = 1;
        panel.UpdateData(false);
        panel.log.push_back("flag:end");
    });
    panel.ShowModeless();
    ASSERT_TRUE(WaitUntil([&] { return Count(panel.log, "power:30") == 1; }));
    DrainEvents();
    panel.log.clear();

    Widget(panel, IDC_FLAG)->setFocus();
    static_cast<QAbstractButton*>(Widget(panel, IDC_FLAG))->click();
    ASSERT_TRUE(WaitUntil([&] { return Count(panel.log, "power:10") == 1; }));
    DrainEvents();
    const std::vector<std::string> expected{"flag:begin", "flag:end", "level:begin", "level:end", "power:10"};
    EXPECT_EQ(panel.log, expected);
}

TEST(SliderDraw, AMoveDuringAFailedPullIsDrawnAfterTheExchange) {
    PanelDialog panel;
    MapLevelAndPower(panel);
    panel.ShowModeless();
    ASSERT_TRUE(WaitUntil([&] { return Count(panel.log, "power:30") == 1; }));
    DrainEvents();
    panel.log.clear();
    WidgetAs<QLineEdit>(panel, IDC_PORT)->setText(QStringLiteral("abc"));

    bool moved = false;
    ModalWatcher closer([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box) return;
        if (!moved) {
            moved = true;
            WidgetAs<QSlider>(panel, IDC_LEVEL)->setValue(2);
            return;  // let the box's own loop run a while with the Draw queued
        }
        box->button(QMessageBox::Ok)->click();
    });
    EXPECT_FALSE(panel.UpdateData(true));
    panel.log.push_back("pull:returned");
    // (The handler's own pull fails as well and pushes the old level back,
    // which draws the slider once more.)
    ASSERT_TRUE(WaitUntil([&] { return Count(panel.log, "level:end") >= 1; }));
    EXPECT_EQ(panel.log.front(), "pull:returned");
}

TEST(SliderDraw, HiddenDialogDoesNotDraw) {
    PanelDialog panel;
    MapLevelAndPower(panel);
    panel.ShowModeless();
    ASSERT_TRUE(WaitUntil([&] { return Count(panel.log, "power:30") == 1; }));
    WindowOf(panel).hide();
    DrainEvents();
    panel.log.clear();
    WidgetAs<QSlider>(panel, IDC_LEVEL)->setValue(9);
    DrainEvents();
    EXPECT_TRUE(panel.log.empty());
}

}  // namespace
}  // namespace testing_ui
