// Report lists following their newest rows, timers, and keys bound to
// buttons.
#include <gtest/gtest.h>

#include <algorithm>

#include "Contract.h"

namespace testing_ui {
namespace {

TEST(Timers, TickUntilKilledAndRestartWhenSetAgain) {
    ViewDialog dialog;
    ASSERT_TRUE(Show(dialog));
    auto& window = dialog.Window();
    EXPECT_FALSE(window.TimerRunning(1));

    window.SetTimer(1, 5);
    window.SetTimer(8, 30);
    EXPECT_TRUE(window.TimerRunning(1));
    EXPECT_FALSE(window.TimerRunning(9));
    ASSERT_TRUE(PumpUntil([&] { return dialog.fired[1] >= 3 && dialog.fired[8] >= 3; }, 20000));

    // Set again with a long interval, it no longer fires at the short one:
    // a second timer, beside it, fires meanwhile.
    window.SetTimer(1, 600000);
    const int before = dialog.fired[1];
    window.SetTimer(2, 5);
    ASSERT_TRUE(PumpUntil([&] { return dialog.fired[2] >= 5; }, 20000));
    EXPECT_EQ(dialog.fired[1], before);

    window.KillTimer(2);
    EXPECT_FALSE(window.TimerRunning(2));
    window.KillTimer(1);
    window.KillTimer(7);  // never set
    const int stopped = dialog.fired[2];
    const int eight = dialog.fired[8];
    ASSERT_TRUE(PumpUntil([&] { return dialog.fired[8] >= eight + 3; }, 20000));
    EXPECT_EQ(dialog.fired[2], stopped);
    EXPECT_EQ(dialog.fired[1], before);

    // Set again, a killed timer runs again.
    window.SetTimer(2, 20);
    ASSERT_TRUE(PumpUntil([&] { return dialog.fired[2] >= stopped + 2; }, 20000));
    window.KillTimer(2);
    window.KillTimer(8);

    // With no timer set, nothing comes.
    const auto total = dialog.ticks.size();
    PumpUntil([] { return false; }, 300);
    EXPECT_EQ(dialog.ticks.size(), total);
}

TEST(Timers, AHandlerMayKillItsOwnTimer) {
    ViewDialog dialog;
    ASSERT_TRUE(Show(dialog));
    dialog.onTimer = [&](int id) {
        if (id == 1) dialog.Window().KillTimer(1);
    };
    dialog.Window().SetTimer(1, 1);
    dialog.Window().SetTimer(2, 5);
    ASSERT_TRUE(PumpUntil([&] { return dialog.fired[2] >= 5; }, 20000));
    EXPECT_EQ(dialog.fired[1], 1);
    EXPECT_FALSE(dialog.Window().TimerRunning(1));
    dialog.Window().KillTimer(2);
}

// The control that has the focus when the key is pressed.
class KeyCommands : public ::testing::TestWithParam<int> {};

TEST_P(KeyCommands, ClickTheBoundButtonWhileItIsEnabled) {
    const struct {
        Press key;
        bool enabled;  // the buttons
        bool bound;
        std::vector<int> clicks;
    } cases[] = {
        {Press::Left, true, true, {IDC_BACK}}, {Press::Right, true, true, {IDC_FORWARD}},
        {Press::Left, false, true, {}},  // a disabled button is not clicked
        {Press::Up, true, true, {}},     // keys bound to nothing are the controls' own
        {Press::Down, true, true, {}},         {Press::Left, true, false, {}},  // nothing bound
    };
    for (const auto& c : cases) {
        ViewDialog dialog;
        ASSERT_TRUE(Show(dialog));
        dialog.Append(50);
        if (c.bound) {
            dialog.Window().SetKeyCommand(Key::Left, IDC_BACK);
            dialog.Window().SetKeyCommand(Key::Right, IDC_FORWARD);
        }
        dialog.EnableControl(IDC_BACK, c.enabled);
        dialog.EnableControl(IDC_FORWARD, c.enabled);
        PressKey(dialog, GetParam(), c.key);
        EXPECT_EQ(dialog.clicks, c.clicks) << static_cast<int>(c.key) << " " << c.enabled << c.bound;
        if (c.bound && c.enabled && !c.clicks.empty()) {
            EXPECT_EQ(FocusedControl(dialog), GetParam());  // the key was the command's, not a move
        }
        EXPECT_EQ(dialog.Window().Check(IDC_PAUSE), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Focus, KeyCommands, ::testing::Values(IDC_ROWS, IDC_BACK, IDC_FORWARD, IDC_PAUSE, IDC_NOTE));

constexpr int kManyRows = 10000;

TEST(ReportList, AListAtItsEndFollowsNewRows) {
    ViewDialog dialog;
    ASSERT_TRUE(Show(dialog));
    auto& window = dialog.Window();
    EXPECT_TRUE(window.ListAtEnd(IDC_ROWS));  // empty
    dialog.Append(3);
    EXPECT_TRUE(window.ListAtEnd(IDC_ROWS));  // all in view
    dialog.Append(kManyRows - 3);
    const int perPage = RowsPerPage(dialog, IDC_ROWS);
    ASSERT_GT(perPage, 3);
    EXPECT_EQ(TopRow(dialog, IDC_ROWS), kManyRows - perPage);
    for (int batch = 0; batch < 5; ++batch) {
        dialog.Append(80, 80);
        ASSERT_EQ(window.ListRowCount(IDC_ROWS), kManyRows);
        EXPECT_TRUE(window.ListAtEnd(IDC_ROWS)) << batch;
        EXPECT_EQ(TopRow(dialog, IDC_ROWS), kManyRows - perPage) << batch;
        EXPECT_EQ(CellText(dialog, IDC_ROWS, kManyRows - 1, 0), ViewDialog::RowName(dialog.first + kManyRows - 1));
    }
    // Emptied and filled again, it still follows.
    dialog.first += dialog.count;
    dialog.count = 0;
    window.SetListRowCount(IDC_ROWS, 0, 0);
    EXPECT_TRUE(window.ListAtEnd(IDC_ROWS));
    dialog.Append(500);
    EXPECT_EQ(TopRow(dialog, IDC_ROWS), 500 - perPage);
    EXPECT_TRUE(window.ListAtEnd(IDC_ROWS));
}

TEST(ReportList, AListScrolledUpKeepsShowingTheSameRows) {
    const struct {
        int top;      // the top row before
        int added;    // rows added at the end
        int dropped;  // rows dropped at the top
        int topAfter;
    } cases[] = {
        {5000, 80, 80, 4920},  // the same row, moved up
        {5000, 200, 0, 5000},  // nothing dropped: nothing moves
        {30, 80, 80, 0},       // the rows in view were dropped: the oldest left
        {5000, 0, 9000, 0},    // most rows dropped, none added
    };
    for (const auto& c : cases) {
        ViewDialog dialog;
        ASSERT_TRUE(Show(dialog));
        dialog.Append(kManyRows);
        ScrollListTo(dialog, IDC_ROWS, c.top);
        ASSERT_EQ(TopRow(dialog, IDC_ROWS), c.top);
        ASSERT_EQ(CellText(dialog, IDC_ROWS, c.top, 0), ViewDialog::RowName(c.top));
        EXPECT_FALSE(dialog.Window().ListAtEnd(IDC_ROWS));

        dialog.Append(c.added, c.dropped);
        EXPECT_EQ(TopRow(dialog, IDC_ROWS), c.topAfter) << c.top << " -" << c.dropped;
        if (c.top >= c.dropped) {
            EXPECT_EQ(CellText(dialog, IDC_ROWS, c.topAfter, 0), ViewDialog::RowName(c.top)) << c.top;
        }
        EXPECT_EQ(dialog.Window().ListAtEnd(IDC_ROWS),
                  TopRow(dialog, IDC_ROWS) + RowsPerPage(dialog, IDC_ROWS) >= dialog.count);
    }
}

TEST(ReportList, APickedRowStaysPickedAndTheListFollowsAgainAtItsEnd) {
    ViewDialog dialog;
    ASSERT_TRUE(Show(dialog));
    auto& window = dialog.Window();
    dialog.Append(580);
    const int perPage = RowsPerPage(dialog, IDC_ROWS);

    // A person scrolls up and picks a row: the rows in view stay in view
    // and the picked one stays picked while rows come and go.
    ScrollListPages(dialog, IDC_ROWS, -5);
    const int scrolled = TopRow(dialog, IDC_ROWS);
    ASSERT_GE(scrolled, 160);
    EXPECT_FALSE(window.ListAtEnd(IDC_ROWS));
    const std::string shown = CellText(dialog, IDC_ROWS, scrolled, 0);
    PickRow(dialog, IDC_ROWS, scrolled + 2);
    const std::string picked = CellText(dialog, IDC_ROWS, scrolled + 2, 0);
    dialog.Append(80, 80);
    EXPECT_EQ(TopRow(dialog, IDC_ROWS), scrolled - 80);
    EXPECT_EQ(CellText(dialog, IDC_ROWS, TopRow(dialog, IDC_ROWS), 0), shown);
    EXPECT_EQ(CellText(dialog, IDC_ROWS, PickedRow(dialog, IDC_ROWS), 0), picked);
    dialog.Append(80);  // new rows alone move nothing
    EXPECT_EQ(TopRow(dialog, IDC_ROWS), scrolled - 80);

    // At the top, the oldest remaining row is first.
    ScrollListTo(dialog, IDC_ROWS, 0);
    ASSERT_EQ(TopRow(dialog, IDC_ROWS), 0);
    dialog.Append(80, 80);
    EXPECT_EQ(TopRow(dialog, IDC_ROWS), 0);
    EXPECT_EQ(CellText(dialog, IDC_ROWS, 0, 0), ViewDialog::RowName(dialog.first));

    // Back at the end, the list follows again.
    ScrollListTo(dialog, IDC_ROWS, dialog.count);
    EXPECT_TRUE(window.ListAtEnd(IDC_ROWS));
    dialog.Append(80, 80);
    EXPECT_EQ(TopRow(dialog, IDC_ROWS), dialog.count - perPage);
}

}  // namespace
}  // namespace testing_ui
