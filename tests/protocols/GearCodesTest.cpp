#include "protocols/GearCodes.h"

#include <gtest/gtest.h>

#include <climits>

namespace protocols {
namespace {

TEST(GearCodes, EachSliderPositionHasItsCode) {
    const std::uint8_t expected[8] = {0x01, 0x02, 0x03, 0x05, 0x07, 0x0A, 0x0D, 0x0F};
    for (int position = 0; position < 8; ++position) {
        EXPECT_EQ(GearCodeForPosition(position), expected[position]) << position;
        EXPECT_EQ(kGearCodes[static_cast<std::size_t>(position)], expected[position]) << position;
    }
}

TEST(GearCodes, PositionsOutsideTheSliderTakeTheNearestEnd) {
    for (const int below : {-1, -8, INT_MIN}) EXPECT_EQ(GearCodeForPosition(below), 0x01) << below;
    for (const int above : {8, 100, INT_MAX}) EXPECT_EQ(GearCodeForPosition(above), 0x0F) << above;
}

TEST(GearCodes, StartGearIsPositionThreeCodeFive) {
    EXPECT_EQ(kDefaultGearCode, 0x05);
    EXPECT_EQ(GearCodeForPosition(kDefaultGearPosition), kDefaultGearCode);
}

}  // namespace
}  // namespace protocols
