#include <gtest/gtest.h>

#include <vector>

#include "ui/SpeedLadder.h"

namespace {

TEST(SpeedLadder, ArrowsWalkTheLadderBothWays) {
    std::vector<int> up{1200};
    while (up.size() < 8) up.push_back(ui::SpeedLadderUp(up.back()));
    EXPECT_EQ(up, (std::vector<int>{1200, 2400, 4800, 9600, 19200, 38400, 115200, 115200}));

    std::vector<int> down{115200};
    while (down.size() < 9) down.push_back(ui::SpeedLadderDown(down.back()));
    EXPECT_EQ(down, (std::vector<int>{115200, 38400, 19200, 9600, 4800, 2400, 1200, 600, 600}));
}

TEST(SpeedLadder, OffLadderValuesSnapInTheDirectionOfThePress) {
    EXPECT_EQ(ui::SpeedLadderUp(57600), 115200);
    EXPECT_EQ(ui::SpeedLadderDown(57600), 38400);
    EXPECT_EQ(ui::SpeedLadderUp(1000), 1200);
    EXPECT_EQ(ui::SpeedLadderDown(1000), 600);
    EXPECT_EQ(ui::SpeedLadderUp(1201), 2400);
    EXPECT_EQ(ui::SpeedLadderDown(1201), 1200);
    EXPECT_EQ(ui::SpeedLadderDown(38401), 38400);
    // Above the ladder's top the down arrow still goes to 38400, not to 115200.
    for (int v : {115201, 230400, 460800, 2147483647}) {
        EXPECT_EQ(ui::SpeedLadderDown(v), 38400) << v;
        EXPECT_EQ(ui::SpeedLadderUp(v), 115200) << v;
    }
    for (int v : {0, -1, -2147483647 - 1, 599}) {
        EXPECT_EQ(ui::SpeedLadderUp(v), 600) << v;
        EXPECT_EQ(ui::SpeedLadderDown(v), 600) << v;
    }
    EXPECT_EQ(ui::SpeedLadderUp(2147483647), 115200);
}

}  // namespace
