#include "protocols/FrameText.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <vector>

namespace protocols {
namespace {

TEST(HexBytes, EachByteIsTwoUpperCaseDigitsAndABlank) {
    EXPECT_EQ(HexBytes({}), "");
    const std::vector<std::uint8_t> bytes{0x00, 0x0A, 0x36, 0xFF};
    EXPECT_EQ(HexBytes(bytes), "00 0A 36 FF ");
}

TEST(HexBytes, AgreesWithThePrintfFormForEveryByte) {
    std::array<std::uint8_t, 256> all{};
    std::string expected;
    for (int i = 0; i < 256; ++i) {
        all[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
        char text[4];
        std::snprintf(text, sizeof text, "%.2X ", static_cast<unsigned>(i));
        expected += text;
    }
    const std::string shown = HexBytes(all);
    EXPECT_EQ(shown.size(), 3u * 256u);
    EXPECT_EQ(shown, expected);
}

}  // namespace
}  // namespace protocols
