// The dialog's window menu: the system's items, then the program's, whose
// commands arrive once the menu has closed.
#include <gtest/gtest.h>

#include <thread>

#include "Contract.h"

namespace testing_ui {
namespace {

// The program's window-menu commands.
constexpr unsigned kAboutCommand = 16;
constexpr unsigned kLineSpeedCommand = 114;

TEST(WindowMenu, SystemItemsThenAppendedOnes) {
    PanelDialog panel;
    panel.AppendMenuSeparator();
    panel.AppendMenuItem("&О проекте...", kAboutCommand);
    panel.AppendMenuItem("Скорость ...", kLineSpeedCommand);
    EXPECT_EQ(WindowMenu(panel),
              (std::vector<std::string>{"move", "minimise", "-", "close", "-", "&О проекте...", "Скорость ..."}));

    // No minimise item without a minimise box.
    SmallDialog small;
    EXPECT_EQ(WindowMenu(small), (std::vector<std::string>{"move", "-", "close"}));
}

TEST(WindowMenu, AppendedItemsArriveAfterTheMenuClosesAndTheSystemsStayItsOwn) {
    PanelDialog panel;
    panel.AppendMenuItem("&О проекте...", kAboutCommand);
    panel.AppendMenuItem("Скорость ...", kLineSpeedCommand);
    ASSERT_TRUE(Show(panel));

    ChooseFromWindowMenu(panel, kLineSpeedCommand);
    EXPECT_TRUE(panel.sysCommands.empty());  // not inside the menu's activation
    ChooseFromWindowMenu(panel, kAboutCommand);
    ASSERT_TRUE(PumpUntil([&] { return panel.sysCommands.size() >= 2; }));
    EXPECT_EQ(panel.sysCommands, (std::vector<unsigned>{kLineSpeedCommand, kAboutCommand}));
    EXPECT_EQ(panel.sysThreads.front(), std::this_thread::get_id());

    ChooseFromWindowMenu(panel, kMinimiseCommand);
    ASSERT_TRUE(PumpUntil([&] { return Minimised(panel); }));
    ChooseFromWindowMenu(panel, kCloseCommand);
    ASSERT_TRUE(PumpUntil([&] { return panel.cancelCount == 1; }));
    EXPECT_FALSE(panel.IsVisible());
    EXPECT_EQ(panel.Result(), IDCANCEL);
    EXPECT_EQ(panel.sysCommands.size(), 2u);
}

}  // namespace
}  // namespace testing_ui
