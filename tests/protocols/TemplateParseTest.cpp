#include "protocols/Template.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "FrameHelpers.h"
#include "protocols/Catalogue.h"

namespace protocols {
namespace {

using test::OutFrame;

// Bytes that ParseTemplate must leave alone show this value afterwards.
constexpr std::uint8_t kUntouched = 0xEE;

struct ParseCase {
    const char* name;
    std::string text;
    int decoder;
    std::vector<std::uint8_t> stored;  // bytes 0.. written; the rest stay kUntouched
};

void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }

class ParseTemplateCases : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseTemplateCases, StoresExactlyTheseBytes) {
    const ParseCase& c = GetParam();
    OutFrame frame = test::FilledOutFrame(kUntouched);
    const std::string before = c.text;
    ParseTemplate(c.text, c.decoder, frame);
    EXPECT_EQ(frame, test::OutFrameOf(c.stored, kUntouched));
    EXPECT_EQ(c.text, before);
}

std::string Values(int count, int first = 0) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        char value[4];
        std::snprintf(value, sizeof value, "%.2X", static_cast<unsigned>(first + i));
        if (i != 0) text += ' ';
        text += value;
    }
    return text;
}

std::vector<std::uint8_t> Bytes(int count, int first = 0) {
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < count; ++i) bytes.push_back(static_cast<std::uint8_t>(first + i));
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(Separators, ParseTemplateCases,
                         ::testing::Values(ParseCase{"TwoLeadingSpaces", "  01 02", kHaltenRs, {0x01, 0x02}},
                                           ParseCase{"TwoSpacesBetween", "01  02", kHaltenRs, {0x01, 0x02}},
                                           ParseCase{
                                               "SeveralSpacesBetween", "01     02 03", kHaltenRs, {0x01, 0x02, 0x03}},
                                           ParseCase{"OneDigitValues", "1 2 3", kHaltenRs, {0x01, 0x02, 0x03}},
                                           ParseCase{"TrailingSpace", "01 02 ", kHaltenRs, {0x01, 0x02}},
                                           ParseCase{"TwoTrailingSpaces", "01 02  ", kHaltenRs, {0x01, 0x02, 0x00}},
                                           ParseCase{"ThreeTrailingSpaces", "01 02   ", kHaltenRs, {0x01, 0x02, 0x00}},
                                           ParseCase{"TabDoesNotSeparate", "01\t02 03", kHaltenRs, {0x01, 0x03}},
                                           ParseCase{"NewlineDoesNotSeparate", "01\n02 03", kKugooM, {0x01, 0x03}},
                                           ParseCase{"TabBeforeValueIsSkipped", "01 \t02", kHaltenRs, {0x01, 0x02}}),
                         [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    ValueForms, ParseTemplateCases,
    ::testing::Values(ParseCase{"UnreadableValueStoresZero", "01 ZZ 03", kHaltenRs, {0x01, 0x00, 0x03}},
                      ParseCase{"RestOfTokenIsPassed", "1G 2", kHaltenRs, {0x01, 0x02}},
                      ParseCase{"LowEightBits", "1FF 100", kHaltenRs, {0xFF, 0x00}},
                      ParseCase{"MinusOne", "-1", kHaltenRs, {0xFF}}, ParseCase{"HexPrefix", "0x1A", kHaltenRs, {0x1A}},
                      ParseCase{"NineDigitsSaturate", "FFFFFFFFF", kHaltenRs, {0xFF}},
                      ParseCase{"NegativeSaturates", "-FFFFFFFFF 05", kHaltenRs, {0x00, 0x05}},
                      ParseCase{"LowerCase", "ab cd", kKugooM, {0xAB, 0xCD}}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(ShortTexts, ParseTemplateCases,
                         ::testing::Values(ParseCase{"Empty", "", kHaltenRs, {}},
                                           ParseCase{"OneCharacter", "7", kHaltenRs, {}},
                                           ParseCase{"OneSpace", " ", kKugooM, {}},
                                           ParseCase{"SpaceBeforeDigit", " 7", kHaltenRs, {0x07}},
                                           ParseCase{"SpaceAfterDigit", "7 ", kHaltenRs, {0x07}},
                                           ParseCase{"TwoSpaces", "  ", kHaltenRs, {0x00}}),
                         [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    ValueCount, ParseTemplateCases,
    ::testing::Values(ParseCase{"FewerValuesLeaveLaterBytes", "AA BB", kKugooM, {0xAA, 0xBB}},
                      ParseCase{"HaltenReadsFourteen", Values(19, 0x10), kHaltenRs, Bytes(14, 0x10)},
                      ParseCase{"KugooReadsNineteen", Values(20, 0x10), kKugooM, Bytes(19, 0x10)},
                      ParseCase{"TestReadsFourteen", Values(19, 0x10), kTest, Bytes(14, 0x10)},
                      ParseCase{"NoSelectionReadsFourteen", Values(19, 0x10), kNoProtocol, Bytes(14, 0x10)},
                      ParseCase{"UnknownReadsFourteen", Values(19, 0x10), 9, Bytes(14, 0x10)},
                      ParseCase{"HaltenTextUnderKugoo", Values(14, 0x20), kKugooM, Bytes(14, 0x20)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ParseTemplate, ParsingAgainOverwritesOnlyTheValuesRead) {
    OutFrame frame = test::FilledOutFrame(0x00);
    ParseTemplate(Values(19, 0x40), kKugooM, frame);
    ParseTemplate("01 02", kKugooM, frame);
    std::vector<std::uint8_t> expected = Bytes(19, 0x40);
    expected[0] = 0x01;
    expected[1] = 0x02;
    EXPECT_EQ(frame, test::OutFrameOf(expected, 0x00));
}

}  // namespace
}  // namespace protocols
