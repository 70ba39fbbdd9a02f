#include "protocols/HexNumber.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

namespace protocols {
namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

struct NumberCase {
    std::string text;
    std::int32_t value;
};

class ReadHexNumberCases : public ::testing::TestWithParam<NumberCase> {};

TEST_P(ReadHexNumberCases, ReadsLikeStrtolBase16) { EXPECT_EQ(ReadHexNumber(GetParam().text), GetParam().value); }

INSTANTIATE_TEST_SUITE_P(Digits, ReadHexNumberCases,
                         ::testing::Values(NumberCase{"1A", 0x1A}, NumberCase{"1a", 0x1A}, NumberCase{"7", 7},
                                           NumberCase{"0", 0}, NumberCase{"1G", 1}, NumberCase{"01 02", 1},
                                           NumberCase{"1FF", 0x1FF}, NumberCase{"0000000000000000000000001", 1}));

INSTANTIATE_TEST_SUITE_P(NoDigits, ReadHexNumberCases,
                         ::testing::Values(NumberCase{"", 0}, NumberCase{"ZZ", 0}, NumberCase{"-", 0},
                                           NumberCase{"- 1", 0}, NumberCase{"+-1", 0}, NumberCase{"   ", 0},
                                           NumberCase{"G1", 0}));

INSTANTIATE_TEST_SUITE_P(WhiteSpaceSignAndPrefix, ReadHexNumberCases,
                         ::testing::Values(NumberCase{"  7", 7}, NumberCase{"\t\n\v\f\r 7", 7}, NumberCase{"+F", 15},
                                           NumberCase{"-1", -1}, NumberCase{"-0x10", -16}, NumberCase{"0x1A", 0x1A},
                                           NumberCase{"0X1a", 0x1A}, NumberCase{"0x", 0}, NumberCase{"0xG", 0},
                                           NumberCase{"00x1", 0}));

INSTANTIATE_TEST_SUITE_P(Saturation, ReadHexNumberCases,
                         ::testing::Values(NumberCase{"7FFFFFFF", kMax}, NumberCase{"80000000", kMax},
                                           NumberCase{"FFFFFFFFF", kMax}, NumberCase{"FFFFFFFFFFFFFFFFFFFFFFFF", kMax},
                                           NumberCase{"-7FFFFFFF", -kMax}, NumberCase{"-80000000", kMin},
                                           NumberCase{"-80000001", kMin},
                                           NumberCase{"-FFFFFFFFFFFFFFFFFFFFFFFF", kMin}));

TEST(ReadHexNumber, StopsAtAnEmbeddedNul) {
    const std::string text(
        "12\0"
        "34",
        5);
    EXPECT_EQ(ReadHexNumber(text), 0x12);
}

TEST(ReadHexNumber, StopsAtTheEndOfTheView) {
    const std::string_view text = std::string_view("ABCD").substr(0, 2);
    EXPECT_EQ(ReadHexNumber(text), 0xAB);
}

// The C library on this platform has a 64-bit long; clamped to the 32-bit
// range its strtoll must agree with the reader on any short text.
TEST(ReadHexNumber, AgreesWithClampedStrtollOnRandomTexts) {
    const std::string alphabet = " \t+-0xX19afAFGz";
    std::mt19937 random(20240511);
    std::uniform_int_distribution<std::size_t> length(0, 14);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        const std::size_t n = length(random);
        for (std::size_t i = 0; i < n; ++i) text += alphabet[pick(random)];
        const long long reference = std::strtoll(text.c_str(), nullptr, 16);
        const auto clamped = static_cast<std::int32_t>(std::clamp<long long>(reference, kMin, kMax));
        ASSERT_EQ(ReadHexNumber(text), clamped) << '"' << text << '"';
    }
}

}  // namespace
}  // namespace protocols
