// Pushing members into the controls and pulling them back, on every kind,
// and what a person's typing and clicks leave for the pull.
#include <gtest/gtest.h>

#include "Contract.h"

namespace testing_ui {
namespace {

TEST(Exchange, EveryMemberRoundTripsThroughItsControl) {
    PanelDialog panel;
    panel.port = 7;
    panel.name = "Привет, мир";
    panel.list = 2;
    panel.flag = 1;
    panel.wrap = 0;
    panel.level = 5;
    panel.levelText = "A";
    panel.power = 90;
    panel.state = "Готово";
    panel.count = -12;
    ASSERT_TRUE(Show(panel));

    // The first showing pushed the members.
    auto& window = panel.Window();
    EXPECT_EQ(window.Text(IDC_PORT), "7");
    EXPECT_EQ(window.Text(IDC_NAME), "Привет, мир");
    EXPECT_EQ(window.Selection(IDC_LIST), 2);
    EXPECT_EQ(window.Text(IDC_LIST), " Третий");
    EXPECT_EQ(window.Check(IDC_FLAG), 1);
    EXPECT_EQ(window.Check(IDC_WRAP), 0);
    EXPECT_EQ(window.SliderPos(IDC_LEVEL), 5);
    EXPECT_EQ(window.Text(IDC_LEVEL_VAL), "A");
    EXPECT_EQ(window.SliderPos(IDC_POWER), 90);
    EXPECT_EQ(window.Text(IDC_STATE), "Готово");
    EXPECT_EQ(window.Text(IDC_COUNT), "-12");

    // What a person changes comes back by a pull.
    Type(panel, IDC_PORT, " -12 с хвостом");
    window.SetText(IDC_NAME, "  текст  любой длины ");
    window.SetSelection(IDC_LIST, 0);
    Click(panel, IDC_FLAG);
    Click(panel, IDC_WRAP);
    DragSlider(panel, IDC_LEVEL, 77);
    DragSlider(panel, IDC_POWER, 33);
    window.SetText(IDC_STATE, "x");
    Type(panel, IDC_COUNT, "  -45 штук");
    ASSERT_TRUE(panel.UpdateData(true));
    EXPECT_EQ(panel.port, -12);
    EXPECT_EQ(panel.name, "  текст  любой длины ");  // text as is
    EXPECT_EQ(panel.list, 0);
    EXPECT_EQ(panel.flag, 0);
    EXPECT_EQ(panel.wrap, 1);
    EXPECT_EQ(panel.level, 77);
    EXPECT_EQ(panel.power, 33);
    EXPECT_EQ(panel.state, "x");
    EXPECT_EQ(panel.count, -45);
}

TEST(Exchange, SelectionNoneAndOutOfRange) {
    PanelDialog panel;
    ASSERT_TRUE(Show(panel));
    auto& window = panel.Window();
    EXPECT_EQ(window.Text(IDC_LIST), " Второй");

    // No entry selected: the field is empty and the pull says -1.
    panel.list = -1;
    panel.UpdateData(false);
    EXPECT_EQ(window.Selection(IDC_LIST), -1);
    EXPECT_EQ(window.Text(IDC_LIST), "");
    panel.list = 5;
    ASSERT_TRUE(panel.UpdateData(true));
    EXPECT_EQ(panel.list, -1);

    panel.list = 7;
    panel.UpdateData(false);
    EXPECT_EQ(window.Selection(IDC_LIST), -1);

    // Selecting an entry again restores its text over what was typed.
    panel.list = 0;
    panel.UpdateData(false);
    Type(panel, IDC_LIST, "набрано");
    panel.UpdateData(false);
    EXPECT_EQ(window.Text(IDC_LIST), " Первый");
    EXPECT_EQ(window.ItemCount(IDC_LIST), 3);  // typing adds no entry
}

TEST(Exchange, TypingAnEntrysExactTextSelectsNothing) {
    // With the list closed, the field is text of its own even when it is an
    // entry's: the selection stays none, also once the typing is done.
    for (const Press done : {Press::Tab, Press::Enter}) {
        PanelDialog panel;
        panel.list = 0;
        ASSERT_TRUE(Show(panel));
        Type(panel, IDC_LIST, " Второй");
        EXPECT_EQ(panel.Window().Selection(IDC_LIST), -1);
        if (done == Press::Tab)
            PressKey(panel, IDC_PORT, Press::Tab);  // the focus moves on
        else
            PressKey(panel, IDC_LIST, Press::Enter);  // the dialog's OK
        EXPECT_EQ(panel.Window().Selection(IDC_LIST), -1) << static_cast<int>(done);
        EXPECT_EQ(panel.Window().Text(IDC_LIST), " Второй");
        panel.list = 3;
        ASSERT_TRUE(panel.UpdateData(true));
        EXPECT_EQ(panel.list, -1);
        EXPECT_EQ(panel.Window().ItemCount(IDC_LIST), 3);
    }
}

TEST(Exchange, ThreeStatesAndOutOfRangeChecks) {
    PanelDialog panel;
    ASSERT_TRUE(Show(panel));
    auto& window = panel.Window();

    // Indeterminate makes the box three-state; a pull reads it back.
    panel.flag = 2;
    panel.UpdateData(false);
    EXPECT_EQ(window.Check(IDC_FLAG), 2);
    panel.flag = -1;
    panel.UpdateData(true);
    EXPECT_EQ(panel.flag, 2);
    window.SetCheck(IDC_FLAG, 1);
    EXPECT_EQ(window.Check(IDC_FLAG), 1);

    for (int outOfRange : {3, -1, 100}) {
        panel.flag = 1;
        panel.UpdateData(false);
        panel.flag = outOfRange;
        panel.UpdateData(false);
        EXPECT_EQ(window.Check(IDC_FLAG), 0) << outOfRange;
    }

    // A box pushed back to two states toggles as a plain box again.
    panel.flag = 2;
    panel.UpdateData(false);
    panel.flag = 0;
    panel.UpdateData(false);
    Click(panel, IDC_FLAG);
    EXPECT_EQ(window.Check(IDC_FLAG), 1);
    Click(panel, IDC_FLAG);
    EXPECT_EQ(window.Check(IDC_FLAG), 0);
}

TEST(Exchange, AClickNotifiesAfterTheTickChangedAndAPushNever) {
    PanelDialog panel;
    std::vector<int> seen;
    panel.Map(Notification::Clicked, IDC_FLAG, [&](int) {
        panel.UpdateData(true);
        seen.push_back(panel.flag);
    });
    ASSERT_TRUE(Show(panel));
    panel.flag = 1;
    panel.UpdateData(false);
    panel.flag = 0;
    panel.UpdateData(false);
    PumpQueued();
    EXPECT_TRUE(seen.empty());

    Click(panel, IDC_FLAG);
    Click(panel, IDC_FLAG);
    EXPECT_EQ(seen, (std::vector<int>{1, 0}));
}

TEST(Exchange, UnchangedTextKeepsTheCaretAndChangedTextShowsItsBeginning) {
    PanelDialog panel;
    ASSERT_TRUE(Show(panel));
    panel.port = 12345;
    panel.UpdateData(false);
    EXPECT_EQ(Caret(panel, IDC_PORT), 0);

    // The same text again: the caret of someone typing stays.
    PutCaret(panel, IDC_PORT, 2);
    panel.UpdateData(false);
    panel.Window().SetText(IDC_PORT, "12345");
    EXPECT_EQ(Caret(panel, IDC_PORT), 2);

    panel.Window().SetText(IDC_PORT, "67890");
    EXPECT_EQ(Caret(panel, IDC_PORT), 0);
    EXPECT_EQ(panel.Window().Text(IDC_PORT), "67890");
}

TEST(Exchange, SliderPushIsClampedToTheRange) {
    PanelDialog panel;
    ASSERT_TRUE(Show(panel));
    panel.SetSliderRange(IDC_LEVEL, 0, 7);
    panel.level = 12;
    panel.UpdateData(false);
    EXPECT_EQ(panel.Window().SliderPos(IDC_LEVEL), 7);
    panel.UpdateData(true);
    EXPECT_EQ(panel.level, 7);
}

}  // namespace
}  // namespace testing_ui
