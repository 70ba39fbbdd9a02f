// The first focus, Enter, Esc and the close box, and how a modal dialog
// ends.
#include <gtest/gtest.h>

#include "Contract.h"

namespace testing_ui {
namespace {

TEST(Keyboard, FocusStartsOnTheFirstControlThatTakesIt) {
    PanelDialog panel;
    ASSERT_TRUE(Show(panel));
    EXPECT_EQ(FocusedControl(panel), IDCANCEL);

    SmallDialog small;
    ASSERT_TRUE(Show(small));
    EXPECT_EQ(FocusedControl(small), IDOK);
}

TEST(Keyboard, InitialisationRunsOnceBeforeTheFirstShowing) {
    PanelDialog panel;
    panel.port = 5;
    ASSERT_TRUE(Show(panel));
    EXPECT_EQ(panel.Window().Text(IDC_PORT), "5");
    panel.EndDialog(IDCANCEL);
    panel.port = 6;
    ASSERT_TRUE(Show(panel));
    EXPECT_EQ(panel.Window().Text(IDC_PORT), "5");
}

TEST(Keyboard, EnterOnAFocusedButtonPressesIt) {
    PanelDialog panel;
    ASSERT_TRUE(Show(panel));
    PressKey(panel, IDCANCEL, Press::Enter);
    EXPECT_EQ(panel.cancelCount, 1);
    EXPECT_EQ(panel.okCount, 0);
    EXPECT_FALSE(panel.IsVisible());
    EXPECT_EQ(panel.Result(), IDCANCEL);
}

TEST(Keyboard, EnterElsewhereWithoutADefaultButtonIssuesOk) {
    for (const int id : {IDC_PORT, IDC_LIST}) {
        PanelDialog panel;
        ASSERT_TRUE(Show(panel));
        PressKey(panel, id, Press::Enter);
        EXPECT_EQ(panel.okCount, 1) << id;
        EXPECT_EQ(panel.cancelCount, 0);
        EXPECT_FALSE(panel.IsVisible());
        EXPECT_EQ(panel.Result(), IDOK);
        EXPECT_EQ(panel.Window().ItemCount(IDC_LIST), 3);  // Enter adds nothing to the list
    }
}

TEST(Keyboard, EnterOnAWordInAnIntegerBoxWarnsAndSelectsIt) {
    for (const Press enter : {Press::Enter, Press::KeypadEnter}) {
        PanelDialog panel;
        ASSERT_TRUE(Show(panel));
        Type(panel, IDC_PORT, "слово");
        MessageBoxes boxes(panel);
        PressKey(panel, IDC_PORT, enter);
        ASSERT_TRUE(PumpUntil([&] { return boxes.Closed() == 1; }, 30000));
        PumpQueued();
        EXPECT_EQ(boxes.Closed(), 1);
        EXPECT_EQ(boxes.LastText(), "Введите целое число.");
        EXPECT_EQ(panel.okCount, 1);
        EXPECT_TRUE(panel.IsVisible());
        EXPECT_EQ(FocusedControl(panel), IDC_PORT);
        EXPECT_EQ(SelectedText(panel, IDC_PORT), "слово");
    }
}

TEST(Keyboard, EscapeAndTheCloseBoxCancel) {
    for (const int id : {IDC_PORT, IDC_LIST}) {
        PanelDialog panel;
        ASSERT_TRUE(Show(panel));
        PressKey(panel, id, Press::Escape);
        ASSERT_TRUE(PumpUntil([&] { return !panel.IsVisible(); }));
        EXPECT_EQ(panel.cancelCount, 1) << id;
        EXPECT_EQ(panel.Result(), IDCANCEL);

        ASSERT_TRUE(Show(panel));
        CloseWindow(panel);
        ASSERT_TRUE(PumpUntil([&] { return !panel.IsVisible(); }));
        EXPECT_EQ(panel.cancelCount, 2);
        EXPECT_EQ(panel.Result(), IDCANCEL);
    }
}

TEST(Keyboard, EnterPressesTheDefaultButtonAndItsMappedHandler) {
    SmallDialog small;
    int okClicks = 0;
    small.Map(Notification::Clicked, IDOK, [&](int) { ++okClicks; });
    ASSERT_TRUE(Show(small));
    PressKey(small, IDC_VALUE, Press::Enter);
    EXPECT_EQ(okClicks, 1);
    EXPECT_EQ(small.okCount, 0);  // the mapped handler replaces OnOK
    EXPECT_TRUE(small.IsVisible());

    // Without a mapping the button ends the dialog through OnOK, which pulls.
    SmallDialog plain;
    plain.value = 5;
    plain.PostToDialog([&] {
        Type(plain, IDC_VALUE, "12");
        PressKey(plain, IDC_VALUE, Press::Enter);
    });
    EXPECT_EQ(plain.DoModal(), IDOK);
    EXPECT_EQ(plain.okCount, 1);
    EXPECT_EQ(plain.value, 12);
}

TEST(Keyboard, DoModalReturnsHowTheDialogEnded) {
    SmallDialog small;
    small.value = 42;
    small.PostToDialog([&] { PressKey(small, FocusedControl(small), Press::Escape); });
    EXPECT_EQ(small.DoModal(), IDCANCEL);
    EXPECT_EQ(small.cancelCount, 1);

    SmallDialog accepted;
    accepted.PostToDialog([&] {
        EXPECT_EQ(FocusedControl(accepted), IDOK);
        PressKey(accepted, IDOK, Press::Enter);
    });
    EXPECT_EQ(accepted.DoModal(), IDOK);
    EXPECT_EQ(accepted.okCount, 1);
}

}  // namespace
}  // namespace testing_ui
